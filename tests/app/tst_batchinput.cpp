// The batch runner's mouse and keyboard reach widgets as a person's do: a click moves the focus
// as the widgets' policies say before its press arrives (the exit checks rely on that order),
// and a key is offered to the shortcuts before the focus widget sees it.
#include "framework/UserInput.h"
#include "support/TestPrinting.h"

#include <QApplication>
#include <QKeySequence>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

#include <functional>

#include <gtest/gtest.h>

namespace Input = Velmora::UserInput;

namespace {

// The focus moves and presses of the widgets it watches, in order: "out:code", "press:name".
class Recorder : public QObject
{
public:
    QStringList log;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        const char *kind = event->type() == QEvent::FocusOut           ? "out"
                           : event->type() == QEvent::FocusIn          ? "in"
                           : event->type() == QEvent::MouseButtonPress ? "press"
                                                                       : nullptr;
        if (kind)
            log << QLatin1String(kind) + QLatin1Char(':') + watched->objectName();
        return false;
    }
};

class BatchInputTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        auto *layout = new QVBoxLayout(&window);
        for (const char *name : {"code", "name", "button", "disabled"}) {
            QWidget *w = qstrcmp(name, "button") == 0 ? static_cast<QWidget *>(new QPushButton)
                                                      : new QLineEdit;
            w->setObjectName(QLatin1String(name));
            w->installEventFilter(&recorder);
            layout->addWidget(w);
        }
        widget("button")->setFocusPolicy(Qt::NoFocus);
        widget("disabled")->setEnabled(false);
        QObject::connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_S), &window),
                         &QShortcut::activated, [this] { ++saves; });
        window.show();
        window.activateWindow();
        ASSERT_TRUE(Input::waitForActive(&window));
    }
    // Each case starts with "abc" in the code, the focus on it.
    QLineEdit *reset()
    {
        auto *code = static_cast<QLineEdit *>(widget("code"));
        code->setText(QStringLiteral("abc"));
        code->setFocus();
        recorder.log.clear();
        saves = 0;
        return code;
    }
    QWidget *widget(const char *name) { return window.findChild<QWidget *>(QLatin1String(name)); }
    static QString focused()
    {
        return QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString();
    }

    Recorder recorder;
    QWidget window;
    int saves = 0;
};

TEST_F(BatchInputTest, AClickMovesTheFocusBeforeItsPressArrives)
{
    const struct
    {
        const char *clicked;
        const char *focus;
        QStringList log;
    } cases[] = {
        {"name", "name", {"out:code", "in:name", "press:name"}},
        {"button", "code", {"press:button"}}, // takes no focus
        {"disabled", "code", {"press:disabled"}},
    };
    for (const auto &c : cases) {
        reset();
        EXPECT_TRUE(Input::click(widget(c.clicked)));
        EXPECT_EQ(focused(), QLatin1String(c.focus)) << c.clicked;
        EXPECT_EQ(recorder.log, c.log) << c.clicked;
    }
}

TEST_F(BatchInputTest, KeysPassTheShortcutsFirst)
{
    const struct
    {
        const char *what;
        std::function<void(QWidget *)> keys;
        QString text;
        const char *focus;
        int saves;
    } cases[] = {
        {"select all, then type",
         [](QWidget *w) {
             Input::keyClick(w, Qt::Key_A, QStringLiteral("a"), Qt::ControlModifier);
             for (const QChar ch : QStringLiteral("ç@Zé"))
                 Input::typeCharacter(w, ch);
         },
         QStringLiteral("ç@Zé"), "code", 0},
        {"a shortcut, once",
         [](QWidget *w) {
             Input::keyClick(w, Qt::Key_S, QStringLiteral("s"), Qt::ControlModifier);
         },
         QStringLiteral("abc"), "code", 1},
        {"tab", [](QWidget *w) { Input::keyClick(w, Qt::Key_Tab, QStringLiteral("\t")); },
         QStringLiteral("abc"), "name", 0},
    };
    for (const auto &c : cases) {
        QLineEdit *code = reset();
        c.keys(code);
        EXPECT_EQ(code->text(), c.text) << c.what;
        EXPECT_EQ(focused(), QLatin1String(c.focus)) << c.what;
        EXPECT_EQ(saves, c.saves) << c.what;
    }
}

} // namespace
