#include "OutputFile.h"
#include "ReportOutputs.h"
#include "ValueFormat.h"

#include "rtl/TDateTime.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QHash>

#include <xlsxwriter.h>

#include <cerrno>

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
    [[noreturn]] void fail(const QString &why) const { m_file.fail(0, why); }
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
    OutputFile file(path);
    Workbook wb(file);
    lxw_workbook *book = wb.book();
    lxw_format *bold = workbook_add_format(book);
    format_set_bold(bold);
    // One format object per number format: the library resolves a format that repeats
    // another by hashing it again on every cell.
    QHash<QByteArray, std::pair<lxw_format *, lxw_format *>> byCode;
    std::vector<lxw_format *> formats, totalFormats;
    for (const Column &c : layout.columns) {
        lxw_format *f = nullptr, *t = nullptr;
        if (c.type != ColumnType::Text) {
            const QByteArray code = c.type == ColumnType::Number ? numberFormat(c) : dateFormat(c);
            auto it = byCode.find(code);
            if (it == byCode.end()) {
                f = workbook_add_format(book);
                format_set_num_format(f, code.constData());
                t = workbook_add_format(book);
                format_set_num_format(t, code.constData());
                format_set_bold(t);
                it = byCode.insert(code, {f, t});
            }
            f = it->first;
            t = it->second;
        }
        formats.push_back(f);
        totalFormats.push_back(t);
    }

    std::vector<int> groupOnly;
    for (int i = 0; i < layout.group.fields.size(); ++i)
        if (layout.columnIndex(layout.group.fields.at(i).field) < 0)
            groupOnly.push_back(i);
    const auto offset = static_cast<lxw_col_t>(groupOnly.size());

    int sheetNumber = 0;
    lxw_worksheet *sheet = nullptr;
    lxw_row_t row = 0;
    auto newSheet = [&] {
        ++sheetNumber;
        const QByteArray name = sheetNumber == 1
                                    ? QByteArray("Relatório")
                                    : QStringLiteral("Relatório (%1)").arg(sheetNumber).toUtf8();
        sheet = workbook_add_worksheet(book, name.constData());
        if (!sheet)
            wb.fail(QStringLiteral("planilha não criada"));
        lxw_col_t col = 0;
        for (int g : groupOnly) {
            worksheet_set_column(sheet, col, col, g == 0 ? 18 : 36, nullptr);
            ++col;
        }
        for (const Column &c : layout.columns) {
            worksheet_set_column(sheet, col, col, qMax(6.0, c.width * 0.55), nullptr);
            ++col;
        }
        col = 0;
        for (int g : groupOnly)
            worksheet_write_string(sheet, 0, col++,
                                   layout.group.fields.at(g).label.toUtf8().constData(), bold);
        for (const Column &c : layout.columns)
            worksheet_write_string(sheet, 0, col++, c.label.toUtf8().constData(), bold);
        worksheet_freeze_panes(sheet, 1, 0);
        row = 1;
    };
    newSheet();

    auto writeValue = [&](lxw_col_t col, const Column &c, const QVariant &v, lxw_format *f) {
        if (v.isNull())
            return;
        switch (c.type) {
        case ColumnType::Number:
            worksheet_write_number(sheet, row, col, v.toDouble(), f);
            break;
        case ColumnType::Date:
            worksheet_write_number(sheet, row, col, serial(v.toDate()), f);
            break;
        case ColumnType::Text:
            worksheet_write_string(sheet, row, col, v.toString().toUtf8().constData(), nullptr);
            break;
        }
    };

    Band band;
    while (source.next(band)) {
        if (row >= maxRows)
            newSheet();
        switch (band.kind) {
        case Band::Detail: {
            lxw_col_t col = 0;
            for (int g : groupOnly)
                worksheet_write_string(sheet, row, col++,
                                       band.groupValues.at(g).toString().toUtf8().constData(),
                                       nullptr);
            for (qsizetype i = 0; i < band.values.size(); ++i)
                writeValue(offset + lxw_col_t(i), layout.columns.at(i), band.values.at(i),
                           formats[size_t(i)]);
            break;
        }
        case Band::GroupFooter:
        case Band::Summary: {
            QString label = band.text;
            worksheet_write_string(sheet, row, 0, label.toUtf8().constData(), bold);
            for (qsizetype i = 0; i < band.values.size(); ++i)
                writeValue(offset + lxw_col_t(i), layout.columns.at(i), band.values.at(i),
                           totalFormats[size_t(i)]);
            break;
        }
        case Band::Empty:
            worksheet_write_string(sheet, row, 0, band.text.toUtf8().constData(), nullptr);
            break;
        case Band::GroupHeader:
            continue; // the group fields lead every row
        }
        ++row;
    }

    lxw_worksheet *paramSheet = workbook_add_worksheet(book, "Parâmetros");
    worksheet_set_column(paramSheet, 0, 0, 20, nullptr);
    worksheet_set_column(paramSheet, 1, 1, 60, nullptr);
    worksheet_write_string(paramSheet, 0, 0, "Relatório", bold);
    worksheet_write_string(
        paramSheet, 0, 1,
        (context.reportCode + QStringLiteral(" - ") + context.title).toUtf8().constData(), nullptr);
    lxw_row_t prow = 1;
    for (const HeadingLine &line : context.heading) {
        worksheet_write_string(paramSheet, prow, 0, line.caption.toUtf8().constData(), bold);
        worksheet_write_string(paramSheet, prow, 1, line.text.toUtf8().constData(), nullptr);
        ++prow;
    }
    wb.close();
    file.commit();
    return {0, source.rows()};
}

} // namespace Velmora::Reports
