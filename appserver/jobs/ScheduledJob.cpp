#include "ScheduledJob.h"

#include "reports/RelativePeriod.h"
#include "reports/VariantStore.h"
#include "rtl/Exceptions.h"

#include <QRegularExpression>

namespace AppServer::Jobs {

namespace {

using Velmora::Reports::RelativePeriod;

RelativePeriod periodOf(const Schedule &s)
{
    RelativePeriod period = RelativePeriod::Fixed;
    if (!Velmora::Reports::RelativePeriodFromKey(s.period, period)) {
        QStringList keys;
        for (const RelativePeriod p : Velmora::Reports::RelativePeriods())
            if (p != RelativePeriod::Fixed)
                keys << Velmora::Reports::RelativePeriodKey(p);
        throw Exception(QStringLiteral("O período '%1' não existe: use %2, ou nenhum para manter "
                                       "as datas digitadas.")
                            .arg(s.period, keys.join(QStringLiteral(", "))));
    }
    return period;
}

void checkDateParam(const Schedule &s, const QString &name, const char *end)
{
    if (s.params.value(name).metaType() != QMetaType::fromType<QDate>())
        throw Exception(QStringLiteral("O parâmetro '%1', que recebe o %2 do período, não está "
                                       "entre os parâmetros do relatório como uma data.")
                            .arg(name, QString::fromUtf8(end)));
}

} // namespace

void checkScheduleTemplate(const Schedule &s)
{
    if (s.reportCode.trimmed().isEmpty() || s.reportCode.size() > 20)
        throw Exception(QStringLiteral("A agenda precisa do código do relatório, de 1 a 20 "
                                       "caracteres: '%1' não serve.")
                            .arg(s.reportCode));
    static const QRegularExpression fileName(QStringLiteral("^[^/\\\\]{1,120}$"));
    if (!fileName.match(s.layoutFile).hasMatch() || s.layoutFile.trimmed() != s.layoutFile ||
        s.layoutFile.startsWith(QLatin1Char('.')))
        throw Exception(QStringLiteral("O leiaute '%1' não serve: deve ser o nome do arquivo de "
                                       "leiaute, de 1 a 120 caracteres, sem pastas.")
                            .arg(s.layoutFile));
    static const QRegularExpression sha256(QStringLiteral("^[0-9a-fA-F]{64}$"));
    if (!sha256.match(s.layoutVersion).hasMatch())
        throw Exception(QStringLiteral("A versão do leiaute deve ser o seu SHA-256, 64 dígitos "
                                       "hexadecimais: '%1' não serve.")
                            .arg(s.layoutVersion));
    const RelativePeriod period = periodOf(s);
    if (period != RelativePeriod::Fixed && (s.startParam.isEmpty() || s.endParam.isEmpty()))
        throw Exception(QStringLiteral("O período '%1' precisa dos nomes dos parâmetros de data "
                                       "que recebem o seu início e o seu fim.")
                            .arg(Velmora::Reports::RelativePeriodLabel(period)));
    if (!s.startParam.isEmpty() && s.startParam == s.endParam)
        throw Exception(QStringLiteral("O início e o fim do período devem ir para parâmetros "
                                       "diferentes, não ambos para '%1'.")
                            .arg(s.startParam));
    if (!s.startParam.isEmpty())
        checkDateParam(s, s.startParam, "início");
    if (!s.endParam.isEmpty())
        checkDateParam(s, s.endParam, "fim");
}

ReportJob scheduledJob(Velmora::DBConnection &db, const Schedule &s, const QDateTime &occurrence)
{
    if (!Velmora::Reports::VariantStore(&db).find(s.screen, s.variant, s.owner))
        throw Exception(QStringLiteral("O conjunto de parâmetros \"%1\" foi excluído; o "
                                       "agendamento não pode gerar o relatório.")
                            .arg(s.variant));
    if (s.reportCode.isEmpty() && s.layoutFile.isEmpty())
        throw Exception(QStringLiteral("A agenda foi criada antes de guardar o relatório que "
                                       "gera: exclua-a e agende o conjunto de novo."));
    checkScheduleTemplate(s);
    ReportJob job;
    job.screen = s.screen;
    job.reportCode = s.reportCode;
    job.layoutFile = s.layoutFile;
    job.layoutVersion = s.layoutVersion;
    job.owner = s.owner;
    job.format = s.format;
    job.params = s.params;
    if (!s.startParam.isEmpty() && !s.endParam.isEmpty()) {
        const Velmora::Reports::DateRange typed{s.params.value(s.startParam).toDate(),
                                                s.params.value(s.endParam).toDate()};
        const Velmora::Reports::DateRange resolved =
            Velmora::Reports::ResolvePeriod(periodOf(s), occurrence.date(), typed);
        job.params.insert(s.startParam, resolved.from);
        job.params.insert(s.endParam, resolved.to);
    }
    return job;
}

JobQueue::JobOfOccurrence scheduledJobs(Velmora::DBConnection &db)
{
    return [&db](const Schedule &s, const QDateTime &occurrence) {
        return scheduledJob(db, s, occurrence);
    };
}

} // namespace AppServer::Jobs
