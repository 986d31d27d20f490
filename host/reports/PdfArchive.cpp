#include "PdfArchive.h"

#include "OutputFile.h"
#include "rtl/Exceptions.h"

#include <QCryptographicHash>
#include <QFile>
#include <QMap>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>

namespace Velmora::Reports {

namespace {

std::string utf8(const QString &text)
{
    return text.toStdString();
}

// The XMP packet with the author and the subject beside the title, as PDF/A wants the
// document information repeated there.
std::string withAuthorAndSubject(std::string xmp, const PdfMetadata &m)
{
    const std::string anchor = "</dc:title>";
    const size_t at = xmp.find(anchor);
    if (at == std::string::npos)
        return xmp;
    const QString added =
        QStringLiteral("\n      <dc:creator><rdf:Seq><rdf:li>%1</rdf:li></rdf:Seq></dc:creator>"
                       "\n      <dc:description><rdf:Alt><rdf:li xml:lang=\"x-default\">%2"
                       "</rdf:li></rdf:Alt></dc:description>")
            .arg(m.author.toHtmlEscaped(), m.subject.toHtmlEscaped());
    xmp.insert(at + anchor.size(), utf8(added));
    return xmp;
}

// Where the last cross-reference section starts, read from the file's tail.
qint64 lastXref(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() < 32)
        return -1;
    file.seek(qMax<qint64>(0, file.size() - 1024));
    const QByteArray tail = file.readAll();
    const qsizetype at = tail.lastIndexOf("startxref");
    return at < 0 ? -1 : tail.mid(at + 9).trimmed().split('\n').first().trimmed().toLongLong();
}

// A font embedded as a subset carries a tag before its name ("QWCEAA+DejaVuSans"); the
// writer puts it on the font file's descriptor only. Every page draws with the same two
// faces, so the first page names them all: the other pages are not read, which keeps the
// memory of a report of thousands of pages flat.
void nameSubsets(QPDF &pdf, QMap<int, std::string> &changed)
{
    QPDFObjectHandle page = pdf.getRoot().getKey("/Pages");
    for (int depth = 0; depth < 32 && page.getKey("/Kids").isArray(); ++depth)
        page = page.getKey("/Kids").getArrayItem(0);
    QPDFObjectHandle fonts = page.getKey("/Resources").getKey("/Font");
    if (!fonts.isDictionary())
        return;
    for (auto &[key, font] : fonts.ditems()) {
        if (!font.isIndirect())
            continue;
        QPDFObjectHandle cid = font;
        QPDFObjectHandle descendants = font.getKey("/DescendantFonts");
        if (descendants.isArray() && descendants.getArrayNItems() > 0)
            cid = descendants.getArrayItem(0);
        QPDFObjectHandle name = cid.getKey("/FontDescriptor").getKey("/FontName");
        if (!name.isName() || name.getName().size() < 9 || name.getName()[7] != '+')
            continue;
        for (QPDFObjectHandle f : {font, cid}) {
            if (!f.isIndirect())
                continue;
            f.replaceKey("/BaseFont", QPDFObjectHandle::newName(name.getName()));
            changed.insert(f.getObjectID(), f.unparseResolved());
        }
    }
}

} // namespace

void FinishPdfArchive(OutputFile &file, const PdfMetadata &metadata)
{
    const QString path = file.partialPath();
    QByteArray update;
    try {
        QPDF pdf;
        pdf.processFile(QFile::encodeName(path).constData());
        QPDFObjectHandle trailer = pdf.getTrailer();
        const qint64 previous = lastXref(path);
        if (previous < 0)
            throw std::runtime_error("startxref");
        QMap<int, std::string> changed; // object number to its new body
        QPDFObjectHandle info = trailer.getKey("/Info");
        if (info.isIndirect() && info.isDictionary()) {
            info.replaceKey("/Author", QPDFObjectHandle::newUnicodeString(utf8(metadata.author)));
            info.replaceKey("/Subject", QPDFObjectHandle::newUnicodeString(utf8(metadata.subject)));
            changed.insert(info.getObjectID(), info.unparseResolved());
        }
        QPDFObjectHandle xmp = pdf.getRoot().getKey("/Metadata");
        if (xmp.isIndirect() && xmp.isStream()) {
            const auto bytes = xmp.getRawStreamData();
            const std::string packet = withAuthorAndSubject(
                std::string(reinterpret_cast<const char *>(bytes->getBuffer()), bytes->getSize()),
                metadata);
            // PDF/A keeps the XMP readable as it is: no filter.
            changed.insert(xmp.getObjectID(), "<< /Type /Metadata /Subtype /XML /Length " +
                                                  std::to_string(packet.size()) + " >>\nstream\n" +
                                                  packet + "\nendstream");
        }
        nameSubsets(pdf, changed);

        // The update: the new bodies, a cross-reference section for them, and a trailer
        // pointing back at the writer's.
        const qint64 offset = file.written();
        QMap<int, qint64> offsets;
        update += '\n';
        for (auto it = changed.cbegin(); it != changed.cend(); ++it) {
            offsets.insert(it.key(), offset + update.size());
            update += QByteArray::number(it.key()) + " 0 obj\n";
            update += QByteArray::fromStdString(it.value());
            update += "\nendobj\n";
        }
        const qint64 xref = offset + update.size();
        update += "xref\n";
        for (auto it = offsets.cbegin(); it != offsets.cend(); ++it) {
            update += QByteArray::number(it.key()) + " 1\n";
            update += QByteArray::number(it.value()).rightJustified(10, '0') + " 00000 n \n";
        }
        QPDFObjectHandle next = QPDFObjectHandle::newDictionary();
        for (const char *key : {"/Size", "/Root", "/Info", "/ID"})
            if (trailer.hasKey(key))
                next.replaceKey(key, trailer.getKey(key));
        next.replaceKey("/Prev", QPDFObjectHandle::newInteger(previous));
        if (!next.hasKey("/ID")) {
            // PDF/A wants the file's identifier.
            const std::string id = QCryptographicHash::hash(
                                       QFile::encodeName(path) + QByteArray::number(offset) +
                                           QByteArray::fromStdString(metadata.title.toStdString()),
                                       QCryptographicHash::Md5)
                                       .toStdString();
            next.replaceKey("/ID", QPDFObjectHandle::parse(
                                       "[" + QPDFObjectHandle::newString(id).unparse() + " " +
                                       QPDFObjectHandle::newString(id).unparse() + "]"));
        }
        update += "trailer\n" + QByteArray::fromStdString(next.unparse()) + "\nstartxref\n" +
                  QByteArray::number(xref) + "\n%%EOF\n";
    } catch (const std::exception &e) {
        file.fail(0, QStringLiteral("o PDF não pôde ser concluído (%1)")
                         .arg(QString::fromLocal8Bit(e.what())));
    }
    file.put(update);
}

} // namespace Velmora::Reports
