#pragma once

#include "framework/ControlState.h"
#include "framework/EditMask.h"

#include <QLineEdit>

class MaskValidator;

// An edit whose text follows an edit mask (EditMask). It is a plain line edit with a
// validator of its own that turns every edit of the display (typing, deleting, pasting,
// replacing a selection) into the masked edit; without a mask it is a plain edit.
// Text is the value as the mask defines it; OnChange fires when the value really changes,
// typed or written by code, and never when code writes the value the control already holds.
class VELMORA_FRAMEWORK_EXPORT TMaskEdit : public QLineEdit
{
    Q_OBJECT
    VELMORA_CONTROL
    Q_PROPERTY(QString EditMask READ EditMask WRITE SetEditMask)
    Q_PROPERTY(int MaxLength READ MaxLength WRITE SetMaxLength)
    Q_PROPERTY(bool ReadOnly READ isReadOnly WRITE setReadOnly)
    Q_PROPERTY(QString Text READ Text WRITE SetText USER true)

public:
    explicit TMaskEdit(QWidget *parent = nullptr);
    ~TMaskEdit() override;

    QString EditMask() const { return m_mask.mask(); }
    void SetEditMask(const QString &mask);
    // 0: no limit. With a mask it caps how many positions may be filled.
    int MaxLength() const { return m_maxLength; }
    void SetMaxLength(int length);

    QString Text() const;
    void SetText(const QString &text);
    // What the control shows: literals in place, the blank character where nothing was typed.
    QString EditText() const { return text(); }
    bool IsMasked() const { return !m_mask.isEmpty(); }
    // Every required position filled (or none at all).
    bool IsComplete() const;
    const ::EditMask &Mask() const { return m_mask; }

protected:
    // Called after every real change of Text, before OnChange; derived controls refresh
    // what depends on the text here.
    virtual void TextChanged() {}

private:
    void displayChanged();

    ::EditMask m_mask;
    MaskValidator *m_validator = nullptr;
    QString m_lastText;
    int m_maxLength = 0;
};
