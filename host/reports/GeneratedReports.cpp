#include "GeneratedReports.h"

#include "BackgroundRun.h"
#include "framework/Dispatch.h"
#include "framework/Services.h"
#include "framework/TApplication.h"
#include "rtl/Exceptions.h"
#include "rtl/UserName.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QPushButton>
#include <QShortcut>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QTableWidget>
#include <QThreadPool>
#include <QTime>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>

namespace Velmora::Reports {

namespace {

enum Column { Report, Format, State, Requested, Started, Finished, Documents, Pages, Number };

QString when(const QDateTime &moment)
{
    return moment.isValid() ? QLocale().toString(moment, QStringLiteral("dd/MM/yy HH:mm:ss"))
                            : QString();
}

QString count(qint64 n, bool known)
{
    return known ? QLocale().toString(n) : QString();
}

QString cacheFolder()
{
    QString base = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    if (base.isEmpty())
        base = QDir::temp().filePath(QStringLiteral("velmora"));
    return QDir(base).filePath(QStringLiteral("relatorios"));
}

} // namespace

GeneratedReports::GeneratedReports(QWidget *parent)
    : QWidget(parent), m_table(new QTableWidget(this)), m_pages(new QStackedWidget(this)),
      m_empty(new QLabel(this)), m_status(new QLabel(this)),
      m_open(new QPushButton(QStringLiteral("&Abrir"), this)),
      m_save(new QPushButton(QStringLiteral("&Salvar cópia…"), this)),
      m_cancel(new QPushButton(QStringLiteral("&Cancelar relatório"), this)),
      m_again(new QPushButton(QStringLiteral("&Executar novamente"), this)),
      m_timer(new QTimer(this))
{
    setObjectName(QStringLiteral("frmRelatoriosGerados"));
    setWindowTitle(QStringLiteral("Relatórios gerados"));
    setAttribute(Qt::WA_DeleteOnClose);

    m_table->setObjectName(QStringLiteral("tblRelatorios"));
    m_table->setColumnCount(9);
    m_table->setHorizontalHeaderLabels(
        {QStringLiteral("Relatório"), QStringLiteral("Formato"), QStringLiteral("Situação"),
         QStringLiteral("Pedido"), QStringLiteral("Início"), QStringLiteral("Fim"),
         QStringLiteral("Documentos"), QStringLiteral("Páginas"), QStringLiteral("Nº")});
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->verticalHeader()->hide();
    m_table->setAlternatingRowColors(true);
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    // A failure's reason may be long: cut in the list, whole in its tip. The number is long
    // and seldom read: it takes what is left.
    m_table->horizontalHeader()->setSectionResizeMode(State, QHeaderView::Interactive);
    m_table->setColumnWidth(State, 160);
    m_table->horizontalHeader()->setSectionResizeMode(Number, QHeaderView::Stretch);
    m_table->setWordWrap(false);

    m_empty->setObjectName(QStringLiteral("lblVazio"));
    m_empty->setAlignment(Qt::AlignCenter);
    m_empty->setWordWrap(true);
    m_empty->setText(QStringLiteral("Nenhum relatório enviado para segundo plano.\nEm uma tela "
                                    "de relatório, preencha os campos e use \"Executar em "
                                    "segundo plano\" (Ctrl+Shift+B); o relatório aparece aqui "
                                    "e você continua trabalhando enquanto ele é gerado."));
    m_pages->addWidget(m_table);
    m_pages->addWidget(m_empty);

    m_status->setObjectName(QStringLiteral("lblSituacao"));
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_status->setWordWrap(true);
    m_open->setObjectName(QStringLiteral("btnAbrir"));
    m_save->setObjectName(QStringLiteral("btnSalvarCopia"));
    m_cancel->setObjectName(QStringLiteral("btnCancelar"));
    m_again->setObjectName(QStringLiteral("btnExecutarNovamente"));
    m_open->setToolTip(QStringLiteral("Abre o relatório pronto (Enter ou clique duplo)"));
    m_save->setToolTip(QStringLiteral("Grava uma cópia do relatório pronto onde escolher"));
    m_cancel->setToolTip(QStringLiteral("Cancela o relatório na fila ou em geração (Del)"));
    m_again->setToolTip(
        QStringLiteral("Gera de novo o relatório com os mesmos parâmetros e formato"));

    auto *buttons = new QHBoxLayout;
    for (QPushButton *b : {m_open, m_save, m_cancel, m_again}) {
        b->setAutoDefault(false);
        b->setFocusPolicy(Qt::TabFocus);
        buttons->addWidget(b);
    }
    buttons->addStretch();
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_pages, 1);
    layout->addLayout(buttons);
    layout->addWidget(m_status);
    resize(820, 360);

    const auto act = [this](void (GeneratedReports::*action)()) {
        return [this, action] { Velmora::Dispatch([this, action] { (this->*action)(); }); };
    };
    connect(m_open, &QPushButton::clicked, this, act(&GeneratedReports::OpenSelected));
    connect(m_save, &QPushButton::clicked, this, act(&GeneratedReports::SaveSelectedCopy));
    connect(m_cancel, &QPushButton::clicked, this, act(&GeneratedReports::CancelSelected));
    connect(m_again, &QPushButton::clicked, this, act(&GeneratedReports::RunSelectedAgain));
    connect(m_table, &QTableWidget::cellDoubleClicked, this, [this] {
        if (m_open->isEnabled())
            m_open->click();
    });
    connect(m_table, &QTableWidget::itemSelectionChanged, this, &GeneratedReports::updateActions);
    const QList<QPair<QKeySequence, QPushButton *>> keys{{QKeySequence(Qt::Key_Return), m_open},
                                                         {QKeySequence(Qt::Key_Enter), m_open},
                                                         {QKeySequence(Qt::Key_Delete), m_cancel}};
    for (const auto &[sequence, button] : keys) {
        auto *shortcut = new QShortcut(sequence, m_table, nullptr, nullptr, Qt::WidgetShortcut);
        connect(shortcut, &QShortcut::activated, button, [button = button] {
            if (button->isEnabled())
                button->click();
        });
    }
    auto *refresh = new QShortcut(QKeySequence(Qt::Key_F5), this);
    refresh->setContext(Qt::WidgetWithChildrenShortcut);
    connect(refresh, &QShortcut::activated, this, &GeneratedReports::Refresh);

    m_timer->setInterval(refreshMs);
    connect(m_timer, &QTimer::timeout, this, &GeneratedReports::Refresh);
    m_pages->setCurrentWidget(m_table);
    setStatus(QStringLiteral("Consultando o servidor…"));
    updateActions();
}

GeneratedReports::~GeneratedReports() = default;

GeneratedReports *GeneratedReports::Show()
{
    for (QWidget *w : QApplication::allWidgets())
        if (auto *open = qobject_cast<GeneratedReports *>(w)) {
            if (auto *sub = qobject_cast<QMdiSubWindow *>(open->parentWidget()))
                sub->mdiArea()->setActiveSubWindow(sub);
            open->activateWindow();
            open->Refresh();
            return open;
        }
    auto *window = new GeneratedReports;
    if (QMdiArea *area = Application().MdiArea()) {
        QMdiSubWindow *sub = area->addSubWindow(window);
        sub->setAttribute(Qt::WA_DeleteOnClose);
        // Closing the list itself (Esc, a test) takes its frame along.
        QObject::connect(window, &QObject::destroyed, sub, &QMdiSubWindow::close);
        sub->resize(sub->sizeHint().expandedTo(QSize(940, 400)).boundedTo(area->size()));
        sub->show();
        // Wholly inside the area, where the area's placement would cut it.
        const QSize room = area->viewport()->size() - sub->size();
        sub->move(qBound(0, sub->x(), qMax(0, room.width())),
                  qBound(0, sub->y(), qMax(0, room.height())));
    } else {
        window->show();
    }
    window->m_table->setFocus();
    return window;
}

void GeneratedReports::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    m_timer->start();
    Refresh();
}

void GeneratedReports::hideEvent(QHideEvent *event)
{
    m_timer->stop();
    QWidget::hideEvent(event);
}

void GeneratedReports::Refresh()
{
    if (m_asking)
        return;
    m_asking = true;
    const QString owner = Velmora::UserName();
    QPointer<GeneratedReports> self(this);
    if (!m_lister)
        m_lister = std::make_shared<ReportJobClient>();
    QThreadPool::globalInstance()->start([self, owner, lister = m_lister] {
        QList<ReportJobRow> rows;
        QString error;
        try {
            rows = lister->List(owner);
        } catch (const Exception &e) {
            error = e.Message();
        } catch (const std::exception &e) {
            error = QString::fromLocal8Bit(e.what());
        }
        QMetaObject::invokeMethod(
            qApp,
            [self, rows, error] {
                if (self)
                    self->apply(rows, error);
            },
            Qt::QueuedConnection);
    });
}

void GeneratedReports::apply(const QList<ReportJobRow> &rows, const QString &error)
{
    m_asking = false;
    if (!error.isEmpty()) {
        // The list shown stays; the next refresh tries again.
        setStatus(QStringLiteral("Sem resposta do servidor (nova tentativa em %1 s): %2")
                      .arg(refreshMs / 1000)
                      .arg(error));
        emit refreshed();
        return;
    }
    const QString keep = SelectedId();
    const int column = m_table->currentColumn() < 0 ? 0 : m_table->currentColumn();
    m_rows = rows;
    {
        // Texts change in place; the selection follows its job, and the focus stays put.
        const QSignalBlocker block(m_table);
        m_table->setRowCount(int(rows.size()));
        int again = -1;
        for (int r = 0; r < rows.size(); ++r) {
            fillRow(r, rows.at(r));
            if (rows.at(r).id == keep)
                again = r;
        }
        if (again >= 0 && m_table->currentRow() != again)
            m_table->setCurrentCell(again, column);
        else if (again < 0 && !rows.isEmpty() && !keep.isEmpty())
            m_table->clearSelection();
        else if (!m_listedOnce && !rows.isEmpty())
            m_table->setCurrentCell(0, 0);
    }
    m_listedOnce = true;
    m_pages->setCurrentWidget(rows.isEmpty() ? static_cast<QWidget *>(m_empty) : m_table);
    const int pending = int(
        std::count_if(rows.begin(), rows.end(), [](const ReportJobRow &j) { return !j.Ended(); }));
    setStatus(
        QStringLiteral("%1 %2, %3 em andamento – atualizado às %4")
            .arg(rows.size())
            .arg(rows.size() == 1 ? QStringLiteral("relatório") : QStringLiteral("relatórios"))
            .arg(pending)
            .arg(QTime::currentTime().toString(QStringLiteral("HH:mm:ss"))));
    updateActions();
    emit refreshed();
}

void GeneratedReports::fillRow(int row, const ReportJobRow &job)
{
    const bool done = job.state == ReportJobRow::State::Done;
    const QStringList texts{job.report,
                            job.format.toUpper(),
                            job.StateText(),
                            when(job.requested),
                            when(job.started),
                            when(job.finished),
                            count(job.documents, done),
                            count(job.pages, done && job.pages > 0),
                            job.id};
    for (int c = 0; c < texts.size(); ++c) {
        QTableWidgetItem *item = m_table->item(row, c);
        if (!item) {
            item = new QTableWidgetItem;
            if (c == Documents || c == Pages || c == Number)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            m_table->setItem(row, c, item);
        }
        if (item->text() != texts.at(c))
            item->setText(texts.at(c));
        if (c == State)
            item->setToolTip(job.state == ReportJobRow::State::Failed ? job.error : QString());
        if (c == Number)
            item->setToolTip(job.id);
    }
}

const ReportJobRow *GeneratedReports::selected() const
{
    const QList<QTableWidgetItem *> items = m_table->selectedItems();
    if (items.isEmpty())
        return nullptr;
    const int row = items.first()->row();
    return row >= 0 && row < m_rows.size() ? &m_rows.at(row) : nullptr;
}

QString GeneratedReports::SelectedId() const
{
    const ReportJobRow *job = selected();
    return job ? job->id : QString();
}

QString GeneratedReports::StatusText() const
{
    return m_status->text();
}

void GeneratedReports::setStatus(const QString &text)
{
    m_status->setText(text);
}

void GeneratedReports::updateActions()
{
    const ReportJobRow *job = selected();
    const bool done = job && job->state == ReportJobRow::State::Done;
    m_open->setEnabled(done);
    m_save->setEnabled(done);
    m_cancel->setEnabled(job && !job->Ended());
    m_again->setEnabled(job && job->Ended());
}

void GeneratedReports::OpenSelected()
{
    const ReportJobRow *job = selected();
    if (!job || job->state != ReportJobRow::State::Done)
        return;
    const QString file =
        QDir(cacheFolder())
            .filePath(job->fileName.isEmpty() ? QStringLiteral("%1.%2").arg(job->id, job->format)
                                              : job->fileName);
    ReportJobClient client;
    client.Download(job->id, Velmora::UserName(), file);
    setStatus(QStringLiteral("Aberto %1").arg(QDir::toNativeSeparators(file)));
    if (!Velmora::Services::current().headless() &&
        !QDesktopServices::openUrl(QUrl::fromLocalFile(file)))
        throw Exception(QStringLiteral("Nenhum programa abriu '%1'. Use \"Salvar cópia…\" e abra "
                                       "o arquivo onde o gravar.")
                            .arg(QDir::toNativeSeparators(file)));
}

void GeneratedReports::SaveSelectedCopy()
{
    const ReportJobRow *job = selected();
    if (!job || job->state != ReportJobRow::State::Done)
        return;
    const ReportJobRow chosen = *job;
    static const QHash<QString, QString> filters{
        {QStringLiteral("pdf"), QStringLiteral("Documento PDF (*.pdf)")},
        {QStringLiteral("csv"), QStringLiteral("Texto separado (*.csv)")},
        {QStringLiteral("xlsx"), QStringLiteral("Planilha (*.xlsx)")},
        {QStringLiteral("html"), QStringLiteral("Página HTML (*.html)")}};
    const QString file = Velmora::Services::current().chooseFile(
        QStringLiteral("Salvar cópia do relatório"), filters.value(chosen.format), chosen.fileName,
        true);
    if (file.isEmpty())
        return;
    ReportJobClient client;
    const ReportJobClient::Downloaded got = client.Download(chosen.id, Velmora::UserName(), file);
    setStatus(QStringLiteral("Salvo em %1 – %2 bytes")
                  .arg(QDir::toNativeSeparators(file), QLocale().toString(got.bytes)));
    Velmora::Services::current().reportDone(QStringLiteral("copy"), file, chosen.pages,
                                            chosen.documents);
}

void GeneratedReports::CancelSelected()
{
    const ReportJobRow *job = selected();
    if (!job || job->Ended())
        return;
    const QString id = job->id;
    if (!Velmora::Services::current().confirm(
            QStringLiteral("Cancelar relatório"),
            QStringLiteral("Cancelar o relatório %1 (nº %2)?").arg(job->report, id)))
        return;
    ReportJobClient client;
    const ReportJobRow::State state = client.Cancel(id, Velmora::UserName());
    setStatus(state == ReportJobRow::State::Cancelled
                  ? QStringLiteral("Relatório nº %1 cancelado.").arg(id)
                  : QStringLiteral("Relatório nº %1: o servidor foi avisado e para a geração em "
                                   "instantes.")
                        .arg(id));
    Refresh();
}

void GeneratedReports::RunSelectedAgain()
{
    const ReportJobRow *job = selected();
    if (!job || !job->Ended())
        return;
    ReportJobClient client;
    const QString id = client.RunAgain(job->id, Velmora::UserName());
    setStatus(BackgroundNoticeText(id));
    Refresh();
}

} // namespace Velmora::Reports
