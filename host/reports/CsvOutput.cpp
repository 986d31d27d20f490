#include "OutputFile.h"
#include "ReportOutputs.h"
#include "ValueFormat.h"

namespace Velmora::Reports {

namespace {
void appendField(QByteArray &out, const QByteArray &field, char separator)
{
    bool quote = false;
    for (const char c : field)
        if (c == separator || c == '"' || c == '\n' || c == '\r') {
            quote = true;
            break;
        }
    if (!quote) {
        out += field;
        return;
    }
    out += '"';
    for (const char c : field) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

// A spreadsheet opening the file would run a text starting like a formula: the usual guard
// is a leading quote, which the spreadsheet shows as a plain text.
bool formulaLike(QStringView text)
{
    if (text.isEmpty())
        return false;
    switch (text.front().unicode()) {
    case u'=':
    case u'+':
    case u'-':
    case u'@':
    case u'\t':
    case u'\r':
        return true;
    default:
        return false;
    }
}

// A text field straight from UTF-16: plain ASCII without separators is copied byte by byte,
// which is nearly every field of a fiscal report; the rest goes through the encoder.
void appendText(QByteArray &out, QStringView text, char separator)
{
    const bool guarded = formulaLike(text);
    const char16_t *in = text.utf16();
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t u = in[i];
        if (u >= 0x80 || u == separator || u == '"' || u == '\n' || u == '\r') {
            appendField(out, (guarded ? QByteArray("'") : QByteArray()) + text.toUtf8(), separator);
            return;
        }
    }
    const qsizetype start = out.size();
    out.resize(start + guarded + size);
    char *at = out.data() + start;
    if (guarded)
        *at++ = '\'';
    for (qsizetype i = 0; i < size; ++i)
        at[i] = static_cast<char>(in[i]);
}

// The text a value holds, without a copy when it is one already.
QStringView textOf(const QVariant &value, QString &scratch)
{
    if (value.metaType().id() == QMetaType::QString)
        return *static_cast<const QString *>(value.constData());
    scratch = value.toString();
    return scratch;
}

void write(OutputFile &file, QByteArray &buffer)
{
    file.put(buffer);
    buffer.clear();
}
} // namespace

OutputResult WriteCsv(ReportSource &source, const QString &path)
{
    const ReportLayout &layout = source.layout();
    const QLocale locale = ReportLocale();
    // A decimal comma needs another separator between fields.
    const char separator = locale.decimalPoint() == QLatin1String(",") ? ';' : ',';
    std::vector<ValueFormatter> formats;
    for (const Column &c : layout.columns)
        formats.emplace_back(c.type, c.format, locale);

    OutputFile file(path);
    QByteArray out("\xEF\xBB\xBF"); // lets spreadsheets recognise UTF-8
    out.reserve(1 << 20);
    bool first = true;
    auto header = [&](const QString &label) {
        if (!first)
            out += separator;
        first = false;
        appendField(out, label.toUtf8(), separator);
    };
    for (const GroupField &g : layout.group.fields)
        if (layout.columnIndex(g.field) < 0)
            header(g.label);
    for (const Column &c : layout.columns)
        header(c.label);
    out += "\r\n";

    std::vector<int> groupOnly; // group fields that are not also columns
    for (int i = 0; i < layout.group.fields.size(); ++i)
        if (layout.columnIndex(layout.group.fields.at(i).field) < 0)
            groupOnly.push_back(i);
    Band band;
    QString scratch;
    while (source.next(band)) {
        if (band.kind != Band::Detail)
            continue;
        bool firstField = true;
        for (int g : groupOnly) {
            if (!firstField)
                out += separator;
            firstField = false;
            appendText(out, textOf(band.groupValues.at(g), scratch), separator);
        }
        for (qsizetype i = 0; i < band.values.size(); ++i) {
            if (!firstField)
                out += separator;
            firstField = false;
            const ValueFormatter &f = formats[size_t(i)];
            if (layout.columns.at(i).type == ColumnType::Text) {
                appendText(out, textOf(band.values.at(i), scratch), separator);
            } else {
                f.appendPlain(out, band.values.at(i));
            }
        }
        out += "\r\n";
        if (out.size() > (1 << 20) - 4096)
            write(file, out);
    }
    write(file, out);
    file.commit();
    return {0, source.rows()};
}

} // namespace Velmora::Reports
