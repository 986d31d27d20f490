#include "ListDialog.h"

#include "DataSetModel.h"
#include "DialogButtons.h"
#include "ListModel_p.h"
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
    m_count->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Preferred);
    m_count->setMinimumWidth(m_count->fontMetrics().horizontalAdvance(
        m_model->complete() ? countText(m_model->total(), m_model->total(), m_model->total(), true)
                            : countText(9999999, 9999999, 9999999, false)));
    // Wide enough for the buttons and the count side by side.
    resize(qMax(qBound(460, tableWidth + 40, 860), minimumSizeHint().width()), 460);

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
