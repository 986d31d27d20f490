#pragma once

#include <QDateTime>
#include <QString>

namespace AppServer::Jobs {

class JobQueue;

// Keeps the archive from growing for good: deletes the finished jobs that ended more than the
// retention's days ago, with their files, and the partial files a server killed while writing
// left behind (`.<report>-<id>.<8 hex>.parcial.<ext>`, a day old). Removes nothing outside the
// archive, and nothing there of any other shape.
class ArchiveRetention
{
public:
    struct Outcome
    {
        int files = 0;    // files of the deleted jobs removed
        int partials = 0; // stale partial files removed
    };

    // days 0: the jobs and their files are kept for good (stale partial files still go).
    ArchiveRetention(QString archiveDirectory, int days);

    // Raises Exception when the queue cannot be read or written.
    Outcome run(JobQueue &queue, const QDateTime &now) const;

private:
    int removeStalePartials(const QDateTime &now) const;

    QString m_archive;
    int m_days;
};

} // namespace AppServer::Jobs
