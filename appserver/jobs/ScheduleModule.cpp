#include "ScheduleModule.h"

#include "DataModuleRegistry.h"
#include "DatabaseAccess.h"
#include "JobFields.h"
#include "JobQueue.h"
#include "RequestLog.h"
#include "RpcError.h"
#include "ScheduledJob.h"

#include "data/DBConnection.h"
#include "data/ReportParameters.h"
#include "reports/VariantStore.h"
#include "rtl/Exceptions.h"
#include "rtl/Settings.h"
#include "rtl/TDateTime.h"

#include <QRegularExpression>

#include <memory>

namespace AppServer::Jobs {

namespace {

// The workers' connections only read (on SQLite they are query_only): the schedules are written
// over one of each thread's own, opened at its first call and again after a failure.
Velmora::DBConnection &writableConnection()
{
    thread_local std::unique_ptr<Velmora::DBConnection> connection;
    if (!connection)
        connection = std::make_unique<Velmora::DBConnection>(
            Velmora::ConnectionSettings::fromSettings(Velmora::settings()));
    return *connection;
}

std::string utf8(const QString &text)
{
    return text.toStdString();
}

// Runs the work on a worker, which may wait for the database's locks, turning its failures into
// the clerk's answers.
DataPacket onDatabase(DatabaseAccess &database,
                      const std::function<DataPacket(JobQueue &, Velmora::DBConnection &)> &work)
{
    return database.run([&](WorkerConnection &reader) {
        if (!reader.waitsForLocks())
            throw WouldWait{};
        Velmora::DBConnection &db = writableConnection();
        try {
            JobQueue queue(&db);
            return work(queue, db);
        } catch (const EDatabaseError &e) {
            db.Close();
            throw RpcError(RpcCode::DatabaseFailure,
                           "As agendas de relatórios não puderam ser lidas ou gravadas no banco "
                           "de dados; tente novamente.",
                           utf8(e.Message()));
        } catch (const Exception &e) {
            throw RpcError(RpcCode::InvalidParams, utf8(e.Message()));
        }
    });
}

[[noreturn]] void refuse(const QString &message)
{
    throw Exception(message);
}

Schedule::Frequency frequencyOf(const QString &letter)
{
    const std::optional<Schedule::Frequency> frequency = frequencyOfLetter(letter);
    if (!frequency)
        refuse(QStringLiteral("A frequência '%1' não existe: use M (mensal), S (semanal) ou D "
                              "(diária).")
                   .arg(letter));
    return *frequency;
}

int dayOf(Schedule::Frequency frequency, const QString &text)
{
    if (frequency == Schedule::Frequency::Daily)
        return 0;
    static const QRegularExpression digits(QStringLiteral("^\\d{1,2}$"));
    if (!digits.match(text).hasMatch())
        refuse(QStringLiteral("O dia da agenda deve ser um número: '%1' não serve.").arg(text));
    return text.toInt();
}

QTime timeOf(const QString &text)
{
    static const QRegularExpression shape(QStringLiteral("^\\d{2}:\\d{2}$"));
    const QTime time = QTime::fromString(text, QStringLiteral("HH:mm"));
    if (!shape.match(text).hasMatch() || !time.isValid())
        refuse(QStringLiteral("O horário '%1' não é uma hora hh:mm válida.").arg(text));
    return time;
}

QVariantMap paramsOf(const QString &json)
{
    const std::optional<QVariantMap> params = Velmora::ReportParametersOfJson(json);
    if (!params)
        refuse(QStringLiteral("Os parâmetros do relatório não são um objeto JSON como a fila os "
                              "guarda: textos, datas como {\"data\": \"AAAA-MM-DD\"} e nulos."));
    return *params;
}

void checkSetExists(Velmora::DBConnection &db, const Schedule &s)
{
    if (!Velmora::Reports::VariantStore(&db).find(s.screen, s.variant.trimmed(), s.owner))
        refuse(QStringLiteral("O conjunto de parâmetros \"%1\" não existe na tela %2: salve-o "
                              "antes de agendá-lo.")
                   .arg(s.variant.trimmed(), s.screen));
}

std::shared_ptr<const PacketLayout> layout(std::vector<PacketField> fields)
{
    return std::make_shared<const PacketLayout>(std::move(fields));
}

PacketValue dateValue(const QDateTime &moment)
{
    if (!moment.isValid())
        return std::monostate{};
    return TDateTime::fromDateTime(moment).value();
}

} // namespace

ScheduleModule::ScheduleModule() : DataModule("Velmora.Agendas")
{
    using F = PacketField::Type;
    const auto text = [](const char *label) { return ParamSpec{ParamKind::Text, label}; };
    const auto idOnly = layout({{"CDAGENDA", F::String, 36}});

    addMethod({"Agendar",
               {text("tela"), text("dono"), text("variante"), text("formato"), text("frequencia"),
                text("dia"), text("hora"), text("relatorio"), text("leiaute"), text("versao"),
                text("parametros"), text("periodo"), text("inicio"), text("fim")},
               [idOnly](const Arguments &a, DatabaseAccess &database) {
                   return onDatabase(database, [&](JobQueue &queue, Velmora::DBConnection &db) {
                       Schedule s;
                       s.screen = a.text(0);
                       s.owner = a.text(1);
                       s.variant = a.text(2);
                       s.format = a.text(3);
                       s.frequency = frequencyOf(a.text(4));
                       s.day = dayOf(s.frequency, a.text(5));
                       s.time = timeOf(a.text(6));
                       s.reportCode = a.text(7);
                       s.layoutFile = a.text(8);
                       s.layoutVersion = a.text(9);
                       s.params = paramsOf(a.text(10));
                       s.period = a.text(11);
                       s.startParam = a.text(12);
                       s.endParam = a.text(13);
                       checkSchedule(s);
                       checkScheduleTemplate(s);
                       checkSetExists(db, s);
                       const std::string id = utf8(queue.addSchedule(s));
                       DataPacket packet(idOnly);
                       packet.addRow({id});
                       return packet;
                   });
               }});

    const auto listed = layout({{"CDAGENDA", F::String, 36},
                                {"CDTELA", F::String, 8},
                                {"NMVARIANTE", F::String, 40},
                                {"DSFORMATO", F::String, 4},
                                {"IDFREQUENCIA", F::String, 1},
                                {"NRDIA", F::String, 2},
                                {"HRHORA", F::String, 5},
                                {"DTCRIACAO", F::DateTime, 0},
                                {"DTULTIMA", F::DateTime, 0}});
    addMethod(
        {"ListarAgendas", {text("dono")}, [listed](const Arguments &a, DatabaseAccess &database) {
             return onDatabase(database, [&](JobQueue &queue, Velmora::DBConnection &) {
                 checkOwner(a.text(0));
                 DataPacket packet(listed);
                 for (const Schedule &s : queue.listSchedules(a.text(0))) {
                     const std::string values[] = {utf8(s.id),
                                                   utf8(s.screen),
                                                   utf8(s.variant),
                                                   utf8(s.format),
                                                   utf8(frequencyLetter(s.frequency)),
                                                   std::to_string(s.day),
                                                   utf8(s.time.toString(QStringLiteral("HH:mm")))};
                     packet.addRow({values[0], values[1], values[2], values[3], values[4],
                                    values[5], values[6], dateValue(s.created),
                                    dateValue(s.lastQueued)});
                 }
                 return packet;
             });
         }});

    addMethod({"RemoverAgenda",
               {text("cdagenda"), text("dono")},
               [idOnly](const Arguments &a, DatabaseAccess &database) {
                   return onDatabase(database, [&](JobQueue &queue, Velmora::DBConnection &) {
                       checkOwner(a.text(1));
                       queue.removeSchedule(a.text(0), a.text(1));
                       DataPacket packet(idOnly);
                       packet.addRow({a.utf8(0)});
                       return packet;
                   });
               }});
}

} // namespace AppServer::Jobs

using AppServer::Jobs::ScheduleModule;
VELMORA_DATA_MODULE(ScheduleModule)
