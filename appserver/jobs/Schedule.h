#pragma once

#include <QDateTime>
#include <QString>
#include <QTime>
#include <QVariantMap>

#include <optional>

namespace AppServer::Jobs {

// A report the clerk has run by itself at set times, from one of the screen's saved parameter
// sets (table RELATAGENDA). Times are the local wall clock.
struct Schedule
{
    enum class Frequency { Monthly, Weekly, Daily };

    QString id;
    QString screen;  // "FIS01400"
    QString owner;   // the clerk whose jobs it queues
    QString variant; // the saved set's name (NMVARIANTE)
    QString format;  // pdf, csv, xlsx or html
    Frequency frequency = Frequency::Monthly;
    // Monthly: the day of the month, 1 to 31 (a shorter month runs on its last day); weekly:
    // 1 Monday to 7 Sunday; daily: unused.
    int day = 1;
    QTime time; // hh:mm
    QDateTime created;
    QDateTime lastQueued; // the latest occurrence put on the queue, else invalid

    // The job each occurrence queues, as the screen's full check gave it when the clerk
    // scheduled (see ReportJob); empty in a schedule made before they were kept.
    QString reportCode, layoutFile, layoutVersion;
    QVariantMap params;
    // The saved set's relative period (RelativePeriod's key; empty keeps the dates as given),
    // written at each occurrence into these two date parameters.
    QString period, startParam, endParam;
};

// The latest occurrence of the schedule at or before the moment (local time).
QDateTime latestOccurrence(const Schedule &schedule, const QDateTime &atOrBefore);

// Raises Exception saying what is wrong with the schedule's fields, in the clerk's words.
void checkSchedule(const Schedule &schedule);

// "M", "S", "D" as kept in RELATAGENDA, and back (empty for an unknown letter).
QString frequencyLetter(Schedule::Frequency frequency);
std::optional<Schedule::Frequency> frequencyOfLetter(const QString &letter);

} // namespace AppServer::Jobs
