#include "BackgroundStep.h"

#include "framework/Dispatch.h"
#include "reports/ReportJobClient.h"
#include "reports/ReportOutputs.h"
#include "reports/TfrmDadosGerRel.h"
#include "rtl/Exceptions.h"
#include "rtl/UserName.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

namespace Velmora::BackgroundStep {

using Reports::ReportJobRow;

QString formatOf(const QJsonObject &step)
{
    const QJsonValue format = step.value(QLatin1String("format"));
    if (format.isString())
        return format.toString().toLower();
    return Reports::FormatOfFile(step.value(QLatin1String("file")).toString());
}

int timeoutSecondsOf(const QJsonObject &step)
{
    const QJsonValue timeout = step.value(QLatin1String("timeout"));
    return timeout.isDouble() ? timeout.toInt() : defaultTimeoutSeconds;
}

Outcome run(TfrmDadosGerRel *screen, const QJsonObject &step)
{
    const QString file = step.value(QLatin1String("file")).toString();
    const QString format = formatOf(step);
    Outcome outcome;
    std::optional<Reports::ReportJobRequest> request;
    // The screen's checks run as form code (their focus moves are the screen's own); their
    // refusal is the step's error instead of a message box.
    const bool ran = Velmora::Dispatch([&] {
        try {
            request = screen->PrepareBackgroundRun();
        } catch (const EAbort &) {
            throw;
        } catch (const Exception &e) {
            outcome.error = e.Message();
        }
    });
    if (!outcome.error.isEmpty() || !ran)
        return outcome;
    if (!request) {
        outcome.error = QStringLiteral("A tela interrompeu o relatório: nada foi enviado.");
        return outcome;
    }
    request->format = format;
    try {
        Reports::ReportJobClient client;
        const QString id = client.Enqueue(*request);
        const QString owner = request->owner;
        const QDeadlineTimer deadline(qint64(timeoutSecondsOf(step)) * 1000);
        ReportJobRow job = client.Status(id, owner);
        while (!job.Ended()) {
            if (deadline.hasExpired()) {
                outcome.error = QStringLiteral("O relatório nº %1 não ficou pronto em %2 s (%3).")
                                    .arg(id)
                                    .arg(timeoutSecondsOf(step))
                                    .arg(job.StateText());
                return outcome;
            }
            QEventLoop pause;
            QTimer::singleShot(250, &pause, &QEventLoop::quit);
            pause.exec();
            job = client.Status(id, owner);
        }
        if (job.state != ReportJobRow::State::Done) {
            outcome.error = QStringLiteral("O relatório nº %1 %2.")
                                .arg(id, job.state == ReportJobRow::State::Failed
                                             ? job.StateText()
                                             : QStringLiteral("foi cancelado"));
            return outcome;
        }
        const auto got = client.Download(id, owner, file);
        outcome.ok = true;
        outcome.report = {{QStringLiteral("event"), QStringLiteral("report")},
                          {QStringLiteral("action"), QStringLiteral("background")},
                          {QStringLiteral("file"), file},
                          {QStringLiteral("pages"), job.pages},
                          {QStringLiteral("rows"), job.documents},
                          {QStringLiteral("job"), id},
                          {QStringLiteral("bytes"), got.bytes},
                          {QStringLiteral("sha256"), got.sha256}};
    } catch (const Exception &e) {
        outcome.error = e.Message();
    }
    return outcome;
}

} // namespace Velmora::BackgroundStep
