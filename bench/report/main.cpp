// The report engine's throughput over the FIS014 report: rows per second and peak memory of
// the CSV, XLSX and PDF outputs, the time to the first preview page, and in the same run the
// ceilings the outputs are held against (sqlite3 -csv, a bare constant-memory libxlsxwriter
// loop, one QPainter::drawText per cell on QPdfWriter).
#include "BenchData.h"
#include "References.h"

#include "data/TParams.h"
#include "reports/PagedReport.h"
#include "reports/ReportLayout.h"
#include "reports/ReportOutputs.h"
#include "reports/ReportQuery.h"
#include "reports/ReportRun.h"
#include "reports/ReportSource.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <sys/resource.h>

using namespace Velmora::Reports;

namespace {

void figure(const char *name, double value, const char *unit)
{
    std::printf("figure: %s %.*f %s\n", name, value < 10 ? 2 : 0, value, unit);
    std::fflush(stdout);
}

// The process's peak resident memory since the last reset, in MB.
double peakMb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    return -1;
}

// CPU seconds of this process and of the children it waited for: the machine is shared, so
// rates are also given per CPU second, which other people's work does not disturb.
double cpuSeconds()
{
    rusage self{}, children{};
    getrusage(RUSAGE_SELF, &self);
    getrusage(RUSAGE_CHILDREN, &children);
    auto sec = [](const timeval &t) { return t.tv_sec + t.tv_usec / 1e6; };
    return sec(self.ru_utime) + sec(self.ru_stime) + sec(children.ru_utime) +
           sec(children.ru_stime);
}

void resetPeak()
{
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    if (refs.open(QIODevice::WriteOnly))
        refs.write("5");
}

void fill(TParams &params)
{
    const QVariantMap values{{QStringLiteral("P_CDEMPRESA"), QStringLiteral("01")},
                             {QStringLiteral("P_CDFILIAL"), QString(QLatin1String(""))},
                             {QStringLiteral("P_TCDFILIAL"), QStringLiteral("T")},
                             {QStringLiteral("P_CDFORNECED"), QString(QLatin1String(""))},
                             {QStringLiteral("P_TCDFORNECED"), QStringLiteral("T")},
                             {QStringLiteral("P_DTINICIAL"),
                              QVariant::fromValue(TDateTime::fromDate(QDate(2024, 1, 1)))},
                             {QStringLiteral("P_DTFINAL"),
                              QVariant::fromValue(TDateTime::fromDate(QDate(2024, 12, 31)))},
                             {QStringLiteral("P_CDINSCRICAO"), QString(QLatin1String(""))},
                             {QStringLiteral("P_CDIMPOSTO"), QStringLiteral("01")}};
    for (int i = 0; i < params.Count(); ++i) {
        TParam *p = params.Items(i);
        p->SetAsVariant(values.value(p->Name().toUpper()));
    }
}

// The same statement with its values written in, for the tools that take no parameters.
QString literalQuery(const QString &text, const TParams &params)
{
    QString sql = text;
    for (int i = 0; i < params.Count(); ++i) {
        const TParam *p = params.Items(i);
        const QString value =
            p->IsDate() ? p->AsDate().toDate().toString(Qt::ISODate) : p->AsString();
        sql.replace(QRegularExpression(QStringLiteral(":%1\\b").arg(p->Name())),
                    QLatin1Char('\'') + value + QLatin1Char('\''));
    }
    return sql;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::Portuguese, QLocale::Brazil));
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption quick(QStringLiteral("quick"),
                                   QStringLiteral("20,000 documents, seconds"));
    const QCommandLineOption documents(QStringLiteral("documents"),
                                       QStringLiteral("documents to generate"), QStringLiteral("N"),
                                       QStringLiteral("200000"));
    const QCommandLineOption keep(QStringLiteral("keep"),
                                  QStringLiteral("keep the files in this folder"),
                                  QStringLiteral("DIR"));
    const QCommandLineOption only(
        QStringLiteral("only"),
        QStringLiteral(
            "run some parts: csv, xlsx, pdf, preview (and paging), worker or references, "
            "comma separated; an output's ceiling runs with it"),
        QStringLiteral("PART"));
    const QCommandLineOption reuse(QStringLiteral("reuse"),
                                   QStringLiteral("use the database already in the --keep folder"));
    const QCommandLineOption repeat(
        QStringLiteral("rounds"),
        QStringLiteral("run each output and its ceiling this many times, keep the best of each"),
        QStringLiteral("N"), QStringLiteral("1"));
    const QCommandLineOption alone(QStringLiteral("alone"),
                                   QStringLiteral("run the outputs without their ceilings, to "
                                                  "profile them"));
    parser.addOptions({quick, documents, keep, only, reuse, repeat, alone});
    parser.process(app);
    const int count = parser.isSet(quick) ? 20000 : parser.value(documents).toInt();
    const int rounds = std::max(1, parser.value(repeat).toInt());

    QTemporaryDir temp;
    const QString dir = parser.isSet(keep) ? parser.value(keep) : temp.path();
    const QString database = dir + QStringLiteral("/bench.sqlite");
    QElapsedTimer t;
    t.start();
    if (!parser.isSet(reuse) || !QFile::exists(database))
        CreateBenchDatabase(database, count);
    figure("report_documents", count, "documents");
    figure("report_data_s", t.nsecsElapsed() / 1e9, "s");

    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"));
    db.setDatabaseName(database);
    if (!db.open())
        return 2;
    const ReportConnection connection = CurrentReportConnection();
    const ReportLayout layout = ReportLayout::load(QStringLiteral(FIS014_LAYOUT));
    TParams params;
    ParamsFromText(layout.queryText(connection.kind), params);
    fill(params);
    const PageContext context{layout.title, QStringLiteral("FIS014"),
                              QStringLiteral("Emitido em bench"),
                              BuildHeading(layout.heading, connection, params, layout.name())};

    const QStringList parts = parser.value(only).split(QLatin1Char(','), Qt::SkipEmptyParts);
    auto runs = [&](const char *name) {
        return parts.isEmpty() || parts.contains(QLatin1String(name));
    };
    // A ceiling runs with its output too, so that a share compares two figures of one run.
    auto ceiling = [&](const char *output) {
        return runs("references") ||
               (!parser.isSet(alone) && parts.contains(QLatin1String(output)));
    };
    auto measure = [&](const char *name, auto write) -> std::pair<double, qint64> {
        if (!runs(name))
            return {0, 0};
        resetPeak();
        QElapsedTimer timer;
        timer.start();
        const double cpu = cpuSeconds();
        // Saves run on a connection of their own, as the screen's report runs do.
        const WorkerConnection worker(connection);
        ReportSource source(layout, worker.connection(), params);
        const OutputResult r = write(source);
        const double rate = r.rows / (timer.nsecsElapsed() / 1e9);
        const double cpuRate = r.rows / (cpuSeconds() - cpu);
        const QByteArray prefix(name);
        figure((prefix + "_rows_per_s").constData(), rate, "rows/s");
        figure((prefix + "_rows_per_cpu_s").constData(), cpuRate, "rows/s");
        figure((prefix + "_peak_mb").constData(), peakMb(), "MB");
        return std::make_pair(cpuRate, r.rows);
    };
    const QString literal = literalQuery(layout.queryText(connection.kind), params);
    qint64 rows = 0, refRows = 0;
    auto reference = [&](const char *name, auto loop, const QString &file) {
        const double cpu = cpuSeconds();
        const double rate = loop(database, literal, dir + file, &refRows);
        const double cpuRate = refRows / (cpuSeconds() - cpu);
        figure((QByteArray(name) + "_rows_per_s").constData(), rate, "rows/s");
        figure((QByteArray(name) + "_rows_per_cpu_s").constData(), cpuRate, "rows/s");
        return cpuRate;
    };
    // Each output runs next to its ceiling, round after round; a share compares the best
    // round of each, as a neighbour's burst slows one round and not the next.
    double csv = 0, csvCeiling = 0, xlsx = 0, xlsxCeiling = 0, pdf = 0, plainPdf = 0;
    for (int round = 0; round < rounds; ++round) {
        const auto [csvRate, csvRows] =
            measure("csv", [&](ReportSource &s) { return WriteCsv(s, dir + "/fis014.csv"); });
        csv = std::max(csv, csvRate);
        rows = std::max(rows, csvRows);
        if (ceiling("csv"))
            csvCeiling =
                std::max(csvCeiling, reference("csv_ceiling", SqliteCsvCeiling, "/ref.csv"));
        xlsx = std::max(xlsx, measure("xlsx", [&](ReportSource &s) {
                                  return WriteXlsx(s, dir + "/fis014.xlsx", context);
                              }).first);
        if (ceiling("xlsx"))
            xlsxCeiling =
                std::max(xlsxCeiling, reference("xlsx_ceiling", BareXlsxCeiling, "/ref.xlsx"));
        pdf = std::max(pdf, measure("pdf", [&](ReportSource &s) {
                                return WritePdf(s, dir + "/fis014.pdf", context);
                            }).first);
        if (ceiling("pdf"))
            plainPdf = std::max(plainPdf, reference("pdf_plain_loop", PlainPdfLoop, "/ref.pdf"));
    }
    figure("report_rows", rows, "rows");
    if (rows > 0 && refRows > 0 && refRows != rows)
        std::fprintf(stderr, "the reference loops read %lld rows, the report %lld\n", refRows,
                     rows);
    // The shares compare CPU seconds, as the wall clock of a shared machine wanders.
    if (csv > 0 && csvCeiling > 0)
        figure("csv_share_of_ceiling", 100.0 * csv / csvCeiling, "%");
    if (xlsx > 0 && xlsxCeiling > 0)
        figure("xlsx_share_of_ceiling", 100.0 * xlsx / xlsxCeiling, "%");
    if (pdf > 0 && plainPdf > 0)
        figure("pdf_times_plain_loop", pdf / plainPdf, "x");

    if (runs("worker")) {
        // The same save made here and by a report run on its own thread, with its own
        // connection: what keeping the screen alive costs.
        QElapsedTimer timer;
        timer.start();
        {
            ReportSource source(layout, connection, params);
            WriteCsv(source, dir + "/gui.csv");
        }
        const double here = timer.nsecsElapsed() / 1e9;
        ReportRun::Request request;
        request.action = QStringLiteral("save");
        request.layout = layout;
        request.params = params;
        request.context = context;
        request.path = dir + "/worker.csv";
        ReportRun run(std::move(request), connection);
        timer.restart();
        run.start();
        run.wait();
        const double worker = timer.nsecsElapsed() / 1e9;
        figure("save_here_s", here, "s");
        figure("save_on_worker_s", worker, "s");
        figure("save_worker_over_here", worker / here, "x");
    }
    if (runs("preview")) {
        // The first preview page: the query starts, the first page's rows arrive and it is drawn.
        resetPeak();
        QElapsedTimer timer;
        timer.start();
        PagedReport preview(std::make_unique<ReportSource>(layout, connection, params), context);
        while (preview.pageCount() == 0 && preview.pump(256)) {
        }
        QImage page(preview.pageSize().toSize() * 1.33, QImage::Format_RGB32);
        page.fill(Qt::white);
        {
            QPainter painter(&page);
            painter.scale(1.33, 1.33);
            preview.renderPage(0, painter);
        }
        figure("preview_first_page_ms", timer.nsecsElapsed() / 1e6, "ms");
        // Paging alone (query, formats, spool): what a page count costs before painting.
        const double cpu = cpuSeconds();
        while (preview.pump(4000)) {
        }
        figure("paging_rows_per_cpu_s", preview.rows() / (cpuSeconds() - cpu), "rows/s");
        figure("preview_pages", preview.pageCount(), "pages");
        figure("preview_peak_mb", peakMb(), "MB");
    }
    return 0;
}
