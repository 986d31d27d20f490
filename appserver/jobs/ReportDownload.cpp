#include "ReportDownload.h"

#include "DatabaseAccess.h"
#include "HttpRefusal.h"
#include "HttpSession.h"
#include "JobFields.h"
#include "JobId.h"
#include "JobQueue.h"
#include "RequestLog.h"
#include "RpcError.h"
#include "RpcServer.h"

#include "rtl/Exceptions.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <chrono>

namespace AppServer {

namespace {

using Jobs::ReportJob;
using Clock = std::chrono::steady_clock;

const char *contentTypeOf(const QString &format)
{
    if (format == QLatin1String("pdf"))
        return "application/pdf";
    if (format == QLatin1String("csv"))
        return "text/csv; charset=utf-8";
    if (format == QLatin1String("xlsx"))
        return "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet";
    if (format == QLatin1String("html"))
        return "text/html; charset=utf-8";
    return "application/octet-stream";
}

// The value of `name` in the query, %XX escapes decoded; empty when absent.
std::string queryValue(std::string_view query, std::string_view name)
{
    while (!query.empty()) {
        const std::size_t end = query.find('&');
        const std::string_view pair = query.substr(0, end);
        const std::size_t equals = pair.find('=');
        if (pair.substr(0, equals) == name && equals != std::string_view::npos)
            return percentDecoded(pair.substr(equals + 1));
        if (end == std::string_view::npos)
            break;
        query.remove_prefix(end + 1);
    }
    return {};
}

// The archive's file of the job, when its recorded path stays inside the archive.
QString fileInArchive(const QString &archive, const QString &relative)
{
    if (relative.isEmpty() || QDir::isAbsolutePath(relative))
        return {};
    const QString root = QDir::cleanPath(QDir(archive).absolutePath());
    const QString path = QDir::cleanPath(QDir(root).filePath(relative));
    return path.startsWith(root + QLatin1Char('/')) ? path : QString();
}

} // namespace

ReportDownload::ReportDownload(DatabaseAccess &database, QString archiveDirectory)
    : m_database(database), m_archive(std::move(archiveDirectory))
{}

HttpReply ReportDownload::answer(const std::string &target) const
{
    const Clock::time_point start = Clock::now();
    const std::string_view whole = target;
    const std::size_t mark = whole.find('?');
    const std::string id(whole.substr(prefix.size(), mark - prefix.size()));
    const std::string owner =
        mark == std::string_view::npos ? std::string() : queryValue(whole.substr(mark + 1), "dono");
    const std::string logged = "GET " + std::string(prefix) + id.substr(0, 80);
    const auto refused = [&](int status, int code, const std::string &message,
                             const std::string &detail = {}) {
        logRequest(
            logged, std::chrono::duration<double, std::milli>(Clock::now() - start).count(), code,
            "HTTP " + std::to_string(status) + " " + std::to_string(code) + ": " + message, detail);
        return HttpReply{status, errorBody(code, message)};
    };

    if (owner.empty())
        return refused(400, RpcCode::InvalidParams,
                       "Informe o dono do relatório: /relatorios/<id>?dono=<usuário>.");
    // Only what JobId makes: nothing else reaches the database or a file's name.
    const QString jobId = QString::fromStdString(id);
    if (!Jobs::isJobId(jobId))
        return refused(404, RpcCode::ReportUnavailable, "Relatório não encontrado.");

    std::optional<ReportJob> job;
    try {
        m_database.run([&](WorkerConnection &connection) {
            try {
                job = Jobs::JobQueue(&connection.database()).find(jobId);
            } catch (const Exception &e) {
                // Reading again after the connection is reopened is harmless.
                throw DatabaseFailure(e.Message().toStdString());
            }
            return DataPacket(std::make_shared<const PacketLayout>(std::vector<PacketField>{}));
        });
    } catch (const RpcError &e) {
        return refused(e.code() == RpcCode::DatabaseUnavailable ? 503 : 500, e.code(), e.message(),
                       e.detail());
    }
    if (!job || job->owner != QString::fromStdString(owner))
        return refused(404, RpcCode::ReportUnavailable, "Relatório não encontrado.");
    if (job->state != ReportJob::State::Done)
        return refused(409, RpcCode::ReportUnavailable, "O relatório ainda não está pronto.");

    const QString path = fileInArchive(m_archive, job->archivePath);
    auto file = std::make_shared<HttpFile>();
    boost::beast::error_code ec;
    if (!path.isEmpty())
        file->body.open(QFile::encodeName(path).constData(), boost::beast::file_mode::scan, ec);
    if (path.isEmpty() || ec)
        return refused(410, RpcCode::ReportUnavailable,
                       "O relatório não está mais no arquivo do servidor (foi removido); gere-o "
                       "de novo.",
                       path.isEmpty() ? job->archivePath.toStdString()
                                      : path.toStdString() + ": " + ec.message());
    file->contentType = contentTypeOf(job->format);
    file->headers = {{"Content-Disposition",
                      "attachment; filename=\"" + Jobs::offeredFileName(*job).toStdString() + "\""},
                     {"X-Velmora-Sha256", job->sha256.toStdString()}};
    if (requestLogged(0))
        logRequest(logged, std::chrono::duration<double, std::milli>(Clock::now() - start).count(),
                   0, "ok, " + std::to_string(file->body.size()) + " bytes");
    return HttpReply(std::move(file));
}

} // namespace AppServer
