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

// A text field straight from UTF-16: plain ASCII without separators is copied byte by byte,
// which is nearly every field of a fiscal report; the rest goes through the encoder.
void appendText(QByteArray &out, const QString &text, char separator)
{
    const qsizetype start = out.size();
    bool plain = true;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u >= 0x80 || u == separator || u == '"' || u == '\n' || u == '\r') {
            plain = false;
            break;
        }
        out += static_cast<char>(u);
    }
    if (plain)
        return;
    out.truncate(start);
    appendField(out, text.toUtf8(), separator);
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
    while (source.next(band)) {
        if (band.kind != Band::Detail)
            continue;
        bool firstField = true;
        for (int g : groupOnly) {
            if (!firstField)
                out += separator;
            firstField = false;
            appendText(out, band.groupValues.at(g).toString(), separator);
        }
        for (qsizetype i = 0; i < band.values.size(); ++i) {
            if (!firstField)
                out += separator;
            firstField = false;
            const ValueFormatter &f = formats[size_t(i)];
            if (layout.columns.at(i).type == ColumnType::Text) {
                appendText(out, band.values.at(i).toString(), separator);
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
