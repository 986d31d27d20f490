#include "OutputFile.h"
#include "ReportOutputs.h"
#include "ValueFormat.h"

namespace Velmora::Reports {

namespace {
QByteArray escaped(const QString &text)
{
    return text.toHtmlEscaped().toUtf8();
}

// The cell's opening tag: alignment goes through the style sheet's classes.
const char *cellTag(Align a)
{
    switch (a) {
    case Align::Right:
        return "<td class=\"d\">";
    case Align::Center:
        return "<td class=\"c\">";
    case Align::Left:
        break;
    }
    return "<td>";
}

const char *headTag(Align a)
{
    switch (a) {
    case Align::Right:
        return "<th scope=\"col\" class=\"d\">";
    case Align::Center:
        return "<th scope=\"col\" class=\"c\">";
    case Align::Left:
        break;
    }
    return "<th scope=\"col\">";
}
} // namespace

OutputResult WriteHtml(ReportSource &source, const QString &path, const PageContext &context)
{
    const ReportLayout &layout = source.layout();
    const QLocale locale = ReportLocale();
    std::vector<ValueFormatter> formats;
    std::vector<const char *> cells;
    for (const Column &c : layout.columns) {
        formats.emplace_back(c.type, c.format, locale);
        cells.push_back(cellTag(c.align));
    }
    OutputFile file(path);
    QByteArray out;
    auto flush = [&](bool force) {
        if (!force && out.size() < (1 << 20))
            return;
        file.put(out);
        out.clear();
    };
    const QByteArray span = QByteArray::number(layout.columns.size());
    out += "<!DOCTYPE html>\n<html lang=\"pt-BR\">\n<head>\n<meta charset=\"utf-8\">\n<title>" +
           escaped(context.title) +
           "</title>\n<style>\n"
           "body{font-family:'DejaVu Sans',sans-serif;font-size:10pt}\n"
           "h2{font-size:11pt;margin:16px 0 4px}\n"
           "table{border-collapse:collapse}\nth,td{padding:1px 6px;text-align:left}\n"
           ".d{text-align:right}\n.c{text-align:center}\n"
           "thead th{border-bottom:1px solid #000}\n"
           "tr.grupo th{padding-top:8px}\n"
           "tr.total td{font-weight:bold;border-top:1px solid #000}\n"
           "tr.geral td{font-weight:bold;border-top:2px solid #000}\n"
           "</style>\n</head>\n<body>\n<header>\n<h1>" +
           escaped(context.title) + "</h1>\n<p>" + escaped(context.reportCode) + " &mdash; " +
           escaped(context.issued) + "</p>\n</header>\n";
    if (!context.heading.isEmpty()) {
        out += "<section class=\"parametros\">\n<h2>Parâmetros</h2>\n<table>\n<tbody>\n";
        for (const HeadingLine &line : context.heading)
            out += "<tr><th scope=\"row\">" + escaped(line.caption) + "</th><td>" +
                   escaped(line.text) + "</td></tr>\n";
        out += "</tbody>\n</table>\n</section>\n";
    }
    out += "<section class=\"dados\">\n<h2>Dados</h2>\n<table class=\"relatorio\">\n<thead><tr>";
    for (const Column &c : layout.columns)
        out += headTag(c.align) + escaped(c.label) + "</th>";
    out += "</tr></thead>\n";
    // A body per group, its header row naming it; the grand total in the table's foot.
    bool bodyOpen = false;
    auto openBody = [&] {
        if (!bodyOpen)
            out += "<tbody>\n";
        bodyOpen = true;
    };
    auto closeBody = [&] {
        if (bodyOpen)
            out += "</tbody>\n";
        bodyOpen = false;
    };
    auto totalRow = [&](const Band &band, const char *tag) {
        out += tag;
        bool labelled = false;
        for (qsizetype i = 0; i < layout.columns.size(); ++i) {
            const QVariant v = band.values.value(i);
            QString text = formats[size_t(i)].text(v);
            if (!labelled && v.isNull()) {
                text = band.text;
                labelled = true;
            }
            out += cells[size_t(i)] + escaped(text) + "</td>";
        }
        out += "</tr>\n";
    };
    Band band;
    while (source.next(band)) {
        switch (band.kind) {
        case Band::GroupHeader:
            closeBody();
            openBody();
            out += "<tr class=\"grupo\"><th scope=\"rowgroup\" colspan=\"" + span + "\">" +
                   escaped(band.text) + "</th></tr>\n";
            break;
        case Band::Empty:
            openBody();
            out += "<tr><td colspan=\"" + span + "\">" + escaped(band.text) + "</td></tr>\n";
            break;
        case Band::Detail:
            openBody();
            out += "<tr>";
            for (qsizetype i = 0; i < band.values.size(); ++i)
                out += cells[size_t(i)] + escaped(formats[size_t(i)].text(band.values.at(i))) +
                       "</td>";
            out += "</tr>\n";
            break;
        case Band::GroupFooter:
            openBody();
            totalRow(band, "<tr class=\"total\">");
            break;
        case Band::Summary:
            closeBody();
            out += "<tfoot>\n";
            totalRow(band, "<tr class=\"geral\">");
            out += "</tfoot>\n";
            break;
        }
        flush(false);
    }
    closeBody();
    out += "</table>\n</section>\n</body>\n</html>\n";
    flush(true);
    file.commit();
    return {0, source.rows()};
}

} // namespace Velmora::Reports
