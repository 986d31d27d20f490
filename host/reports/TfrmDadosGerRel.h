#pragma once

#include "LayoutCatalog.h"
#include "ReportJobClient.h"
#include "ReportLayout.h"
#include "ReportOutputs.h"
#include "reports_global.h"

#include "framework/TForm.h"

#include <QDate>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QPointer>

#include <memory>
#include <optional>

class TReportDesignerDialog;

#include "ReportRun.h"

namespace Velmora::Reports {
class LayoutEditor;
class ReportPreview;
class ReportProgressDialog;
class ScreenVariants;
} // namespace Velmora::Reports

// The shared report screen. A report screen derives from it, adds its parameter controls to
// grbDadosRel (rows from top 51 to 259) and serves the query's parameters through
// rpddPadrao's BeforeGetQueryParams. The description binds the form and tool-button events
// by name, so a derived screen's method of the same name serves the event; it runs its
// checks and then calls the handler here, which prints, previews, saves or edits the layout
// chosen in cbbReportNames. The report code is lblCodRel's caption; the layouts come from
// the reports directory of the settings.
class VELMORA_REPORTS_EXPORT TfrmDadosGerRel : public TForm
{
    Q_OBJECT
public:
    explicit TfrmDadosGerRel(TApplication *owner);
    ~TfrmDadosGerRel() override;

    static QString BaseDescriptionPath();
    QString DescriptionPath() const override { return BaseDescriptionPath(); }

    Q_INVOKABLE virtual void FormCreate(QObject *sender);
    Q_INVOKABLE virtual void FormActivate(QObject *sender);
    Q_INVOKABLE virtual void FormClose(QObject *sender, TCloseAction &action);
    Q_INVOKABLE virtual void sbtPrintClick(QObject *sender);
    Q_INVOKABLE virtual void sbtPreviewClick(QObject *sender);
    Q_INVOKABLE virtual void sbtSalvarComoClick(QObject *sender);
    Q_INVOKABLE virtual void sbtReportEditClick(QObject *sender);
    // The saved parameter sets, and the values of the last report that ran.
    Q_INVOKABLE virtual void sbtVariantesClick(QObject *sender);
    Q_INVOKABLE virtual void sbtUltimosValoresClick(QObject *sender);
    // Sends the report to the application server's queue and leaves the screen free.
    Q_INVOKABLE virtual void sbtSegundoPlanoClick(QObject *sender);

    // The report as a print or save would run it now, for the server to make in the
    // background: the layout's file and SHA-256, the owner and the query's parameters as the
    // screen's BeforeGetQueryParams gives them; the caller names the format. A screen with checks
    // of its own overrides it, runs them as it does before a print and then calls this. Raises the
    // refusal of a check (its message shown by the event's end, the focus where the check put it);
    // nothing when the parameter handler stopped the run.
    virtual std::optional<Velmora::Reports::ReportJobRequest> PrepareBackgroundRun();

    QString ReportCode() const;
    QString ReportsDirectory() const;
    // A text of the screen's message table msgPadrao, the key in any letter case; the base
    // screen's own wording when the table lacks the key.
    QString MessageText(const QString &key) const;
    // Lists the code's layouts by title in cbbReportNames, choosing select when given.
    void RefreshReportNames(const QString &select = QString());
    const QList<Velmora::Reports::LayoutEntry> &LayoutEntries() const { return m_layouts; }
    QString SelectedLayoutPath() const;
    // "Novo": asks the title and creates a layout file beside the others, copied from
    // `from` (or the chosen layout); its path, or empty when the user gave up.
    QString NewLayout(const Velmora::Reports::ReportLayout *from = nullptr);

    Velmora::Reports::LayoutEditor *Editor() const;
    Velmora::Reports::ReportPreview *LastPreview() const;
    // Whether a report of this screen is being made on its own thread.
    bool ReportRunning() const;
    Velmora::Reports::ReportRun *CurrentRun() const { return m_run; }
    // The period the report covers, named in the file a save proposes; false when the screen
    // has none or its dates are not filled in.
    virtual bool ReportPeriod(QDate &from, QDate &to) const;
    // The selection strings of the screen's list buttons, by button name: what a saved
    // parameter set keeps of the lists. None by default.
    virtual QMap<QString, QString> ListSelections() const { return {}; }
    Velmora::Reports::ScreenVariants &Variants() const { return *m_variants; }

protected:
    // The chosen layout, read and checked; raises the screen's Arq_Rel_Err when the code has
    // no layout, or the layout's problems.
    Velmora::Reports::ReportLayout CurrentLayout() const;
    Velmora::Reports::PageContext PageContextOf(const Velmora::Reports::ReportLayout &layout) const;
    TReportDesignerDialog *Designer() const;

private:
    void installShortcuts();
    void loadDefaultVariant();
    void clickButton(const QString &name);
    void attachMenus();
    QString chooseOutput(const QString &title, const QString &suggested) const;
    void done(const QString &action, const QString &file, const Velmora::Reports::OutputResult &r);
    void startRun(Velmora::Reports::ReportRun::Request request);
    void showPreview(Velmora::Reports::ReportRun *run);
    void runFinished(Velmora::Reports::ReportRun *run, const QJsonObject &values);
    void setReportActionsEnabled(bool on);

    QList<Velmora::Reports::LayoutEntry> m_layouts;
    QPointer<Velmora::Reports::LayoutEditor> m_editor;
    QPointer<Velmora::Reports::ReportPreview> m_preview;
    QPointer<Velmora::Reports::ReportRun> m_run;
    QPointer<Velmora::Reports::ReportProgressDialog> m_progress;
    std::unique_ptr<Velmora::Reports::ScreenVariants> m_variants;
    bool m_menusAttached = false;
};
