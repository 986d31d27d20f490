#pragma once

#include "framework_global.h"

#include <QHash>
#include <QObject>
#include <QStringList>

// A screen's message table: one row a line, "key|text". The screen asks for its texts by
// key, so every message it shows lives in its description.
class VELMORA_FRAMEWORK_EXPORT TMessages : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QStringList Lines READ Lines WRITE SetLines)

public:
    explicit TMessages(QObject *parent = nullptr);

    QStringList Lines() const { return m_lines; }
    void SetLines(const QStringList &lines);

    // The text of a key, exactly as the row holds it. Keys match without regard to letter
    // case; the first row of a key wins. A key the table lacks yields an empty text and a
    // warning in the log (category velmora.messages).
    QString Msg(const QString &key) const;
    bool Contains(const QString &key) const;
    // Shows the key's text as an error and aborts the handler (Consiste::MensErro).
    [[noreturn]] void Fail(const QString &key) const;

private:
    QStringList m_lines;
    QHash<QString, QString> m_texts; // case-folded key -> text
};
