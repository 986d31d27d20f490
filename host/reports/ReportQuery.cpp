#include "ReportQuery.h"

#include "data/TParams.h"
#include "rtl/Exceptions.h"

#include <QDate>
#include <QSqlError>

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

QString failure(const QSqlError &error)
{
    const QString text = error.text().trimmed();
    return QStringLiteral("A consulta do relatório falhou: %1")
        .arg(text.isEmpty() ? QStringLiteral("erro desconhecido do banco de dados.") : text);
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
    QSqlQuery query(connection.database);
    query.setForwardOnly(true);
    // Numeric columns come back as doubles on every driver, not as texts.
    query.setNumericalPrecisionPolicy(QSql::LowPrecisionDouble);
    if (!query.prepare(text))
        throw EDatabaseError(failure(query.lastError()));
    // The colon belongs to the name: without it the drivers silently leave the value null.
    for (const QString &name : ParameterNames(text))
        query.bindValue(QLatin1Char(':') + name, bindable(params.FindParam(name)));
    if (!query.exec())
        throw EDatabaseError(failure(query.lastError()));
    return query;
}

} // namespace Velmora::Reports
