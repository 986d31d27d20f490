#pragma once

#include <QString>

#include <string>
#include <string_view>

namespace AppServer {

class DatabaseAccess;
struct HttpReply;

// GET /relatorios/<idjob>?dono=<owner>: a done job's file from the archive, for its owner. The
// file goes out in chunks as the client reads it, with its SHA-256 as the queue recorded it
// (X-Velmora-Sha256). Refusals are JSON-RPC error bodies: 404 for a job unknown to the owner,
// 409 while it is not ready, 410 once its file left the archive.
class ReportDownload
{
public:
    static constexpr std::string_view prefix = "/relatorios/";

    ReportDownload(DatabaseAccess &database, QString archiveDirectory);

    // The answer to the request's target (path and query); runs the database on this thread,
    // which must be a database worker. Logs the request.
    HttpReply answer(const std::string &target) const;

private:
    DatabaseAccess &m_database;
    QString m_archive;
};

} // namespace AppServer
