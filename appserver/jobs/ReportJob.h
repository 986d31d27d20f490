#pragma once

#include <QDateTime>
#include <QString>
#include <QVariantMap>

namespace AppServer::Jobs {

// One report the clerk sent to the background, as the queue keeps it (table RELATJOB).
struct ReportJob
{
    enum class State { Queued, Running, Done, Failed, Cancelled };

    QString id;            // unique, made when queued
    QString screen;        // the screen that asked ("FIS01400")
    QString reportCode;    // "FIS014"
    QString layoutFile;    // the layout's file name in the reports directory ("FIS014.json")
    QString layoutVersion; // SHA-256 of the layout file the screen had: the server runs that one
    QString owner;         // the clerk (UserName())
    // The report query's parameters by name: a text (QString), a date (QDate) or null
    // (invalid QVariant), as the screen's parameter handler gave them.
    QVariantMap params;
    QString format;       // pdf, csv, xlsx or html
    QString scheduleId;   // the schedule that queued it, else empty
    QDateTime occurrence; // the schedule's occurrence it stands for, else invalid

    State state = State::Queued;
    int percent = 0;
    QString error; // why it failed, in the clerk's words
    QDateTime requested, started, finished;
    QString archivePath; // the output in the archive, once done
    QString sha256;
    qint64 bytes = 0;
    int pages = 0;
    qint64 documents = 0; // rows the report read
};

} // namespace AppServer::Jobs
