#include "ArchiveRetention.h"

#include "JobFields.h"
#include "JobQueue.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

namespace AppServer::Jobs {

namespace {

// A writer renews its file at every chunk: one untouched for a day is no one's.
constexpr qint64 partialAgeSeconds = 24 * 60 * 60;

} // namespace

ArchiveRetention::ArchiveRetention(QString archiveDirectory, int days)
    : m_archive(QDir::cleanPath(QDir(archiveDirectory).absolutePath())), m_days(days)
{}

ArchiveRetention::Outcome ArchiveRetention::run(JobQueue &queue, const QDateTime &now) const
{
    Outcome outcome;
    if (m_days > 0) {
        for (const QString &relative : queue.purge(now.addDays(-m_days))) {
            const QString path = QDir::cleanPath(QDir(m_archive).filePath(relative));
            if (!QDir::isAbsolutePath(relative) && path.startsWith(m_archive + QLatin1Char('/')) &&
                QFile::remove(path))
                ++outcome.files;
        }
    }
    outcome.partials = removeStalePartials(now);
    return outcome;
}

int ArchiveRetention::removeStalePartials(const QDateTime &now) const
{
    int removed = 0;
    // Links are not followed: what they point at is outside the archive's care.
    QDirIterator it(m_archive, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        if (info.isSymLink() || !isPartialFileName(info.fileName()))
            continue;
        if (info.lastModified().secsTo(now) > partialAgeSeconds && QFile::remove(info.filePath()))
            ++removed;
    }
    return removed;
}

} // namespace AppServer::Jobs
