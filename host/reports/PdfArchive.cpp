#include "PdfArchive.h"

#include "OutputFile.h"
#include "rtl/Exceptions.h"

#include <QColorSpace>
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

// The XMP packet: the document information again, as PDF/A wants it, and the conformance.
std::string xmpPacket(const PdfMetadata &m, const QString &producer)
{
    const QString packet = QStringLiteral(
        "<?xpacket begin=\"\uFEFF\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>\n"
        "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\">\n"
        " <rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">\n"
        "  <rdf:Description rdf:about=\"\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\">\n"
        "   <dc:format>application/pdf</dc:format>\n"
        "   <dc:title><rdf:Alt><rdf:li xml:lang=\"x-default\">%1</rdf:li></rdf:Alt></dc:title>\n"
        "   <dc:creator><rdf:Seq><rdf:li>%2</rdf:li></rdf:Seq></dc:creator>\n"
        "   <dc:description><rdf:Alt><rdf:li xml:lang=\"x-default\">%3</rdf:li></rdf:Alt>"
        "</dc:description>\n"
        "  </rdf:Description>\n"
        "  <rdf:Description rdf:about=\"\" xmlns:xmp=\"http://ns.adobe.com/xap/1.0/\">\n"
        "   <xmp:CreateDate>%4</xmp:CreateDate>\n"
        "   <xmp:CreatorTool>%5</xmp:CreatorTool>\n"
        "  </rdf:Description>\n"
        "  <rdf:Description rdf:about=\"\" xmlns:pdf=\"http://ns.adobe.com/pdf/1.3/\">\n"
        "   <pdf:Producer>%5</pdf:Producer>\n"
        "  </rdf:Description>\n"
        "  <rdf:Description rdf:about=\"\" xmlns:pdfaid=\"http://www.aiim.org/pdfa/ns/id/\">\n"
        "   <pdfaid:part>1</pdfaid:part>\n"
        "   <pdfaid:conformance>B</pdfaid:conformance>\n"
        "  </rdf:Description>\n"
        " </rdf:RDF>\n"
        "</x:xmpmeta>\n"
        "<?xpacket end=\"w\"?>");
    return utf8(
        packet.arg(m.title.toHtmlEscaped(), m.author.toHtmlEscaped(), m.subject.toHtmlEscaped(),
                   m.created.toOffsetFromUtc(m.created.offsetFromUtc()).toString(Qt::ISODate),
                   producer.toHtmlEscaped()));
}

// A date as the document information writes it: D:YYYYMMDDHHmmSS and the offset from UTC.
std::string pdfDate(const QDateTime &when)
{
    const int offset = when.offsetFromUtc();
    QString zone = QStringLiteral("Z");
    if (offset != 0)
        zone = QStringLiteral("%1%2'%3'")
                   .arg(offset < 0 ? QLatin1Char('-') : QLatin1Char('+'))
                   .arg(qAbs(offset) / 3600, 2, 10, QLatin1Char('0'))
                   .arg(qAbs(offset) % 3600 / 60, 2, 10, QLatin1Char('0'));
    return utf8(QStringLiteral("D:") + when.toString(QStringLiteral("yyyyMMddHHmmss")) + zone);
}

std::string streamObject(const std::string &dictionary, const QByteArray &data)
{
    return "<< " + dictionary + " /Length " + std::to_string(data.size()) + " >>\nstream\n" +
           data.toStdString() + "\nendstream";
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

// A font embedded as a subset carries a tag before its name ("QWCEAA+DejaVuSans"), on the
// font and on its descriptor alike. Every page draws with the same two
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
            if (!f.isIndirect() || (f.getKey("/BaseFont").isName() &&
                                    f.getKey("/BaseFont").getName() == name.getName()))
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
        const QString producer = QStringLiteral("Velmora");
        QPDFObjectHandle info = trailer.getKey("/Info");
        if (info.isIndirect() && info.isDictionary()) {
            info.replaceKey("/Title", QPDFObjectHandle::newUnicodeString(utf8(metadata.title)));
            info.replaceKey("/Author", QPDFObjectHandle::newUnicodeString(utf8(metadata.author)));
            info.replaceKey("/Subject", QPDFObjectHandle::newUnicodeString(utf8(metadata.subject)));
            info.replaceKey("/Creator", QPDFObjectHandle::newUnicodeString(utf8(producer)));
            info.replaceKey("/Producer", QPDFObjectHandle::newUnicodeString(utf8(producer)));
            info.replaceKey("/CreationDate",
                            QPDFObjectHandle::newString(pdfDate(metadata.created)));
            info.removeKey("/ModDate");
            changed.insert(info.getObjectID(), info.unparseResolved());
        }
        // New objects take the numbers after the writer's last. They are numbered here, not by
        // the library, which would read every object of the file to find a free number.
        int free =
            trailer.getKey("/Size").isInteger() ? int(trailer.getKey("/Size").getIntValue()) : 0;
        if (free <= 0)
            throw std::runtime_error("/Size");
        QPDFObjectHandle root = pdf.getRoot();
        std::string added; // the catalog's new entries
        const int xmp =
            root.getKey("/Metadata").isIndirect() ? root.getKey("/Metadata").getObjectID() : free++;
        root.removeKey("/Metadata");
        added += " /Metadata " + std::to_string(xmp) + " 0 R";
        // PDF/A keeps the XMP readable as it is: no filter.
        changed.insert(xmp, streamObject("/Type /Metadata /Subtype /XML",
                                         QByteArray::fromStdString(xmpPacket(metadata, producer))));
        const QByteArray icc = QColorSpace(QColorSpace::SRgb).iccProfile();
        if (!root.hasKey("/OutputIntents") && !icc.isEmpty()) {
            const int profile = free++;
            changed.insert(profile, streamObject("/N 3", icc));
            added += " /OutputIntents [ << /Type /OutputIntent /S /GTS_PDFA1"
                     " /OutputConditionIdentifier (sRGB IEC61966-2.1) /Info (sRGB IEC61966-2.1)"
                     " /DestOutputProfile " +
                     std::to_string(profile) + " 0 R >> ]";
        }
        std::string catalog = root.unparseResolved();
        const size_t end = catalog.rfind(">>");
        if (end == std::string::npos)
            throw std::runtime_error("/Root");
        changed.insert(root.getObjectID(), catalog.insert(end, added + " "));
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
        for (const char *key : {"/Root", "/Info", "/ID"})
            if (trailer.hasKey(key))
                next.replaceKey(key, trailer.getKey(key));
        next.replaceKey("/Size", QPDFObjectHandle::newInteger(qMax(free, changed.lastKey() + 1)));
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
