#include "TMaskEdit.h"

#include "framework/Events.h"

#include <QValidator>

namespace {
constexpr int unlimited = 32767;
}

// Every edit of a masked display passes here: QLineEdit hands over the text as a plain edit
// made it (a character inserted, one removed, a selection replaced) and takes back the
// masked result, so the pattern never reaches QLineEdit's own input mask.
class MaskValidator : public QValidator
{
public:
    explicit MaskValidator(TMaskEdit *edit) : QValidator(edit), m_edit(edit) {}

    State validate(QString &input, int &pos) const override
    {
        const EditMask &mask = m_edit->Mask();
        if (mask.isEmpty() || input == m_shown)
            return Acceptable;
        const EditMask::Edit edit = mask.apply(m_shown, input, pos, m_edit->MaxLength());
        input = edit.display;
        pos = edit.cursor;
        m_shown = edit.display;
        return Acceptable;
    }

    // The display as the control shows it; the text before the edit being validated.
    mutable QString m_shown;

private:
    TMaskEdit *m_edit;
};

TMaskEdit::TMaskEdit(QWidget *parent) : QLineEdit(parent), m_validator(new MaskValidator(this))
{
    setValidator(m_validator);
    connect(this, &QLineEdit::textChanged, this, [this] { displayChanged(); });
    connect(this, &QLineEdit::cursorPositionChanged, this, [this](int, int position) {
        // A click past what was typed would leave the cursor where nothing can be typed.
        if (!IsMasked() || hasSelectedText())
            return;
        const int start = m_mask.editStart(text());
        if (position > start)
            setCursorPosition(start);
    });
}

TMaskEdit::~TMaskEdit() = default;

void TMaskEdit::SetEditMask(const QString &mask)
{
    if (mask == m_mask.mask())
        return;
    const QString value = Text();
    m_mask = ::EditMask(mask);
    if (IsMasked()) {
        QLineEdit::setMaxLength(unlimited);
        m_validator->m_shown = m_mask.displayOf(value, m_maxLength);
        setText(m_validator->m_shown);
    } else {
        QLineEdit::setMaxLength(m_maxLength > 0 ? m_maxLength : unlimited);
        setText(value);
    }
}

void TMaskEdit::SetMaxLength(int length)
{
    m_maxLength = qMax(0, length);
    if (!IsMasked())
        QLineEdit::setMaxLength(m_maxLength > 0 ? m_maxLength : unlimited);
}

QString TMaskEdit::Text() const
{
    return IsMasked() ? m_mask.valueOf(text()) : text();
}

void TMaskEdit::SetText(const QString &value)
{
    if (value == Text())
        return;
    if (!IsMasked()) {
        setText(value);
        return;
    }
    m_validator->m_shown = m_mask.displayOf(value, m_maxLength);
    setText(m_validator->m_shown);
}

bool TMaskEdit::IsComplete() const
{
    return !IsMasked() || m_mask.isComplete(text());
}

void TMaskEdit::displayChanged()
{
    if (IsMasked())
        m_validator->m_shown = text();
    const QString now = Text();
    if (now == m_lastText)
        return;
    m_lastText = now;
    TextChanged();
    Velmora::Events::of(this).fire(QStringLiteral("OnChange"), this);
}
