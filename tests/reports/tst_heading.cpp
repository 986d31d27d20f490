#include "data/TParams.h"
#include "reports/ReportHeading.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <gtest/gtest.h>

using namespace Velmora::Reports;

namespace {

HeadingItem Item(const char *caption, const char *text = "")
{
    HeadingItem item;
    item.caption = QString::fromUtf8(caption);
    item.text = QString::fromUtf8(text);
    return item;
}

// The heading's words for the values a report ran with, against a small database of
// companies and suppliers.
TEST(Heading, TheClerksWordsForEachValue)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("h"));
    db.setDatabaseName(QStringLiteral(":memory:"));
    ASSERT_TRUE(db.open());
    QSqlQuery q(db);
    for (const char *sql :
         {"CREATE TABLE EMPRESA (CDEMPRESA TEXT, NMEMPRESA TEXT)",
          "INSERT INTO EMPRESA VALUES ('01', 'Velmora S.A.')",
          "CREATE TABLE FORNECEDOR (NRINSJURFORN TEXT, IDTPIJURFORN TEXT)",
          "INSERT INTO FORNECEDOR VALUES ('12345678000195', 'J'), ('11444777001', 'F'), "
          "('99', 'J'), ('O''Brien', 'J')"})
        ASSERT_TRUE(q.exec(QLatin1String(sql))) << sql;
    ReportConnection connection;
    connection.database = db;

    HeadingItem company = Item("Empresa", "{P_CDEMPRESA} – {NMEMPRESA}");
    company.lookup.insert(QStringLiteral("SQL"), QStringLiteral("SELECT NMEMPRESA FROM EMPRESA "
                                                                "WHERE CDEMPRESA = :P_CDEMPRESA"));
    HeadingItem registration = Item("Inscrição", "{P_CDINSCRICAO}");
    registration.empty = QStringLiteral("todas");
    HeadingItem period = Item("Período", "{P_DTINICIAL} a {P_DTFINAL}");
    HeadingItem suppliers = Item("Fornecedores");
    suppliers.list = QStringLiteral("P_CDFORNECED");
    suppliers.empty = QStringLiteral("todos");
    suppliers.counted = QStringList{QStringLiteral("selecionado"), QStringLiteral("selecionados")};
    suppliers.lookup.insert(QStringLiteral("SQL"),
                            QStringLiteral("SELECT IDTPIJURFORN FROM FORNECEDOR "
                                           "WHERE NRINSJURFORN = :CODIGO"));
    suppliers.masks.insert(QStringLiteral("J"), QStringLiteral("99.999.999/9999-99"));
    suppliers.masks.insert(QStringLiteral("F"), QStringLiteral("999.999.999-99"));

    const struct
    {
        const char *company, *registration, *suppliers;
        QStringList shown;
    } cases[] = {
        {"01", "", "", {"01 – Velmora S.A.", "todas", "01/10/2024 a 31/12/2024", "todos"}},
        // An unknown company leaves no dangling dash; a key of the wrong length stays raw;
        // a quote inside a key comes back single.
        {"07",
         "110170615357",
         "'12345678000195'",
         {"07", "110170615357", "01/10/2024 a 31/12/2024", "1 selecionado – 12.345.678/0001-95"}},
        {"01",
         "",
         "'11444777001','99','O''Brien','55'",
         {"01 – Velmora S.A.", "todas", "01/10/2024 a 31/12/2024",
          "4 selecionados – 114.447.770-01, 99, O'Brien e mais 1"}},
    };
    for (const auto &c : cases) {
        TParams params;
        params.Add(QStringLiteral("P_CDEMPRESA"))->SetAsString(QLatin1String(c.company));
        params.Add(QStringLiteral("P_CDINSCRICAO"))->SetAsString(QLatin1String(c.registration));
        params.Add(QStringLiteral("P_DTINICIAL"))
            ->SetAsDate(TDateTime::fromDate(QDate(2024, 10, 1)));
        params.Add(QStringLiteral("P_DTFINAL"))
            ->SetAsDate(TDateTime::fromDate(QDate(2024, 12, 31)));
        params.Add(QStringLiteral("P_CDFORNECED"))->SetAsString(QLatin1String(c.suppliers));
        QStringList shown;
        for (const HeadingLine &line : BuildHeading({company, registration, period, suppliers},
                                                    connection, params, QStringLiteral("FIS014")))
            shown << line.text;
        EXPECT_EQ(shown, c.shown);
    }
    db.close();
}

} // namespace
