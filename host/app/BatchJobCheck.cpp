#include "BatchJobCheck.h"

#include "BackgroundStep.h"
#include "framework/Events.h"
#include "framework/controls/TBtnPesquisa.h"
#include "reports/BackgroundRun.h"
#include "reports/RelativePeriod.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QJsonArray>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>

#include <cmath>

#include <limits>

namespace Velmora::BatchJobCheck {

namespace {

const QStringList &stepKinds()
{
    static const QStringList kinds{
        QStringLiteral("enter"),  QStringLiteral("focus"),  QStringLiteral("click"),
        QStringLiteral("lookup"), QStringLiteral("list"),   QStringLiteral("action"),
        QStringLiteral("close"),  QStringLiteral("open"),   QStringLiteral("unload"),
        QStringLiteral("dump"),   QStringLiteral("variant")};
    return kinds;
}

const QStringList &actions()
{
    static const QStringList names{QStringLiteral("print"), QStringLiteral("preview"),
                                   QStringLiteral("save"), QStringLiteral("edit"),
                                   QStringLiteral("background")};
    return names;
}

bool needsControl(const QString &kind)
{
    return kind == QLatin1String("enter") || kind == QLatin1String("focus") ||
           kind == QLatin1String("click") || kind == QLatin1String("lookup") ||
           kind == QLatin1String("list");
}

// What a JSON value is, as a reason names it.
QString kindOf(const QJsonValue &value)
{
    switch (value.type()) {
    case QJsonValue::String:
        return QStringLiteral("um texto");
    case QJsonValue::Double:
        return QStringLiteral("um número");
    case QJsonValue::Bool:
        return QStringLiteral("um valor lógico");
    case QJsonValue::Object:
        return QStringLiteral("um objeto");
    case QJsonValue::Array:
        return QStringLiteral("uma lista");
    default:
        return QStringLiteral("null");
    }
}

bool writesFile(const QString &action)
{
    return action != QLatin1String("edit");
}

bool isRowNumber(const QJsonValue &pick)
{
    if (!pick.isDouble())
        return false;
    const double row = pick.toDouble();
    return row >= 0 && row <= std::numeric_limits<int>::max() && std::floor(row) == row;
}

// As TBtnPesquisa decides on a press: a handled click with no lookup events is all it runs.
bool opensSearch(const QWidget *control)
{
    if (!qobject_cast<const TBtnPesquisa *>(control))
        return false;
    const Events *events = Events::find(control);
    return !events || !events->isBound(QStringLiteral("OnClick")) ||
           events->isBound(QStringLiteral("OnBeforePesq")) ||
           events->isBound(QStringLiteral("OnAfterPesq"));
}

bool takesText(const QWidget *control)
{
    return qobject_cast<const QLineEdit *>(control) || qobject_cast<const QComboBox *>(control) ||
           qobject_cast<const QAbstractSpinBox *>(control) ||
           qobject_cast<const QTextEdit *>(control) ||
           qobject_cast<const QPlainTextEdit *>(control);
}

// Why the control cannot take that kind of step; empty when it can. Decided by what the
// control is, never by its name.
QString refusal(const QString &kind, const QWidget *control)
{
    const QWidget *target = control->focusProxy() ? control->focusProxy() : control;
    const QString what =
        QStringLiteral("é um %1").arg(QString::fromLatin1(control->metaObject()->className()));
    const auto *button = qobject_cast<const QAbstractButton *>(control);
    if (kind == QLatin1String("click") && !button)
        return QStringLiteral("%1, não um botão (\"click\" só pressiona botões).").arg(what);
    if (kind == QLatin1String("lookup") && !opensSearch(control))
        return QStringLiteral("%1 que não abre a pesquisa (\"lookup\" só vale para um botão de "
                              "pesquisa).")
            .arg(what);
    if (kind == QLatin1String("list") && (!button || button->isCheckable() || opensSearch(control)))
        return QStringLiteral("%1 que não abre uma lista de seleção (\"list\" só vale para o botão "
                              "que abre a lista).")
            .arg(what);
    if (kind == QLatin1String("enter") && !takesText(target))
        return QStringLiteral("%1 e não recebe texto (\"enter\" só vale para campos de edição).")
            .arg(what);
    if (kind == QLatin1String("focus") && target->focusPolicy() == Qt::NoFocus)
        return QStringLiteral("%1 e não recebe o foco.").arg(what);
    return {};
}

class StepCheck
{
public:
    StepCheck(int n, const QJsonObject &step, QList<Problem> &problems)
        : m_n(n), m_step(step), m_problems(problems),
          m_control(step.value(QLatin1String("control")).toString())
    {}

    void add(const QString &reason, const QString &control)
    {
        const QString where = control.isEmpty()
                                  ? QStringLiteral("Passo %1").arg(m_n)
                                  : QStringLiteral("Passo %1, controle '%2'").arg(m_n).arg(control);
        m_problems << Problem{m_n, control, QStringLiteral("%1: %2").arg(where, reason)};
    }
    void add(const QString &reason) { add(reason, m_control); }

    void form(const QString &kind)
    {
        if (needsControl(kind) && m_control.isEmpty())
            add(QStringLiteral("falta o controle (\"control\")."));
        if (kind == QLatin1String("enter") && !m_step.value(QLatin1String("text")).isString())
            add(QStringLiteral("falta o texto (\"text\")."));
        if (kind == QLatin1String("action"))
            action();
        if (kind == QLatin1String("variant"))
            variant();
        const QJsonValue pick = m_step.value(QLatin1String("pick"));
        const bool noPick = pick.isNull() || pick.isUndefined();
        if (kind == QLatin1String("lookup") && !noPick && !isRowNumber(pick) &&
            !(pick.isObject() && pick.toObject().size() == 1))
            add(QStringLiteral("escolha da pesquisa inválida: um número de linha (a partir de 0), "
                               "um objeto com um campo e seu valor, ou null."));
        if (kind == QLatin1String("list") && !noPick && !pick.isArray())
            add(QStringLiteral("escolha da lista inválida: uma lista de chaves, ou null."));
        const QJsonValue cancelWait = m_step.value(QLatin1String("cancelWait"));
        if (!cancelWait.isUndefined() &&
            !(cancelWait.isDouble() && cancelWait.toDouble() >= 0 &&
              cancelWait.toDouble() <= std::numeric_limits<int>::max()))
            add(QStringLiteral("cancelWait deve ser um número de milissegundos."));
    }

    void onScreen(const QString &kind, const QString &screen,
                  const std::function<QWidget *(const QString &)> &findControl)
    {
        if (kind == QLatin1String("action")) {
            const QString name = m_step.value(QLatin1String("name")).toString();
            if (actions().contains(name) && !findControl(actionButton(name)))
                add(QStringLiteral("a tela %1 não tem a ação '%2'.").arg(screen, name),
                    actionButton(name));
        }
        if (m_control.isEmpty())
            return;
        const QWidget *control = findControl(m_control);
        if (!control)
            add(QStringLiteral("não existe na tela %1.").arg(screen));
        else if (const QString why = refusal(kind, control); !why.isEmpty())
            add(why);
    }

private:
    // Exactly one of save, load, delete (each a name) or last; period and default go with save.
    void variant()
    {
        int verbs = 0;
        for (const char *verb : {"save", "load", "delete"}) {
            const QJsonValue name = m_step.value(QLatin1String(verb));
            if (name.isUndefined())
                continue;
            ++verbs;
            if (!name.isString() || name.toString().trimmed().isEmpty())
                add(QStringLiteral("o nome da variante (\"%1\") deve ser um texto não vazio.")
                        .arg(QLatin1String(verb)));
        }
        if (const QJsonValue last = m_step.value(QLatin1String("last")); !last.isUndefined()) {
            ++verbs;
            if (last != QJsonValue(true))
                add(QStringLiteral("\"last\" só pode ser true."));
        }
        if (verbs != 1)
            add(QStringLiteral("o passo variant pede um e só um de \"save\", \"load\", "
                               "\"delete\" ou \"last\"."));
        const bool saving = m_step.contains(QLatin1String("save"));
        if (const QJsonValue period = m_step.value(QLatin1String("period"));
            !period.isUndefined()) {
            Velmora::Reports::RelativePeriod known;
            QStringList keys;
            for (const auto p : Velmora::Reports::RelativePeriods())
                if (p != Velmora::Reports::RelativePeriod::Fixed)
                    keys << Velmora::Reports::RelativePeriodKey(p);
            if (!saving)
                add(QStringLiteral("\"period\" só vale com \"save\"."));
            else if (!period.isString() ||
                     !Velmora::Reports::RelativePeriodFromKey(period.toString(), known))
                add(QStringLiteral("período desconhecido: use %1.")
                        .arg(keys.join(QStringLiteral(", "))));
        }
        if (const QJsonValue isDefault = m_step.value(QLatin1String("default"));
            !isDefault.isUndefined() && (!saving || !isDefault.isBool()))
            add(QStringLiteral("\"default\" é true ou false, e só com \"save\"."));
    }

    void action()
    {
        const QString name = m_step.value(QLatin1String("name")).toString();
        if (!actions().contains(name)) {
            add(QStringLiteral("ação '%1' desconhecida.").arg(name));
            return;
        }
        if (!writesFile(name))
            return;
        const QJsonValue file = m_step.value(QLatin1String("file"));
        if (file.isUndefined())
            add(QStringLiteral("a ação '%1' grava um arquivo e falta o arquivo (\"file\").")
                    .arg(name));
        else if (!file.isString())
            add(QStringLiteral("o arquivo da ação '%1' deve ser um texto, não %2.")
                    .arg(name, kindOf(file)));
        else if (file.toString().trimmed().isEmpty())
            add(QStringLiteral("a ação '%1' grava um arquivo e o nome do arquivo está vazio.")
                    .arg(name));
        if (name == QLatin1String("background"))
            background(file);
    }

    // The format, given or read from the file's extension, and the wait's bound.
    void background(const QJsonValue &file)
    {
        const QJsonValue format = m_step.value(QLatin1String("format"));
        const QStringList known = Velmora::Reports::BackgroundFormats();
        if (!format.isUndefined()) {
            if (!format.isString() || !known.contains(format.toString().toLower()))
                add(QStringLiteral("formato desconhecido: use %1.")
                        .arg(known.join(QStringLiteral(", "))));
        } else if (file.isString() && !file.toString().trimmed().isEmpty() &&
                   !known.contains(Velmora::BackgroundStep::formatOf(m_step))) {
            add(QStringLiteral("o arquivo '%1' não diz o formato: termine o nome em .pdf, .csv, "
                               ".xlsx ou .html, ou dê o formato (\"format\").")
                    .arg(file.toString()));
        }
        const QJsonValue timeout = m_step.value(QLatin1String("timeout"));
        if (!timeout.isUndefined() &&
            !(timeout.isDouble() && timeout.toDouble() >= 1 && timeout.toDouble() <= 86400 &&
              std::floor(timeout.toDouble()) == timeout.toDouble()))
            add(QStringLiteral("\"timeout\" deve ser um número inteiro de segundos, de 1 a "
                               "86400."));
    }

    const int m_n;
    const QJsonObject m_step;
    QList<Problem> &m_problems;
    const QString m_control;
};

} // namespace

QString actionButton(const QString &action)
{
    if (action == QLatin1String("print"))
        return QStringLiteral("sbtPrint");
    if (action == QLatin1String("preview"))
        return QStringLiteral("sbtPreview");
    if (action == QLatin1String("save"))
        return QStringLiteral("sbtSalvarComo");
    if (action == QLatin1String("background"))
        return QStringLiteral("sbtSegundoPlano");
    return QStringLiteral("sbtReportEdit");
}

QList<Problem> checkJob(const QJsonObject &job)
{
    const QJsonValue steps = job.value(QLatin1String("steps"));
    if (steps.isUndefined())
        return {Problem{0, {}, QStringLiteral("O job não tem passos: falta a lista \"steps\".")}};
    if (!steps.isArray())
        return {Problem{
            0,
            {},
            QStringLiteral("\"steps\" deve ser uma lista de passos, não %1.").arg(kindOf(steps))}};
    return {};
}

QList<Problem> checkSteps(const QJsonArray &steps, const QString &screen,
                          const std::function<QWidget *(const QString &name)> &findControl)
{
    QList<Problem> problems;
    for (int i = 0; i < steps.size(); ++i) {
        const QJsonValue value = steps.at(i);
        StepCheck check(i + 1, value.toObject(), problems);
        if (!value.isObject()) {
            check.add(QStringLiteral("o passo deve ser um objeto, não %1.").arg(kindOf(value)), {});
            continue;
        }
        const QJsonValue kindValue = value.toObject().value(QLatin1String("do"));
        const QString kind = kindValue.toString();
        if (kindValue.isUndefined()) {
            check.add(QStringLiteral("falta o tipo do passo (\"do\")."), {});
            continue;
        }
        if (!kindValue.isString()) {
            check.add(QStringLiteral("o tipo do passo (\"do\") deve ser um texto, não %1.")
                          .arg(kindOf(kindValue)),
                      {});
            continue;
        }
        if (!stepKinds().contains(kind)) {
            check.add(QStringLiteral("tipo de passo '%1' desconhecido.").arg(kind), {});
            continue;
        }
        check.form(kind);
        if (findControl)
            check.onScreen(kind, screen, findControl);
    }
    return problems;
}

} // namespace Velmora::BatchJobCheck
