#include "OutputFile.h"
#include "ReportOutputs.h"
#include "ValueFormat.h"

namespace Velmora::Reports {

namespace {
QByteArray escaped(const QString &text)
{
    return text.toHtmlEscaped().toUtf8();
}

const char *alignOf(Align a)
{
    switch (a) {
    case Align::Right:
        return "right";
    case Align::Center:
        return "center";
    case Align::Left:
        break;
    }
    return "left";
}
} // namespace

OutputResult WriteHtml(ReportSource &source, const QString &path, const PageContext &context)
{
    const ReportLayout &layout = source.layout();
    const QLocale locale = ReportLocale();
    std::vector<ValueFormatter> formats;
    for (const Column &c : layout.columns)
        formats.emplace_back(c.type, c.format, locale);
    OutputFile file(path);
    QByteArray out;
    auto flush = [&](bool force) {
        if (!force && out.size() < (1 << 20))
            return;
        file.put(out);
        out.clear();
    };
    const QByteArray span = QByteArray::number(layout.columns.size());
    out +=
        "<!DOCTYPE html>\n<html lang=\"pt-BR\">\n<head>\n<meta charset=\"utf-8\">\n<title>" +
        escaped(context.title) +
        "</title>\n<style>\nbody{font-family:'DejaVu Sans',sans-serif;font-size:10pt}\n"
        "table{border-collapse:collapse}\nth,td{padding:1px 6px}\n"
        "thead th{border-bottom:1px solid #000}\ntr.grupo td{font-weight:bold;padding-top:8px}\n"
        "tr.total td{font-weight:bold;border-top:1px solid #000}\n"
        "tr.geral td{font-weight:bold;border-top:2px solid #000}\n</style>\n</head>\n<body>\n<h1>" +
        escaped(context.title) + "</h1>\n<p>" + escaped(context.reportCode) + " &mdash; " +
        escaped(context.issued) + "</p>\n";
    if (!context.heading.isEmpty()) {
        out += "<table class=\"parametros\">\n";
        for (const HeadingLine &line : context.heading)
            out += "<tr><th align=\"left\">" + escaped(line.caption) + "</th><td>" +
                   escaped(line.text) + "</td></tr>\n";
        out += "</table>\n";
    }
    out += "<table class=\"relatorio\">\n<thead><tr>";
    for (const Column &c : layout.columns)
        out += QByteArray("<th align=\"") + alignOf(c.align) + "\">" + escaped(c.label) + "</th>";
    out += "</tr></thead>\n<tbody>\n";
    Band band;
    while (source.next(band)) {
        switch (band.kind) {
        case Band::GroupHeader:
            out += "<tr class=\"grupo\"><td colspan=\"" + span + "\">" + escaped(band.text) +
                   "</td></tr>\n";
            break;
        case Band::Empty:
            out += "<tr><td colspan=\"" + span + "\">" + escaped(band.text) + "</td></tr>\n";
            break;
        case Band::Detail:
        case Band::GroupFooter:
        case Band::Summary: {
            out += band.kind == Band::Detail        ? "<tr>"
                   : band.kind == Band::GroupFooter ? "<tr class=\"total\">"
                                                    : "<tr class=\"geral\">";
            bool labelled = band.kind == Band::Detail;
            for (qsizetype i = 0; i < layout.columns.size(); ++i) {
                const QVariant v = i < band.values.size() ? band.values.at(i) : QVariant();
                QString text = formats[size_t(i)].text(v);
                if (!labelled && v.isNull()) {
                    text = band.text;
                    labelled = true;
                }
                out += QByteArray("<td align=\"") + alignOf(layout.columns.at(i).align) + "\">" +
                       escaped(text) + "</td>";
            }
            out += "</tr>\n";
            break;
        }
        }
        flush(false);
    }
    out += "</tbody>\n</table>\n</body>\n</html>\n";
    flush(true);
    file.commit();
    return {0, source.rows()};
}

} // namespace Velmora::Reports
