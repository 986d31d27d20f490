#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QString>

#include <functional>

class QWidget;

// What a batch job asks of a screen that the runner cannot do, found before its first step
// runs so that a job either runs as written or not at all.
namespace Velmora::BatchJobCheck {

struct Problem
{
    int step = 0; // from 1; 0 for the job as a whole
    QString control;
    QString text; // the whole reason, in Portuguese, naming the step and its control
};

// The report screen's tool button that runs the action.
QString actionButton(const QString &action);

// The job's "steps" itself: present and an array.
QList<Problem> checkJob(const QJsonObject &job);

// Every problem of every step, in step order: its form (an object, a known kind, the fields
// the kind needs) and, while a screen is open (findControl gives its controls by name, or is
// empty when none is), whether the controls it names exist and take that kind of step.
QList<Problem> checkSteps(const QJsonArray &steps, const QString &screen,
                          const std::function<QWidget *(const QString &name)> &findControl);

} // namespace Velmora::BatchJobCheck
