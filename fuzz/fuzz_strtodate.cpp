// Text to date under the short date format: what the user types in a date field, and the
// format the settings file gives. The input is "FORMAT\nTEXT"; without a line break, the text
// alone under one of the formats in use.
#include "FuzzSupport.h"

#include "rtl/DateConvert.h"
#include "rtl/Exceptions.h"

#include <QStringList>

namespace {
const QStringList formatsInUse{QStringLiteral("dd/MM/yyyy"), QStringLiteral("d/M/yyyy"),
                               QStringLiteral("yyyy-MM-dd"), QStringLiteral("MM/dd/yyyy"),
                               QStringLiteral("dd.mm.yyyy"), QStringLiteral("yyyy/M/d")};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString input = QString::fromUtf8(Fuzz::bytes(data, size));
    const qsizetype lineBreak = input.indexOf(QLatin1Char('\n'));
    QString text = input;
    bool fourDigitYear = true;
    if (lineBreak >= 0) {
        FormatSettings::SetShortDateFormat(input.left(lineBreak));
        text = input.mid(lineBreak + 1);
        fourDigitYear = false; // any format: no promise of a round trip
    } else {
        FormatSettings::SetShortDateFormat(formatsInUse.at(static_cast<int>(size % 6)));
    }

    TDateTime date;
    const bool ok = TryStrToDate(text, date);
    try {
        const TDateTime raised = StrToDate(text);
        FUZZ_CHECK(ok && raised == date);
    } catch (const EConvertError &) {
        FUZZ_CHECK(!ok);
    }
    if (!ok)
        return 0;
    FUZZ_CHECK(date.isValid() && date.toDate().isValid());
    const QString shown = DateToStr(date);
    if (fourDigitYear) {
        // A date shown under the format reads back as the same date.
        TDateTime back;
        FUZZ_CHECK(TryStrToDate(shown, back));
        FUZZ_CHECK(back == date);
    }
    return 0;
}
