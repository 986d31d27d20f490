#include "ReportJobRunner.h"

#include "JobFields.h"
#include "ReportChecks.h"

#include "data/TParams.h"
#include "reports/ReportOutputs.h"
#include "reports/ReportQuery.h"
#include "reports/ReportRun.h"
#include "rtl/Exceptions.h"
#include "rtl/SystemError.h"
#include "rtl/TDateTime.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QLoggingCategory>
#include <QScopeGuard>
#include <QTimer>
#include <QUuid>

#include <cerrno>
#include <cstdio>

namespace AppServer::Jobs {

Q_LOGGING_CATEGORY(lcJobs, "velmora.jobs")

namespace {

using namespace Velmora::Reports;

// How the job stands while the engine reads: it cannot know the count of rows ahead.
constexpr int checkedPercent = 10;
constexpr int writtenPercent = 95;
constexpr int pollMs = 250;

QString folderOr(const QString &folder, const char *fallback)
{
    return folder.isEmpty() ? QDir::current().absoluteFilePath(QLatin1String(fallback)) : folder;
}

// The layout the clerk's screen had: the file's bytes must still hash to the job's version.
ReportLayout layoutOf(const ReportJob &job, const QString &directory)
{
    const QString code = job.reportCode;
    if (!isPlainName(job.layoutFile))
        throw Exception(QStringLiteral("O pedido do relatório %1 nomeia o layout '%2', que não é "
                                       "um arquivo da pasta de layouts.")
                            .arg(code, job.layoutFile));
    const QString path = QDir(directory).filePath(job.layoutFile);
    QFile file(path);
    errno = 0;
    if (!file.open(QIODevice::ReadOnly)) {
        const int cause = errno;
        throw Exception(
            QStringLiteral("O layout do relatório %1 ('%2') não pôde ser lido: %3.")
                .arg(code, QDir::toNativeSeparators(path),
                     cause != 0 ? Velmora::SystemErrorText(cause) : file.errorString()));
    }
    const QByteArray bytes = file.readAll();
    const QByteArray version = QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
    if (version != job.layoutVersion.trimmed().toLower().toLatin1())
        throw Exception(
            QStringLiteral(
                "O layout do relatório %1 mudou desde o pedido: peça o relatório de novo.")
                .arg(code));
    QJsonParseError parseError{};
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &parseError);
    if (parseError.error != QJsonParseError::NoError || !doc.isObject())
        throw Exception(QStringLiteral("O layout de relatório '%1' está corrompido.")
                            .arg(QDir::toNativeSeparators(path)));
    ReportLayout layout = ReportLayout::fromJson(doc.object(), path);
    layout.path = path;
    if (layout.report.compare(code, Qt::CaseInsensitive) != 0)
        throw Exception(QStringLiteral("O layout '%1' é do relatório %2, não do %3.")
                            .arg(job.layoutFile, layout.report, code));
    return layout;
}

// The values as the screen's parameter handler binds them: dates as the run-time library's.
QVariant boundValue(const QVariant &value)
{
    if (value.userType() == QMetaType::QDate)
        return value.toDate().isValid() ? QVariant::fromValue(TDateTime::fromDate(value.toDate()))
                                        : QVariant();
    if (value.userType() == QMetaType::QDateTime)
        return value.toDateTime().isValid()
                   ? QVariant::fromValue(TDateTime::fromDateTime(value.toDateTime()))
                   : QVariant();
    return value;
}

TParams paramsOf(const ReportJob &job, const ReportLayout &layout, DatabaseKind kind)
{
    TParams params;
    ParamsFromText(layout.queryText(kind), params);
    // A value the query does not declare is no parameter of this layout, as on the screen.
    for (auto it = job.params.cbegin(); it != job.params.cend(); ++it)
        if (TParam *p = params.FindParam(it.key()))
            p->SetAsVariant(boundValue(it.value()));
    return params;
}

// The same words and time an interactive save prints on every page.
QString sha256Of(const QString &path, qint64 &bytes)
{
    QFile file(path);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!file.open(QIODevice::ReadOnly) || !hash.addData(&file))
        throw Exception(QStringLiteral("O relatório gerado em '%1' não pôde ser lido de volta: %2.")
                            .arg(QDir::toNativeSeparators(path), file.errorString()));
    bytes = file.size();
    return QString::fromLatin1(hash.result().toHex());
}

} // namespace

ReportJobRunner::ReportJobRunner(const Velmora::Settings &settings)
    : ReportJobRunner(Velmora::ConnectionSettings::fromSettings(settings),
                      settings.reportsDirectory, settings.archiveDirectory)
{}

ReportJobRunner::ReportJobRunner(Velmora::ConnectionSettings database, QString reportsDirectory,
                                 QString archiveDirectory)
    : m_database(std::move(database)), m_reports(folderOr(reportsDirectory, "layouts")),
      m_archive(folderOr(archiveDirectory, "archive"))
{}

QString ReportJobRunner::archivedFile(const ReportJob &job) const
{
    return job.archivePath.isEmpty() ? QString() : QDir(m_archive).filePath(job.archivePath);
}

bool ReportJobRunner::run(ReportJob &job, const Progress &progress) const
{
    job.state = ReportJob::State::Running;
    job.started = QDateTime::currentDateTime();
    job.finished = QDateTime();
    job.percent = 0;
    job.error.clear();
    job.archivePath.clear();
    job.sha256.clear();
    job.bytes = 0;
    job.pages = 0;
    job.documents = 0;

    QString partial; // in the archive until it is renamed
    const auto dropPartial = qScopeGuard([&partial] {
        if (!partial.isEmpty())
            QFile::remove(partial);
    });
    const auto goOn = [&job, &progress](int percent) {
        job.percent = percent;
        return !progress || progress(percent);
    };
    const auto end = [&job](ReportJob::State state, const QString &error = QString()) {
        job.state = state;
        job.error = error;
        if (state != ReportJob::State::Done) {
            job.sha256.clear();
            job.bytes = 0;
            job.pages = 0;
            job.documents = 0;
        }
        job.finished = QDateTime::currentDateTime();
        if (!error.isEmpty())
            qCWarning(lcJobs) << "job" << job.id << job.reportCode << "failed:" << error;
        return state == ReportJob::State::Done;
    };

    try {
        if (!goOn(0))
            return end(ReportJob::State::Cancelled);
        const QString code = job.reportCode.trimmed();
        if (!isPlainName(code) || !isPlainName(job.id))
            throw Exception(QStringLiteral("O pedido do relatório '%1' (%2) não tem um código e "
                                           "uma identificação que sirvam de nome de arquivo.")
                                .arg(job.reportCode, job.id));
        const QString format = job.format.trimmed().toLower();
        if (FormatOfFile(QStringLiteral("x.") + format).isEmpty())
            throw Exception(QStringLiteral("O formato '%1' pedido para o relatório %2 não é "
                                           "conhecido: use PDF, CSV, XLSX ou HTML.")
                                .arg(job.format, code));
        // The run is waited for through an event loop; a PDF measures with the system's fonts.
        if (!QCoreApplication::instance() ||
            (format == QLatin1String("pdf") &&
             !qobject_cast<QGuiApplication *>(QCoreApplication::instance())))
            throw Exception(QStringLiteral("Este servidor não está preparado para gerar o "
                                           "relatório %1 em %2: falta-lhe a aplicação gráfica "
                                           "que dá acesso às fontes.")
                                .arg(code, format.toUpper()));

        const ReportLayout layout = layoutOf(job, m_reports);
        ReportConnection database;
        database.kind = Velmora::KindOfEngine(m_database.engine());
        database.settings = std::make_shared<const Velmora::ConnectionSettings>(m_database);
        const TParams params = paramsOf(job, layout, database.kind);
        if (const ReportCheck check = ReportCheckOf(code)) {
            const WorkerConnection connection(database);
            check(job.params, connection.connection());
        }
        if (!goOn(checkedPercent))
            return end(ReportJob::State::Cancelled);

        const QDate day = job.started.date();
        const QString relative = QStringLiteral("%1/%2/%3-%4.%5")
                                     .arg(day.year(), 4, 10, QLatin1Char('0'))
                                     .arg(day.month(), 2, 10, QLatin1Char('0'))
                                     .arg(code, job.id, format);
        const QString target = QDir(m_archive).filePath(relative);
        const QString folder = QFileInfo(target).absolutePath();
        if (!QDir().mkpath(folder))
            throw Exception(QStringLiteral("A pasta '%1' do arquivo de relatórios não pôde ser "
                                           "criada.")
                                .arg(QDir::toNativeSeparators(folder)));
        // Hidden, and named with the format's extension, which tells the engine what to write;
        // this writer's own, as a server that lost its hold may still be writing the job.
        partial = QDir(folder).filePath(partialFileName(
            code, job.id, QUuid::createUuid().toString(QUuid::Id128).left(8), format));

        ReportRun::Request request;
        request.output = ReportRun::Output::File;
        request.action = QStringLiteral("save");
        request.layout = layout;
        request.params = params;
        request.context = PageContext::issuedNow(layout, code);
        request.path = partial;
        ReportRun run(std::move(request), database);
        bool stopAsked = false;
        QEventLoop loop;
        QTimer ticker;
        ticker.setInterval(pollMs);
        const auto poll = [&] {
            if (!stopAsked && !goOn(checkedPercent)) {
                stopAsked = true;
                run.cancel();
            }
        };
        QObject::connect(&ticker, &QTimer::timeout, &loop, poll);
        QObject::connect(&run, &ReportRun::finished, &loop, &QEventLoop::quit);
        run.start();
        ticker.start();
        // Once as the run starts, so a short report can be stopped too.
        poll();
        loop.exec();
        ticker.stop();
        if (stopAsked || run.cancelled())
            return end(ReportJob::State::Cancelled);
        if (run.failed())
            throw Exception(run.error());

        job.sha256 = sha256Of(partial, job.bytes);
        job.pages = run.result().pages;
        job.documents = run.result().rows;
        if (!goOn(writtenPercent))
            return end(ReportJob::State::Cancelled);
        // rename(2) puts the whole file in place at once; a job run again replaces its own.
        if (std::rename(QFile::encodeName(partial).constData(),
                        QFile::encodeName(target).constData()) != 0)
            throw Exception(
                QStringLiteral("O relatório %1 não pôde ser guardado no arquivo como "
                               "'%2': %3.")
                    .arg(code, QDir::toNativeSeparators(target), Velmora::SystemErrorText(errno)));
        partial.clear();
        job.archivePath = relative;
        job.percent = 100;
        if (progress)
            progress(100);
        return end(ReportJob::State::Done);
    } catch (const Exception &e) {
        return end(ReportJob::State::Failed, e.Message());
    } catch (const std::exception &e) {
        return end(ReportJob::State::Failed,
                   QStringLiteral("O relatório %1 falhou: %2.")
                       .arg(job.reportCode, QString::fromLocal8Bit(e.what())));
    }
}

} // namespace AppServer::Jobs
