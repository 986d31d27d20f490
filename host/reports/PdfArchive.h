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

// Makes the PDF the writer left at draft an archival one (PDF/A-1b) in file: the document
// information and its XMP twin gain the author and the subject, and the fonts, embedded as
// subsets, are named as subsets. The draft stays as it was; failures are raised through file.
void FinishPdfArchive(const QString &draft, OutputFile &file, const PdfMetadata &metadata);

} // namespace Velmora::Reports
