#include "JobId.h"

#include <QDateTime>
#include <QUuid>

#include <atomic>

namespace AppServer::Jobs {

QString newJobId()
{
    // Strictly increasing within the process, even for ids made in the same millisecond.
    static std::atomic<qint64> last{0};
    const qint64 clock = QDateTime::currentMSecsSinceEpoch();
    qint64 previous = last.load();
    qint64 ms = 0;
    do
        ms = std::max(clock, previous + 1);
    while (!last.compare_exchange_weak(previous, ms));

    QByteArray bytes = QUuid::createUuid().toRfc4122();
    for (int i = 0; i < 6; ++i)
        bytes[i] = static_cast<char>((ms >> (40 - 8 * i)) & 0xff);
    bytes[6] = static_cast<char>((bytes[6] & 0x0f) | 0x70);
    return QUuid::fromRfc4122(bytes).toString(QUuid::WithoutBraces);
}

bool isJobId(QStringView text)
{
    if (text.size() != 36)
        return false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        if (dash ? c != QLatin1Char('-')
                 : !((c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
                     (c >= QLatin1Char('a') && c <= QLatin1Char('f'))))
            return false;
    }
    return true;
}

} // namespace AppServer::Jobs
