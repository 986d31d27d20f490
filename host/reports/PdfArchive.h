#pragma once

#include <QDateTime>
#include <QString>

namespace Velmora::Reports {

class OutputFile;

// What an archived report says of itself.
struct PdfMetadata
{
    QString title;
    QString author;
    QString subject;
    QDateTime created;
};

// Makes the PDF the writer made in file (flushed, not yet committed) an archived one, PDF/A-1b,
// with an incremental update: the document information says title, author, subject, creator,
// producer and date, the XMP metadata says the same and that the file is PDF/A-1b, an sRGB
// output intent says what the colours mean, the fonts embedded as subsets are named as
// subsets and the trailer carries the file's identifier. The pages are not written again, so
// the cost does not grow with the report. Failures are raised through file.
void FinishPdfArchive(OutputFile &file, const PdfMetadata &metadata);

} // namespace Velmora::Reports
