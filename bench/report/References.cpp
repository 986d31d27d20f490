#include "References.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFont>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>

#include <sqlite3.h>
#include <stdexcept>
#include <xlsxwriter.h>

namespace {

// Steps through the query's rows, calling row(stmt) for each.
template <class Row> qint64 eachRow(const QString &database, const QString &query, Row row)
{
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(database).constData(), &db, SQLITE_OPEN_READONLY,
                        nullptr) != SQLITE_OK)
        throw std::runtime_error("cannot open the database");
    sqlite3_stmt *stmt = nullptr;
    const QByteArray sql = query.toUtf8();
    if (sqlite3_prepare_v2(db, sql.constData(), -1, &stmt, nullptr) != SQLITE_OK)
        throw std::runtime_error(sqlite3_errmsg(db));
    qint64 rows = 0;
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        row(stmt);
        ++rows;
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return rows;
}

double perSecond(qint64 rows, const QElapsedTimer &t)
{
    return rows / (t.nsecsElapsed() / 1e9);
}

} // namespace

double SqliteCsvCeiling(const QString &database, const QString &query, const QString &out,
                        qint64 *rows)
{
    QElapsedTimer t;
    t.start();
    QProcess p;
    p.setStandardOutputFile(out);
    p.start(QStringLiteral("sqlite3"), {QStringLiteral("-csv"), database, query});
    if (!p.waitForFinished(-1) || p.exitCode() != 0)
        throw std::runtime_error("sqlite3 failed");
    const double elapsed = t.nsecsElapsed() / 1e9;
    QFile f(out);
    f.open(QIODevice::ReadOnly);
    qint64 lines = 0;
    while (!f.atEnd())
        lines += f.readLine().isEmpty() ? 0 : 1;
    *rows = lines;
    return lines / elapsed;
}

double BareXlsxCeiling(const QString &database, const QString &query, const QString &out,
                       qint64 *rows)
{
    QElapsedTimer t;
    t.start();
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    lxw_workbook *book = workbook_new_opt(QFile::encodeName(out).constData(), &options);
    lxw_worksheet *sheet = workbook_add_worksheet(book, nullptr);
    lxw_row_t r = 0;
    *rows = eachRow(database, query, [&](sqlite3_stmt *stmt) {
        const int n = sqlite3_column_count(stmt);
        for (int c = 0; c < n; ++c) {
            const int type = sqlite3_column_type(stmt, c);
            if (type == SQLITE_FLOAT || type == SQLITE_INTEGER)
                worksheet_write_number(sheet, r, lxw_col_t(c), sqlite3_column_double(stmt, c),
                                       nullptr);
            else if (type == SQLITE_TEXT)
                worksheet_write_string(sheet, r, lxw_col_t(c),
                                       reinterpret_cast<const char *>(sqlite3_column_text(stmt, c)),
                                       nullptr);
        }
        ++r;
    });
    workbook_close(book);
    return perSecond(*rows, t);
}

double PlainPdfLoop(const QString &database, const QString &query, const QString &out, qint64 *rows)
{
    QElapsedTimer t;
    t.start();
    QPdfWriter writer(out);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setPageOrientation(QPageLayout::Landscape);
    QPainter painter(&writer);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSizeF(8);
    painter.setFont(font);
    const double dpi = writer.resolution();
    const double line = 11.6 * dpi / 72, column = 26 * dpi / 72;
    const double top = 40 * dpi / 72, bottom = writer.height() - 30 * dpi / 72;
    double y = top;
    *rows = eachRow(database, query, [&](sqlite3_stmt *stmt) {
        const int n = sqlite3_column_count(stmt);
        for (int c = 0; c < n; ++c)
            painter.drawText(
                QPointF(30 + c * column, y),
                QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, c))));
        y += line;
        if (y > bottom) {
            writer.newPage();
            y = top;
        }
    });
    painter.end();
    return perSecond(*rows, t);
}
