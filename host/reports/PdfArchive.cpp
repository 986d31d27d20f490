#include "PdfArchive.h"

#include "OutputFile.h"
#include "rtl/Exceptions.h"

#include <QFile>

#include <qpdf/Pipeline.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFWriter.hh>

namespace Velmora::Reports {

namespace {

// Hands what the PDF library writes to the output file, which raises on a failed write.
class ToOutputFile : public Pipeline
{
public:
    explicit ToOutputFile(OutputFile &file) : Pipeline("relatório", nullptr), m_file(file) {}
    void write(unsigned char const *data, size_t len) override
    {
        m_file.put(QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(len)));
    }
    void finish() override {}

private:
    OutputFile &m_file;
};

std::string utf8(const QString &text)
{
    return text.toStdString();
}

QString xmlEscaped(const QString &text)
{
    return text.toHtmlEscaped();
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
            .arg(xmlEscaped(m.author), xmlEscaped(m.subject));
    xmp.insert(at + anchor.size(), utf8(added));
    return xmp;
}

// A font embedded as a subset carries a tag before its name ("QWCEAA+DejaVuSans"); the
// writer puts it on the font file's descriptor only.
void nameSubsets(QPDF &pdf)
{
    for (QPDFObjectHandle object : pdf.getAllObjects()) {
        if (!object.isDictionary() || !object.getKey("/Type").isNameAndEquals("/Font"))
            continue;
        QPDFObjectHandle cid = object;
        if (object.getKey("/Subtype").isNameAndEquals("/Type0")) {
            QPDFObjectHandle descendants = object.getKey("/DescendantFonts");
            if (!descendants.isArray() || descendants.getArrayNItems() == 0)
                continue;
            cid = descendants.getArrayItem(0);
        }
        QPDFObjectHandle descriptor = cid.getKey("/FontDescriptor");
        if (!descriptor.isDictionary() || !descriptor.getKey("/FontName").isName())
            continue;
        const std::string name = descriptor.getKey("/FontName").getName();
        if (name.size() > 8 && name[7] == '+')
            object.replaceKey("/BaseFont", QPDFObjectHandle::newName(name));
    }
}

} // namespace

void FinishPdfArchive(const QString &draft, OutputFile &file, const PdfMetadata &metadata)
{
    ToOutputFile out(file);
    try {
        QPDF pdf;
        pdf.processFile(QFile::encodeName(draft).constData());
        QPDFObjectHandle info = pdf.getTrailer().getKey("/Info");
        if (info.isDictionary()) {
            info.replaceKey("/Author", QPDFObjectHandle::newUnicodeString(utf8(metadata.author)));
            info.replaceKey("/Subject",
                            QPDFObjectHandle::newUnicodeString(utf8(metadata.subject)));
        }
        QPDFObjectHandle xmp = pdf.getRoot().getKey("/Metadata");
        if (xmp.isStream()) {
            const auto bytes = xmp.getRawStreamData();
            const std::string packet(reinterpret_cast<const char *>(bytes->getBuffer()),
                                     bytes->getSize());
            xmp.replaceStreamData(withAuthorAndSubject(packet, metadata),
                                  QPDFObjectHandle::newNull(), QPDFObjectHandle::newNull());
        }
        nameSubsets(pdf);
        QPDFWriter writer(pdf);
        writer.setOutputPipeline(&out);
        // The pages' streams are copied as the writer made them; the XMP stays uncompressed.
        writer.setStreamDataMode(qpdf_s_preserve);
        writer.setPreserveUnreferencedObjects(false);
        writer.write();
    } catch (const Exception &) {
        throw; // the output file's own failure, already in the user's words
    } catch (const std::exception &e) {
        file.fail(0, QStringLiteral("o PDF não pôde ser concluído (%1)")
                         .arg(QString::fromLocal8Bit(e.what())));
    }
}

} // namespace Velmora::Reports
