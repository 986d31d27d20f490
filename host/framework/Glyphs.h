#pragma once

#include "framework_global.h"

#include <QIcon>
#include <QPixmap>
#include <QStringList>

// The pictures of the framework's own buttons.
namespace Glyphs {

// The lookup buttons' picture: a 32 x 16 resource holding two 16 x 16 glyphs, the normal
// one (a pointing hand before a dotted line) and the greyed one, olive being transparent.
VELMORA_FRAMEWORK_EXPORT QPixmap LookupStrip();
// That picture as an icon: the normal glyph, and the greyed one for the disabled state.
VELMORA_FRAMEWORK_EXPORT QIcon LookupIcon();

// The date field's drop-down picture, 16 x 16: a calendar leaf with the number 12 above a
// down arrow.
VELMORA_FRAMEWORK_EXPORT QPixmap CalendarDropDown();

// Our own pictures, drawn from the SVG sources in the framework's resources at the sizes tool
// buttons, menus and title bars ask: "print", "preview", "save", "export" (a spreadsheet),
// "edit" (a layout), "close", "help", "search" (a list to search), "velmora" (the
// application). A name with no picture gives a null icon.
VELMORA_FRAMEWORK_EXPORT QIcon Icon(const QString &name);
// The names Icon knows.
VELMORA_FRAMEWORK_EXPORT QStringList IconNames();

} // namespace Glyphs
