#pragma once

#include "framework/controls/TMaskEdit.h"
#include "rtl/TDateTime.h"

#include <QPointer>

class QLabel;
class QToolButton;

// A date field that may be empty: a masked edit on the short date format with a drop-down
// calendar. While its text is a valid date it shows in ValidDateColor, and the week day's
// name (NomeSemana, Sunday first) stands beside the field, never in its text.
class VELMORA_FRAMEWORK_EXPORT TDateEditPlus : public TMaskEdit
{
    Q_OBJECT
    Q_PROPERTY(QString ValidDateColor READ ValidDateColor WRITE SetValidDateColor)
    Q_PROPERTY(QStringList NomeSemana READ NomeSemana WRITE SetNomeSemana)
    Q_PROPERTY(bool SaveTime READ SaveTime WRITE SetSaveTime)

public:
    explicit TDateEditPlus(QWidget *parent = nullptr);
    ~TDateEditPlus() override;

    QString ValidDateColor() const { return m_validDateColor; }
    void SetValidDateColor(const QString &color);
    QStringList NomeSemana() const { return m_weekDays; }
    void SetNomeSemana(const QStringList &names);
    // False: the field holds a date without time of day.
    bool SaveTime() const { return m_saveTime; }
    void SetSaveTime(bool save) { m_saveTime = save; }

    // The field's date; 0 for an empty field. Raises EConvertError naming a text that is no
    // date.
    TDateTime GetDate() const;
    // Shows the date; 0 empties the field.
    void SetDate(TDateTime date);
    // A text that is no date shows "Data inválida." and ends the event; an empty field passes.
    void CheckValidDate() const;
    bool IsValidDate() const;

    QToolButton *DropDownButton() const { return m_button; }
    // The week day shown beside the field (hidden while the text is no date).
    QLabel *WeekDayLabel() const;
    // Opens the calendar under the field.
    void DropDown();

protected:
    void TextChanged() override;
    void resizeEvent(QResizeEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void changeEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void refresh();
    void placeWeekDay();
    QString dateMask() const;

    QToolButton *m_button = nullptr;
    QPointer<QLabel> m_weekDay;
    QStringList m_weekDays;
    QString m_validDateColor;
    double m_time = 0; // the time of day kept by SetDate while SaveTime is on
    bool m_saveTime = false;
};
