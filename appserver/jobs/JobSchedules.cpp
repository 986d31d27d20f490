// The schedules' side of JobQueue: RELATAGENDA, and the jobs its occurrences queue.
#include "JobFields.h"
#include "JobId.h"
#include "JobQueue.h"
#include "JobStatement.h"
#include "data/DBConnection.h"
#include "data/EngineTimestamp.h"
#include "data/ReportParameters.h"
#include "rtl/Exceptions.h"

#include <QSqlQuery>
#include <QThread>

namespace AppServer::Jobs {

QString JobQueue::addSchedule(Schedule schedule)
{
    schedule.variant = schedule.variant.trimmed();
    checkSchedule(schedule);
    schedule.id = newJobId();
    schedule.created = now();
    const QString params = Velmora::ReportParametersJson(schedule.params);
    const auto orNull = [](const QString &text) {
        return text.isEmpty() ? QVariant() : QVariant(text);
    };
    JobStatement(connection(), QStringLiteral("gravar a agenda de %1").arg(schedule.screen))
        .run(QStringLiteral("INSERT INTO RELATAGENDA (IDRELATAGENDA, CDTELA, NMUSUARIO, "
                            "NMVARIANTE, IDFORMATO, IDFREQUENCIA, NRDIA, HRHORARIO, DTCRIACAO, "
                            "CDRELATORIO, NMLAYOUT, DSVERSAOLAYOUT, DSPARAMETROS, NMPERIODO, "
                            "NMPARAMINICIO, NMPARAMFIM) "
                            "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
             {schedule.id, schedule.screen, schedule.owner, schedule.variant, schedule.format,
              frequencyLetter(schedule.frequency),
              schedule.frequency == Schedule::Frequency::Daily ? 0 : schedule.day,
              schedule.time.toString(QStringLiteral("HH:mm")), schedule.created,
              orNull(schedule.reportCode), orNull(schedule.layoutFile),
              orNull(schedule.layoutVersion), params, orNull(schedule.period),
              orNull(schedule.startParam), orNull(schedule.endParam)});
    return schedule.id;
}

void JobQueue::removeSchedule(const QString &id, const QString &owner)
{
    JobStatement del(connection(), QStringLiteral("excluir a agenda %1").arg(id));
    if (owner.isEmpty())
        del.run(QStringLiteral("DELETE FROM RELATAGENDA WHERE IDRELATAGENDA = ?"), {id});
    else
        del.run(QStringLiteral("DELETE FROM RELATAGENDA WHERE IDRELATAGENDA = ? AND NMUSUARIO = ?"),
                {id, owner});
    if (del.affected() == 0)
        throw Exception(QStringLiteral("A agenda %1 não existe: nada foi excluído.").arg(id));
}

QList<Schedule> JobQueue::listSchedules(const QString &owner)
{
    JobStatement read(connection(), QStringLiteral("ler as agendas de relatórios"));
    QSqlQuery &q =
        read.run(QStringLiteral("SELECT IDRELATAGENDA, CDTELA, NMUSUARIO, NMVARIANTE, IDFORMATO, "
                                "IDFREQUENCIA, NRDIA, HRHORARIO, %1, %2, CDRELATORIO, NMLAYOUT, "
                                "DSVERSAOLAYOUT, DSPARAMETROS, NMPERIODO, NMPARAMINICIO, "
                                "NMPARAMFIM FROM RELATAGENDA %3ORDER BY IDRELATAGENDA")
                     .arg(Velmora::TimestampColumn(QStringLiteral("DTCRIACAO")),
                          Velmora::TimestampColumn(QStringLiteral("DTULTIMA")),
                          owner.isEmpty() ? QString() : QStringLiteral("WHERE NMUSUARIO = ? ")),
                 owner.isEmpty() ? QVariantList() : QVariantList{owner});
    QList<Schedule> out;
    while (q.next()) {
        Schedule s;
        s.id = q.value(0).toString();
        s.screen = q.value(1).toString();
        s.owner = q.value(2).toString();
        s.variant = q.value(3).toString();
        s.format = q.value(4).toString();
        const std::optional<Schedule::Frequency> frequency =
            frequencyOfLetter(q.value(5).toString());
        s.day = q.value(6).toInt();
        s.time = QTime::fromString(q.value(7).toString(), QStringLiteral("HH:mm"));
        s.created = Velmora::TimestampFromEngine(q.value(8));
        s.lastQueued = Velmora::TimestampFromEngine(q.value(9));
        s.reportCode = q.value(10).toString();
        s.layoutFile = q.value(11).toString();
        s.layoutVersion = q.value(12).toString();
        // Null in a schedule made before the job's template was kept.
        const std::optional<QVariantMap> params =
            q.value(13).isNull() ? QVariantMap() : Velmora::ReportParametersOfJson(q.value(13));
        s.period = q.value(14).toString();
        s.startParam = q.value(15).toString();
        s.endParam = q.value(16).toString();
        if (!frequency || !s.time.isValid() || !s.created.isValid() || !params)
            throw EDatabaseError(QStringLiteral("A agenda %1 está corrompida no banco de dados "
                                                "(frequência, horário, criação ou parâmetros "
                                                "ilegíveis).")
                                     .arg(s.id));
        s.params = *params;
        s.frequency = *frequency;
        out << s;
    }
    return out;
}

bool JobQueue::occurrenceQueued(const QString &scheduleId, const QDateTime &occurrence)
{
    JobStatement read(connection(), QStringLiteral("ler a fila de relatórios"));
    return read
        .run(QStringLiteral("SELECT 1 FROM RELATJOB WHERE CDAGENDA = ? AND DTOCORRENCIA = ?"),
             {scheduleId, occurrence})
        .next();
}

// The unique index lets one insert of an occurrence through; the other server's fails, and
// finding the row then means it was queued, not that the database failed.
bool JobQueue::insertOccurrenceOnce(const ReportJob &job)
{
    try {
        insert(job);
        return true;
    } catch (const EDatabaseError &) {
        // Firebird may refuse while the other insert is still being committed.
        for (int look = 0; look < 5; ++look) {
            if (occurrenceQueued(job.scheduleId, job.occurrence))
                return false;
            QThread::msleep(20);
        }
        throw;
    }
}

int JobQueue::enqueueDue(const QDateTime &moment, const JobOfOccurrence &make)
{
    int added = 0;
    for (const Schedule &s : listSchedules()) {
        const QDateTime occurrence = latestOccurrence(s, moment);
        const QDateTime after = s.lastQueued.isValid() ? s.lastQueued : s.created;
        if (!occurrence.isValid() || occurrence <= after)
            continue;
        if (!occurrenceQueued(s.id, occurrence)) {
            ReportJob job;
            try {
                job = make(s, occurrence);
                checkScreen(job.screen);
                checkOwner(job.owner);
                checkFormat(job.format);
                Velmora::ReportParametersJson(job.params);
                job.state = ReportJob::State::Queued;
                job.error.clear();
                job.finished = QDateTime();
            } catch (const EDatabaseError &) {
                // The database failed, not the schedule: the occurrence waits for the next call.
                throw;
            } catch (const Exception &e) {
                // The clerk sees in the list why the scheduled report did not run.
                job = ReportJob{};
                job.screen = s.screen;
                job.owner = s.owner;
                job.format = s.format;
                job.state = ReportJob::State::Failed;
                job.error = QStringLiteral("A agenda não conseguiu montar o relatório "
                                           "(conjunto '%1'): %2")
                                .arg(s.variant, e.Message());
                job.finished = now();
            }
            job.id = newJobId();
            job.scheduleId = s.id;
            job.occurrence = occurrence;
            job.requested = now();
            job.percent = 0;
            job.started = QDateTime();
            if (insertOccurrenceOnce(job))
                ++added;
        }
        update(QStringLiteral("registrar a ocorrência da agenda %1").arg(s.id),
               QStringLiteral("UPDATE RELATAGENDA SET DTULTIMA = ? WHERE IDRELATAGENDA = ? AND "
                              "(DTULTIMA IS NULL OR DTULTIMA < ?)"),
               {occurrence, s.id, occurrence});
    }
    return added;
}

} // namespace AppServer::Jobs
