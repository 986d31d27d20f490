#include "ScriptedServices.h"

#include "ServerWait.h"
#include "data/TDataSet.h"
#include "dialogs/SelectionString.h"
#include "rtl/TDateTime.h"

#include <QEventLoop>
#include <QJsonArray>
#include <QTimer>

namespace Velmora {

void ScriptedServices::clear()
{
    m_messages.clear();
    m_pickProblem.clear();
    m_rowPicks.clear();
    m_listPicks.clear();
    m_texts.clear();
    m_files.clear();
    m_serverCancels.clear();
}

void ScriptedServices::discardAnswers()
{
    m_rowPicks.clear();
    m_listPicks.clear();
    m_texts.clear();
    m_files.clear();
    m_serverCancels.clear();
}

void ScriptedServices::emitEvent(const QJsonObject &event)
{
    if (onEvent)
        onEvent(event);
}

void ScriptedServices::showMessage(const QString &text)
{
    // A deep copy: a package's literal goes away when the package is unloaded.
    m_messages << QString(text.constData(), text.size());
    emitEvent(
        {{QStringLiteral("event"), QStringLiteral("message")}, {QStringLiteral("text"), text}});
}

bool ScriptedServices::pickRow(TDataSet *dataSet, const QString &title)
{
    const int rows = dataSet ? dataSet->RecordCount() : 0;
    emitEvent({{QStringLiteral("event"), QStringLiteral("dialog")},
               {QStringLiteral("kind"), QStringLiteral("search")},
               {QStringLiteral("title"), title},
               {QStringLiteral("rows"), rows}});
    const RowPick pick = m_rowPicks.isEmpty() ? RowPick{} : m_rowPicks.takeFirst();
    if (!dataSet || rows == 0)
        return false;
    switch (pick.kind) {
    case RowPick::Kind::Cancel:
        return false;
    case RowPick::Kind::Index:
        if (pick.index < 0 || pick.index >= rows)
            return false;
        dataSet->MoveTo(pick.index);
        return true;
    case RowPick::Kind::Match: {
        const TField *field = dataSet->FindField(pick.field);
        if (!field) {
            m_pickProblem = QStringLiteral("O diálogo não tem a coluna '%1'.").arg(pick.field);
            return false;
        }
        for (int r = 0; r < rows; ++r) {
            if (field->TextAt(r) == pick.value) {
                dataSet->MoveTo(r);
                return true;
            }
        }
        m_pickProblem = QStringLiteral("Nenhuma das %1 linhas do diálogo tem %2 igual a '%3'.")
                            .arg(rows)
                            .arg(pick.field, pick.value);
        return false;
    }
    }
    return false;
}

bool ScriptedServices::pickRows(TDataSet *dataSet, const QString &keyField, const QString &title,
                                const QString &emptyMessage, QString &selection)
{
    const ListPick pick = m_listPicks.isEmpty() ? ListPick{} : m_listPicks.takeFirst();
    if (!dataSet || dataSet->IsEmpty()) {
        showMessage(emptyMessage);
        return false;
    }
    emitEvent({{QStringLiteral("event"), QStringLiteral("dialog")},
               {QStringLiteral("kind"), QStringLiteral("list")},
               {QStringLiteral("title"), title},
               {QStringLiteral("rows"), dataSet->RecordCount()}});
    if (pick.cancel)
        return false;
    const TField *key = dataSet->FieldByName(keyField);
    QStringList chosen;
    for (int r = 0; r < dataSet->RecordCount(); ++r) {
        const QString k = key->TextAt(r);
        if (pick.keys.contains(k))
            chosen << k;
    }
    QStringList lacking;
    for (const QString &k : pick.keys)
        if (!chosen.contains(k) && !lacking.contains(k))
            lacking << k;
    if (!lacking.isEmpty()) {
        // A clerk cannot check a row the list does not show: the dialog is left as cancelled.
        m_pickProblem = QStringLiteral("A lista do diálogo não tem: %1.")
                            .arg(lacking.join(QStringLiteral(", ")));
        return false;
    }
    selection = SelectionString::Format(chosen);
    return true;
}

bool ScriptedServices::askText(const QString &caption, const QString &prompt, QString &value)
{
    emitEvent({{QStringLiteral("event"), QStringLiteral("ask")},
               {QStringLiteral("caption"), caption},
               {QStringLiteral("prompt"), prompt}});
    const std::optional<QString> answer = m_texts.isEmpty() ? std::nullopt : m_texts.takeFirst();
    if (!answer)
        return false;
    value = *answer;
    return true;
}

QString ScriptedServices::chooseFile(const QString &title, const QString &filter,
                                     const QString &suggested, bool forSaving)
{
    Q_UNUSED(title);
    Q_UNUSED(filter);
    Q_UNUSED(suggested);
    Q_UNUSED(forSaving);
    return m_files.isEmpty() ? QString() : m_files.takeFirst();
}

void ScriptedServices::showHelp(const QString &helpFile, int context)
{
    emitEvent({{QStringLiteral("event"), QStringLiteral("help")},
               {QStringLiteral("file"), helpFile},
               {QStringLiteral("context"), context}});
}

bool ScriptedServices::waitForServer(ServerWait &wait)
{
    if (m_serverCancels.isEmpty())
        return false;
    const int afterMs = m_serverCancels.takeFirst();
    if (!wait.isFinished()) {
        QEventLoop loop;
        QTimer::singleShot(afterMs, &loop, &QEventLoop::quit);
        QObject::connect(&wait, &ServerWait::finished, &loop, &QEventLoop::quit);
        loop.exec();
    }
    if (wait.isFinished())
        return false;
    emitEvent({{QStringLiteral("event"), QStringLiteral("wait")},
               {QStringLiteral("text"), ServerWait::text()},
               {QStringLiteral("cancelled"), true}});
    return true;
}

} // namespace Velmora

namespace Velmora {

void ScriptedServices::reportParams(const QVariantMap &values)
{
    QJsonObject json;
    for (auto it = values.begin(); it != values.end(); ++it) {
        const QVariant &v = it.value();
        if (v.isNull())
            json.insert(it.key(), QJsonValue::Null);
        else if (v.metaType() == QMetaType::fromType<TDateTime>())
            json.insert(it.key(),
                        QJsonObject{{QStringLiteral("date"),
                                     v.value<TDateTime>().toDate().toString(Qt::ISODate)}});
        else
            json.insert(it.key(), v.toString());
    }
    emitEvent(
        {{QStringLiteral("event"), QStringLiteral("params")}, {QStringLiteral("values"), json}});
}

void ScriptedServices::reportProgress(const QString &action, qint64 rows, int pages)
{
    emitEvent({{QStringLiteral("event"), QStringLiteral("progress")},
               {QStringLiteral("action"), action},
               {QStringLiteral("rows"), rows},
               {QStringLiteral("pages"), pages}});
}

void ScriptedServices::reportDone(const QString &action, const QString &file, int pages,
                                  qint64 rows)
{
    emitEvent({{QStringLiteral("event"), QStringLiteral("report")},
               {QStringLiteral("action"), action},
               {QStringLiteral("file"), file},
               {QStringLiteral("pages"), pages},
               {QStringLiteral("rows"), rows}});
}

} // namespace Velmora
