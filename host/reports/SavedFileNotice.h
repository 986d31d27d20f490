#pragma once

#include "ReportOutputs.h"
#include "reports_global.h"

#include <QString>
#include <memory>

class QPrinter;
class QWidget;

namespace Velmora::Reports {

// "Salvo em <arquivo> – N documentos, P páginas" in the status bar of the main window that
// holds from, with a link that opens the file's folder.
VELMORA_REPORTS_EXPORT void ShowSavedFile(QWidget *from, const QString &file,
                                          const OutputResult &result);
// The status bar's text for a saved report.
VELMORA_REPORTS_EXPORT QString SavedFileText(const QString &file, const OutputResult &result);

// The printer the user chooses in the print dialog, set up for the layout's pages; nullptr
// when the user gave up.
VELMORA_REPORTS_EXPORT std::shared_ptr<QPrinter> ChoosePrinter(const ReportLayout &layout,
                                                               QWidget *parent);

} // namespace Velmora::Reports
