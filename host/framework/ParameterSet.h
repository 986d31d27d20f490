#pragma once

#include "framework_global.h"

#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

class QWidget;

namespace Velmora {

// What a saved parameter set keeps of a screen, by control name: the texts of its entry
// fields, which choices (radio buttons, check boxes) are on, and the keys of the lists its
// list buttons picked.
struct VELMORA_FRAMEWORK_EXPORT ParameterValues
{
    QMap<QString, QString> fields;
    QMap<QString, bool> choices;
    QMap<QString, QStringList> lists;

    QJsonObject toJson() const;
    // What does not have the expected kind is left out: a set written by another version
    // loads what it can.
    static ParameterValues fromJson(const QJsonObject &json);
};

// The named controls under area, in the order the Tab key visits them (list buttons, which
// take no focus, where their tab order puts them).
VELMORA_FRAMEWORK_EXPORT QList<QWidget *> ControlsInTabOrder(QWidget *area);

// The values the clerk can change under area: enabled entry fields, choices, and for each
// list button in selections the keys of its selection string.
VELMORA_FRAMEWORK_EXPORT ParameterValues
CaptureParameters(QWidget *area, const QMap<QString, QString> &selections);

// Writes a set into the screen as the clerk would type it, in tab order: each field gets the
// focus, its text is typed and its exit check runs; a choice is clicked; a list button is
// pressed and its dialog answered with the saved keys, those the list no longer has dropped
// with one message naming them. The first check that fails shows its message, naming the set,
// and keeps the focus where the check put it; the values after it are still written, without
// their checks. Returns whether every check passed. Runs inside form code (Dispatch).
VELMORA_FRAMEWORK_EXPORT bool LoadParameters(QWidget *area, const ParameterValues &values,
                                             const QString &setName);

} // namespace Velmora
