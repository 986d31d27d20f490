#include "ReportJobsModule.h"

#include "DatabaseAccess.h"
#include "JobFields.h"
#include "JobId.h"
#include "JobQueue.h"
#include "JobStatement.h"
#include "RpcError.h"

#include "data/ReportParameters.h"
#include "rtl/Exceptions.h"
#include "rtl/TDateTime.h"

#include <QRegularExpression>

namespace AppServer {

namespace {

using Jobs::JobQueue;
using Jobs::ReportJob;

// The owner sees this many of the newest jobs.
constexpr int listedJobs = 200;

std::shared_ptr<const PacketLayout> layoutOf(std::vector<PacketField> fields)
{
    return std::make_shared<const PacketLayout>(std::move(fields));
}

PacketField text(const char *name, int size)
{
    return {name, PacketField::Type::String, size};
}

PacketField moment(const char *name)
{
    return {name, PacketField::Type::DateTime, 0};
}

const std::shared_ptr<const PacketLayout> &jobFields()
{
    static const auto fields = layoutOf(
        {text("IDJOB", 36), text("CDTELA", 8), text("CDRELATORIO", 20), text("DSFORMATO", 4),
         text("IDSITUACAO", 1), text("NRPERCENTUAL", 3), text("DSERRO", 0), moment("DTPEDIDO"),
         moment("DTINICIO"), moment("DTFIM"), text("NRDOCUMENTOS", 20), text("NRPAGINAS", 10),
         text("NRBYTES", 20), text("DSSHA256", 64), text("NMARQUIVO", 80), text("DSPARAMETROS", 0),
         text("CDAGENDA", 36)});
    return fields;
}

void addJobRow(DataPacket &packet, const ReportJob &job)
{
    const auto utf8 = [](const QString &s) { return s.toStdString(); };
    const auto when = [](const QDateTime &t) -> PacketValue {
        if (!t.isValid())
            return std::monostate{};
        return TDateTime::fromDateTime(t).value();
    };
    const std::string id = utf8(job.id), screen = utf8(job.screen), report = utf8(job.reportCode),
                      format = utf8(job.format), state = utf8(Jobs::stateLetter(job.state)),
                      percent = std::to_string(job.percent), error = utf8(job.error),
                      documents = std::to_string(job.documents), pages = std::to_string(job.pages),
                      bytes = std::to_string(job.bytes), sha = utf8(job.sha256),
                      file = utf8(Jobs::offeredFileName(job)),
                      params = utf8(Velmora::ReportParametersJson(job.params)),
                      schedule = utf8(job.scheduleId);
    packet.addRow({id, screen, report, format, state, percent, error, when(job.requested),
                   when(job.started), when(job.finished), documents, pages, bytes, sha, file,
                   params, schedule});
}

DataPacket idPacket(const QString &id)
{
    static const auto fields = layoutOf({text("IDJOB", 36)});
    DataPacket packet(fields);
    const std::string text = id.toStdString();
    packet.addRow({text});
    return packet;
}

[[noreturn]] void refuse(const QString &message)
{
    throw RpcError(RpcCode::InvalidParams, message.toStdString());
}

[[noreturn]] void notFound()
{
    throw RpcError(RpcCode::ReportUnavailable, "Relatório não encontrado.");
}

// A text the column holds: at most `size` characters, not empty.
QString checkedText(const Arguments &args, std::size_t i, const char *label, int size)
{
    const QString value = args.text(i);
    if (value.trimmed().isEmpty() || value.size() > size)
        refuse(QStringLiteral("O parâmetro %1 deve ter de 1 a %2 caracteres; recebeu %3.")
                   .arg(QLatin1String(label))
                   .arg(size)
                   .arg(value.size()));
    return value;
}

ReportJob requestedJob(const Arguments &args)
{
    ReportJob job;
    job.screen = checkedText(args, 0, "tela", 8);
    job.reportCode = checkedText(args, 1, "relatorio", 20);
    if (!Jobs::isPlainName(job.reportCode))
        refuse(QStringLiteral("O código de relatório '%1' não serve: use letras, dígitos, '_', "
                              "'.' e '-'.")
                   .arg(job.reportCode));
    job.layoutFile = checkedText(args, 2, "leiaute", 120);
    if (!Jobs::isPlainName(job.layoutFile))
        refuse(QStringLiteral("O leiaute '%1' deve ser o nome de um arquivo da pasta de "
                              "leiautes, sem pastas: letras, dígitos, '_', '.' e '-'.")
                   .arg(job.layoutFile));
    job.layoutVersion = args.text(3);
    static const QRegularExpression sha256(QStringLiteral("^[0-9A-Fa-f]{64}$"));
    if (!sha256.match(job.layoutVersion).hasMatch())
        refuse(QStringLiteral("A versão do leiaute deve ser o seu SHA-256 em 64 dígitos "
                              "hexadecimais."));
    job.layoutVersion = job.layoutVersion.toLower();
    job.owner = checkedText(args, 4, "dono", 40);
    job.format = args.text(5);
    try {
        Jobs::checkFormat(job.format);
    } catch (const Exception &e) {
        refuse(e.Message());
    }
    const std::optional<QVariantMap> params =
        Velmora::ReportParametersOfJson(QVariant(args.text(6)));
    if (!params)
        refuse(QStringLiteral("Os parâmetros do relatório devem ser um objeto JSON: cada valor um "
                              "texto, uma data como {\"data\": \"AAAA-MM-DD\"} ou null."));
    job.params = *params;
    return job;
}

// The owner's job of that id; RpcError "not found" for any other.
ReportJob ownedJob(JobQueue &queue, const QString &id, const QString &owner)
{
    if (!Jobs::isJobId(id))
        notFound();
    const std::optional<ReportJob> job = queue.find(id);
    if (!job || job->owner != owner)
        notFound();
    return *job;
}

// Runs the work over the queue on this worker's connection. The queue's refusals reach the
// clerk as they are; a database without the queue's tables is told what to do; any other
// failure of the database is logged, and the connection opened afresh at the next call.
DataPacket onQueue(DatabaseAccess &database, const std::function<DataPacket(JobQueue &)> &work)
{
    return database.runWriting([&work](WorkerConnection &connection) {
        Velmora::DBConnection &db = connection.database();
        JobQueue queue(&db);
        try {
            return work(queue);
        } catch (const EDatabaseError &e) {
            if (e.Message() == Jobs::queueTables.missingIn(db))
                throw RpcError(RpcCode::DatabaseFailure,
                               "A fila de relatórios ainda não existe no banco de dados deste "
                               "servidor: o administrador deve executar velmora-db upgrade.",
                               e.Message().toStdString());
            throw DatabaseFailure(e.Message().toStdString());
        } catch (const Exception &e) {
            refuse(e.Message());
        }
    });
}

} // namespace

ReportJobsModule::ReportJobsModule() : DataModule("Velmora.Relatorios")
{
    const auto texts = [](std::initializer_list<const char *> labels) {
        std::vector<ParamSpec> specs;
        for (const char *label : labels)
            specs.push_back({ParamKind::Text, label});
        return specs;
    };

    addMethod({"Enfileirar",
               texts({"tela", "relatorio", "leiaute", "versao", "dono", "formato", "parametros"}),
               [](const Arguments &args, DatabaseAccess &database) {
                   ReportJob job = requestedJob(args);
                   return onQueue(database,
                                  [&job](JobQueue &queue) { return idPacket(queue.enqueue(job)); });
               }});

    addMethod({"Listar", texts({"dono"}), [](const Arguments &args, DatabaseAccess &database) {
                   const QString owner = checkedText(args, 0, "dono", 40);
                   return onQueue(database, [&owner](JobQueue &queue) {
                       DataPacket packet(jobFields());
                       for (const ReportJob &job : queue.list(owner, listedJobs))
                           addJobRow(packet, job);
                       return packet;
                   });
               }});

    addMethod(
        {"Situacao", texts({"idjob", "dono"}), [](const Arguments &args, DatabaseAccess &database) {
             const QString id = args.text(0), owner = checkedText(args, 1, "dono", 40);
             return onQueue(database, [&](JobQueue &queue) {
                 DataPacket packet(jobFields());
                 addJobRow(packet, ownedJob(queue, id, owner));
                 return packet;
             });
         }});

    addMethod(
        {"Cancelar", texts({"idjob", "dono"}), [](const Arguments &args, DatabaseAccess &database) {
             const QString id = args.text(0), owner = checkedText(args, 1, "dono", 40);
             return onQueue(database, [&](JobQueue &queue) {
                 const ReportJob job = ownedJob(queue, id, owner);
                 if (job.state == ReportJob::State::Done || job.state == ReportJob::State::Failed)
                     throw RpcError(RpcCode::ReportUnavailable,
                                    job.state == ReportJob::State::Done
                                        ? "O relatório já está pronto: não há o que "
                                          "cancelar."
                                        : "O relatório já terminou com falha: não há o "
                                          "que cancelar.");
                 static const auto fields = layoutOf({text("IDSITUACAO", 1)});
                 DataPacket packet(fields);
                 packet.addRow(
                     {queue.cancel(id, owner) == JobQueue::Cancellation::Asked ? "G" : "C"});
                 return packet;
             });
         }});

    addMethod({"ExecutarNovamente", texts({"idjob", "dono"}),
               [](const Arguments &args, DatabaseAccess &database) {
                   const QString id = args.text(0), owner = checkedText(args, 1, "dono", 40);
                   return onQueue(database, [&](JobQueue &queue) {
                       const ReportJob done = ownedJob(queue, id, owner);
                       ReportJob again;
                       again.screen = done.screen;
                       again.reportCode = done.reportCode;
                       again.layoutFile = done.layoutFile;
                       again.layoutVersion = done.layoutVersion;
                       again.owner = done.owner;
                       again.params = done.params;
                       again.format = done.format;
                       return idPacket(queue.enqueue(again));
                   });
               }});
}

} // namespace AppServer
