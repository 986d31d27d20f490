#pragma once

#include "framework_global.h"

#include <QObject>
#include <QPointer>

class QWidget;
class TForm;

namespace Velmora {

// The application-wide event filter that turns the user's keyboard and mouse into the
// screens' events: exit when the user moves the focus between two controls of one screen
// (run at once, while Qt has already chosen the new control and before that control is
// entered), enter where the focus finally lands, Enter as Tab in edits, F1 for help, and
// hints shown only where ShowHint allows.
class VELMORA_FRAMEWORK_EXPORT InputFilter : public QObject
{
    Q_OBJECT
public:
    // Installs the filter on the application once.
    static void install();

    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    explicit InputFilter(QObject *parent);
    bool focusOut(QWidget *widget, QEvent *event);
    bool keyPress(QWidget *widget, QEvent *event);
    bool mouse(QWidget *widget, QEvent *event);
    bool toolTip(QWidget *widget, QEvent *event);
    void focusIn(QWidget *widget);

    QPointer<QWidget> m_swallowRelease; // a press swallowed after a failed exit
    QPointer<QWidget> m_entered;        // the control whose enter ran last
};

// Selects the whole text of an edit (a field the focus reaches by keyboard or after a failed
// check); any other widget is left alone.
VELMORA_FRAMEWORK_EXPORT void SelectWholeText(QWidget *widget);

// The screen a widget belongs to, or nullptr.
VELMORA_FRAMEWORK_EXPORT TForm *FormOf(QWidget *widget);

} // namespace Velmora
