#include "ReportChecks.h"

#include "data/TParams.h"
#include "reports/ReportQuery.h"
#include "rtl/DateConvert.h"
#include "rtl/Exceptions.h"
#include "rtl/TDateTime.h"

#include <QDate>

#include <initializer_list>
#include <utility>

namespace AppServer {

namespace {

using Velmora::Reports::ReportConnection;

const QString report = QStringLiteral("FIS014");

// The screen's own messages (msgPadrao of fis01400/form/TfrmDocForne.json).
namespace Message {
const QString companyMissing = QStringLiteral("Empresa deve ser informada.");
const QString companyUnknown = QStringLiteral("Empresa não cadastrada.");
const QString taxMissing = QStringLiteral("Imposto deve ser informado.");
const QString taxUnknown = QStringLiteral("Imposto não cadastrado.");
const QString stateMissing = QStringLiteral("Inscrição Estadual deve ser informada.");
const QString stateUnknown = QStringLiteral("Inscrição estadual não cadastrada.");
const QString cityMissing = QStringLiteral("Inscrição Municipal deve ser informada.");
const QString cityUnknown = QStringLiteral("Inscrição Municipal não cadastrada.");
const QString startMissing = QStringLiteral("Data inicial deve ser informada.");
const QString endMissing = QStringLiteral("Data final deve ser informada.");
const QString order = QStringLiteral("Data inicial deve ser menor ou igual à data final.");
const QString noMap = QStringLiteral("Não existe mapa de apuração para a data informada.");
} // namespace Message

QVariant valueOf(const QVariantMap &params, const char *name)
{
    for (auto it = params.cbegin(); it != params.cend(); ++it)
        if (it.key().compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
            return it.value();
    return {};
}

QString textOf(const QVariantMap &params, const char *name)
{
    return valueOf(params, name).toString();
}

// A code longer than its column names no row; Firebird would refuse the parameter instead.
bool fits(const QString &code, int width)
{
    return code.size() <= width;
}

QDate dateOf(const QVariantMap &params, const char *name)
{
    const QVariant v = valueOf(params, name);
    return v.userType() == QMetaType::QDateTime ? v.toDateTime().date() : v.toDate();
}

// The first column of the first row, or an invalid value when there is none. Runs through the
// report engine's read-only path, as the report's own query will.
QVariant firstValue(const ReportConnection &db, const QString &sql,
                    std::initializer_list<std::pair<const char *, QVariant>> values)
{
    TParams params;
    Velmora::Reports::ParamsFromText(sql, params);
    for (const auto &[name, value] : values)
        params.ParamByName(QLatin1String(name))->SetAsVariant(value);
    Velmora::StreamingRead read = Velmora::Reports::RunReportQuery(db, report, sql, params);
    try {
        return read.next() ? read.value(0) : QVariant();
    } catch (const EDatabaseError &e) {
        throw Velmora::Reports::ReportQueryFailure(report, e);
    }
}

bool hasMap(const ReportConnection &db, const QString &company, const QString &registration,
            const QString &tax, QDate day)
{
    if (!fits(registration, 16))
        return false;
    return firstValue(db,
                      QStringLiteral("SELECT CDEMPRESA FROM MAPAAPURACAO"
                                     " WHERE CDEMPRESA = :P_CDEMPRESA"
                                     " AND CDINSCRICAO = :P_CDINSCRICAO"
                                     " AND CDIMPOSTONFE = :P_CDIMPOSTO"
                                     " AND DTINIPERIODO <= :P_DATA AND DTFIMPERIODO >= :P_DATA"),
                      {{"P_CDEMPRESA", company},
                       {"P_CDINSCRICAO", registration},
                       {"P_CDIMPOSTO", tax},
                       {"P_DATA", QVariant::fromValue(TDateTime::fromDate(day))}})
        .isValid();
}

// The screen's checks of a full run (Vd_ValidaCampos), in its order.
void checkFis014(const QVariantMap &params, const ReportConnection &db)
{
    const QString tax = textOf(params, "P_CDIMPOSTO");
    const QString company = textOf(params, "P_CDEMPRESA");
    const QString registration = textOf(params, "P_CDINSCRICAO");
    if (tax.trimmed().isEmpty())
        throw Exception(Message::taxMissing);
    // Only a tax that some tax code uses can be chosen on the screen.
    const QVariant body =
        fits(tax, 2)
            ? firstValue(db,
                         QStringLiteral("SELECT COALESCE(IE.IDORGARRECADNFE, '') FROM IMPOSTONFE IE"
                                        " WHERE IE.CDIMPOSTONFE = :P_CDIMPOSTO AND EXISTS (SELECT"
                                        " I.CDIMPOSTO FROM IMPOSTO I"
                                        " WHERE I.CDIMPOSTONFE = IE.CDIMPOSTONFE)"),
                         {{"P_CDIMPOSTO", tax}})
            : QVariant();
    if (!body.isValid())
        throw Exception(Message::taxUnknown);
    if (company.trimmed().isEmpty())
        throw Exception(Message::companyMissing);
    if (!fits(company, 2) ||
        !firstValue(db,
                    QStringLiteral("SELECT CDEMPRESA FROM EMPRESA WHERE CDEMPRESA = :P_CDEMPRESA"),
                    {{"P_CDEMPRESA", company}})
             .isValid())
        throw Exception(Message::companyUnknown);

    // The collecting body's first letter says which registration the tax asks for: "E" the
    // state's, "M" the municipality's; "F" or none, no registration.
    const QString kind = body.toString().trimmed().left(1).toUpper();
    if (kind == QLatin1String("E") || kind == QLatin1String("M")) {
        const bool state = kind == QLatin1String("E");
        if (registration.trimmed().isEmpty())
            throw Exception(state ? Message::stateMissing : Message::cityMissing);
        const QString sql =
            state ? QStringLiteral("SELECT CDINSCESTA FROM INSCRESTAD"
                                   " WHERE CDEMPRESA = :P_CDEMPRESA AND CDINSCESTA = :P_INSCRICAO")
                  : QStringLiteral("SELECT CDINSCMUNI FROM INSCRMUNICIP"
                                   " WHERE CDEMPRESA = :P_CDEMPRESA AND CDINSCMUNI = :P_INSCRICAO");
        if (!fits(registration, 16) ||
            !firstValue(db, sql, {{"P_CDEMPRESA", company}, {"P_INSCRICAO", registration}})
                 .isValid())
            throw Exception(state ? Message::stateUnknown : Message::cityUnknown);
    }

    const QDate start = dateOf(params, "P_DTINICIAL");
    const QDate end = dateOf(params, "P_DTFINAL");
    if (!start.isValid())
        throw Exception(Message::startMissing);
    if (!end.isValid())
        throw Exception(Message::endMissing);
    if (start > end)
        throw Exception(Message::order);
    // The screen names no date, its cursor shows which: here the message says it.
    for (const QDate day : {start, end})
        if (!hasMap(db, company, registration, tax, day))
            throw Exception(QStringLiteral("%1 (%2)").arg(Message::noMap.chopped(1),
                                                          DateToStr(TDateTime::fromDate(day))) +
                            QLatin1Char('.'));
}

const Jobs::ReportCheckRegistration fis014Check("FIS014", checkFis014);

} // namespace

} // namespace AppServer
