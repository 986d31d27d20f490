#include "TMessages.h"

#include "Consiste.h"
#include "rtl/Exceptions.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcMessages, "velmora.messages")

TMessages::TMessages(QObject *parent) : QObject(parent) {}

void TMessages::SetLines(const QStringList &lines)
{
    m_lines = lines;
    m_texts.clear();
    for (const QString &line : lines) {
        const qsizetype bar = line.indexOf(QLatin1Char('|'));
        if (bar < 0) {
            qCWarning(lcMessages) << objectName() << "row without '|' ignored:" << line;
            continue;
        }
        const QString key = line.left(bar).toCaseFolded();
        if (!m_texts.contains(key))
            m_texts.insert(key, line.mid(bar + 1));
    }
}

QString TMessages::Msg(const QString &key) const
{
    const auto it = m_texts.constFind(key.toCaseFolded());
    if (it != m_texts.cend())
        return *it;
    qCWarning(lcMessages) << objectName() << "has no message for key" << key;
    return QString::fromLatin1("");
}

bool TMessages::Contains(const QString &key) const
{
    return m_texts.contains(key.toCaseFolded());
}

void TMessages::Fail(const QString &key) const
{
    Consiste::MensErro(Msg(key), true);
    throw EAbort(); // MensErro has raised already; this only tells the compiler
}
