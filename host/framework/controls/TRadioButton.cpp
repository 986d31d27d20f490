#include "TRadioButton.h"

#include <QEvent>

TRadioButton::TRadioButton(QWidget *parent) : QRadioButton(parent)
{
    connect(this, &QAbstractButton::toggled, this, [this](bool on) {
        keepTabOnChecked();
        if (on)
            Velmora::Events::of(this).fire(QStringLiteral("OnClick"), this);
    });
}

void TRadioButton::showEvent(QShowEvent *event)
{
    // The group's buttons are all there by the time the screen shows.
    keepTabOnChecked();
    QRadioButton::showEvent(event);
}

void TRadioButton::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::EnabledChange)
        keepTabOnChecked();
    QRadioButton::changeEvent(event);
}

void TRadioButton::keepTabOnChecked()
{
    QWidget *group = parentWidget();
    if (!group || !autoExclusive())
        return;
    const QList<TRadioButton *> buttons =
        group->findChildren<TRadioButton *>(Qt::FindDirectChildrenOnly);
    const TRadioButton *checked = nullptr;
    for (const TRadioButton *button : buttons)
        if (button->autoExclusive() && button->isChecked() && button->isEnabled())
            checked = button;
    for (TRadioButton *button : buttons) {
        // A button the description keeps out of the tab path stays out.
        if (!button->autoExclusive() || !button->State().tabStop())
            continue;
        button->setFocusPolicy(!checked || button == checked ? Qt::StrongFocus : Qt::ClickFocus);
    }
}
