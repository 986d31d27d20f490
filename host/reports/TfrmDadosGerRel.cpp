#include "TfrmDadosGerRel.h"

#include "BackgroundRun.h"
#include "LayoutEditor.h"
#include "ReportPreview.h"
#include "ReportProgressDialog.h"
#include "SavedFileNotice.h"
#include "ScreenVariants.h"
#include "TPopupMenu.h"
#include "TReportDesignerDialog.h"
#include "TSaveDialog.h"
#include "VariantDialog.h"

#include "data/TParams.h"
#include "framework/Dispatch.h"
#include "framework/Glyphs.h"
#include "framework/Services.h"
#include "rtl/Exceptions.h"
#include "rtl/Settings.h"
#include "rtl/UserName.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDateTime>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QShortcut>
#include <QTimer>
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

TfrmDadosGerRel::TfrmDadosGerRel(TApplication *owner)
    : TForm(owner), m_variants(std::make_unique<ScreenVariants>(this))
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
        {QKeySequence(Qt::CTRL | Qt::Key_S), QStringLiteral("sbtSalvarComo")},
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_V), QStringLiteral("sbtVariantes")},
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_U), QStringLiteral("sbtUltimosValores")},
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_B), QStringLiteral("sbtSegundoPlano")}};
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
    const QList<QPair<QToolButton *, QString>> icons{
        {print, QStringLiteral("print")},
        {preview, QStringLiteral("preview")},
        {save, QStringLiteral("save")},
        {edit, QStringLiteral("edit")},
        {findChild<QToolButton *>(QStringLiteral("sbtVariantes")), QStringLiteral("variants")},
        {findChild<QToolButton *>(QStringLiteral("sbtUltimosValores")), QStringLiteral("history")},
        {findChild<QToolButton *>(QStringLiteral("sbtSegundoPlano")),
         QStringLiteral("background")}};
    for (const auto &[button, picture] : icons)
        if (button && button->icon().isNull() && button->text().isEmpty())
            button->setIcon(Glyphs::Icon(picture));

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
    return PageContext::issuedNow(layout, ReportCode());
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
    loadDefaultVariant();
}

// The clerk's default set loads once the screen stands, after the derived screen's own
// creation and any call to the server it waits for: its fields are typed and checked as the
// clerk would.
void TfrmDadosGerRel::loadDefaultVariant()
{
    Velmora::DispatchWhenAccepted([screen = QPointer<TfrmDadosGerRel>(this)] {
        if (screen)
            screen->m_variants->LoadDefault();
    });
}

void TfrmDadosGerRel::FormActivate(QObject *)
{
    // A layout may have been added to the directory while the screen was open.
    if (m_layouts.isEmpty())
        RefreshReportNames();
}

void TfrmDadosGerRel::FormClose(QObject *, TCloseAction &action)
{
    // A report still running on a thread of its own goes only if the user agrees.
    if (ReportRunning() && !qobject_cast<ReportPreview *>(m_run->parent())) {
        if (!Velmora::Services::current().confirm(
                QStringLiteral("Relatório em andamento"),
                QStringLiteral("O relatório %1 ainda está sendo gerado. Deseja cancelá-lo e "
                               "fechar a tela?")
                    .arg(ReportCode()))) {
            action = TCloseAction::caNone;
            return;
        }
        m_run->cancel();
    }
    if (m_editor)
        m_editor->close();
    action = TCloseAction::caFree;
}

void TfrmDadosGerRel::sbtPrintClick(QObject *)
{
    const ReportLayout layout = CurrentLayout();
    ReportRun::Request request;
    request.action = QStringLiteral("print");
    request.layout = layout;
    if (Velmora::Services::current().headless()) {
        request.path =
            chooseOutput(QStringLiteral("Imprimir"), ReportCode() + QStringLiteral(".pdf"));
        if (request.path.isEmpty())
            return;
    } else {
        request.output = ReportRun::Output::Printer;
        request.printer = ChoosePrinter(layout, this);
        if (!request.printer)
            return;
    }
    startRun(std::move(request));
}

void TfrmDadosGerRel::sbtPreviewClick(QObject *)
{
    const ReportLayout layout = CurrentLayout();
    ReportRun::Request request;
    request.action = QStringLiteral("preview");
    request.layout = layout;
    if (Velmora::Services::current().headless()) {
        request.path =
            chooseOutput(QStringLiteral("Visualizar"), ReportCode() + QStringLiteral(".pdf"));
        if (request.path.isEmpty())
            return;
    } else {
        request.output = ReportRun::Output::Preview;
    }
    startRun(std::move(request));
}

void TfrmDadosGerRel::sbtSalvarComoClick(QObject *)
{
    const ReportLayout layout = CurrentLayout();
    auto *dialog = findChild<TSaveDialog *>(QStringLiteral("svdSaveReport"));
    if (!dialog)
        throw Exception(QStringLiteral("A tela não tem o componente 'svdSaveReport'."));
    // Each time a name for the period on the screen now, in the folder last used.
    QDate from, to;
    if (!ReportPeriod(from, to))
        from = to = QDate();
    dialog->SetReportCode(ReportCode());
    dialog->SetFileName(TSaveDialog::ProposedName(
        ReportCode(), from, to,
        dialog->DefaultExt().isEmpty() ? QStringLiteral("pdf") : dialog->DefaultExt()));
    if (!dialog->Execute())
        return;
    ReportRun::Request request;
    request.action = QStringLiteral("save");
    request.layout = layout;
    request.path = dialog->FileName();
    if (FormatOfFile(request.path).isEmpty())
        throw Exception(QStringLiteral("O arquivo '%1' não tem um formato conhecido: use PDF, "
                                       "CSV, XLSX ou HTML.")
                            .arg(request.path));
    startRun(std::move(request));
}

void TfrmDadosGerRel::sbtVariantesClick(QObject *)
{
    if (Velmora::Services::current().headless())
        throw Exception(QStringLiteral("Sem uma pessoa à tela, as variantes se usam pelos passos "
                                       "\"variant\" do job."));
    VariantDialog dialog(*m_variants, this);
    int answer = 0;
    {
        Velmora::ModalScope modal;
        answer = dialog.exec();
    }
    if (answer == QDialog::Accepted && !dialog.ChosenName().isEmpty())
        m_variants->Load(dialog.ChosenName());
}

void TfrmDadosGerRel::sbtUltimosValoresClick(QObject *)
{
    m_variants->LoadLast();
}

std::optional<ReportJobRequest> TfrmDadosGerRel::PrepareBackgroundRun()
{
    const ReportLayout layout = CurrentLayout();
    // The values come the way a print or save takes them, on the kind of database the
    // reports run on.
    TParams params;
    if (!Designer()->GetQueryParams(layout, CurrentReportConnection(), params))
        return std::nullopt;
    ReportJobRequest request;
    request.screen = m_variants->ScreenCode();
    request.report = ReportCode();
    request.layoutFile = QFileInfo(layout.path).fileName();
    request.layoutVersion = FileSha256(layout.path);
    request.owner = Velmora::UserName();
    request.parameters = QueueParameters(params);
    return request;
}

void TfrmDadosGerRel::sbtSegundoPlanoClick(QObject *)
{
    const bool headless = Velmora::Services::current().headless();
    std::optional<ReportJobRequest> request = PrepareBackgroundRun();
    if (!request)
        return;
    request->format =
        headless ? LastBackgroundFormat() : ChooseBackgroundFormat(this, LastBackgroundFormat());
    if (request->format.isEmpty())
        return;
    QJsonObject values;
    try {
        values = m_variants->Capture(RelativePeriod::Fixed);
    } catch (const Exception &) {
        // A screen without a parameter group has nothing to remember.
    }
    // A server that cannot be reached raises here: the screen keeps what was typed.
    ReportJobClient client;
    const QString id = client.Enqueue(*request);
    if (!values.isEmpty())
        m_variants->RememberLast(values);
    ShowBackgroundNotice(this, id);
}

bool TfrmDadosGerRel::ReportPeriod(QDate &from, QDate &to) const
{
    Q_UNUSED(from);
    Q_UNUSED(to);
    return false;
}

bool TfrmDadosGerRel::ReportRunning() const
{
    return m_run && m_run->running();
}

void TfrmDadosGerRel::setReportActionsEnabled(bool on)
{
    for (const char *name : {"sbtPrint", "sbtPreview", "sbtSalvarComo", "sbtReportEdit"})
        if (auto *button = findChild<QAbstractButton *>(QLatin1String(name)))
            button->setEnabled(on);
}

// The report runs on a thread of its own: the screen stays alive, its report actions wait,
// and after a moment a dialog shows how far the run has come. A person at the screen goes
// on working; without one (tests, batch jobs) the action waits for the end.
void TfrmDadosGerRel::startRun(ReportRun::Request request)
{
    request.context = PageContextOf(request.layout);
    // The values the report runs with become the clerk's last values once it is made.
    QJsonObject values;
    try {
        values = m_variants->Capture(RelativePeriod::Fixed);
    } catch (const Exception &) {
        // A screen without a parameter group has nothing to remember.
    }
    ReportRun *run = Designer()->CreateRun(std::move(request), this);
    if (!run)
        return;
    m_run = run;
    setReportActionsEnabled(false);
    auto *ticker = new QTimer(run);
    const bool headless = Velmora::Services::current().headless();
    ticker->setInterval(headless ? 500 : 100);
    // The screen may go before the run (a preview keeps it): the ticks stop with the screen.
    connect(ticker, &QTimer::timeout, this, [this, run, headless] {
        if (headless) {
            Velmora::Services::current().reportProgress(run->request().action, run->rows(),
                                                        run->pages());
            return;
        }
        if (!m_progress && run->elapsedMs() >= 300) {
            m_progress = new ReportProgressDialog(run, ReportCode(), this);
            m_progress->setAttribute(Qt::WA_DeleteOnClose);
            m_progress->show();
        }
        if (m_progress)
            m_progress->refresh();
    });
    connect(run, &ReportRun::documentReady, this, [this, run] { showPreview(run); });
    connect(run, &ReportRun::finished, this, [this, run, values] { runFinished(run, values); });
    ticker->start();
    run->start();
    if (headless) {
        run->wait();
        // The end's news came through the event loop; a failure ends this event as it did
        // when the report ran here.
        const QString error = run->failed() ? run->error() : QString();
        run->deleteLater();
        if (!error.isEmpty())
            throw Exception(error);
    }
}

void TfrmDadosGerRel::showPreview(ReportRun *run)
{
    auto *window = new ReportPreview(run->document(), run->request().context.title);
    // The window keeps the run: it stays open after the screen is released, and closing it
    // stops a run still reading.
    run->setParent(window);
    window->show();
    m_preview = window;
}

void TfrmDadosGerRel::runFinished(ReportRun *run, const QJsonObject &values)
{
    if (m_progress)
        m_progress->close();
    if (run == m_run)
        setReportActionsEnabled(true);
    const ReportRun::Request &request = run->request();
    const bool ownedByPreview = run->parent() != this;
    if (!run->cancelled() && !run->failed()) {
        const QString file = request.output == ReportRun::Output::File ? request.path : QString();
        if (!values.isEmpty())
            m_variants->RememberLast(values);
        done(request.action, file, run->result());
        if (!Velmora::Services::current().headless() && !file.isEmpty())
            ShowSavedFile(this, file, run->result());
    } else if (run->failed() && !Velmora::Services::current().headless()) {
        const QString error = run->error();
        Velmora::Dispatch([&] { throw Exception(error); });
    }
    if (!ownedByPreview && !Velmora::Services::current().headless())
        run->deleteLater();
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
