#include "ReportFiles.h"

#include <QFile>
#include <QJsonDocument>
#include <QLocale>
#include <QProcess>
#include <QXmlStreamReader>
#include <gtest/gtest.h>

QString ReadText(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(f.readAll());
}

namespace {
QByteArray run(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        ADD_FAILURE() << program.toStdString()
                      << " failed: " << p.readAllStandardError().toStdString();
    return p.readAllStandardOutput();
}
} // namespace

QString PdfText(const QString &path)
{
    return QString::fromUtf8(
        run(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")}));
}

QString ToolOutput(const QString &program, const QStringList &args)
{
    return QString::fromUtf8(run(program, args));
}

int PdfPages(const QString &path)
{
    const QString info = QString::fromUtf8(run(QStringLiteral("pdfinfo"), {path}));
    for (const QString &line : info.split(QLatin1Char('\n')))
        if (line.startsWith(QLatin1String("Pages:")))
            return line.mid(6).trimmed().toInt();
    return -1;
}

QByteArray ZipEntry(const QString &path, const QString &entry)
{
    return run(QStringLiteral("unzip"), {QStringLiteral("-p"), path, entry});
}

QList<QStringList> ParseCsv(const QString &text, QChar separator)
{
    QList<QStringList> rows;
    QStringList row;
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (quoted) {
            if (c == QLatin1Char('"')) {
                if (i + 1 < text.size() && text.at(i + 1) == QLatin1Char('"')) {
                    field += c;
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                field += c;
            }
        } else if (c == QLatin1Char('"')) {
            quoted = true;
        } else if (c == separator) {
            row << field;
            field.clear();
        } else if (c == QLatin1Char('\n')) {
            row << field;
            rows << row;
            row.clear();
            field.clear();
        } else if (c != QLatin1Char('\r') && c != QChar(0xFEFF)) {
            field += c;
        }
    }
    if (!field.isEmpty() || !row.isEmpty())
        rows << (row << field);
    return rows;
}

Sheet ParseSheet(const QByteArray &xml)
{
    Sheet sheet;
    QXmlStreamReader r(xml);
    QString ref;
    SheetCell cell;
    while (!r.atEnd()) {
        r.readNext();
        if (r.isStartElement() && r.name() == QLatin1String("c")) {
            ref = r.attributes().value(QLatin1String("r")).toString();
            const QString t = r.attributes().value(QLatin1String("t")).toString();
            cell = SheetCell{};
            cell.number = t.isEmpty() || t == QLatin1String("n");
            cell.style = r.attributes().value(QLatin1String("s")).toInt();
        } else if (r.isStartElement() &&
                   (r.name() == QLatin1String("v") || r.name() == QLatin1String("t"))) {
            cell.text += r.readElementText();
        } else if (r.isEndElement() && r.name() == QLatin1String("c")) {
            qsizetype split = 0;
            while (split < ref.size() && ref.at(split).isLetter())
                ++split;
            sheet[ref.mid(split).toInt()][ref.left(split)] = cell;
        }
    }
    return sheet;
}

QJsonObject ReadWorkbook(const QString &path)
{
    static const char *script = R"(
import json, sys, openpyxl
formulas = openpyxl.load_workbook(sys.argv[1])
values = openpyxl.load_workbook(sys.argv[1], data_only=True)
sheets = []
for ws in formulas.worksheets:
    cached = values[ws.title]
    rows = [[[c.value, c.data_type, c.number_format, cached[c.coordinate].value] for c in row]
            for row in ws.iter_rows()]
    sheets.append({"name": ws.title, "freeze": ws.freeze_panes, "filter": ws.auto_filter.ref,
                   "rows": rows})
json.dump({"sheets": sheets}, sys.stdout, default=lambda v: v.isoformat())
)";
    return QJsonDocument::fromJson(
               run(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), script, path}))
        .object();
}

QString Money(double value)
{
    return QLocale(QLocale::Portuguese, QLocale::Brazil).toString(value, 'f', 2);
}

double MoneyValue(QString text)
{
    return text.remove(QLatin1Char('.')).replace(QLatin1Char(','), QLatin1Char('.')).toDouble();
}
