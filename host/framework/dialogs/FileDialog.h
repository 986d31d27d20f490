#pragma once

#include "framework/framework_global.h"

#include <QString>

#include <memory>

class QFileDialog;
class QWidget;

namespace Velmora {

// Qt's own file dialog, not the desktop's: its words come from the program's language
// (Language) whatever the desktop speaks, and it looks the same everywhere. It opens in the
// suggested file's folder with that file's name filled in and the filter of its extension
// chosen; a file to save that exists is replaced only after the user agrees.
VELMORA_FRAMEWORK_EXPORT std::unique_ptr<QFileDialog>
CreateFileDialog(QWidget *parent, const QString &title, const QString &filter,
                 const QString &suggested, bool forSaving);

} // namespace Velmora
