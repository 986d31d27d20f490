#pragma once

#include "Services.h"

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <utility>

namespace Velmora {

// Services that record what the screen shows and answer from a script, for tests and the
// batch runner. Answers are queued before the action that asks for them; a question with no
// answer queued is cancelled.
class VELMORA_FRAMEWORK_EXPORT ScriptedServices : public Services
{
public:
    // How the search dialog ends: a row by number, the first row whose field reads a value,
    // or cancelled.
    struct RowPick
    {
        enum class Kind { Index, Match, Cancel } kind = Kind::Cancel;
        int index = 0;
        QString field;
        QString value;
    };
    // How the list dialog ends: exactly these keys checked, or cancelled.
    struct ListPick
    {
        bool cancel = true;
        QStringList keys;
    };

    void queueRowPick(const RowPick &pick) { m_rowPicks << pick; }
    void queueListPick(const ListPick &pick) { m_listPicks << pick; }
    void queueText(const std::optional<QString> &text) { m_texts << text; }
    void queueFile(const QString &path) { m_files << path; }
    // The user gives up the next call whose wait shows, afterMs after it shows (when the
    // call has not ended by then). With none queued, every call is waited for to its end.
    void queueServerCancel(int afterMs) { m_serverCancels << afterMs; }
    // Why the last pick by value could not be made as written (no such column, no such row,
    // codes the list lacks); empty when it was made. Cleared as it is read.
    QString takePickProblem() { return std::exchange(m_pickProblem, {}); }

    // Every message shown, in order.
    const QStringList &messages() const { return m_messages; }
    void clear();
    // Drops the answers no question took (an action that a check stopped before it asked).
    void discardAnswers();

    // Called for each thing shown: {"event":"message","text":...},
    // {"event":"dialog","kind":"search"|"list","title":...,"rows":N}, {"event":"help",...},
    // {"event":"wait","text":...,"cancelled":true} for a call given up.
    std::function<void(const QJsonObject &)> onEvent;

    void showMessage(const QString &text) override;
    bool pickRow(TDataSet *dataSet, const QString &title) override;
    bool pickRows(TDataSet *dataSet, const QString &keyField, const QString &title,
                  const QString &emptyMessage, QString &selection) override;
    bool askText(const QString &caption, const QString &prompt, QString &value) override;
    QString chooseFile(const QString &title, const QString &filter, const QString &suggested,
                       bool forSaving) override;
    void showHelp(const QString &helpFile, int context) override;
    bool waitForServer(ServerWait &wait) override;
    bool headless() const override { return true; }
    void reportParams(const QVariantMap &values) override;
    void reportProgress(const QString &action, qint64 rows, int pages) override;
    void reportDone(const QString &action, const QString &file, int pages, qint64 rows) override;

private:
    void emitEvent(const QJsonObject &event);

    QStringList m_messages;
    QList<RowPick> m_rowPicks;
    QList<ListPick> m_listPicks;
    QString m_pickProblem;
    QList<std::optional<QString>> m_texts;
    QStringList m_files;
    QList<int> m_serverCancels;
};

} // namespace Velmora
