#include "BatchJob.h"

#include "BackgroundStep.h"
#include "BatchJobCheck.h"
#include "framework/ControlState.h"
#include "framework/Dispatch.h"
#include "framework/ScriptedServices.h"
#include "framework/TApplication.h"
#include "framework/TForm.h"
#include "framework/UserInput.h"
#include "reports/ScreenVariants.h"
#include "reports/TfrmDadosGerRel.h"
#include "rtl/JsonErrorText.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QJsonDocument>
#include <QLineEdit>
#include <QMdiArea>
#include <QMetaProperty>
#include <QScopeGuard>

namespace {

namespace Input = Velmora::UserInput;
namespace Check = Velmora::BatchJobCheck;

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
    if (!opened)
        return refuse(QStringLiteral("Não foi possível ler o job '%1'.").arg(path));
    QJsonParseError parseError{};
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (parseError.error != QJsonParseError::NoError || !doc.isObject())
        return refuse(QStringLiteral("Job '%1' inválido: %2.")
                          .arg(path, parseError.error != QJsonParseError::NoError
                                         ? Velmora::JsonErrorText(parseError.error)
                                         : QStringLiteral("não é um objeto")));
    return run(doc.object());
}

int BatchJob::run(const QJsonObject &job)
{
    m_code = job.value(QLatin1String("screen")).toString();
    if (m_code.isEmpty() || !m_host.hasScreen(m_code))
        return refuse(QStringLiteral("Tela '%1' desconhecida.").arg(m_code));
    if (const QList<Check::Problem> problems = Check::checkJob(job); !problems.isEmpty())
        return refuse(problems);
    const QJsonArray steps = job.value(QLatin1String("steps")).toArray();

    Velmora::ScriptedServices services;
    services.onEvent = [this](const QJsonObject &event) { m_pending << event; };
    Velmora::Services::install(&services);
    m_services = &services;
    const auto uninstall = qScopeGuard([this] {
        Velmora::Services::install(nullptr);
        m_services = nullptr;
    });

    if (m_host.mainWindow) {
        m_host.mainWindow->show();
        m_host.mainWindow->activateWindow();
        (void)Input::waitForActive(m_host.mainWindow);
    }
    // The entry procedure runs first; a failure there is a message like any other.
    m_host.openScreen(m_code);
    settle();
    flush();

    // The whole job is checked against the open screen before its first step: a job runs as
    // written or not at all. Without a screen (its entry failed) only the steps' form is.
    std::function<QWidget *(const QString &)> findControl;
    if (screen())
        findControl = [this](const QString &name) { return control(name); };
    if (const QList<Check::Problem> problems = Check::checkSteps(steps, m_code, findControl);
        !problems.isEmpty())
        return refuse(problems);

    int status = Ok;
    for (int i = 0; i < steps.size(); ++i) {
        const int failuresBefore = Velmora::FailedEvents();
        const qsizetype messagesBefore = services.messages().size();
        bool fatal = false;
        m_step = i + 1;
        const QJsonValue cancelWait = steps.at(i).toObject().value(QLatin1String("cancelWait"));
        if (cancelWait.isDouble())
            services.queueServerCancel(cancelWait.toInt());
        bool ok = runStep(steps.at(i).toObject(), &fatal);
        if (fatal)
            return CannotRun;
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
    return status;
}

int BatchJob::refuse(const QList<Check::Problem> &problems)
{
    for (const Check::Problem &problem : problems) {
        m_errors << problem.text << Qt::endl;
        QJsonObject event{{QStringLiteral("event"), QStringLiteral("error")},
                          {QStringLiteral("text"), problem.text}};
        if (problem.step > 0)
            event.insert(QStringLiteral("step"), problem.step);
        if (!problem.control.isEmpty())
            event.insert(QStringLiteral("control"), problem.control);
        emitLine(event);
    }
    return CannotRun;
}

int BatchJob::refuse(const QString &reason)
{
    return refuse({Check::Problem{0, {}, reason}});
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
            refuse({Check::Problem{m_step, {}, error}});
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
    if (kind == QLatin1String("variant"))
        return variant(step);
    if (kind == QLatin1String("action") &&
        step.value(QLatin1String("name")).toString() == QLatin1String("background"))
        return background(step);
    if (kind == QLatin1String("action")) {
        const QString file = step.value(QLatin1String("file")).toString();
        m_services->queueFile(file);
        QWidget *button =
            control(Check::actionButton(step.value(QLatin1String("name")).toString()));
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
        if (!click(target))
            return false;
        if (row.kind == Velmora::ScriptedServices::RowPick::Kind::Index)
            return pickWithinRows(row.index, target->objectName());
        return pickMade(target->objectName());
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
        return click(target) && pickMade(target->objectName());
    }
    return false;
}

bool BatchJob::background(const QJsonObject &step)
{
    auto *report = qobject_cast<TfrmDadosGerRel *>(screen());
    QWidget *button = control(Check::actionButton(QStringLiteral("background")));
    if (!report || !button || !button->isEnabled())
        return false;
    const qsizetype shownBefore = m_services->messages().size();
    const Velmora::BackgroundStep::Outcome outcome = Velmora::BackgroundStep::run(report, step);
    if (outcome.ok) {
        m_pending << outcome.report;
        return true;
    }
    // A screen's check shows its message and ends silently: that message is the reason.
    QString error = outcome.error;
    if (error.isEmpty() && m_services->messages().size() > shownBefore)
        error = m_services->messages().constLast();
    if (!error.isEmpty())
        m_pending << QJsonObject{{QStringLiteral("event"), QStringLiteral("error")},
                                 {QStringLiteral("step"), m_step},
                                 {QStringLiteral("text"), error}};
    return false;
}

// The services cancel a search whose row is not there; the step must not pass for done.
bool BatchJob::pickWithinRows(int index, const QString &controlName)
{
    settle();
    for (const QJsonObject &event : std::as_const(m_pending)) {
        if (event.value(QLatin1String("event")).toString() != QLatin1String("dialog") ||
            event.value(QLatin1String("kind")).toString() != QLatin1String("search"))
            continue;
        const int rows = event.value(QLatin1String("rows")).toInt();
        if (index < rows)
            return true;
        const QString reach =
            rows == 0   ? QStringLiteral("não tem linhas")
            : rows == 1 ? QStringLiteral("tem 1 linha (a 0)")
                        : QStringLiteral("tem %1 linhas (de 0 a %2)").arg(rows).arg(rows - 1);
        m_pending << QJsonObject{
            {QStringLiteral("event"), QStringLiteral("error")},
            {QStringLiteral("step"), m_step},
            {QStringLiteral("control"), controlName},
            {QStringLiteral("text"),
             QStringLiteral("Escolha %1 fora da lista: o diálogo %2.").arg(index).arg(reach)}};
        return false;
    }
    return true; // no search shown: whatever stopped it tells
}

// A pick by value the dialog could not honour cancels it; the step must not pass for done.
bool BatchJob::pickMade(const QString &controlName)
{
    settle();
    const QString problem = m_services->takePickProblem();
    if (problem.isEmpty())
        return true;
    m_pending << QJsonObject{{QStringLiteral("event"), QStringLiteral("error")},
                             {QStringLiteral("step"), m_step},
                             {QStringLiteral("control"), controlName},
                             {QStringLiteral("text"), problem}};
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

// A report screen's saved parameter sets, as the clerk reaches them from its tool bar.
bool BatchJob::variant(const QJsonObject &step)
{
    auto *report = qobject_cast<TfrmDadosGerRel *>(screen());
    if (!report) {
        m_pending << QJsonObject{
            {QStringLiteral("event"), QStringLiteral("error")},
            {QStringLiteral("step"), m_step},
            {QStringLiteral("text"), QStringLiteral("A tela %1 não tem variantes.").arg(m_code)}};
        return false;
    }
    Velmora::Reports::ScreenVariants &variants = report->Variants();
    const auto text = [&step](const char *key) {
        return step.value(QLatin1String(key)).toString();
    };
    QString loaded;
    bool checked = true;
    const bool ran = Velmora::Dispatch([&] {
        if (step.contains(QLatin1String("save"))) {
            Velmora::Reports::RelativePeriod period = Velmora::Reports::RelativePeriod::Fixed;
            Velmora::Reports::RelativePeriodFromKey(text("period"), period);
            variants.Save(text("save"), period);
            if (step.value(QLatin1String("default")).toBool())
                variants.SetDefault(text("save"));
        } else if (step.contains(QLatin1String("delete"))) {
            variants.Remove(text("delete"));
        } else if (step.contains(QLatin1String("load"))) {
            loaded = text("load");
            checked = variants.Load(loaded);
        } else {
            loaded = QStringLiteral("últimos valores");
            checked = variants.LoadLast();
        }
    });
    if (ran && !loaded.isEmpty()) {
        settle();
        dump(loaded);
    }
    return ran && checked;
}

void BatchJob::dump(const QString &variant)
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
    QJsonObject state{{QStringLiteral("event"), QStringLiteral("state")},
                      {QStringLiteral("controls"), controls}};
    if (!variant.isEmpty())
        state.insert(QStringLiteral("variant"), variant);
    m_pending << state;
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
