#include "ScheduleClient.h"

#include "data/DataPacket.h"
#include "framework/TNetConnection.h"
#include "framework/Velmora.h"
#include "rtl/Exceptions.h"
#include "rtl/TDateTime.h"

#include <QHash>
#include <QJsonDocument>

namespace Velmora::Reports {

namespace {

const QString serverName = QStringLiteral("Velmora.Agendas");

// The packet's rows by field name.
QList<QHash<QString, QVariant>> rowsOf(const QJsonValue &answer, const QString &method)
{
    const DataPacket::Content content = DataPacket::Parse(answer.toObject(), method);
    QList<QHash<QString, QVariant>> rows;
    for (const QVector<QVariant> &values : content.rows) {
        QHash<QString, QVariant> row;
        for (int c = 0; c < content.columns.size(); ++c)
            row.insert(content.columns.at(c).name, values.value(c));
        rows << row;
    }
    return rows;
}

QDateTime momentOf(const QVariant &value)
{
    return value.isNull() ? QDateTime() : value.value<TDateTime>().toDateTime();
}

} // namespace

QString ScheduleFrequencyLetter(ScheduleFrequency frequency)
{
    switch (frequency) {
    case ScheduleFrequency::Monthly:
        return QStringLiteral("M");
    case ScheduleFrequency::Weekly:
        return QStringLiteral("S");
    case ScheduleFrequency::Daily:
        return QStringLiteral("D");
    }
    return {};
}

ScheduleClient::ScheduleClient() : ScheduleClient(WebURL(), WebPort()) {}

ScheduleClient::ScheduleClient(const QString &host, int port)
    : m_connection(std::make_unique<TNetConnection>())
{
    m_connection->SetServerName(serverName);
    m_connection->SetHost(host);
    m_connection->SetPort(port);
}

ScheduleClient::~ScheduleClient() = default;

QString ScheduleClient::add(const ScheduleRequest &r)
{
    const QString parameters =
        QString::fromUtf8(QJsonDocument(r.parameters).toJson(QJsonDocument::Compact));
    const QList<QHash<QString, QVariant>> rows =
        rowsOf(m_connection->Call(
                   QStringLiteral("Agendar"),
                   {r.screen, r.owner, r.variant, r.timing.format,
                    ScheduleFrequencyLetter(r.timing.frequency), QString::number(r.timing.day),
                    r.timing.time.toString(QStringLiteral("HH:mm")), r.reportCode, r.layoutFile,
                    r.layoutVersion, parameters, r.period, r.startParam, r.endParam}),
               QStringLiteral("Agendar"));
    if (rows.size() != 1)
        throw ERemoteError(QStringLiteral("O servidor não deu o código da agenda criada."));
    return rows.first().value(QStringLiteral("CDAGENDA")).toString();
}

QList<ScheduleEntry> ScheduleClient::list(const QString &owner)
{
    QList<ScheduleEntry> out;
    for (const QHash<QString, QVariant> &row :
         rowsOf(m_connection->Call(QStringLiteral("ListarAgendas"), {owner}),
                QStringLiteral("ListarAgendas"))) {
        ScheduleEntry e;
        e.id = row.value(QStringLiteral("CDAGENDA")).toString();
        e.screen = row.value(QStringLiteral("CDTELA")).toString();
        e.variant = row.value(QStringLiteral("NMVARIANTE")).toString();
        e.timing.format = row.value(QStringLiteral("DSFORMATO")).toString();
        const QString letter = row.value(QStringLiteral("IDFREQUENCIA")).toString();
        bool known = false;
        for (const ScheduleFrequency f :
             {ScheduleFrequency::Monthly, ScheduleFrequency::Weekly, ScheduleFrequency::Daily})
            if (ScheduleFrequencyLetter(f) == letter) {
                e.timing.frequency = f;
                known = true;
            }
        e.timing.day = row.value(QStringLiteral("NRDIA")).toString().toInt();
        e.timing.time = QTime::fromString(row.value(QStringLiteral("HRHORA")).toString(),
                                          QStringLiteral("HH:mm"));
        e.created = momentOf(row.value(QStringLiteral("DTCRIACAO")));
        e.lastQueued = momentOf(row.value(QStringLiteral("DTULTIMA")));
        if (!known || !e.timing.time.isValid())
            throw ERemoteError(
                QStringLiteral("O servidor descreveu a agenda %1 com frequência ou horário "
                               "ilegíveis.")
                    .arg(e.id));
        out << e;
    }
    return out;
}

void ScheduleClient::remove(const QString &id, const QString &owner)
{
    m_connection->Call(QStringLiteral("RemoverAgenda"), {id, owner});
}

} // namespace Velmora::Reports
