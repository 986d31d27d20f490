#include "JobQueue.h"

#include "JobFields.h"
#include "JobId.h"
#include "JobStatement.h"
#include "data/DBConnection.h"
#include "data/EngineTimestamp.h"
#include "data/LongTextColumn.h"
#include "data/ReportParameters.h"
#include "rtl/Exceptions.h"

#include <QSqlQuery>
#include <QThread>

#include <algorithm>

namespace AppServer::Jobs {

namespace {

using Velmora::TimestampColumn;
using Velmora::TimestampFromEngine;

const QString claimable = QStringLiteral(
    "(IDSITUACAO = 'F' OR (IDSITUACAO = 'G' AND DTLEASE < ? AND (IDCANCELAR IS NULL OR "
    "IDCANCELAR <> 'S')))");
const QString heldBy = QStringLiteral("IDRELATJOB = ? AND NMSERVIDOR = ? AND IDSITUACAO = 'G'");
const QString stillWanted = QStringLiteral(" AND (IDCANCELAR IS NULL OR IDCANCELAR <> 'S')");
// Firebird's update conflicts last as long as the other writer's transaction: a single write.
constexpr int conflictRetries = 200;

QString selectedColumns()
{
    return QStringLiteral("IDRELATJOB, CDTELA, CDRELATORIO, NMLAYOUT, DSVERSAOLAYOUT, NMUSUARIO, "
                          "DSPARAMETROS, IDFORMATO, CDAGENDA, %1, IDSITUACAO, NRPERCENTUAL, "
                          "DSERRO, %2, %3, %4, NMARQUIVO, DSSHA256, NRBYTES, NRPAGINAS, "
                          "NRDOCUMENTOS")
        .arg(TimestampColumn(QStringLiteral("DTOCORRENCIA")),
             TimestampColumn(QStringLiteral("DTSOLICITACAO")),
             TimestampColumn(QStringLiteral("DTINICIO")), TimestampColumn(QStringLiteral("DTFIM")));
}

ReportJob jobOfRow(const QSqlQuery &q)
{
    ReportJob job;
    job.id = q.value(0).toString();
    job.screen = q.value(1).toString();
    job.reportCode = q.value(2).toString();
    job.layoutFile = q.value(3).toString();
    job.layoutVersion = q.value(4).toString();
    job.owner = q.value(5).toString();
    const std::optional<QVariantMap> params = Velmora::ReportParametersOfJson(q.value(6));
    const std::optional<ReportJob::State> state = stateOfLetter(q.value(10).toString());
    if (!params || !state)
        throw EDatabaseError(QStringLiteral("O relatório %1 está corrompido na fila do banco de "
                                            "dados (parâmetros ou situação ilegíveis).")
                                 .arg(job.id));
    job.params = *params;
    job.format = q.value(7).toString();
    job.scheduleId = q.value(8).toString();
    job.occurrence = TimestampFromEngine(q.value(9));
    job.state = *state;
    job.percent = q.value(11).toInt();
    job.error = Velmora::LongTextOfColumn(q.value(12));
    job.requested = TimestampFromEngine(q.value(13));
    job.started = TimestampFromEngine(q.value(14));
    job.finished = TimestampFromEngine(q.value(15));
    job.archivePath = q.value(16).toString();
    job.sha256 = q.value(17).toString();
    job.bytes = q.value(18).toLongLong();
    job.pages = q.value(19).toInt();
    job.documents = q.value(20).toLongLong();
    return job;
}

// A text column that may stay empty: NULL rather than the empty text.
QVariant optionalText(const QString &text)
{
    return text.isEmpty() ? QVariant() : QVariant(text);
}

void rollback(Velmora::DBConnection &db)
{
    try {
        db.Rollback();
    } catch (const EDatabaseError &) {
        // What failed first is the news.
    }
}

} // namespace

JobQueue::JobQueue(Velmora::DBConnection *db, Clock clock) : m_db(db), m_clock(std::move(clock)) {}

Velmora::DBConnection &JobQueue::connection() const
{
    if (!m_db)
        throw EDatabaseError(QStringLiteral("Não há conexão com o banco de dados: a fila de "
                                            "relatórios não pode ser lida nem gravada."));
    return *m_db;
}

QDateTime JobQueue::now() const
{
    const QDateTime t = m_clock ? m_clock() : QDateTime::currentDateTime();
    return t.addMSecs(-t.time().msec());
}

void JobQueue::insert(const ReportJob &job)
{
    checkScreen(job.screen);
    checkOwner(job.owner);
    checkFormat(job.format);
    const QString params = Velmora::ReportParametersJson(job.params);
    JobStatement(connection(), QStringLiteral("pôr o relatório %1 na fila").arg(job.screen))
        .run(
            QStringLiteral("INSERT INTO RELATJOB (IDRELATJOB, CDTELA, CDRELATORIO, NMLAYOUT, "
                           "DSVERSAOLAYOUT, NMUSUARIO, DSPARAMETROS, IDFORMATO, CDAGENDA, "
                           "DTOCORRENCIA, IDSITUACAO, NRPERCENTUAL, DSERRO, DTSOLICITACAO, DTFIM, "
                           "NRTENTATIVAS) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, 0)"),
            {job.id, job.screen, job.reportCode, job.layoutFile, job.layoutVersion, job.owner,
             params, job.format, optionalText(job.scheduleId), job.occurrence,
             stateLetter(job.state), 0, optionalText(job.error), job.requested, job.finished});
}

QString JobQueue::enqueue(ReportJob job)
{
    job.id = newJobId();
    job.state = ReportJob::State::Queued;
    job.requested = now();
    job.percent = 0;
    job.error.clear();
    job.started = job.finished = QDateTime();
    insert(job);
    return job.id;
}

QList<ReportJob> JobQueue::select(const QString &where, const QVariantList &values,
                                  const QString &order, int maxJobs)
{
    JobStatement read(connection(), QStringLiteral("ler a fila de relatórios"));
    QSqlQuery &q = read.run(
        QStringLiteral("SELECT %1 FROM RELATJOB WHERE %2%3").arg(selectedColumns(), where, order),
        values);
    QList<ReportJob> out;
    while ((maxJobs <= 0 || out.size() < maxJobs) && q.next())
        out << jobOfRow(q);
    return out;
}

std::optional<ReportJob> JobQueue::find(const QString &id)
{
    const QList<ReportJob> found = select(QStringLiteral("IDRELATJOB = ?"), {id});
    if (found.isEmpty())
        return std::nullopt;
    return found.first();
}

QList<ReportJob> JobQueue::list(const QString &owner, int maxJobs)
{
    checkOwner(owner);
    return select(QStringLiteral("NMUSUARIO = ?"), {owner},
                  QStringLiteral(" ORDER BY DTSOLICITACAO DESC, IDRELATJOB DESC"), maxJobs);
}

int JobQueue::update(const QString &what, const QString &sql, const QVariantList &values)
{
    for (int attempt = 0;; ++attempt) {
        JobStatement statement(connection(), what);
        if (statement.runUnlessConflict(sql, values))
            return statement.affected();
        if (attempt == conflictRetries)
            throw EDatabaseError(QStringLiteral("Não foi possível %1 no banco de dados %2: outra "
                                                "conexão alterou o relatório %3 vezes seguidas.")
                                     .arg(what, connection().Settings().describe())
                                     .arg(conflictRetries));
        QThread::msleep(5);
    }
}

// A running job whose server died and whose cancel was asked ends cancelled; one whose servers
// died too often ends failed, rather than taking every server down in turn.
void JobQueue::settleLostLeases(const QDateTime &at)
{
    JobStatement(connection(), QStringLiteral("encerrar os relatórios cancelados"))
        .runUnlessConflict(QStringLiteral("UPDATE RELATJOB SET IDSITUACAO = 'C', DTFIM = ?, "
                                          "DTLEASE = NULL WHERE IDSITUACAO = 'G' AND "
                                          "IDCANCELAR = 'S' AND DTLEASE < ?"),
                           {at, at});
    JobStatement(connection(), QStringLiteral("encerrar os relatórios interrompidos"))
        .runUnlessConflict(
            QStringLiteral("UPDATE RELATJOB SET IDSITUACAO = 'E', DTFIM = ?, DSERRO = ?, DTLEASE "
                           "= NULL WHERE IDSITUACAO = 'G' AND DTLEASE < ? AND NRTENTATIVAS >= ?"),
            {at,
             QStringLiteral("O relatório foi interrompido %1 vezes (o servidor que o gerava "
                            "parou): não será tentado de novo.")
                 .arg(maxAttempts),
             at, maxAttempts});
}

std::optional<ReportJob> JobQueue::claim(const QString &server, int leaseSeconds)
{
    checkServer(server);
    if (leaseSeconds < 1)
        throw Exception(QStringLiteral("O prazo de posse de um relatório deve ser de pelo menos "
                                       "1 segundo, não %1.")
                            .arg(leaseSeconds));
    settleLostLeases(now());
    const std::optional<QString> id = connection().engine() == Velmora::Engine::PostgreSQL
                                          ? claimSkippingLocked(server, leaseSeconds)
                                          : claimByConditionalUpdate(server, leaseSeconds);
    if (!id)
        return std::nullopt;
    return find(*id);
}

namespace {

QString claimUpdate()
{
    return QStringLiteral("UPDATE RELATJOB SET IDSITUACAO = 'G', NMSERVIDOR = ?, DTLEASE = ?, "
                          "DTINICIO = ?, NRPERCENTUAL = 0, NRTENTATIVAS = COALESCE(NRTENTATIVAS, "
                          "0) + 1 WHERE IDRELATJOB = ? AND ") +
           claimable;
}

const QString oldestFirst = QStringLiteral(" ORDER BY DTSOLICITACAO, IDRELATJOB");

} // namespace

// Locked rows are another server's claim under way: this one takes the next.
std::optional<QString> JobQueue::claimSkippingLocked(const QString &server, int leaseSeconds)
{
    Velmora::DBConnection &db = connection();
    const QDateTime at = now();
    const QString what = QStringLiteral("tomar um relatório da fila");
    db.StartTransaction();
    try {
        QString id;
        {
            JobStatement pick(db, what);
            QSqlQuery &q =
                pick.run(QStringLiteral("SELECT IDRELATJOB FROM RELATJOB WHERE ") + claimable +
                             oldestFirst + QStringLiteral(" LIMIT 1 FOR UPDATE SKIP LOCKED"),
                         {at});
            if (q.next())
                id = q.value(0).toString();
        }
        if (!id.isEmpty())
            JobStatement(db, what).run(claimUpdate(),
                                       {server, at.addSecs(leaseSeconds), at, id, at});
        db.Commit();
        if (id.isEmpty())
            return std::nullopt;
        return id;
    } catch (...) {
        rollback(db);
        throw;
    }
}

// Whoever changes the row first while it is still claimable wins it; the loser tries the next.
std::optional<QString> JobQueue::claimByConditionalUpdate(const QString &server, int leaseSeconds)
{
    Velmora::DBConnection &db = connection();
    const QString what = QStringLiteral("tomar um relatório da fila");
    const QString first =
        db.engine() == Velmora::Engine::Firebird ? QStringLiteral("FIRST 8 ") : QString();
    const QString limit =
        db.engine() == Velmora::Engine::Firebird ? QString() : QStringLiteral(" LIMIT 8");
    // Every lost round means another server took a job; a bound keeps a stuck read from
    // spinning.
    for (int round = 0; round < 100; ++round) {
        const QDateTime at = now();
        QStringList candidates;
        {
            JobStatement pick(db, what);
            QSqlQuery &q =
                pick.run(QStringLiteral("SELECT %1IDRELATJOB FROM RELATJOB WHERE ").arg(first) +
                             claimable + oldestFirst + limit,
                         {at});
            while (q.next())
                candidates << q.value(0).toString();
        }
        if (candidates.isEmpty())
            return std::nullopt;
        for (const QString &id : candidates) {
            JobStatement take(db, what);
            if (take.runUnlessConflict(claimUpdate(),
                                       {server, at.addSecs(leaseSeconds), at, id, at}) &&
                take.affected() == 1)
                return id;
        }
    }
    return std::nullopt;
}

bool JobQueue::renew(const QString &id, const QString &server, int leaseSeconds)
{
    return update(QStringLiteral("renovar a posse do relatório %1").arg(id),
                  QStringLiteral("UPDATE RELATJOB SET DTLEASE = ? WHERE ") + heldBy + stillWanted,
                  {now().addSecs(leaseSeconds), id, server}) == 1;
}

bool JobQueue::progress(const QString &id, const QString &server, int percent)
{
    return update(QStringLiteral("registrar o andamento do relatório %1").arg(id),
                  QStringLiteral("UPDATE RELATJOB SET NRPERCENTUAL = ? WHERE ") + heldBy +
                      stillWanted,
                  {std::clamp(percent, 0, 100), id, server}) == 1;
}

bool JobQueue::complete(const QString &id, const QString &server, const JobOutput &output)
{
    return update(QStringLiteral("concluir o relatório %1").arg(id),
                  QStringLiteral("UPDATE RELATJOB SET IDSITUACAO = 'P', NRPERCENTUAL = 100, DTFIM "
                                 "= ?, NMARQUIVO = ?, DSSHA256 = ?, NRBYTES = ?, NRPAGINAS = ?, "
                                 "NRDOCUMENTOS = ?, DTLEASE = NULL WHERE ") +
                      heldBy,
                  {now(), output.archivePath, output.sha256, output.bytes, output.pages,
                   output.documents, id, server}) == 1;
}

bool JobQueue::fail(const QString &id, const QString &server, const QString &error)
{
    return update(QStringLiteral("registrar a falha do relatório %1").arg(id),
                  QStringLiteral("UPDATE RELATJOB SET IDSITUACAO = 'E', DTFIM = ?, DSERRO = ?, "
                                 "DTLEASE = NULL WHERE ") +
                      heldBy,
                  {now(), error, id, server}) == 1;
}

bool JobQueue::cancelled(const QString &id, const QString &server)
{
    return update(QStringLiteral("cancelar o relatório %1").arg(id),
                  QStringLiteral("UPDATE RELATJOB SET IDSITUACAO = 'C', DTFIM = ?, DTLEASE = NULL "
                                 "WHERE ") +
                      heldBy,
                  {now(), id, server}) == 1;
}

JobQueue::Cancellation JobQueue::cancel(const QString &id, const QString &owner)
{
    checkOwner(owner);
    const QString what = QStringLiteral("cancelar o relatório %1").arg(id);
    if (update(what,
               QStringLiteral("UPDATE RELATJOB SET IDSITUACAO = 'C', DTFIM = ? WHERE IDRELATJOB = "
                              "? AND NMUSUARIO = ? AND IDSITUACAO = 'F'"),
               {now(), id, owner}) == 1)
        return Cancellation::Cancelled;
    if (update(what,
               QStringLiteral("UPDATE RELATJOB SET IDCANCELAR = 'S' WHERE IDRELATJOB = ? AND "
                              "NMUSUARIO = ? AND IDSITUACAO = 'G'"),
               {id, owner}) == 1)
        return Cancellation::Asked;
    const std::optional<ReportJob> job = find(id);
    if (!job || job->owner != owner)
        throw Exception(QStringLiteral("O relatório %1 não está na fila de %2: nada foi cancelado.")
                            .arg(id, owner));
    switch (job->state) {
    case ReportJob::State::Cancelled:
        return Cancellation::Cancelled;
    case ReportJob::State::Done:
        throw Exception(
            QStringLiteral("O relatório %1 já está pronto: não há o que cancelar.").arg(id));
    case ReportJob::State::Failed:
        throw Exception(QStringLiteral("O relatório %1 já terminou com falha: não há o que "
                                       "cancelar.")
                            .arg(id));
    case ReportJob::State::Queued:
    case ReportJob::State::Running:
        break;
    }
    throw Exception(QStringLiteral("O relatório %1 mudou de situação enquanto era cancelado: "
                                   "tente de novo.")
                        .arg(id));
}

bool JobQueue::cancelAsked(const QString &id)
{
    JobStatement read(connection(), QStringLiteral("ler o relatório %1").arg(id));
    QSqlQuery &q =
        read.run(QStringLiteral("SELECT IDCANCELAR FROM RELATJOB WHERE IDRELATJOB = ?"), {id});
    return q.next() && q.value(0).toString() == QLatin1String("S");
}

QStringList JobQueue::purge(const QDateTime &before)
{
    const QString what = QStringLiteral("apagar os relatórios antigos");
    QList<std::pair<QString, QString>> finished;
    {
        JobStatement read(connection(), what);
        QSqlQuery &q = read.run(QStringLiteral("SELECT IDRELATJOB, NMARQUIVO FROM RELATJOB WHERE "
                                               "IDSITUACAO IN ('P', 'E', 'C') AND DTFIM < ?"),
                                {before});
        while (q.next())
            finished.append({q.value(0).toString(), q.value(1).toString()});
    }
    QStringList paths;
    for (const auto &[id, path] : finished)
        if (update(what,
                   QStringLiteral("DELETE FROM RELATJOB WHERE IDRELATJOB = ? AND IDSITUACAO IN "
                                  "('P', 'E', 'C')"),
                   {id}) == 1 &&
            !path.isEmpty())
            paths << path;
    return paths;
}

} // namespace AppServer::Jobs
