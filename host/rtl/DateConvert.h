#pragma once

#include "TDateTime.h"
#include "rtl_global.h"

#include <QString>

// The user's date settings. The short date format uses Qt's notation ("dd/MM/yyyy"); a format
// written with a lower-case "mm" and no "MM" (as older tools write it) is read as months too.
namespace FormatSettings {
VELMORA_RTL_EXPORT QString ShortDateFormat();
VELMORA_RTL_EXPORT void SetShortDateFormat(const QString &format);
} // namespace FormatSettings

// Text to date under the short date format: day, month and year in the format's order,
// separated by its separator; one- or two-digit days and months; a two-digit year falls in
// the fifty years either side of today; a missing year is the current one.
// Raises EConvertError naming the text when it names no date.
VELMORA_RTL_EXPORT TDateTime StrToDate(const QString &text);
VELMORA_RTL_EXPORT bool TryStrToDate(const QString &text, TDateTime &date);
VELMORA_RTL_EXPORT QString DateToStr(TDateTime date);
