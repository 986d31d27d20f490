#pragma once

#include "ReportJob.h"

#include "data/DBConnection.h"
#include "rtl/Settings.h"

#include <QString>

#include <functional>

namespace AppServer::Jobs {

// Runs one report job with no one at a screen, through the same engine an interactive save
// uses, and keeps what it made in the archive: `<YYYY>/<MM>/<report>-<job id>.<ext>`, written
// under a hidden name and renamed only when whole and hashed. The report reads on a thread of
// its own with a connection of its own; run() waits for it on the calling thread, which needs
// no event loop of its own. A PDF paints with the system's fonts, so the process must have
// made a QGuiApplication (the offscreen platform will do).
class ReportJobRunner
{
public:
    // Told how far the job has come (0 to 100) at least every second while it runs; answers
    // false to stop it.
    using Progress = std::function<bool(int percent)>;

    // The database, the layouts and the archive of the settings.
    explicit ReportJobRunner(const Velmora::Settings &settings = Velmora::settings());
    ReportJobRunner(Velmora::ConnectionSettings database, QString reportsDirectory,
                    QString archiveDirectory);

    // Runs the job and fills in its end: state, times, error in the clerk's words, or the
    // archived file with its SHA-256, bytes, pages and documents. A failed or stopped job
    // leaves nothing in the archive. True when the report was made.
    bool run(ReportJob &job, const Progress &progress = {}) const;

    const QString &reportsDirectory() const { return m_reports; }
    const QString &archiveDirectory() const { return m_archive; }
    // Where a done job's file is: its archivePath is kept relative to the archive.
    QString archivedFile(const ReportJob &job) const;

private:
    Velmora::ConnectionSettings m_database;
    QString m_reports;
    QString m_archive;
};

} // namespace AppServer::Jobs
