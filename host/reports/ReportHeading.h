#pragma once

#include "ReportConnection.h"
#include "reports_global.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

class TParams;

namespace Velmora::Reports {

// How a layout shows one of the values its report ran with, in the clerk's words.
//   {"caption": "Empresa", "text": "{P_CDEMPRESA} – {NMEMPRESA}", "summary": true,
//    "lookup": {"SQL": "SELECT NMEMPRESA FROM EMPRESA WHERE CDEMPRESA = :P_CDEMPRESA"}}
//   {"caption": "Fornecedores", "list": "P_CDFORNECED", "empty": "todos",
//    "counted": ["selecionado", "selecionados"],
//    "lookup": {"SQL": "SELECT IDTPIJURFORN FROM FORNECEDOR WHERE NRINSJURFORN = :CODIGO"},
//    "masks": {"J": "99.999.999/9999-99", "F": "999.999.999-99"}}
struct VELMORA_REPORTS_EXPORT HeadingItem
{
    QString caption;
    // A text item: {P_NAME} places a parameter, {FIELD} a field of the lookup's first row.
    QString text;
    // A list item: the parameter holding a selection string; its keys are counted and the
    // first few shown, each through the lookup (its key as :CODIGO) and the masks.
    QString list;
    QString empty;                 // shown when the item's parameters are all empty
    QStringList counted;           // the noun after the count: singular, plural
    QMap<QString, QString> lookup; // query text per kind, as the layout's queries
    QMap<QString, QString> masks;  // list: a mask per value of the lookup's first field
    bool summary = false;          // also in the one-line summary of the later pages

    static constexpr int ShownKeys = 3;
};

// One line of the heading as a reader sees it.
struct VELMORA_REPORTS_EXPORT HeadingLine
{
    QString caption;
    QString text;
    bool summary = false;
};
using Heading = QList<HeadingLine>;

// The heading of a run: each item's text from the parameters the report ran with and the
// names its lookups read, which run as queries of the report named `report`. Raises
// EDatabaseError naming the report when a lookup cannot run.
VELMORA_REPORTS_EXPORT Heading BuildHeading(const QList<HeadingItem> &items,
                                            const ReportConnection &connection,
                                            const TParams &params, const QString &report);
// "Empresa: 01 – Velmora · Período: 01/10/2024 a 31/12/2024": the lines marked summary.
VELMORA_REPORTS_EXPORT QString SummaryLine(const Heading &heading);

// The keys of a selection string ('a','b''c' gives a and b'c), in order.
VELMORA_REPORTS_EXPORT QStringList SelectionKeys(const QString &selection);
// Digits of key placed on the 9s of mask ("999.999.999-99"); key as it is when its digits
// do not fill the mask exactly.
VELMORA_REPORTS_EXPORT QString MaskedKey(const QString &key, const QString &mask);

} // namespace Velmora::Reports
