#include "ListDialog.h"

#include "DataSetModel.h"
#include "DialogButtons.h"
#include "PastedCodes.h"
#include "SelectionString.h"
#include "data/TDataSet.h"
#include "framework/Consiste.h"
#include "framework/Services.h"
#include "rtl/Exceptions.h"

#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include <functional>
#include <vector>

// The rows the filter lets through, each with its check box in a leading column. Checks are
// kept per dataset row, so a row hidden by the filter keeps its mark. While the dataset's rows
// are still coming, what the clerk did to the whole list (check all, check what a filter shows,
// check keys) is kept as rules, and each row that arrives is checked as they say in their
// order; the filter lets arriving rows through as it would have.
class ListModel : public DataSetModel
{
public:
    ListModel(TDataSet *dataSet, TField *key, QObject *parent)
        : DataSetModel(dataSet, parent), m_key(key), m_total(dataSet ? dataSet->FetchedCount() : 0),
          m_checks(static_cast<size_t>(m_total), false)
    {
        setColumnOffset(1);
        if (dataSet) {
            QObject::connect(dataSet, &TDataSet::RowsArrived, this,
                             [this](int first, int count) { arrived(first, count); });
            QObject::connect(dataSet, &TDataSet::FetchFinished, this, [this] {
                m_rules.clear();
                notify();
            });
        }
    }

    std::function<void()> checksChanged;

    int rowCount(const QModelIndex &parent = {}) const override
    {
        if (parent.isValid())
            return 0;
        return m_filtered ? static_cast<int>(m_shown.size()) : m_total;
    }
    int DataSetRow(int modelRow) const override
    {
        return m_filtered ? m_shown[modelRow] : modelRow;
    }

    QVariant data(const QModelIndex &index, int role) const override
    {
        if (index.isValid() && index.column() == 0 && role == Qt::CheckStateRole)
            return m_checks[DataSetRow(index.row())] ? Qt::Checked : Qt::Unchecked;
        return DataSetModel::data(index, role);
    }
    Qt::ItemFlags flags(const QModelIndex &index) const override
    {
        Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
        if (index.column() == 0)
            f |= Qt::ItemIsUserCheckable;
        return f;
    }
    bool setData(const QModelIndex &index, const QVariant &value, int role) override
    {
        if (!index.isValid() || index.column() != 0 || role != Qt::CheckStateRole)
            return false;
        set(DataSetRow(index.row()), value.value<Qt::CheckState>() == Qt::Checked);
        emit dataChanged(index, index, {Qt::CheckStateRole});
        notify();
        return true;
    }

    int total() const { return m_total; }
    bool complete() const { return !DataSet() || DataSet()->FetchComplete(); }
    int checkedCount() const { return m_checked; }
    bool isChecked(int row) const { return row >= 0 && row < m_total && m_checks[row]; }
    void set(int row, bool on)
    {
        if (row < 0 || row >= m_total || m_checks[row] == on)
            return;
        m_checks[row] = on;
        m_checked += on ? 1 : -1;
    }
    void setAndShow(int row, bool on)
    {
        set(row, on);
        refreshChecks();
        notify();
    }
    void checkShown(bool on)
    {
        if (!m_filtered) {
            std::fill(m_checks.begin(), m_checks.end(), on);
            m_checked = on ? m_total : 0;
            m_rules.clear();
            keep({Rule::All, on, {}, {}});
        } else {
            for (const int row : m_shown)
                set(row, on);
            keep({Rule::Matching, on, m_filterText, {}});
        }
        refreshChecks();
        notify();
    }
    // Rows still to come whose key is one of keys arrive checked.
    void checkArriving(QSet<QString> keys)
    {
        if (!keys.isEmpty())
            keep({Rule::Keys, true, {}, std::move(keys)});
    }
    void refreshChecks()
    {
        if (rowCount() > 0)
            emit dataChanged(index(0, 0), index(rowCount() - 1, 0), {Qt::CheckStateRole});
    }

    bool filtered() const { return m_filtered; }
    const QString &filterText() const { return m_filterText; }
    const std::vector<int> &shown() const { return m_shown; }
    void showAll()
    {
        beginResetModel();
        m_filtered = false;
        m_shown.clear();
        m_filterText.clear();
        endResetModel();
    }
    void showRows(std::vector<int> rows, const QString &text)
    {
        beginResetModel();
        m_filtered = true;
        m_shown = std::move(rows);
        m_filterText = text;
        endResetModel();
    }
    bool matches(int row, const QString &text) const
    {
        for (int c = 0; c < Fields().size(); ++c) {
            const QString value = Fields().at(c)->TextAt(row);
            if (value.contains(text, Qt::CaseInsensitive))
                return true;
            // "12.345" finds the raw "12345678000195" of a field shown through a mask.
            if (!Mask(c).isEmpty()) {
                const QString bare = Mask(c).stripLiterals(text);
                if (!bare.isEmpty() && bare != text && value.contains(bare, Qt::CaseInsensitive))
                    return true;
            }
        }
        return false;
    }

private:
    struct Rule
    {
        enum Kind { All, Matching, Keys } kind;
        bool on;
        QString text;
        QSet<QString> keys;
    };

    void keep(Rule rule)
    {
        if (!complete())
            m_rules.push_back(std::move(rule));
    }

    bool applies(const Rule &rule, int row) const
    {
        switch (rule.kind) {
        case Rule::All:
            return true;
        case Rule::Matching:
            return matches(row, rule.text);
        case Rule::Keys:
            return m_key && rule.keys.contains(m_key->TextAt(row));
        }
        return false;
    }

    void arrived(int first, int count)
    {
        const int end = first + count;
        if (first != m_total || count <= 0)
            return;
        if (!m_filtered)
            beginInsertRows({}, first, end - 1);
        m_total = end;
        m_checks.resize(static_cast<size_t>(end), false);
        std::vector<int> passing;
        for (int r = first; r < end; ++r) {
            bool on = false;
            for (const Rule &rule : m_rules)
                if (applies(rule, r))
                    on = rule.on;
            set(r, on);
            if (m_filtered && matches(r, m_filterText))
                passing.push_back(r);
        }
        if (!m_filtered) {
            endInsertRows();
        } else if (!passing.empty()) {
            const int from = static_cast<int>(m_shown.size());
            beginInsertRows({}, from, from + static_cast<int>(passing.size()) - 1);
            m_shown.insert(m_shown.end(), passing.begin(), passing.end());
            endInsertRows();
        }
        notify();
    }

    void notify()
    {
        if (checksChanged)
            checksChanged();
    }

    TField *m_key = nullptr;
    int m_total = 0;
    int m_checked = 0;
    std::vector<bool> m_checks;
    std::vector<int> m_shown;
    std::vector<Rule> m_rules;
    QString m_filterText;
    bool m_filtered = false;
};

ListDialog::ListDialog(TDataSet *dataSet, const QString &keyField, const QString &title,
                       const QString &selection, QWidget *parent)
    : QDialog(parent)
{
    m_key = dataSet ? dataSet->FieldByName(keyField) : nullptr;
    m_dataSet = dataSet;
    m_model = new ListModel(dataSet, m_key, this);
    m_filter = new QLineEdit(this);
    m_view = new QTableView(this);
    m_count = new QLabel(this);
    m_checkAll = new QPushButton(QStringLiteral("Marcar todos"), this);
    m_uncheckAll = new QPushButton(QStringLiteral("Desmarcar todos"), this);
    m_paste = new QPushButton(QStringLiteral("Colar códigos"), this);
    m_filterDelay = new QTimer(this);
    setWindowTitle(title);
    setObjectName(QStringLiteral("ListDialog"));
    m_filter->setObjectName(QStringLiteral("Filtro"));
    m_view->setObjectName(QStringLiteral("Linhas"));
    for (QPushButton *b : {m_checkAll, m_uncheckAll, m_paste})
        b->setAutoDefault(false);

    if (!selection.isEmpty() && m_key)
        checkSelection(SelectionString::Parse(selection));

    // Row heights are set before the rows come: setting them after walks a million rows.
    m_view->verticalHeader()->hide();
    m_view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_view->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    m_view->setModel(m_model);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setSelectionMode(QAbstractItemView::SingleSelection);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setTabKeyNavigation(false);
    m_view->setWordWrap(false);
    m_view->setAlternatingRowColors(true);
    m_view->horizontalHeader()->setStretchLastSection(true);
    m_view->setColumnWidth(0, 28);
    int tableWidth = 28;
    const int charWidth = fontMetrics().averageCharWidth();
    for (int c = 0; c < m_model->Fields().size(); ++c) {
        const int width = qBound(60, m_model->ExpectedWidth(c) * charWidth + 24, 320);
        m_view->setColumnWidth(c + 1, width);
        tableWidth += width;
    }
    m_view->installEventFilter(this);
    m_filter->installEventFilter(this);
    m_filter->setPlaceholderText(QStringLiteral("Filtrar"));

    m_model->checksChanged = [this] { updateCount(); };
    m_filterDelay->setSingleShot(true);
    m_filterDelay->setInterval(250);
    connect(m_filterDelay, &QTimer::timeout, this, [this] { SetFilter(m_filter->text()); });
    connect(m_filter, &QLineEdit::textChanged, m_filterDelay, qOverload<>(&QTimer::start));
    connect(m_checkAll, &QPushButton::clicked, this, [this] { CheckAll(); });
    connect(m_uncheckAll, &QPushButton::clicked, this, [this] { UncheckAll(); });
    connect(m_paste, &QPushButton::clicked, this, [this] { PasteFromClipboard(); });
    connect(m_view, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex &index) {
        if (index.column() != 0)
            m_model->setAndShow(m_model->DataSetRow(index.row()),
                                !m_model->isChecked(m_model->DataSetRow(index.row())));
    });

    QDialogButtonBox *buttons = Velmora::OkCancelButtons(this);

    auto *top = new QHBoxLayout;
    auto *label = new QLabel(QStringLiteral("&Filtrar:"), this);
    label->setBuddy(m_filter);
    top->addWidget(label);
    top->addWidget(m_filter, 1);
    auto *actions = new QHBoxLayout;
    actions->addWidget(m_checkAll);
    actions->addWidget(m_uncheckAll);
    actions->addWidget(m_paste);
    actions->addStretch(1);
    actions->addWidget(m_count);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_view, 1);
    layout->addLayout(actions);
    layout->addWidget(buttons);
    // The count's text grows as rows are checked: room for its widest form is made now, so
    // the dialog keeps the size it opens with.
    m_count->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_count->setMinimumWidth(m_count->fontMetrics().horizontalAdvance(
        m_model->complete() ? countText(m_model->total(), m_model->total(), m_model->total(), true)
                            : countText(9999999, 9999999, 9999999, false)));
    resize(qBound(460, tableWidth + 40, 860), 460);

    updateCount();
    showFirstRow();
    m_filter->setFocus();
}

ListDialog::~ListDialog() = default;

// A selection this dialog wrote lists its keys in row order: walk rows and keys together,
// and look up by hash only the keys left over (a selection in another order).
void ListDialog::checkSelection(const QStringList &keys)
{
    qsizetype k = 0;
    for (int r = 0; r < m_model->total() && k < keys.size(); ++r) {
        if (m_key->TextAt(r) == keys.at(k)) {
            m_model->set(r, true);
            ++k;
        }
    }
    if (k == keys.size())
        return;
    const QSet<QString> wanted(keys.cbegin() + k, keys.cend());
    for (int r = 0; r < m_model->total(); ++r)
        if (wanted.contains(m_key->TextAt(r)))
            m_model->set(r, true);
    m_model->checkArriving(wanted);
}

bool ListDialog::fetchAll()
{
    if (m_model->complete())
        return true;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        m_dataSet->FetchAll();
    } catch (const EDatabaseError &e) {
        QApplication::restoreOverrideCursor();
        Velmora::Services::current().showMessage(e.Message());
        return false;
    }
    QApplication::restoreOverrideCursor();
    return true;
}

void ListDialog::accept()
{
    // The selection names rows in their order: every row must be there first.
    if (fetchAll())
        QDialog::accept();
}

QString ListDialog::Selection() const
{
    const_cast<ListDialog *>(this)->fetchAll();
    QString text;
    for (int r = 0; r < m_model->total() && m_key; ++r)
        if (m_model->isChecked(r))
            SelectionString::Append(text, m_key->TextAt(r));
    return text;
}

int ListDialog::CheckedCount() const
{
    return m_model->checkedCount();
}

int ListDialog::RowCount() const
{
    return m_model->total();
}

int ListDialog::ShownCount() const
{
    return m_model->rowCount();
}

bool ListDialog::IsChecked(int dataSetRow) const
{
    return m_model->isChecked(dataSetRow);
}

void ListDialog::SetChecked(int dataSetRow, bool checked)
{
    m_model->setAndShow(dataSetRow, checked);
}

void ListDialog::CheckAll()
{
    m_model->checkShown(true);
}

void ListDialog::UncheckAll()
{
    m_model->checkShown(false);
}

void ListDialog::SetFilter(const QString &text)
{
    m_filterDelay->stop();
    const QString wanted = text.trimmed();
    if (wanted == m_model->filterText() && (m_model->filtered() || wanted.isEmpty()))
        return;
    if (wanted.isEmpty()) {
        m_model->showAll();
    } else {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        // Typing on narrows what the previous filter let through.
        const bool narrowing =
            m_model->filtered() && wanted.startsWith(m_model->filterText(), Qt::CaseInsensitive);
        std::vector<int> rows;
        if (narrowing) {
            for (const int r : m_model->shown())
                if (m_model->matches(r, wanted))
                    rows.push_back(r);
        } else {
            for (int r = 0; r < m_model->total(); ++r)
                if (m_model->matches(r, wanted))
                    rows.push_back(r);
        }
        m_model->showRows(std::move(rows), wanted);
        QApplication::restoreOverrideCursor();
    }
    showFirstRow();
    updateCount();
}

void ListDialog::showFirstRow()
{
    if (m_model->rowCount() > 0)
        m_view->selectionModel()->setCurrentIndex(
            m_model->index(0, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void ListDialog::toggleCurrent()
{
    const QModelIndex current = m_view->currentIndex();
    if (!current.isValid())
        return;
    const int row = m_model->DataSetRow(current.row());
    m_model->setAndShow(row, !m_model->isChecked(row));
}

bool ListDialog::digitKeys() const
{
    if (!m_digitKeys.has_value()) {
        bool digits = m_key && m_model->total() > 0;
        for (int r = 0; r < m_model->total() && digits; ++r) {
            const QString key = m_key->TextAt(r);
            digits = key.isEmpty() || PastedCodes::IsDigits(key);
        }
        m_digitKeys = digits;
    }
    return *m_digitKeys;
}

// Checks the rows whose key is one of the forms of the codes; returns the codes found.
QSet<QString> ListDialog::checkCodes(const QStringList &codes)
{
    // Each code also as the key stores it: without the mask's literals, without any
    // punctuation when the keys are digits (a CNPJ or CPF as printed), and with the leading
    // zeros a spreadsheet drops from a numeric code.
    const EditMask mask(m_key->EditMask());
    QHash<QString, QString> variants; // key text -> the code as pasted
    for (const QString &code : codes) {
        QStringList forms{code, mask.stripLiterals(code)};
        // Only a code the mask did not already bare asks whether the keys are digits.
        const QString bare = PastedCodes::BareDigits(code);
        if (!bare.isEmpty() && !forms.contains(bare) && digitKeys())
            forms << bare;
        for (const QString &form : QStringList(forms))
            if (PastedCodes::IsDigits(form) && form.size() < m_key->Size())
                forms << Consiste::Ajusta(form, m_key->Size());
        for (const QString &form : std::as_const(forms))
            if (!form.isEmpty() && !variants.contains(form))
                variants.insert(form, code);
    }
    QSet<QString> found;
    QSet<QString> seen;
    for (int r = 0; r < m_model->total(); ++r) {
        const auto it = variants.constFind(m_key->TextAt(r));
        if (it == variants.cend())
            continue;
        m_model->set(r, true);
        found.insert(*it);
        seen.insert(it.key());
    }
    if (!m_model->complete()) {
        // The rows still to come are asked for where they come from.
        QStringList unseen;
        for (auto it = variants.cbegin(); it != variants.cend(); ++it)
            if (!found.contains(*it))
                unseen << it.key();
        QSet<QString> arriving;
        if (!unseen.isEmpty()) {
            QApplication::setOverrideCursor(Qt::WaitCursor);
            try {
                arriving = m_dataSet->KeysInResult(m_key->FieldName(), unseen);
            } catch (const EDatabaseError &e) {
                Velmora::Services::current().showMessage(e.Message());
            }
            QApplication::restoreOverrideCursor();
        }
        // A key the arrived rows hold is there already.
        for (const QString &key : std::as_const(seen))
            arriving.remove(key);
        for (const QString &key : std::as_const(arriving))
            found.insert(variants.value(key));
        m_model->checkArriving(arriving);
    }
    return found;
}

QStringList ListDialog::PasteCodes(const QString &text)
{
    const QList<PastedCodes::Code> pasted = PastedCodes::Split(text);
    QStringList codes;
    for (const PastedCodes::Code &code : pasted)
        codes << code.text;
    if (codes.isEmpty() || !m_key)
        return codes;

    const QSet<QString> found = checkCodes(codes);
    // A code with blanks that matches no key whole is several codes on one line.
    QStringList words;
    for (const PastedCodes::Code &code : pasted)
        if (!found.contains(code.text))
            words << code.words;
    words.removeDuplicates();
    const QSet<QString> foundWords = words.isEmpty() ? QSet<QString>() : checkCodes(words);
    QStringList missing;
    QSet<QString> missingWords;
    for (const PastedCodes::Code &code : pasted) {
        if (found.contains(code.text))
            continue;
        if (code.words.isEmpty())
            missing << code.text;
        for (const QString &word : code.words)
            if (!foundWords.contains(word) && !missingWords.contains(word)) {
                missingWords.insert(word);
                missing << word;
            }
    }
    m_model->refreshChecks();
    updateCount();

    if (!missing.isEmpty()) {
        const int shownMax = 20;
        QString list = QStringList(missing.mid(0, shownMax)).join(QStringLiteral(", "));
        if (missing.size() > shownMax)
            list += QStringLiteral(" e mais %1").arg(missing.size() - shownMax);
        Velmora::Services::current().showMessage(
            missing.size() == 1
                ? QStringLiteral("Código não encontrado na lista: %1.").arg(list)
                : QStringLiteral("Códigos não encontrados na lista: %1.").arg(list));
    }
    return missing;
}

void ListDialog::PasteFromClipboard()
{
    PasteCodes(QGuiApplication::clipboard()->text());
}

QString ListDialog::countText(int checked, int total, int shown, bool complete)
{
    // Until the last row arrives the counts are of the rows at hand, and say so.
    const QString more = complete ? QString() : QStringLiteral("+");
    QString text = QStringLiteral("%1 de %2%3 selecionados").arg(checked).arg(total).arg(more);
    if (shown >= 0)
        text += QStringLiteral(" (exibindo %1%2)").arg(shown).arg(more);
    return text;
}

void ListDialog::updateCount()
{
    m_count->setText(countText(m_model->checkedCount(), m_model->total(),
                               m_model->filtered() ? m_model->rowCount() : -1,
                               m_model->complete()));
}

bool ListDialog::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return QDialog::eventFilter(watched, event);
    const auto *key = static_cast<QKeyEvent *>(event);
    const bool plain = !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
    if (watched == m_filter) {
        switch (key->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            // Enter filters at once and takes the clerk to the rows; it does not close the
            // dialog.
            SetFilter(m_filter->text());
            m_view->setFocus();
            return true;
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
            m_view->setFocus();
            return true;
        case Qt::Key_Space:
            // A blank leading the filter means nothing; between words it is the clerk's.
            if (plain && m_filter->text().isEmpty()) {
                toggleCurrent();
                return true;
            }
            break;
        default:
            // A copied column is a list of codes to check, not a text to filter by.
            if (key->matches(QKeySequence::Paste) &&
                PastedCodes::IsList(QGuiApplication::clipboard()->text())) {
                PasteFromClipboard();
                return true;
            }
            break;
        }
    } else if (watched == m_view) {
        if (key->key() == Qt::Key_Space && plain) {
            toggleCurrent();
            return true;
        }
        if (key->matches(QKeySequence::Paste)) {
            PasteFromClipboard();
            return true;
        }
        // Typing in the rows types in the filter (the view's own search would scan every
        // row).
        if (plain && !key->text().isEmpty() && key->text().at(0).isPrint()) {
            m_filter->setFocus();
            m_filter->insert(key->text());
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}
