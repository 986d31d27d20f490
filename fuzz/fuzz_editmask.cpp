// The edit-mask notation: a mask as a form description or a data definition writes it, a
// value written by code, and then a session of typing, erasing and pasting into the field.
#include "FuzzSupport.h"

#include "framework/EditMask.h"

#include <fuzzer/FuzzedDataProvider.h>

namespace {

QString text(FuzzedDataProvider &in, std::size_t maxBytes)
{
    const std::string s = in.ConsumeRandomLengthString(maxBytes);
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

QByteArray quoted(const QString &s)
{
    return '"' + s.toUtf8().toPercentEncoding(" !#$&'()*+,/:;=?@[]{}<>|^~") + '"';
}

// The display with the spaces typed into input positions shown as blank positions.
QString withBlanks(const EditMask &mask, QString display)
{
    const QString empty = mask.emptyDisplay();
    for (int i = 0; i < display.size() && i < empty.size(); ++i)
        if (display.at(i) == QLatin1Char(' ') && empty.at(i) == mask.blank())
            display[i] = mask.blank();
    return display;
}

// What every edit must leave: a display of the mask's length and a cursor inside it.
void checkEdit(const EditMask &mask, const EditMask::Edit &edit)
{
    FUZZ_CHECK(edit.display.size() == mask.length());
    FUZZ_CHECK(edit.cursor >= 0 && edit.cursor <= mask.length());
}

// Reading a display as the field does when the user leaves it.
void readDisplay(const EditMask &mask, const QString &display)
{
    const QString value = mask.valueOf(display);
    (void)mask.isComplete(display);
    const int start = mask.editStart(display);
    FUZZ_CHECK(start >= 0 && start <= mask.length());
    // Leaving the field stores the value; coming back shows it again, as it was typed. Without
    // stored literals the value keeps no trace of the positions left blank, so it may shift on
    // the way back: the notation's own limit. A typed space reads as a blank position.
    const QString again = mask.displayOf(value);
    if (mask.savesLiterals() && withBlanks(mask, again) != withBlanks(mask, display)) {
        std::fprintf(stderr, "mask %s\ndisplay %s\nvalue %s\nshown again %s\n",
                     quoted(mask.mask()).constData(), quoted(display).constData(),
                     quoted(value).constData(), quoted(again).constData());
        FUZZ_CHECK(!"the display changed on its way through the value");
    }
    (void)mask.stripLiterals(display);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzedDataProvider in(data, size);
    const EditMask mask(text(in, 48));
    const QString value = text(in, 48);
    const int maxFilled = in.ConsumeIntegralInRange(0, 12);

    FUZZ_CHECK(mask.emptyDisplay().size() == mask.length());
    FUZZ_CHECK(mask.inputCount() <= mask.length());
    (void)mask.format(value);
    if (mask.fits(value))
        FUZZ_CHECK(mask.format(value).size() == mask.length());
    if (mask.isEmpty())
        return 0;

    QString display = mask.displayOf(value, maxFilled);
    FUZZ_CHECK(display.size() == mask.length());
    readDisplay(mask, display);

    const int length = mask.length();
    for (int step = 0; step < 16 && in.remaining_bytes() > 0; ++step) {
        EditMask::Edit edit;
        switch (in.ConsumeIntegralInRange(0, 3)) {
        case 0: {
            const int cursor = in.ConsumeIntegralInRange(-2, length + 2);
            edit = mask.type(display, cursor, text(in, 8), maxFilled);
            break;
        }
        case 1: {
            const int from = in.ConsumeIntegralInRange(-2, length + 2);
            const int to = in.ConsumeIntegralInRange(-2, length + 2);
            edit = mask.erase(display, from, to);
            break;
        }
        case 2: {
            // Whatever a plain line edit may hand over: a paste of any text.
            const QString after = text(in, 24);
            const int cursor = in.ConsumeIntegralInRange(-2, static_cast<int>(after.size()) + 2);
            edit = mask.apply(display, after, cursor, maxFilled);
            break;
        }
        default: {
            // A selection of the display replaced by typed text.
            const int from = in.ConsumeIntegralInRange(0, length);
            const int to = in.ConsumeIntegralInRange(from, length);
            const QString typed = text(in, 4);
            QString after = display;
            after.replace(from, to - from, typed);
            edit = mask.apply(display, after, from + static_cast<int>(typed.size()), maxFilled);
            break;
        }
        }
        checkEdit(mask, edit);
        display = edit.display;
        readDisplay(mask, display);
    }
    return 0;
}
