#include "BatchJob.h"

#include "BatchInput.h"
#include "framework/ControlState.h"
#include "framework/Dispatch.h"
#include "framework/ScriptedServices.h"
#include "framework/TApplication.h"
#include "framework/TForm.h"
#include "rtl/JsonErrorText.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QJsonDocument>
#include <QLineEdit>
#include <QMdiArea>
#include <QMetaProperty>

#include <limits>

namespace {

namespace Input = Velmora::BatchInput;

const QStringList stepKinds{QStringLiteral("enter"),  QStringLiteral("focus"),
                            QStringLiteral("click"),  QStringLiteral("lookup"),
                            QStringLiteral("list"),   QStringLiteral("action"),
                            QStringLiteral("close"),  QStringLiteral("open"),
                            QStringLiteral("unload"), QStringLiteral("dump")};

const QStringList actions{QStringLiteral("print"), QStringLiteral("preview"),
                          QStringLiteral("save"), QStringLiteral("edit")};

// The base report screen's tool buttons, one per action.
QString actionButton(const QString &action)
{
    if (action == QLatin1String("print"))
        return QStringLiteral("sbtPrint");
    if (action == QLatin1String("preview"))
        return QStringLiteral("sbtPreview");
    if (action == QLatin1String("save"))
        return QStringLiteral("sbtSalvarComo");
    return QStringLiteral("sbtReportEdit");
}

bool needsControl(const QString &kind)
{
    return kind == QLatin1String("enter") || kind == QLatin1String("focus") ||
           kind == QLatin1String("click") || kind == QLatin1String("lookup") ||
           kind == QLatin1String("list");
}

void typeCharacter(QChar ch)
{
    if (QWidget *target = QApplication::focusWidget())
        Input::typeCharacter(target, ch);
}

QJsonValue controlText(const QWidget *w)
{
    // A control's text as the business code reads it: Text, else Caption.
    const QMetaObject *meta = w->metaObject();
    for (const char *name : {"Text", "Caption"}) {
        const int index = meta->indexOfProperty(name);
        if (index >= 0)
            return meta->property(index).read(w).toString();
    }
    return QJsonValue::Null;
}

} // namespace

BatchJob::BatchJob(Host host, QTextStream &trace, QTextStream &errors)
    : m_host(std::move(host)), m_trace(trace), m_errors(errors)
{}

int BatchJob::runFile(const QString &path)
{
    QFile file;
    bool opened = false;
    if (path == QLatin1String("-"))
        opened = file.open(stdin, QIODevice::ReadOnly);
    else {
        file.setFileName(path);
        opened = file.open(QIODevice::ReadOnly);
    }
    if (!opened) {
        m_errors << QStringLiteral("Não foi possível ler o job '%1'.").arg(path) << Qt::endl;
        return CannotRun;
    }
    QJsonParseError parseError{};
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (parseError.error != QJsonParseError::NoError || !doc.isObject()) {
        m_errors << QStringLiteral("Job '%1' inválido: %2.")
                        .arg(path, parseError.error != QJsonParseError::NoError
                                       ? Velmora::JsonErrorText(parseError.error)
                                       : QStringLiteral("não é um objeto"))
                 << Qt::endl;
        return CannotRun;
    }
    return run(doc.object());
}

bool BatchJob::validate(const QJsonArray &steps, QString *error) const
{
    for (int i = 0; i < steps.size(); ++i) {
        const QJsonObject step = steps.at(i).toObject();
        const QString kind = step.value(QLatin1String("do")).toString();
        const QString where = QStringLiteral("passo %1").arg(i + 1);
        if (!steps.at(i).isObject() || !stepKinds.contains(kind)) {
            *error = QStringLiteral("%1: tipo de passo '%2' desconhecido.").arg(where, kind);
            return false;
        }
        if (needsControl(kind) && step.value(QLatin1String("control")).toString().isEmpty()) {
            *error = QStringLiteral("%1: falta o controle.").arg(where);
            return false;
        }
        if (kind == QLatin1String("enter") && !step.value(QLatin1String("text")).isString()) {
            *error = QStringLiteral("%1: falta o texto.").arg(where);
            return false;
        }
        if (kind == QLatin1String("action")) {
            const QString name = step.value(QLatin1String("name")).toString();
            if (!actions.contains(name)) {
                *error = QStringLiteral("%1: ação '%2' desconhecida.").arg(where, name);
                return false;
            }
        }
        if (kind == QLatin1String("lookup")) {
            const QJsonValue pick = step.value(QLatin1String("pick"));
            const bool good = pick.isNull() || pick.isUndefined() ||
                              (pick.isDouble() && pick.toDouble() >= 0) ||
                              (pick.isObject() && pick.toObject().size() == 1);
            if (!good) {
                *error = QStringLiteral("%1: escolha da pesquisa inválida.").arg(where);
                return false;
            }
        }
        if (kind == QLatin1String("list")) {
            const QJsonValue pick = step.value(QLatin1String("pick"));
            if (!(pick.isNull() || pick.isUndefined() || pick.isArray())) {
                *error = QStringLiteral("%1: escolha da lista inválida.").arg(where);
                return false;
            }
        }
        const QJsonValue cancelWait = step.value(QLatin1String("cancelWait"));
        if (!cancelWait.isUndefined() &&
            !(cancelWait.isDouble() && cancelWait.toDouble() >= 0 &&
              cancelWait.toDouble() <= std::numeric_limits<int>::max())) {
            *error =
                QStringLiteral("%1: cancelWait deve ser um número de milissegundos.").arg(where);
            return false;
        }
    }
    return true;
}

int BatchJob::run(const QJsonObject &job)
{
    m_code = job.value(QLatin1String("screen")).toString();
    const QJsonArray steps = job.value(QLatin1String("steps")).toArray();
    QString error;
    if (m_code.isEmpty() || !m_host.hasScreen(m_code)) {
        m_errors << QStringLiteral("Tela '%1' desconhecida.").arg(m_code) << Qt::endl;
        return CannotRun;
    }
    if (!validate(steps, &error)) {
        m_errors << error << Qt::endl;
        return CannotRun;
    }

    Velmora::ScriptedServices services;
    services.onEvent = [this](const QJsonObject &event) { m_pending << event; };
    Velmora::Services::install(&services);
    m_services = &services;

    if (m_host.mainWindow) {
        m_host.mainWindow->show();
        m_host.mainWindow->activateWindow();
        (void)Input::waitForActive(m_host.mainWindow);
    }
    // The entry procedure runs first; a failure there is a message like any other.
    m_host.openScreen(m_code);
    settle();
    flush();

    // Every control the steps name must exist before any step runs.
    if (screen()) {
        for (const QJsonValue value : steps) {
            const QString name = value.toObject().value(QLatin1String("control")).toString();
            if (!name.isEmpty() && !control(name)) {
                m_errors << QStringLiteral("Controle '%1' não existe na tela %2.").arg(name, m_code)
                         << Qt::endl;
                Velmora::Services::install(nullptr);
                return CannotRun;
            }
        }
    }

    int status = Ok;
    for (int i = 0; i < steps.size(); ++i) {
        const int failuresBefore = Velmora::FailedEvents();
        const qsizetype messagesBefore = services.messages().size();
        bool fatal = false;
        const QJsonValue cancelWait = steps.at(i).toObject().value(QLatin1String("cancelWait"));
        if (cancelWait.isDouble())
            services.queueServerCancel(cancelWait.toInt());
        bool ok = runStep(steps.at(i).toObject(), &fatal);
        if (fatal) {
            Velmora::Services::install(nullptr);
            return CannotRun;
        }
        settle();
        // A step's answers are its own: what a stopped action left must not answer the next.
        services.discardAnswers();
        const bool messaged = services.messages().size() > messagesBefore;
        ok = ok && !messaged && Velmora::FailedEvents() == failuresBefore;
        flush();
        emitLine({{QStringLiteral("event"), QStringLiteral("step")},
                  {QStringLiteral("n"), i + 1},
                  {QStringLiteral("ok"), ok},
                  {QStringLiteral("focus"), focusName().isEmpty() ? QJsonValue(QJsonValue::Null)
                                                                  : QJsonValue(focusName())}});
        status = ok ? Ok : EndedWithMessage;
    }
    saveScreenshot();
    m_trace.flush();
    Velmora::Services::install(nullptr);
    m_services = nullptr;
    return status;
}

bool BatchJob::runStep(const QJsonObject &step, bool *fatal)
{
    const QString kind = step.value(QLatin1String("do")).toString();
    if (kind == QLatin1String("open")) {
        m_host.openScreen(m_code);
        return true;
    }
    if (kind == QLatin1String("unload")) {
        QString error;
        if (!m_host.reloadPackage(m_code, &error)) {
            m_errors << error << Qt::endl;
            *fatal = true;
            return false;
        }
        return true;
    }
    TForm *form = screen();
    if (!form)
        return false; // no screen open: nothing to act on
    if (kind == QLatin1String("close")) {
        form->Close();
        return true;
    }
    if (kind == QLatin1String("dump")) {
        dump();
        return true;
    }
    if (kind == QLatin1String("action")) {
        const QString file = step.value(QLatin1String("file")).toString();
        m_services->queueFile(file);
        QWidget *button = control(actionButton(step.value(QLatin1String("name")).toString()));
        if (!button || !button->isEnabled())
            return false;
        return click(button);
    }

    QWidget *target = control(step.value(QLatin1String("control")).toString());
    if (!target)
        return false; // the screen was rebuilt without it
    if (!target->isEnabled())
        return false; // a disabled control runs no handler
    if (kind == QLatin1String("enter"))
        return enter(target, step.value(QLatin1String("text")).toString());
    if (kind == QLatin1String("focus"))
        return focus(target);
    if (kind == QLatin1String("click"))
        return click(target);
    if (kind == QLatin1String("lookup")) {
        const QJsonValue pick = step.value(QLatin1String("pick"));
        Velmora::ScriptedServices::RowPick row;
        if (pick.isDouble()) {
            row.kind = Velmora::ScriptedServices::RowPick::Kind::Index;
            row.index = pick.toInt();
        } else if (pick.isObject()) {
            const QJsonObject match = pick.toObject();
            row.kind = Velmora::ScriptedServices::RowPick::Kind::Match;
            row.field = match.begin().key();
            row.value = match.begin().value().toVariant().toString();
        }
        m_services->queueRowPick(row);
        return click(target);
    }
    if (kind == QLatin1String("list")) {
        const QJsonValue pick = step.value(QLatin1String("pick"));
        Velmora::ScriptedServices::ListPick list;
        if (pick.isArray()) {
            list.cancel = false;
            for (const QJsonValue key : pick.toArray())
                list.keys << key.toVariant().toString();
        }
        m_services->queueListPick(list);
        return click(target);
    }
    return false;
}

bool BatchJob::focus(QWidget *control)
{
    // A mouse click's focus move, without the click itself.
    control->setFocus(Qt::MouseFocusReason);
    settle();
    QWidget *now = QApplication::focusWidget();
    return now && (now == control || control->isAncestorOf(now));
}

bool BatchJob::enter(QWidget *control, const QString &text)
{
    Input::click(control);
    settle();
    QWidget *now = QApplication::focusWidget();
    if (!now || (now != control && !control->isAncestorOf(now)))
        return false; // the exit of the control that held the focus kept it there
    Input::keyClick(now, Qt::Key_A, QStringLiteral("a"), Qt::ControlModifier);
    if (QWidget *focused = QApplication::focusWidget(); focused && text.isEmpty())
        Input::keyClick(focused, Qt::Key_Delete);
    for (const QChar ch : text)
        typeCharacter(ch);
    settle();
    if (QWidget *focused = QApplication::focusWidget())
        Input::keyClick(focused, Qt::Key_Tab, QStringLiteral("\t"));
    return true;
}

bool BatchJob::click(QWidget *control)
{
    return Input::click(control);
}

void BatchJob::dump()
{
    QJsonObject controls;
    const QList<QWidget *> widgets = screen()->findChildren<QWidget *>();
    for (QWidget *w : widgets) {
        if (!Velmora::StateOf(w) || w->objectName().isEmpty())
            continue;
        QJsonObject c{{QStringLiteral("text"), controlText(w)},
                      {QStringLiteral("enabled"), Velmora::StateOf(w)->enabled()}};
        if (auto *button = qobject_cast<QAbstractButton *>(w); button && button->isCheckable())
            c.insert(QStringLiteral("checked"), button->isChecked());
        controls.insert(w->objectName(), c);
    }
    emitLine({{QStringLiteral("event"), QStringLiteral("state")},
              {QStringLiteral("controls"), controls}});
}

TForm *BatchJob::screen() const
{
    QMdiArea *area = Application().MdiArea();
    if (area && area->activeSubWindow())
        if (auto *form = qobject_cast<TForm *>(area->activeSubWindow()->widget()))
            return form;
    const QList<TForm *> forms = Application().Forms();
    for (auto it = forms.rbegin(); it != forms.rend(); ++it)
        if ((*it)->isVisible())
            return *it;
    return nullptr;
}

QWidget *BatchJob::control(const QString &name) const
{
    TForm *form = screen();
    return form ? form->findChild<QWidget *>(name) : nullptr;
}

QString BatchJob::focusName() const
{
    for (QWidget *w = QApplication::focusWidget(); w; w = w->parentWidget())
        if (Velmora::StateOf(w) && !w->objectName().isEmpty())
            return w->objectName();
    return {};
}

void BatchJob::emitLine(const QJsonObject &object)
{
    m_trace << QJsonDocument(object).toJson(QJsonDocument::Compact) << '\n';
    m_trace.flush();
}

// Messages name the control holding the focus once their event has ended.
void BatchJob::flush()
{
    const QString name = focusName();
    for (QJsonObject event : std::as_const(m_pending)) {
        if (event.value(QLatin1String("event")).toString() == QLatin1String("message"))
            event.insert(QStringLiteral("focus"),
                         name.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(name));
        emitLine(event);
    }
    m_pending.clear();
}

void BatchJob::saveScreenshot()
{
    if (m_screenshot.isEmpty())
        return;
    TForm *form = screen();
    QWidget *subject = form && form->SubWindow() ? static_cast<QWidget *>(form->SubWindow())
                       : form                    ? static_cast<QWidget *>(form)
                                                 : m_host.mainWindow;
    if (!subject || !subject->grab().save(m_screenshot))
        m_errors
            << QStringLiteral("Não foi possível gravar a imagem da tela em '%1'.").arg(m_screenshot)
            << Qt::endl;
}

void BatchJob::settle() const
{
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::processEvents();
        TApplication::DeliverPendingDeletions();
    }
}
