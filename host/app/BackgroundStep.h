#pragma once

#include <QJsonObject>
#include <QString>

class TfrmDadosGerRel;

// The batch runner's "background" action on a report screen: the report is prepared as the
// screen's button prepares it, queued on the application server, waited for and downloaded
// to the step's file.
namespace Velmora::BackgroundStep {

// The format a step asks for: its "format", else its file's extension.
QString formatOf(const QJsonObject &step);
// How long the step waits for the server to make the report, from its "timeout" (seconds).
int timeoutSecondsOf(const QJsonObject &step);
constexpr int defaultTimeoutSeconds = 600;

struct Outcome
{
    bool ok = false;
    QString error;      // why the step failed, in the clerk's words
    QJsonObject report; // the trace's "report" event when done
};

Outcome run(TfrmDadosGerRel *screen, const QJsonObject &step);

} // namespace Velmora::BackgroundStep
