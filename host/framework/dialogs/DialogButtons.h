#pragma once

class QDialog;
class QDialogButtonBox;

namespace Velmora {

// The "OK" (default) and "Cancelar" row of the framework's dialogs, wired to accept and reject.
QDialogButtonBox *OkCancelButtons(QDialog *dialog);

} // namespace Velmora
