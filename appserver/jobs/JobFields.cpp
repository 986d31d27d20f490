#include "JobFields.h"

#include "rtl/Exceptions.h"

#include <QRegularExpression>

namespace AppServer::Jobs {

namespace {

constexpr std::pair<ReportJob::State, char> letters[] = {
    {ReportJob::State::Queued, 'F'},    {ReportJob::State::Running, 'G'},
    {ReportJob::State::Done, 'P'},      {ReportJob::State::Failed, 'E'},
    {ReportJob::State::Cancelled, 'C'},
};

} // namespace

QString stateLetter(ReportJob::State state)
{
    for (const auto &[s, letter] : letters)
        if (s == state)
            return QString(QLatin1Char(letter));
    return {};
}

std::optional<ReportJob::State> stateOfLetter(const QString &letter)
{
    for (const auto &[s, l] : letters)
        if (letter == QString(QLatin1Char(l)))
            return s;
    return std::nullopt;
}

QString offeredFileName(const ReportJob &job)
{
    return QStringLiteral("%1-%2.%3").arg(job.reportCode, job.id, job.format);
}

bool isPlainName(const QString &name)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_][A-Za-z0-9_.-]*$"));
    return plain.match(name).hasMatch() && !name.contains(QLatin1String(".."));
}

QString partialFileName(const QString &report, const QString &id, const QString &tag,
                        const QString &format)
{
    return QStringLiteral(".%1-%2.%3.parcial.%4").arg(report, id, tag, format);
}

bool isPartialFileName(const QString &name)
{
    static const QRegularExpression partial(QStringLiteral(
        "^\\.[A-Za-z0-9_][A-Za-z0-9_.-]*-[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-"
        "[0-9a-f]{12}\\.[0-9a-f]{8}\\.parcial\\.(pdf|csv|xlsx|html)$"));
    return partial.match(name).hasMatch();
}

void checkScreen(const QString &screen)
{
    if (screen.trimmed().isEmpty() || screen.size() > 8)
        throw Exception(QStringLiteral("O código de tela '%1' não serve para a fila de "
                                       "relatórios: deve ter de 1 a 8 caracteres.")
                            .arg(screen));
}

void checkOwner(const QString &owner)
{
    if (owner.trimmed().isEmpty() || owner.size() > 40)
        throw Exception(QStringLiteral("O usuário '%1' não serve como dono de relatórios: o nome "
                                       "deve ter de 1 a 40 caracteres.")
                            .arg(owner));
}

void checkFormat(const QString &format)
{
    static const QStringList formats{QStringLiteral("pdf"), QStringLiteral("csv"),
                                     QStringLiteral("xlsx"), QStringLiteral("html")};
    if (!formats.contains(format))
        throw Exception(QStringLiteral("O formato '%1' não existe para relatórios: use pdf, csv, "
                                       "xlsx ou html.")
                            .arg(format));
}

void checkServer(const QString &server)
{
    if (server.trimmed().isEmpty() || server.size() > 100)
        throw Exception(QStringLiteral("O nome de servidor '%1' não serve para a fila de "
                                       "relatórios: deve ter de 1 a 100 caracteres.")
                            .arg(server));
}

} // namespace AppServer::Jobs
