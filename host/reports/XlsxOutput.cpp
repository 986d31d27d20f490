#include "OutputFile.h"
#include "ReportOutputs.h"
#include "ValueFormat.h"

#include "rtl/TDateTime.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QStringEncoder>

#include <xlsxwriter.h>

#include <cerrno>
#include <vector>

namespace Velmora::Reports {

namespace {

constexpr lxw_row_t maxRows = LXW_ROW_MAX;

// Excel counts days from 30/12/1899 as the business dates do.
double serial(const QDate &date)
{
    return static_cast<double>(TDateTime::epoch().daysTo(date));
}

QByteArray numberFormat(const Column &c)
{
    if (c.format.isEmpty())
        return "#,##0.00";
    return c.format.toUtf8();
}

QByteArray dateFormat(const Column &c)
{
    // Excel's codes are lower case for months; the layout uses Qt's.
    return (c.format.isEmpty() ? QStringLiteral("dd/mm/yyyy") : c.format.toLower()).toUtf8();
}

// A whole column of a sheet as a formula names it: 'Relatório'!$K:$K.
QByteArray columnRange(const QByteArray &sheet, lxw_col_t col)
{
    char name[8];
    lxw_col_to_name(name, col, LXW_TRUE);
    QByteArray quoted = sheet;
    quoted.replace('\'', "''");
    return '\'' + quoted + "'!" + name + ':' + name;
}

// The criterion of a SUMIFS that matches the key exactly. A plain key is taken from its cell;
// one the criteria syntax would read as a comparison or a wildcard goes as an escaped literal.
QByteArray keyCriterion(const QString &key, lxw_row_t row)
{
    const bool plain = !key.isEmpty() && !key.contains(QLatin1Char('*')) &&
                       !key.contains(QLatin1Char('?')) && !key.contains(QLatin1Char('~')) &&
                       !QStringLiteral("=<>").contains(key.front());
    if (plain)
        return "$A" + QByteArray::number(row + 1);
    QByteArray literal = "\"=";
    for (const char c : key.toUtf8()) {
        if (c == '*' || c == '?' || c == '~')
            literal += '~';
        if (c == '"')
            literal += '"';
        literal += c;
    }
    return literal + '"';
}

// UTF-8 of the cells' texts into one reused, NUL-terminated buffer: a report converts
// millions of short texts, and nearly all of them are ASCII.
class Utf8Buffer
{
public:
    const char *operator()(QStringView text)
    {
        const size_t need = static_cast<size_t>(text.size()) * 3 + 1;
        if (m_bytes.size() < need)
            m_bytes.resize(need);
        char *out = m_bytes.data();
        const char16_t *in = text.utf16();
        qsizetype i = 0;
        for (; i < text.size() && in[i] < 0x80; ++i)
            *out++ = static_cast<char>(in[i]);
        if (i < text.size())
            out = m_encoder.appendToBuffer(out, text.mid(i));
        *out = '\0';
        return m_bytes.data();
    }

private:
    std::vector<char> m_bytes;
    QStringEncoder m_encoder{QStringEncoder::Utf8};
};

class Workbook
{
public:
    explicit Workbook(OutputFile &file) : m_file(file)
    {
        lxw_workbook_options options{};
        options.constant_memory = LXW_TRUE;
        m_tmp = QDir::tempPath().toUtf8();
        options.tmpdir = m_tmp.data();
        errno = 0;
        m_book = workbook_new_opt(QFile::encodeName(file.partialPath()).constData(), &options);
        if (!m_book)
            m_file.fail(errno);
    }
    ~Workbook()
    {
        if (m_book)
            workbook_close(m_book);
    }
    Workbook(const Workbook &) = delete;
    Workbook &operator=(const Workbook &) = delete;

    void close()
    {
        errno = 0;
        const lxw_error error = workbook_close(m_book);
        const int cause = errno;
        m_book = nullptr;
        if (error != LXW_NO_ERROR)
            m_file.fail(cause, cause != 0 ? QString()
                                          : QStringLiteral("a planilha não pôde ser gerada (%1)")
                                                .arg(QString::fromUtf8(lxw_strerror(error))));
    }
    lxw_worksheet *addSheet(const QByteArray &name) const
    {
        lxw_worksheet *sheet = workbook_add_worksheet(m_book, name.constData());
        if (!sheet)
            m_file.fail(
                0,
                QStringLiteral("a planilha '%1' não pôde ser criada").arg(QString::fromUtf8(name)));
        return sheet;
    }
    lxw_workbook *book() const { return m_book; }

private:
    OutputFile &m_file;
    QByteArray m_tmp;
    lxw_workbook *m_book = nullptr;
};

} // namespace

OutputResult WriteXlsx(ReportSource &source, const QString &path, const PageContext &context)
{
    const ReportLayout &layout = source.layout();
    const QList<Column> &columns = layout.columns;
    OutputFile file(path);
    Workbook wb(file);
    lxw_workbook *book = wb.book();
    lxw_format *bold = workbook_add_format(book);
    format_set_bold(bold);
    // Codes stay texts even when someone types over them.
    lxw_format *textFormat = workbook_add_format(book);
    format_set_num_format(textFormat, "@");
    // One format object per number format: the library resolves a format that repeats
    // another by hashing it again on every cell.
    QHash<QByteArray, std::pair<lxw_format *, lxw_format *>> byCode;
    std::vector<lxw_format *> formats, grandFormats;
    for (const Column &c : columns) {
        lxw_format *f = textFormat, *g = bold;
        if (c.type != ColumnType::Text) {
            const QByteArray code = c.type == ColumnType::Number ? numberFormat(c) : dateFormat(c);
            auto it = byCode.find(code);
            if (it == byCode.end()) {
                f = workbook_add_format(book);
                format_set_num_format(f, code.constData());
                g = workbook_add_format(book);
                format_set_num_format(g, code.constData());
                format_set_bold(g);
                it = byCode.insert(code, {f, g});
            }
            f = it->first;
            g = it->second;
        }
        formats.push_back(f);
        grandFormats.push_back(g);
    }

    // The data sheet leads with the group fields that are not columns themselves.
    const QList<GroupField> &groupFields = layout.group.fields;
    std::vector<int> groupOnly;
    std::vector<lxw_col_t> groupColumn; // of each group field in the data sheet
    for (int i = 0; i < groupFields.size(); ++i)
        if (layout.columnIndex(groupFields.at(i).field) < 0)
            groupOnly.push_back(i);
    const auto offset = static_cast<lxw_col_t>(groupOnly.size());
    for (int i = 0, only = 0; i < groupFields.size(); ++i) {
        const int c = layout.columnIndex(groupFields.at(i).field);
        groupColumn.push_back(c < 0 ? lxw_col_t(only++) : offset + lxw_col_t(c));
    }
    const lxw_col_t lastColumn = offset + lxw_col_t(columns.size()) - 1;
    Utf8Buffer utf8;

    std::vector<QByteArray> dataSheets;
    lxw_worksheet *sheet = nullptr;
    lxw_row_t row = 0;
    auto closeSheet = [&] {
        if (sheet)
            worksheet_autofilter(sheet, 0, 0, qMax<lxw_row_t>(row, 1) - 1, lastColumn);
    };
    auto newSheet = [&] {
        closeSheet();
        dataSheets.push_back(
            dataSheets.empty()
                ? QByteArray("Relatório")
                : QStringLiteral("Relatório (%1)").arg(dataSheets.size() + 1).toUtf8());
        sheet = wb.addSheet(dataSheets.back());
        lxw_col_t col = 0;
        for (int g : groupOnly) {
            worksheet_set_column(sheet, col, col, g == 0 ? 18 : 36, textFormat);
            worksheet_write_string(sheet, 0, col++, utf8(groupFields.at(g).label), bold);
        }
        for (qsizetype i = 0; i < columns.size(); ++i) {
            worksheet_set_column(sheet, col, col, qMax(6.0, columns.at(i).width * 0.55),
                                 formats[size_t(i)]);
            worksheet_write_string(sheet, 0, col++, utf8(columns.at(i).label), bold);
        }
        worksheet_freeze_panes(sheet, 1, 0);
        row = 1;
    };
    newSheet();

    // The totals: a row per group and the grand total, each a formula over the data sheets
    // with the value it comes to, for readers that do not calculate.
    std::vector<int> totals;
    for (int i = 0; i < columns.size(); ++i)
        if (layout.isTotal(columns.at(i).field))
            totals.push_back(i);
    const auto labels = static_cast<lxw_col_t>(qMax<qsizetype>(1, groupFields.size()));
    lxw_worksheet *totalSheet = wb.addSheet("Totais");
    for (int i = 0; i < groupFields.size(); ++i) {
        worksheet_set_column(totalSheet, lxw_col_t(i), lxw_col_t(i), i == 0 ? 18 : 36, textFormat);
        worksheet_write_string(totalSheet, 0, lxw_col_t(i), utf8(groupFields.at(i).label), bold);
    }
    for (size_t k = 0; k < totals.size(); ++k) {
        const Column &c = columns.at(totals[k]);
        worksheet_set_column(totalSheet, labels + lxw_col_t(k), labels + lxw_col_t(k),
                             qMax(10.0, c.width * 0.55), nullptr);
        worksheet_write_string(totalSheet, 0, labels + lxw_col_t(k), utf8(c.label), bold);
    }
    worksheet_freeze_panes(totalSheet, 1, 0);
    lxw_row_t totalRow = 1;
    QVariantList group;
    auto writeGroupTotals = [&](const Band &footer) {
        for (qsizetype i = 0; i < group.size(); ++i)
            if (!group.at(i).isNull())
                worksheet_write_string(totalSheet, totalRow, lxw_col_t(i),
                                       utf8(group.at(i).toString()), nullptr);
        const QByteArray criterion = keyCriterion(group.value(0).toString(), totalRow) + ')';
        for (size_t k = 0; k < totals.size(); ++k) {
            const int c = totals[k];
            QByteArray formula = "=";
            for (const QByteArray &name : dataSheets) {
                if (formula.size() > 1)
                    formula += '+';
                formula += "SUMIFS(" + columnRange(name, offset + lxw_col_t(c)) + ',' +
                           columnRange(name, groupColumn.at(0)) + ',' + criterion;
            }
            worksheet_write_formula_num(totalSheet, totalRow, labels + lxw_col_t(k),
                                        formula.constData(), formats[size_t(c)],
                                        footer.values.value(c).toDouble());
        }
        ++totalRow;
    };
    auto writeGrandTotal = [&](const Band *summary) {
        const QString label =
            layout.grandTotal.isEmpty() ? QStringLiteral("Total geral") : layout.grandTotal;
        worksheet_write_string(totalSheet, totalRow, 0, utf8(label), bold);
        for (size_t k = 0; k < totals.size(); ++k) {
            const int c = totals[k];
            QByteArray formula = "=SUM(";
            for (const QByteArray &name : dataSheets) {
                if (formula.size() > 5)
                    formula += ',';
                formula += columnRange(name, offset + lxw_col_t(c));
            }
            worksheet_write_formula_num(totalSheet, totalRow, labels + lxw_col_t(k),
                                        (formula + ')').constData(), grandFormats[size_t(c)],
                                        summary ? summary->values.value(c).toDouble() : 0.0);
        }
        ++totalRow;
    };

    // The group fields repeat on every row of a group: converted once per group.
    std::vector<QByteArray> groupTexts(groupOnly.size());
    bool grandWritten = false;
    Band band;
    while (source.next(band)) {
        switch (band.kind) {
        case Band::GroupHeader:
            group = band.groupValues;
            for (size_t g = 0; g < groupOnly.size(); ++g)
                groupTexts[g] = group.at(groupOnly[g]).toString().toUtf8();
            break;
        case Band::Detail: {
            if (row >= maxRows)
                newSheet();
            lxw_col_t col = 0;
            for (size_t g = 0; g < groupOnly.size(); ++g, ++col)
                if (!groupTexts[g].isEmpty())
                    worksheet_write_string(sheet, row, col, groupTexts[g].constData(), nullptr);
            for (qsizetype i = 0; i < band.values.size(); ++i, ++col) {
                const QVariant &v = band.values.at(i);
                if (v.isNull())
                    continue;
                switch (columns.at(i).type) {
                case ColumnType::Number:
                    worksheet_write_number(sheet, row, col, v.toDouble(), formats[size_t(i)]);
                    break;
                case ColumnType::Date:
                    worksheet_write_number(sheet, row, col, serial(v.toDate()), formats[size_t(i)]);
                    break;
                case ColumnType::Text:
                    worksheet_write_string(sheet, row, col, utf8(v.toString()), nullptr);
                    break;
                }
            }
            ++row;
            break;
        }
        case Band::GroupFooter:
            writeGroupTotals(band);
            break;
        case Band::Summary:
            writeGrandTotal(&band);
            grandWritten = true;
            break;
        case Band::Empty:
            worksheet_write_string(sheet, row++, 0, utf8(band.text), nullptr);
            break;
        }
    }
    if (!grandWritten)
        writeGrandTotal(nullptr);
    closeSheet();

    lxw_worksheet *paramSheet = wb.addSheet("Parâmetros");
    worksheet_set_column(paramSheet, 0, 0, 20, nullptr);
    worksheet_set_column(paramSheet, 1, 1, 60, nullptr);
    worksheet_write_string(paramSheet, 0, 0, "Relatório", bold);
    worksheet_write_string(paramSheet, 0, 1,
                           utf8(context.reportCode + QStringLiteral(" – ") + context.title),
                           nullptr);
    lxw_row_t prow = 1;
    for (const HeadingLine &line : context.heading) {
        worksheet_write_string(paramSheet, prow, 0, utf8(line.caption), bold);
        worksheet_write_string(paramSheet, prow, 1, utf8(line.text), nullptr);
        ++prow;
    }
    wb.close();
    file.commit();
    return {0, source.rows()};
}

} // namespace Velmora::Reports
