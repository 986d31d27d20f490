#pragma once

#include "ReportConnection.h"
#include "ReportHeading.h"
#include "reports_global.h"

#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QPageLayout>
#include <QPageSize>
#include <QString>
#include <QStringList>

namespace Velmora::Reports {

enum class Align { Left, Center, Right };
enum class ColumnType { Text, Number, Date };

struct VELMORA_REPORTS_EXPORT Column
{
    QString field;
    QString label;
    double width = 20; // millimetres on the page
    Align align = Align::Left;
    ColumnType type = ColumnType::Text;
    // Numbers: "0", "0.00", "#,##0.00" (decimals after the point, grouping with the comma).
    // Dates: the short date format when empty, else a Qt date format.
    QString format;
};

struct VELMORA_REPORTS_EXPORT GroupField
{
    QString field;
    QString label;
};

// One level of grouping: rows of equal group fields form a group with a header line and a
// footer line carrying the group's totals.
struct VELMORA_REPORTS_EXPORT Grouping
{
    QList<GroupField> fields;
    QString header; // "{FIELD}" places the row's value
    QString footer;
    bool enabled() const { return !fields.isEmpty(); }
};

struct VELMORA_REPORTS_EXPORT PageSetup
{
    QString size = QStringLiteral("A4"); // A4, A3, Letter, Legal
    bool landscape = false;
    double marginLeft = 10, marginTop = 10, marginRight = 10, marginBottom = 10; // mm
    double fontSize = 8;                                                         // points

    QPageSize pageSize() const;
    QPageLayout pageLayout() const;
    // The width between the margins, in millimetres: the columns' widths are proportions of it.
    double printableWidth() const;
};

// A report layout: one JSON file in the reports directory (schema/report-layout.schema.json).
struct VELMORA_REPORTS_EXPORT ReportLayout
{
    QString path;   // the file it was read from or saved to
    QString report; // report code, "FIS014"
    QString title;
    QMap<QString, QString> queries; // "SQL", "SQL_IB", "SQL_ORACLE", "SQL_MSSQL"
    QList<Column> columns;
    Grouping group;
    QStringList totals; // fields of numeric columns added up per group and in all
    QString grandTotal = QStringLiteral("Total geral");
    PageSetup page;
    QList<HeadingItem> heading; // the values the report ran with, as the page heading shows them

    // Reads and checks a layout file. Raises Exception naming the file and every problem.
    static ReportLayout load(const QString &path);
    // Checks a layout held as JSON; source names it in messages.
    static ReportLayout fromJson(const QJsonObject &json, const QString &source);
    QJsonObject toJson() const;
    // Writes the file atomically; raises Exception naming it when it cannot.
    void save(const QString &path) const;

    // What is wrong with the layout, each problem a phrase; empty when it can run.
    QStringList problems() const;
    // The text of the kind, the generic one when the layout holds none for it.
    QString queryText(DatabaseKind kind) const;
    int columnIndex(const QString &field) const;
    // How messages name the report: its code, else its file's name, else its title.
    QString name() const;
    bool isTotal(const QString &field) const;
};

VELMORA_REPORTS_EXPORT QString AlignName(Align align);
VELMORA_REPORTS_EXPORT QString TypeName(ColumnType type);

} // namespace Velmora::Reports
