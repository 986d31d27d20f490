#pragma once

#include "reports_global.h"

#include <QString>
#include <QVariantMap>

class QWidget;
class TParams;

// What sending a report to the application server's queue needs on the screen's side.
namespace Velmora::Reports {

// pdf, csv, xlsx, html: the formats a queued report can have.
VELMORA_REPORTS_EXPORT QStringList BackgroundFormats();
// The format the clerk chose last (pdf at first), kept in the user's own settings.
VELMORA_REPORTS_EXPORT QString LastBackgroundFormat();
VELMORA_REPORTS_EXPORT void RememberBackgroundFormat(const QString &format);
// Asks the format, offering `proposed`; empty when the clerk gave up. The choice is
// remembered.
VELMORA_REPORTS_EXPORT QString ChooseBackgroundFormat(QWidget *parent, const QString &proposed);

// The SHA-256 (hex) of the file as it is on disk now; raises Exception when it cannot be read.
VELMORA_REPORTS_EXPORT QString FileSha256(const QString &path);
// A query's parameters as the queue keeps them: texts, dates (the date of a TDateTime) and
// nulls.
VELMORA_REPORTS_EXPORT QVariantMap QueueParameters(const TParams &params);

// The notice in the status bar of the main window holding `from`, which the clerk may ignore.
VELMORA_REPORTS_EXPORT QString BackgroundNoticeText(const QString &jobId);
VELMORA_REPORTS_EXPORT void ShowBackgroundNotice(QWidget *from, const QString &jobId);

} // namespace Velmora::Reports
