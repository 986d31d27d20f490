#include "Schedule.h"

#include "JobFields.h"
#include "rtl/Exceptions.h"

namespace AppServer::Jobs {

namespace {

QDate monthlyDate(int year, int month, int day)
{
    const QDate first(year, month, 1);
    return QDate(year, month, std::min(day, first.daysInMonth()));
}

} // namespace

QDateTime latestOccurrence(const Schedule &s, const QDateTime &atOrBefore)
{
    const QDateTime now = atOrBefore.toLocalTime();
    const QDate today = now.date();
    const auto at = [&](const QDate &date) { return QDateTime(date, s.time); };
    switch (s.frequency) {
    case Schedule::Frequency::Daily: {
        const QDateTime t = at(today);
        return t <= now ? t : at(today.addDays(-1));
    }
    case Schedule::Frequency::Weekly: {
        const QDate day = today.addDays(-((today.dayOfWeek() - s.day + 7) % 7));
        const QDateTime t = at(day);
        return t <= now ? t : at(day.addDays(-7));
    }
    case Schedule::Frequency::Monthly: {
        const QDateTime t = at(monthlyDate(today.year(), today.month(), s.day));
        if (t <= now)
            return t;
        const QDate before = today.addMonths(-1);
        return at(monthlyDate(before.year(), before.month(), s.day));
    }
    }
    return {};
}

void checkSchedule(const Schedule &s)
{
    checkScreen(s.screen);
    checkOwner(s.owner);
    checkFormat(s.format);
    const QString name = s.variant.trimmed();
    if (name.isEmpty() || name.size() > 40)
        throw Exception(QStringLiteral("A agenda precisa do nome de um conjunto de parâmetros "
                                       "salvo, de 1 a 40 caracteres: '%1' não serve.")
                            .arg(s.variant));
    if (s.frequency == Schedule::Frequency::Monthly && (s.day < 1 || s.day > 31))
        throw Exception(
            QStringLiteral("O dia do mês da agenda deve ir de 1 a 31, não %1.").arg(s.day));
    if (s.frequency == Schedule::Frequency::Weekly && (s.day < 1 || s.day > 7))
        throw Exception(QStringLiteral("O dia da semana da agenda deve ir de 1 (segunda-feira) a "
                                       "7 (domingo), não %1.")
                            .arg(s.day));
    if (!s.time.isValid() || s.time.second() != 0 || s.time.msec() != 0)
        throw Exception(QStringLiteral("O horário da agenda deve ser uma hora hh:mm válida."));
}

QString frequencyLetter(Schedule::Frequency frequency)
{
    switch (frequency) {
    case Schedule::Frequency::Monthly:
        return QStringLiteral("M");
    case Schedule::Frequency::Weekly:
        return QStringLiteral("S");
    case Schedule::Frequency::Daily:
        return QStringLiteral("D");
    }
    return {};
}

std::optional<Schedule::Frequency> frequencyOfLetter(const QString &letter)
{
    for (const auto f :
         {Schedule::Frequency::Monthly, Schedule::Frequency::Weekly, Schedule::Frequency::Daily})
        if (frequencyLetter(f) == letter)
            return f;
    return std::nullopt;
}

} // namespace AppServer::Jobs
