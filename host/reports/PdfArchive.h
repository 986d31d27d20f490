#pragma once

#include <QString>

namespace Velmora::Reports {

class OutputFile;

// What an archived report says of itself.
struct PdfMetadata
{
    QString title;
    QString author;
    QString subject;
};

// Completes the PDF/A-1b file the writer made in file (flushed, not yet committed) with an
// incremental update: the document information and its XMP twin gain the author and the
// subject, and the fonts, embedded as subsets, are named as subsets. The pages are not
// written again, so the cost does not grow with the report. Failures are raised through file.
void FinishPdfArchive(OutputFile &file, const PdfMetadata &metadata);

} // namespace Velmora::Reports
