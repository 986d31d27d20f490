#include "ReportQuery.h"

#include "data/StreamingRead.h"
#include "data/TParams.h"
#include "rtl/Exceptions.h"

#include <QDate>

namespace Velmora::Reports {

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

QSqlQuery RunReportQuery(const ReportConnection &connection, const QString &text,
                         const TParams &params)
{
    if (!connection.database.isValid() || !connection.database.isOpen())
        throw EDatabaseError(QStringLiteral("Não há conexão aberta com o banco de dados para "
                                            "executar o relatório."));
    try {
        return OpenStreamingRead(connection.database, text, [&params](const QString &name) {
            return bindable(params.FindParam(name));
        });
    } catch (const EDatabaseError &e) {
        throw EDatabaseError(QStringLiteral("A consulta do relatório falhou: %1").arg(e.Message()));
    }
}

} // namespace Velmora::Reports
