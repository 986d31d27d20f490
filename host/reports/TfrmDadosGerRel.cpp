#include "TfrmDadosGerRel.h"

#include "LayoutEditor.h"
#include "ReportPreview.h"
#include "TPopupMenu.h"
#include "TReportDesignerDialog.h"
#include "TSaveDialog.h"

#include "framework/Dispatch.h"
#include "framework/Services.h"
#include "framework/data/TParams.h"
#include "rtl/Exceptions.h"
#include "rtl/Settings.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QShortcut>
#include <QStyle>
#include <QToolButton>

using namespace Velmora::Reports;

namespace {
// The wording used when a screen's message table lacks one of the keys the base reads.
QString defaultText(const QString &key)
{
    if (key.compare(QLatin1String("Arq_Rel_Err"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("O arquivo contendo a definição do relatório de código '%s' não foi "
                              "encontrado no diretório '%s'.");
    if (key.compare(QLatin1String("NovoCaption"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("Título do relatório");
    if (key.compare(QLatin1String("NovoPrompt"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("Informe o título do relatório:");
    return QString();
}

// Fills the "%s" places of a message in order.
QString formatted(QString text, const QStringList &args)
{
    qsizetype from = 0;
    for (const QString &arg : args) {
        const qsizetype at = text.indexOf(QLatin1String("%s"), from);
        if (at < 0)
            break;
        text.replace(at, 2, arg);
        from = at + arg.size();
    }
    return text;
}
} // namespace

TfrmDadosGerRel::TfrmDadosGerRel(TApplication *owner) : TForm(owner)
{
    installShortcuts();
}

TfrmDadosGerRel::~TfrmDadosGerRel() = default;

LayoutEditor *TfrmDadosGerRel::Editor() const
{
    return m_editor;
}

ReportPreview *TfrmDadosGerRel::LastPreview() const
{
    return m_preview;
}

QString TfrmDadosGerRel::BaseDescriptionPath()
{
    return QStringLiteral(":/velmora/reports/forms/TfrmDadosGerRel.json");
}

void TfrmDadosGerRel::installShortcuts()
{
    const QList<QPair<QKeySequence, QString>> keys{
        {QKeySequence(Qt::Key_F5), QStringLiteral("sbtPreview")},
        {QKeySequence(Qt::CTRL | Qt::Key_P), QStringLiteral("sbtPrint")},
        {QKeySequence(Qt::CTRL | Qt::Key_S), QStringLiteral("sbtSalvarComo")}};
    for (const auto &[sequence, button] : keys) {
        auto *shortcut = new QShortcut(sequence, this);
        shortcut->setContext(Qt::WidgetWithChildrenShortcut);
        connect(shortcut, &QShortcut::activated, this,
                [this, name = button] { clickButton(name); });
    }
}

// A key works as a click on its tool button, so the derived screen's handler and its checks
// run exactly as for the mouse.
void TfrmDadosGerRel::clickButton(const QString &name)
{
    Velmora::Dispatch([this, name] {
        auto *button = findChild<QAbstractButton *>(name);
        if (button && button->isEnabled() && button->isVisible())
            button->click();
    });
}

void TfrmDadosGerRel::attachMenus()
{
    if (m_menusAttached)
        return;
    m_menusAttached = true;
    auto *edit = findChild<QToolButton *>(QStringLiteral("sbtReportEdit"));
    auto *save = findChild<QToolButton *>(QStringLiteral("sbtSalvarComo"));
    auto *print = findChild<QToolButton *>(QStringLiteral("sbtPrint"));
    auto *preview = findChild<QToolButton *>(QStringLiteral("sbtPreview"));
    const QList<QPair<QToolButton *, QStyle::StandardPixmap>> icons{
        {print, QStyle::SP_DialogApplyButton},
        {preview, QStyle::SP_FileDialogContentsView},
        {save, QStyle::SP_DialogSaveButton},
        {edit, QStyle::SP_FileDialogDetailedView}};
    for (const auto &[button, pixmap] : icons)
        if (button && button->icon().isNull() && button->text().isEmpty())
            button->setIcon(style()->standardIcon(pixmap));

    if (auto *menu = findChild<TPopupMenu *>(QStringLiteral("ppmEditReport")); menu && edit) {
        edit->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(edit, &QWidget::customContextMenuRequested, this,
                [this, menu, edit](const QPoint &at) {
                    const int chosen = menu->Popup(edit, edit->mapToGlobal(at));
                    if (chosen == 0)
                        clickButton(QStringLiteral("sbtReportEdit"));
                    else if (chosen == 1)
                        Velmora::Dispatch([this] { NewLayout(); });
                });
    }
    if (auto *menu = findChild<TPopupMenu *>(QStringLiteral("ppmSalvarRelatorio")); menu && save) {
        save->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(
            save, &QWidget::customContextMenuRequested, this, [this, menu, save](const QPoint &at) {
                static const QStringList extensions{QStringLiteral("pdf"), QStringLiteral("csv"),
                                                    QStringLiteral("xlsx"), QStringLiteral("html")};
                const int chosen = menu->Popup(save, save->mapToGlobal(at));
                auto *dialog = findChild<TSaveDialog *>(QStringLiteral("svdSaveReport"));
                if (chosen < 0 || chosen >= extensions.size() || !dialog)
                    return;
                dialog->SetDefaultExt(extensions.at(chosen));
                dialog->SetFileName(ReportCode() + QLatin1Char('.') + extensions.at(chosen));
                clickButton(QStringLiteral("sbtSalvarComo"));
            });
    }
}

QString TfrmDadosGerRel::ReportCode() const
{
    const auto *label = findChild<QLabel *>(QStringLiteral("lblCodRel"));
    return label ? label->text().trimmed() : QString();
}

QString TfrmDadosGerRel::ReportsDirectory() const
{
    const QString dir = Velmora::settings().reportsDirectory;
    return dir.isEmpty() ? QDir::current().absoluteFilePath(QStringLiteral("layouts")) : dir;
}

QString TfrmDadosGerRel::MessageText(const QString &key) const
{
    if (const QObject *table = findChild<QObject *>(QStringLiteral("msgPadrao"))) {
        for (const QString &line : table->property("Lines").toStringList()) {
            const qsizetype bar = line.indexOf(QLatin1Char('|'));
            if (bar >= 0 && line.left(bar).trimmed().compare(key, Qt::CaseInsensitive) == 0)
                return line.mid(bar + 1);
        }
    }
    return defaultText(key);
}

void TfrmDadosGerRel::RefreshReportNames(const QString &select)
{
    const QString keep = select.isEmpty() ? SelectedLayoutPath() : select;
    m_layouts = TReportDesignerDialog::Layouts(ReportCode(), ReportsDirectory());
    auto *names = findChild<QComboBox *>(QStringLiteral("cbbReportNames"));
    if (!names)
        return;
    const QSignalBlocker block(names);
    names->clear();
    int chosen = 0;
    for (int i = 0; i < m_layouts.size(); ++i) {
        names->addItem(m_layouts.at(i).title, m_layouts.at(i).path);
        if (QFileInfo(m_layouts.at(i).path) == QFileInfo(keep))
            chosen = i;
    }
    if (!m_layouts.isEmpty())
        names->setCurrentIndex(chosen);
}

QString TfrmDadosGerRel::SelectedLayoutPath() const
{
    const auto *names = findChild<QComboBox *>(QStringLiteral("cbbReportNames"));
    if (!names || names->currentIndex() < 0)
        return QString();
    return names->currentData().toString();
}

TReportDesignerDialog *TfrmDadosGerRel::Designer() const
{
    auto *designer = findChild<TReportDesignerDialog *>(QStringLiteral("rpddPadrao"));
    if (!designer)
        throw Exception(QStringLiteral("A tela não tem o componente 'rpddPadrao'."));
    return designer;
}

ReportLayout TfrmDadosGerRel::CurrentLayout() const
{
    const QString path = SelectedLayoutPath();
    if (path.isEmpty())
        throw Exception(formatted(MessageText(QStringLiteral("Arq_Rel_Err")),
                                  {ReportCode(), QDir::toNativeSeparators(ReportsDirectory())}));
    return ReportLayout::load(path);
}

PageContext TfrmDadosGerRel::PageContextOf(const ReportLayout &layout) const
{
    PageContext context;
    context.title = layout.title;
    context.reportCode = ReportCode();
    context.issued =
        QStringLiteral("Emitido em %1")
            .arg(QDateTime::currentDateTime().toString(QStringLiteral("dd/MM/yyyy hh:mm")));
    return context;
}

QString TfrmDadosGerRel::chooseOutput(const QString &title, const QString &suggested) const
{
    return Velmora::Services::current().chooseFile(title, QStringLiteral("PDF (*.pdf)"), suggested,
                                                   true);
}

void TfrmDadosGerRel::done(const QString &action, const QString &file, const OutputResult &r)
{
    Velmora::Services::current().reportDone(action, file, r.pages, r.rows);
}

void TfrmDadosGerRel::FormCreate(QObject *)
{
    attachMenus();
    RefreshReportNames();
}

void TfrmDadosGerRel::FormActivate(QObject *)
{
    // A layout may have been added to the directory while the screen was open.
    if (m_layouts.isEmpty())
        RefreshReportNames();
}

void TfrmDadosGerRel::FormClose(QObject *, TCloseAction &action)
{
    if (m_editor)
        m_editor->close();
    action = TCloseAction::caFree;
}

void TfrmDadosGerRel::sbtPrintClick(QObject *)
{
    const ReportLayout layout = CurrentLayout();
    if (Velmora::Services::current().headless()) {
        const QString path =
            chooseOutput(QStringLiteral("Imprimir"), ReportCode() + QStringLiteral(".pdf"));
        if (path.isEmpty())
            return;
        const OutputResult r = Designer()->WritePdf(layout, path, PageContextOf(layout));
        if (r.pages >= 0)
            done(QStringLiteral("print"), path, r);
        return;
    }
    const OutputResult r = Designer()->Print(layout, PageContextOf(layout));
    if (r.pages >= 0)
        done(QStringLiteral("print"), QString(), r);
}

void TfrmDadosGerRel::sbtPreviewClick(QObject *)
{
    const ReportLayout layout = CurrentLayout();
    if (Velmora::Services::current().headless()) {
        const QString path =
            chooseOutput(QStringLiteral("Visualizar"), ReportCode() + QStringLiteral(".pdf"));
        if (path.isEmpty())
            return;
        const OutputResult r = Designer()->WritePdf(layout, path, PageContextOf(layout));
        if (r.pages >= 0)
            done(QStringLiteral("preview"), path, r);
        return;
    }
    m_preview = Designer()->Preview(layout, PageContextOf(layout));
    if (m_preview)
        done(QStringLiteral("preview"), QString(), {m_preview->pageCount(), 0});
}

void TfrmDadosGerRel::sbtSalvarComoClick(QObject *)
{
    const ReportLayout layout = CurrentLayout();
    auto *dialog = findChild<TSaveDialog *>(QStringLiteral("svdSaveReport"));
    if (!dialog)
        throw Exception(QStringLiteral("A tela não tem o componente 'svdSaveReport'."));
    if (dialog->FileName().isEmpty())
        dialog->SetFileName(
            ReportCode() + QLatin1Char('.') +
            (dialog->DefaultExt().isEmpty() ? QStringLiteral("pdf") : dialog->DefaultExt()));
    if (!dialog->Execute())
        return;
    const QString path = dialog->FileName();
    const OutputResult r = Designer()->Save(layout, path, PageContextOf(layout));
    if (r.pages >= 0)
        done(QStringLiteral("save"), path, r);
}

void TfrmDadosGerRel::sbtReportEditClick(QObject *)
{
    const ReportLayout layout = CurrentLayout();
    if (m_editor)
        m_editor->close();
    LayoutEditor::Hooks hooks;
    QPointer<TReportDesignerDialog> designer = Designer();
    hooks.askParams = [designer](const ReportLayout &l, TParams &params) {
        if (!designer)
            throw Exception(QStringLiteral("A tela do relatório foi fechada."));
        return designer->GetQueryParams(l, CurrentReportConnection(), params);
    };
    hooks.createNew = [this](const ReportLayout &current) { return NewLayout(&current); };
    auto *editor = new LayoutEditor(layout, hooks, this);
    editor->setAttribute(Qt::WA_DeleteOnClose);
    connect(editor, &LayoutEditor::saved, this,
            [this](const QString &path) { RefreshReportNames(path); });
    m_editor = editor;
    // Opening the editor asks the screen for the parameters, as a run does.
    TParams params;
    hooks.askParams(layout, params);
    if (Velmora::Services::current().headless()) {
        // Nobody is there to edit: the editor closes as it opened.
        delete editor;
        done(QStringLiteral("edit"), layout.path, {0, 0});
        return;
    }
    editor->show();
    done(QStringLiteral("edit"), layout.path, {0, 0});
}

QString TfrmDadosGerRel::NewLayout(const ReportLayout *from)
{
    QString title;
    if (!Velmora::Services::current().askText(MessageText(QStringLiteral("NovoCaption")),
                                              MessageText(QStringLiteral("NovoPrompt")), title))
        return QString();
    title = title.trimmed();
    if (title.isEmpty())
        return QString();
    ReportLayout layout;
    if (from) {
        layout = *from;
    } else if (!SelectedLayoutPath().isEmpty()) {
        layout = ReportLayout::load(SelectedLayoutPath());
    } else {
        layout.queries.insert(QStringLiteral("SQL"), QStringLiteral("SELECT '' AS CAMPO"));
        layout.columns << Column{QStringLiteral("CAMPO"),
                                 QStringLiteral("Campo"),
                                 40,
                                 Align::Left,
                                 ColumnType::Text,
                                 QString()};
    }
    layout.title = title;
    layout.report = ReportCode();
    const QString dir = ReportsDirectory();
    if (!QDir().mkpath(dir))
        throw Exception(
            QStringLiteral("O diretório de relatórios '%1' não pôde ser criado.").arg(dir));
    layout.path = NewLayoutPath(ReportCode(), dir);
    layout.save(layout.path);
    RefreshReportNames(layout.path);
    return layout.path;
}
