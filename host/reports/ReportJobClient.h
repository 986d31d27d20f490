#pragma once

#include "reports_global.h"

#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QVariantMap>

#include <memory>

class TNetConnection;

namespace Velmora::Reports {

// What a screen hands the application server's report queue: the report as the screen would
// run it now.
struct VELMORA_REPORTS_EXPORT ReportJobRequest
{
    QString screen;        // "FIS01400"
    QString report;        // "FIS014"
    QString layoutFile;    // "FIS014.json"
    QString layoutVersion; // SHA-256 of the layout file as the screen read it
    QString owner;
    QString format; // pdf, csv, xlsx or html
    // The query's parameters by name: a text, a date (QDate) or null (an invalid QVariant).
    QVariantMap parameters;

    // The parameters as the queue keeps them: a text as a string, a date as
    // {"data": "YYYY-MM-DD"}, null as null.
    QString ParametersJson() const;
};

// One of the owner's jobs as the server lists it.
struct VELMORA_REPORTS_EXPORT ReportJobRow
{
    enum class State { Queued, Running, Done, Failed, Cancelled };

    QString id;
    QString screen;
    QString report;
    QString format;
    State state = State::Queued;
    int percent = 0;
    QString error;
    QDateTime requested, started, finished;
    qint64 documents = 0;
    int pages = 0;
    qint64 bytes = 0;
    QString sha256;
    QString fileName; // the name to offer when saving a copy
    QString parameters;
    QString schedule;

    // "na fila", "gerando 40 %", "pronto", "falhou: <motivo>", "cancelado".
    QString StateText() const;
    bool Ended() const
    {
        return state == State::Done || state == State::Failed || state == State::Cancelled;
    }
};

// The report queue of the application server (data module "Velmora.Relatorios") at the
// settings' host and port. Every call is synchronous and raises ERemoteError (or Exception) in
// Portuguese; none answers an empty success for a failure.
class VELMORA_REPORTS_EXPORT ReportJobClient
{
public:
    ReportJobClient();
    ~ReportJobClient();
    ReportJobClient(const ReportJobClient &) = delete;
    ReportJobClient &operator=(const ReportJobClient &) = delete;

    // The new job's id.
    QString Enqueue(const ReportJobRequest &request);
    // The owner's jobs, newest first.
    QList<ReportJobRow> List(const QString &owner);
    ReportJobRow Status(const QString &id, const QString &owner);
    // The state right after: Cancelled when the job was still queued, Running when its server
    // was asked to stop it.
    ReportJobRow::State Cancel(const QString &id, const QString &owner);
    // Queues the same report again; the new job's id.
    QString RunAgain(const QString &id, const QString &owner);

    struct Downloaded
    {
        qint64 bytes = 0;
        QString sha256;
    };
    // Writes the finished job's file to target: into a hidden file beside it, renamed over it
    // once whole and matching the server's SHA-256. On any failure nothing is left under
    // either name and an earlier file at target stays as it was.
    Downloaded Download(const QString &id, const QString &owner, const QString &target);

private:
    QJsonObject call(const QString &method, const QVariantList &args);
    std::unique_ptr<TNetConnection> m_net;
};

} // namespace Velmora::Reports
