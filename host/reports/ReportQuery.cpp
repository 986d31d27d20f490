#include "ReportQuery.h"

#include "data/TParams.h"
#include "rtl/Exceptions.h"

#include <QDate>

namespace Velmora::Reports {

Q_LOGGING_CATEGORY(lcReports, "velmora.reports")

namespace {
QVariant bindable(const TParam *param)
{
    if (!param || param->IsNull())
        return QVariant(QMetaType::fromType<QString>());
    if (param->IsDate())
        return param->AsDate().toDate();
    return param->Value();
}
} // namespace

void ParamsFromText(const QString &text, TParams &params)
{
    params.Clear();
    for (const QString &name : ParameterNames(text))
        params.Add(name);
}

Velmora::StreamingRead RunReportQuery(const ReportConnection &connection, const QString &report,
                                      const QString &text, const TParams &params)
{
    if (!connection.database.isValid() || !connection.database.isOpen())
        throw EDatabaseError(QStringLiteral("Não há conexão aberta com o banco de dados para "
                                            "executar o relatório %1.")
                                 .arg(report));
    try {
        return OpenStreamingRead(connection.database, text, [&params](const QString &name) {
            return bindable(params.FindParam(name));
        });
    } catch (const EDatabaseError &e) {
        throw ReportQueryFailure(report, e);
    }
}

EDatabaseError ReportQueryFailure(const QString &report, const EDatabaseError &failure)
{
    const bool writes = dynamic_cast<const Velmora::EWriteRefused *>(&failure) != nullptr;
    qCWarning(lcReports).noquote()
        << QStringLiteral("Consulta do relatório %1 %2: %3")
               .arg(report, writes ? QStringLiteral("recusada") : QStringLiteral("falhou"),
                    failure.Message());
    if (writes)
        return EDatabaseError(
            QStringLiteral("A consulta do relatório %1 altera dados e foi recusada.").arg(report));
    return EDatabaseError(QStringLiteral("A consulta do relatório %1 falhou.").arg(report));
}

} // namespace Velmora::Reports
