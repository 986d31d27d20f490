#include "LayoutEditor.h"

#include "LayoutWords.h"
#include "PagedReport.h"
#include "ReportConnection.h"
#include "ReportSource.h"
#include "ValueFormat.h"
#include "data/TParams.h"
#include "framework/Dispatch.h"
#include "framework/Glyphs.h"
#include "framework/Services.h"
#include "rtl/Exceptions.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

namespace Velmora::Reports {

namespace {
constexpr int previewRows = 20;

QPushButton *button(QWidget *parent, const QString &name, const QString &text)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(name);
    return b;
}

QComboBox *choice(const QStringList &items, const QString &current)
{
    auto *box = new QComboBox;
    box->addItems(items);
    box->setCurrentText(current);
    return box;
}

// The clerk reads the words; each item carries the value the layout stores.
template <typename Words, typename Value> QComboBox *wordChoice(const Words &words, Value current)
{
    auto *box = new QComboBox;
    for (const auto &[value, word] : words) {
        box->addItem(word, int(value));
        if (value == current)
            box->setCurrentIndex(box->count() - 1);
    }
    return box;
}

template <typename Value> Value chosen(const QWidget *cell)
{
    return Value(qobject_cast<const QComboBox *>(cell)->currentData().toInt());
}
} // namespace

LayoutEditor::LayoutEditor(const ReportLayout &layout, Hooks hooks, QWidget *parent)
    : QDialog(parent), m_hooks(std::move(hooks))
{
    setObjectName(QStringLiteral("frmEditorLayout"));
    setWindowTitle(QStringLiteral("Editor de relatório"));
    // Numbers as the report prints them: "24,0" in Portuguese. Every widget below inherits it.
    setLocale(ReportLocale());
    auto *tabs = new QTabWidget(this);
    tabs->setObjectName(QStringLiteral("tabEditor"));

    // Title, columns and totals.
    auto *general = new QWidget;
    auto *generalLayout = new QVBoxLayout(general);
    auto *titleRow = new QFormLayout;
    m_title = new QLineEdit;
    m_title->setObjectName(QStringLiteral("edtTitulo"));
    titleRow->addRow(QStringLiteral("Título:"), m_title);
    generalLayout->addLayout(titleRow);
    m_columns = new QTableWidget(0, 7);
    m_columns->setObjectName(QStringLiteral("tblColunas"));
    m_columns->setHorizontalHeaderLabels({QStringLiteral("Campo"), QStringLiteral("Rótulo"),
                                          QStringLiteral("Largura (mm)"),
                                          QStringLiteral("Alinhamento"), QStringLiteral("Tipo"),
                                          QStringLiteral("Formato"), QStringLiteral("Total")});
    m_columns->horizontalHeader()->setStretchLastSection(true);
    generalLayout->addWidget(m_columns);
    auto *columnButtons = new QHBoxLayout;
    QPushButton *add = button(general, QStringLiteral("btnAdicionar"), QStringLiteral("Adicionar"));
    QPushButton *remove = button(general, QStringLiteral("btnRemover"), QStringLiteral("Remover"));
    QPushButton *up = button(general, QStringLiteral("btnSubir"), QStringLiteral("Subir"));
    QPushButton *down = button(general, QStringLiteral("btnDescer"), QStringLiteral("Descer"));
    for (QPushButton *b : {add, remove, up, down})
        columnButtons->addWidget(b);
    columnButtons->addStretch();
    generalLayout->addLayout(columnButtons);
    tabs->addTab(general, QStringLiteral("Colunas"));

    // Grouping.
    auto *grouping = new QWidget;
    auto *groupLayout = new QVBoxLayout(grouping);
    m_groupFields = new QTableWidget(0, 2);
    m_groupFields->setObjectName(QStringLiteral("tblGrupo"));
    m_groupFields->setHorizontalHeaderLabels({QStringLiteral("Campo"), QStringLiteral("Rótulo")});
    m_groupFields->horizontalHeader()->setStretchLastSection(true);
    groupLayout->addWidget(new QLabel(QStringLiteral("Agrupar pelos campos:")));
    groupLayout->addWidget(m_groupFields);
    auto *groupButtons = new QHBoxLayout;
    QPushButton *addGroup =
        button(grouping, QStringLiteral("btnAdicionarGrupo"), QStringLiteral("Adicionar"));
    QPushButton *removeGroup =
        button(grouping, QStringLiteral("btnRemoverGrupo"), QStringLiteral("Remover"));
    groupButtons->addWidget(addGroup);
    groupButtons->addWidget(removeGroup);
    groupButtons->addStretch();
    groupLayout->addLayout(groupButtons);
    auto *groupForm = new QFormLayout;
    m_groupHeader = new QLineEdit;
    m_groupHeader->setObjectName(QStringLiteral("edtCabecalhoGrupo"));
    m_groupHeader->setPlaceholderText(
        QStringLiteral("Fornecedor: {NRINSJURFORN} - {NMRAZSOCFORN}"));
    m_groupFooter = new QLineEdit;
    m_groupFooter->setObjectName(QStringLiteral("edtRodapeGrupo"));
    m_grandTotal = new QLineEdit;
    m_grandTotal->setObjectName(QStringLiteral("edtTotalGeral"));
    groupForm->addRow(QStringLiteral("Cabeçalho do grupo:"), m_groupHeader);
    groupForm->addRow(QStringLiteral("Rodapé do grupo:"), m_groupFooter);
    groupForm->addRow(QStringLiteral("Total geral:"), m_grandTotal);
    groupLayout->addLayout(groupForm);
    tabs->addTab(grouping, QStringLiteral("Agrupamento"));

    // Query texts per database kind, and the trial run.
    auto *queryPage = new QWidget;
    auto *queryLayout = new QVBoxLayout(queryPage);
    auto *queryTabs = new QTabWidget;
    const QList<QPair<QString, QString>> kinds{
        {QStringLiteral("SQL"), QStringLiteral("Genérico")},
        {QStringLiteral("SQL_IB"), QStringLiteral("InterBase")},
        {QStringLiteral("SQL_ORACLE"), QStringLiteral("Oracle")},
        {QStringLiteral("SQL_MSSQL"), QStringLiteral("SQL Server")}};
    for (const auto &[key, caption] : kinds) {
        auto *text = new QPlainTextEdit;
        text->setObjectName(QStringLiteral("mem") + key);
        text->setLineWrapMode(QPlainTextEdit::NoWrap);
        QFont mono(QStringLiteral("DejaVu Sans Mono"));
        text->setFont(mono);
        queryTabs->addTab(text, caption);
        m_queries.insert(key, text);
        connect(text, &QPlainTextEdit::textChanged, this, &LayoutEditor::markModified);
    }
    queryLayout->addWidget(queryTabs);
    QPushButton *tryButton =
        button(queryPage, QStringLiteral("btnTestar"), QStringLiteral("Testar consulta"));
    m_resultLabel = new QLabel;
    m_resultLabel->setObjectName(QStringLiteral("lblResultado"));
    auto *tryRow = new QHBoxLayout;
    tryRow->addWidget(tryButton);
    tryRow->addWidget(m_resultLabel, 1);
    queryLayout->addLayout(tryRow);
    m_result = new QTableWidget;
    m_result->setObjectName(QStringLiteral("tblResultado"));
    m_result->setEditTriggers(QAbstractItemView::NoEditTriggers);
    queryLayout->addWidget(m_result);
    tabs->addTab(queryPage, QStringLiteral("Consulta"));

    // Page setup.
    auto *pagePage = new QWidget;
    auto *pageForm = new QFormLayout(pagePage);
    m_pageSize = new QComboBox;
    for (const auto &[word, size] : {std::pair{QStringLiteral("A4"), QStringLiteral("A4")},
                                     std::pair{QStringLiteral("A3"), QStringLiteral("A3")},
                                     std::pair{QStringLiteral("Carta"), QStringLiteral("Letter")},
                                     std::pair{QStringLiteral("Ofício"), QStringLiteral("Legal")}})
        m_pageSize->addItem(word, size);
    m_pageSize->setObjectName(QStringLiteral("cbbTamanho"));
    m_orientation =
        choice({QStringLiteral("Retrato"), QStringLiteral("Paisagem")}, QStringLiteral("Retrato"));
    m_orientation->setObjectName(QStringLiteral("cbbOrientacao"));
    m_fontSize = new QDoubleSpinBox;
    m_fontSize->setObjectName(QStringLiteral("spnFonte"));
    m_fontSize->setRange(5, 24);
    pageForm->addRow(QStringLiteral("Tamanho:"), m_pageSize);
    pageForm->addRow(QStringLiteral("Orientação:"), m_orientation);
    pageForm->addRow(QStringLiteral("Fonte (pontos):"), m_fontSize);
    const QStringList marginNames{QStringLiteral("Esquerda"), QStringLiteral("Topo"),
                                  QStringLiteral("Direita"), QStringLiteral("Base")};
    for (int i = 0; i < 4; ++i) {
        m_margins[i] = new QDoubleSpinBox;
        m_margins[i]->setObjectName(QStringLiteral("spnMargem") + marginNames.at(i));
        m_margins[i]->setRange(0, 100);
        pageForm->addRow(QStringLiteral("Margem %1 (mm):").arg(marginNames.at(i).toLower()),
                         m_margins[i]);
    }
    tabs->addTab(pagePage, QStringLiteral("Página"));

    // The first page, drawn by the same painter as the print and the PDF.
    auto *viewPage = new QWidget;
    auto *viewLayout = new QVBoxLayout(viewPage);
    QPushButton *showButton =
        button(this, QStringLiteral("btnVerPagina"), QStringLiteral("Mostrar a primeira página"));
    viewLayout->addWidget(showButton, 0, Qt::AlignLeft);
    m_pageView = new QLabel;
    m_pageView->setObjectName(QStringLiteral("lblPrimeiraPagina"));
    m_pageView->setAlignment(Qt::AlignCenter);
    auto *pageScroll = new QScrollArea;
    pageScroll->setWidget(m_pageView);
    pageScroll->setWidgetResizable(true);
    pageScroll->setBackgroundRole(QPalette::Dark);
    viewLayout->addWidget(pageScroll, 1);
    tabs->addTab(viewPage, QStringLiteral("Primeira página"));

    auto *buttons = new QHBoxLayout;
    QPushButton *newButton = button(this, QStringLiteral("btnNovo"), QStringLiteral("Novo"));
    QPushButton *saveButton = button(this, QStringLiteral("btnSalvar"), QStringLiteral("Salvar"));
    QPushButton *closeButton = button(this, QStringLiteral("btnFechar"), QStringLiteral("Fechar"));
    saveButton->setIcon(Glyphs::Icon(QStringLiteral("save")));
    closeButton->setIcon(Glyphs::Icon(QStringLiteral("close")));
    buttons->addWidget(newButton);
    buttons->addStretch();
    buttons->addWidget(saveButton);
    buttons->addWidget(closeButton);
    auto *main = new QVBoxLayout(this);
    main->addWidget(tabs);
    main->addLayout(buttons);
    resize(760, 520);

    // Every button is an entry from the event loop: through the dispatch boundary.
    auto guarded = [](auto code) { return [code] { Velmora::Dispatch(code); }; };
    connect(add, &QPushButton::clicked, this, guarded([this] {
                Column c;
                c.field = QStringLiteral("CAMPO");
                c.label = QStringLiteral("Nova coluna");
                addColumn(c, false);
                markModified();
            }));
    connect(remove, &QPushButton::clicked, this, guarded([this] {
                if (m_columns->currentRow() >= 0)
                    m_columns->removeRow(m_columns->currentRow());
                markModified();
            }));
    connect(up, &QPushButton::clicked, this, guarded([this] { moveColumn(-1); }));
    connect(down, &QPushButton::clicked, this, guarded([this] { moveColumn(1); }));
    connect(addGroup, &QPushButton::clicked, this, guarded([this] {
                m_groupFields->insertRow(m_groupFields->rowCount());
                markModified();
            }));
    connect(removeGroup, &QPushButton::clicked, this, guarded([this] {
                if (m_groupFields->currentRow() >= 0)
                    m_groupFields->removeRow(m_groupFields->currentRow());
                markModified();
            }));
    connect(tryButton, &QPushButton::clicked, this, guarded([this] { tryQuery(); }));
    connect(showButton, &QPushButton::clicked, this, guarded([this] { showFirstPage(); }));
    connect(saveButton, &QPushButton::clicked, this, guarded([this] { save(); }));
    connect(newButton, &QPushButton::clicked, this, guarded([this] { newLayout(); }));
    connect(closeButton, &QPushButton::clicked, this, &QDialog::close);
    connect(m_columns, &QTableWidget::itemChanged, this, &LayoutEditor::markModified);
    connect(m_groupFields, &QTableWidget::itemChanged, this, &LayoutEditor::markModified);
    for (QLineEdit *e : {m_title, m_groupHeader, m_groupFooter, m_grandTotal})
        connect(e, &QLineEdit::textEdited, this, &LayoutEditor::markModified);

    load(layout);
}

void LayoutEditor::addColumn(const Column &c, bool total)
{
    const int row = m_columns->rowCount();
    m_columns->insertRow(row);
    m_columns->setItem(row, ColField, new QTableWidgetItem(c.field));
    m_columns->setItem(row, ColLabel, new QTableWidgetItem(c.label));
    auto *width = new QDoubleSpinBox;
    width->setRange(1, 400);
    width->setDecimals(1);
    width->setValue(c.width);
    m_columns->setCellWidget(row, ColWidth, width);
    m_columns->setCellWidget(row, ColAlign, wordChoice(AlignWords(), c.align));
    m_columns->setCellWidget(row, ColType, wordChoice(TypeWords(), c.type));
    m_columns->setItem(row, ColFormat, new QTableWidgetItem(c.format));
    auto *check = new QCheckBox;
    check->setChecked(total);
    m_columns->setCellWidget(row, ColTotal, check);
}

void LayoutEditor::moveColumn(int delta)
{
    const int row = m_columns->currentRow();
    const int target = row + delta;
    if (row < 0 || target < 0 || target >= m_columns->rowCount())
        return;
    ReportLayout l = layout();
    l.columns.swapItemsAt(row, target);
    load(l);
    m_columns->setCurrentCell(target, ColField);
    markModified();
}

void LayoutEditor::load(const ReportLayout &l)
{
    const QSignalBlocker block(m_columns);
    m_path = l.path;
    m_report = l.report;
    m_title->setText(l.title);
    m_columns->setRowCount(0);
    for (const Column &c : l.columns)
        addColumn(c, l.isTotal(c.field));
    m_groupFields->setRowCount(0);
    for (const GroupField &g : l.group.fields) {
        const int row = m_groupFields->rowCount();
        m_groupFields->insertRow(row);
        m_groupFields->setItem(row, 0, new QTableWidgetItem(g.field));
        m_groupFields->setItem(row, 1, new QTableWidgetItem(g.label));
    }
    m_groupHeader->setText(l.group.header);
    m_groupFooter->setText(l.group.footer);
    m_grandTotal->setText(l.grandTotal);
    for (auto it = m_queries.begin(); it != m_queries.end(); ++it)
        it.value()->setPlainText(l.queries.value(it.key()));
    if (const int size = m_pageSize->findData(l.page.size); size >= 0)
        m_pageSize->setCurrentIndex(size);
    m_orientation->setCurrentIndex(l.page.landscape ? 1 : 0);
    m_fontSize->setValue(l.page.fontSize);
    const double margins[4] = {l.page.marginLeft, l.page.marginTop, l.page.marginRight,
                               l.page.marginBottom};
    for (int i = 0; i < 4; ++i)
        m_margins[i]->setValue(margins[i]);
    setWindowTitle(QStringLiteral("Editor de relatório - %1").arg(l.title));
    m_modified = false;
}

ReportLayout LayoutEditor::layout() const
{
    ReportLayout l;
    l.path = m_path;
    l.report = m_report;
    l.title = m_title->text().trimmed();
    auto text = [](const QTableWidget *t, int row, int col) {
        const QTableWidgetItem *item = t->item(row, col);
        return item ? item->text().trimmed() : QString();
    };
    for (int row = 0; row < m_columns->rowCount(); ++row) {
        Column c;
        c.field = text(m_columns, row, ColField).toUpper();
        c.label = text(m_columns, row, ColLabel);
        c.width = qobject_cast<QDoubleSpinBox *>(m_columns->cellWidget(row, ColWidth))->value();
        c.align = chosen<Align>(m_columns->cellWidget(row, ColAlign));
        c.type = chosen<ColumnType>(m_columns->cellWidget(row, ColType));
        c.format = text(m_columns, row, ColFormat);
        l.columns << c;
        if (qobject_cast<QCheckBox *>(m_columns->cellWidget(row, ColTotal))->isChecked())
            l.totals << c.field;
    }
    for (int row = 0; row < m_groupFields->rowCount(); ++row) {
        GroupField g{text(m_groupFields, row, 0).toUpper(), text(m_groupFields, row, 1)};
        if (!g.field.isEmpty())
            l.group.fields << g;
    }
    l.group.header = m_groupHeader->text();
    l.group.footer = m_groupFooter->text();
    l.grandTotal = m_grandTotal->text();
    for (auto it = m_queries.begin(); it != m_queries.end(); ++it)
        l.queries.insert(it.key(), it.value()->toPlainText());
    l.page.size = m_pageSize->currentData().toString();
    l.page.landscape = m_orientation->currentIndex() == 1;
    l.page.fontSize = m_fontSize->value();
    l.page.marginLeft = m_margins[0]->value();
    l.page.marginTop = m_margins[1]->value();
    l.page.marginRight = m_margins[2]->value();
    l.page.marginBottom = m_margins[3]->value();
    return l;
}

bool LayoutEditor::save()
{
    const ReportLayout l = layout();
    const QStringList problems = l.problems();
    if (!problems.isEmpty()) {
        Velmora::Services::current().showMessage(
            QStringLiteral("O layout não foi salvo: %1.").arg(problems.join(QStringLiteral("; "))));
        return false;
    }
    l.save(m_path);
    m_modified = false;
    setWindowTitle(QStringLiteral("Editor de relatório - %1").arg(l.title));
    emit saved(m_path);
    return true;
}

bool LayoutEditor::askParams(const ReportLayout &l, TParams &params, const QString &use)
{
    const QStringList problems = l.problems();
    if (!problems.isEmpty())
        throw Exception(QStringLiteral("O layout não pode ser %1: %2.")
                            .arg(use, problems.join(QStringLiteral("; "))));
    return m_hooks.askParams && m_hooks.askParams(l, params);
}

qint64 LayoutEditor::tryQuery()
{
    m_result->clear();
    m_result->setRowCount(0);
    m_result->setColumnCount(0);
    m_resultLabel->clear();
    const ReportLayout l = layout();
    TParams params;
    if (!askParams(l, params, QStringLiteral("testado")))
        return -1;
    ReportSource source(l, CurrentReportConnection(), params);
    m_result->setColumnCount(static_cast<int>(l.columns.size()));
    QStringList labels;
    std::vector<ValueFormatter> formats;
    for (const Column &c : l.columns) {
        labels << c.label;
        formats.emplace_back(c.type, c.format, ReportLocale());
    }
    m_result->setHorizontalHeaderLabels(labels);
    Band band;
    // Only the first rows are read: trying a query must not wait for a whole year of documents.
    bool more = false;
    while (source.next(band)) {
        if (band.kind != Band::Detail)
            continue;
        if (m_result->rowCount() >= previewRows) {
            more = true;
            break;
        }
        const int row = m_result->rowCount();
        m_result->insertRow(row);
        for (qsizetype i = 0; i < band.values.size(); ++i)
            m_result->setItem(row, int(i),
                              new QTableWidgetItem(formats[size_t(i)].text(band.values.at(i))));
    }
    m_resultLabel->setText(
        more ? QStringLiteral("A consulta devolveu mais de %1 linhas; as primeiras estão abaixo.")
                   .arg(previewRows)
             : QStringLiteral("A consulta devolveu %1 linha(s).").arg(source.rows()));
    return more ? -2 : source.rows();
}

QImage LayoutEditor::showFirstPage()
{
    m_pageView->clear();
    const ReportLayout l = layout();
    TParams params;
    if (!askParams(l, params, QStringLiteral("mostrado")))
        return {};
    const ReportConnection connection = CurrentReportConnection();
    PageContext context{
        l.title, l.report,
        QStringLiteral("Emitido em %1")
            .arg(QDateTime::currentDateTime().toString(QStringLiteral("dd/MM/yyyy hh:mm"))),
        BuildHeading(l.heading, connection, params, l.name())};
    // Only the first page's rows are read.
    PagedReport pages(std::make_unique<ReportSource>(l, connection, params), context);
    while (pages.pageCount() == 0 && pages.pump(256)) {
    }
    const double scale = 1.25;
    QImage image((pages.pageSize() * scale).toSize(), QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(scale, scale);
        pages.renderPage(0, painter);
    }
    m_pageView->setPixmap(QPixmap::fromImage(image));
    return image;
}

void LayoutEditor::newLayout()
{
    if (!m_hooks.createNew)
        return;
    const QString path = m_hooks.createNew(layout());
    if (path.isEmpty())
        return;
    load(ReportLayout::load(path));
}

} // namespace Velmora::Reports
