#pragma once

#include "reports_global.h"

#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QTime>

#include <memory>

class TNetConnection;

namespace Velmora::Reports {

enum class ScheduleFrequency { Monthly, Weekly, Daily };

// When a schedule runs: monthly on `day` 1..31 (a shorter month on its last day), weekly on
// `day` 1 Monday..7 Sunday, daily at `time` (the day unused).
struct ScheduleTiming
{
    ScheduleFrequency frequency = ScheduleFrequency::Monthly;
    int day = 1;
    QTime time;
    QString format; // pdf, csv, xlsx or html
};

// A saved parameter set to run at set times, with the report as the screen's full check gave it.
struct ScheduleRequest
{
    QString screen, owner, variant;
    ScheduleTiming timing;
    QString reportCode, layoutFile, layoutVersion; // layoutVersion: the layout's SHA-256 (hex)
    // The report's parameters as the queue keeps them: a text as a string, a date as
    // {"data": "YYYY-MM-DD"}, null as null.
    QJsonObject parameters;
    // The set's relative period (RelativePeriodKey; empty keeps the dates) and the two date
    // parameters the server writes it into at each occurrence.
    QString period, startParam, endParam;
};

struct ScheduleEntry
{
    QString id, screen, variant;
    ScheduleTiming timing;
    QDateTime created;
    QDateTime lastQueued; // invalid until an occurrence was queued
};

// The clerk's schedules on the application server (data module "Velmora.Agendas"), over a
// connection of its own to the settings' server ([AppServer] Host and Port). Every failure
// raises ERemoteError with the server's or the connection's message.
class VELMORA_REPORTS_EXPORT ScheduleClient
{
public:
    ScheduleClient();
    ScheduleClient(const QString &host, int port);
    ~ScheduleClient();

    // Gives the schedule's id.
    QString add(const ScheduleRequest &request);
    QList<ScheduleEntry> list(const QString &owner);
    void remove(const QString &id, const QString &owner);

private:
    std::unique_ptr<TNetConnection> m_connection;
};

// "M", "S", "D" as the server names them.
VELMORA_REPORTS_EXPORT QString ScheduleFrequencyLetter(ScheduleFrequency frequency);

} // namespace Velmora::Reports
