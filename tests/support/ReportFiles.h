#pragma once

#include <QByteArray>
#include <QChar>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

// Reading back the files a report wrote: PDF text, zip members, CSV and worksheet XML.
// A tool that fails is reported as a test failure.

QString ReadText(const QString &path);
// The PDF's text laid out as on the page (pdftotext -layout).
QString PdfText(const QString &path);
int PdfPages(const QString &path);
// What a reader tool prints (pdfinfo, pdffonts, ...); a failure of the tool fails the test.
QString ToolOutput(const QString &program, const QStringList &args);
// A member of a zip file (unzip -p).
QByteArray ZipEntry(const QString &path, const QString &entry);
QList<QStringList> ParseCsv(const QString &text, QChar separator);

// A worksheet read from its XML: cells by row number (1-based) and column letters.
struct SheetCell
{
    QString text;
    bool number = false;
    int style = 0;
};
using Sheet = QMap<int, QMap<QString, SheetCell>>;
Sheet ParseSheet(const QByteArray &xml);

// A workbook as a spreadsheet reader sees it (openpyxl): {"sheets": [{"name", "freeze",
// "filter", "rows": [[cell...]...]}]}, each cell [value, type, number format, cached value];
// dates come as ISO texts, formulas as their text with the value stored beside them.
QJsonObject ReadWorkbook(const QString &path);

// A money value as the reports write it (1.234,56).
QString Money(double value);
// The number a report wrote as text in the Brazilian form (1.234,56).
double MoneyValue(QString text);
