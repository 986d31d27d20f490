// The multi-dialect query on every engine: which text runs, how parameters are bound, how
// fields bind, what it refuses, and how it comes back after the connection is lost.
#include "Fixture.h"
#include "TestDatabases.h"
#include "data/StreamingRead.h"
#include "data/TADOIBQuery.h"
#include "rtl/Exceptions.h"

#include <QJsonDocument>
#include <QSqlQuery>
#include <gtest/gtest.h>

#include <memory>

using Velmora::DBConnection;
using Velmora::Test::ScratchDatabase;

namespace {

const char fixture[] = R"({
  "EMPRESA": [{"CDEMPRESA":"01","NMEMPRESA":"Velmora Indústria"},
              {"CDEMPRESA":"02","NMEMPRESA":"Atlântica"}],
  "IMPOSTONFE": [{"CDIMPOSTONFE":"01","SGIMPOSTONFE":"ICMS","IDORGARRECADNFE":"E"},
                 {"CDIMPOSTONFE":"04","SGIMPOSTONFE":"PIS","IDORGARRECADNFE":""},
                 {"CDIMPOSTONFE":"05","SGIMPOSTONFE":"COFINS","IDORGARRECADNFE":null}],
  "FORNECEDOR": [{"NRINSJURFORN":"11222333000181","NMRAZSOCFORN":"D'Ávila & Filhos'; DROP TABLE EMPRESA--","IDTPIJURFORN":"J"},
                 {"NRINSJURFORN":"52998224725","NMRAZSOCFORN":"Maria Souza","IDTPIJURFORN":"F"}],
  "MAPAAPURACAO": [
    {"CDEMPRESA":"01","CDIMPOSTONFE":"01","CDINSCRICAO":"110042490114","DTINIPERIODO":"2024-01-01","DTFIMPERIODO":"2024-01-31"},
    {"CDEMPRESA":"01","CDIMPOSTONFE":"01","CDINSCRICAO":"110042490114","DTINIPERIODO":"2024-02-01","DTFIMPERIODO":"2024-02-29"}]
})";

class QueryTest : public ::testing::TestWithParam<QString>
{
protected:
    void SetUp() override
    {
        db = std::make_unique<ScratchDatabase>(GetParam());
        Velmora::Db::LoadFixture(db->Connection(), QJsonDocument::fromJson(fixture).object());
        query.setObjectName(QStringLiteral("qryTeste"));
        query.SetConnection(&db->Connection());
    }

    bool firebird() const { return GetParam() == QLatin1String("firebird"); }

    QStringList column(const QString &field)
    {
        QStringList values;
        for (query.First(); !query.Eof(); query.Next())
            values << query.FieldByName(field)->AsString();
        return values;
    }

    // The optional filter of the lookup queries on P_ORGAO: null lists every tax, a text only
    // the taxes of that collecting body.
    void filterByCollectingBody()
    {
        query.SetSQL({"SELECT CDIMPOSTONFE FROM IMPOSTONFE",
                      "WHERE IDORGARRECADNFE = NVL(:P_ORGAO, IDORGARRECADNFE)",
                      "ORDER BY CDIMPOSTONFE"});
        query.SetSQL_IB({"SELECT CDIMPOSTONFE FROM IMPOSTONFE, PARAM(:P_ORGAO) P",
                         "WHERE IDORGARRECADNFE = NVLSTR(P.PARAM, IDORGARRECADNFE)",
                         "ORDER BY CDIMPOSTONFE"});
    }

    QString openError()
    {
        try {
            query.Close();
            query.Open();
        } catch (const EDatabaseError &e) {
            return e.Message();
        }
        return {};
    }

    std::unique_ptr<ScratchDatabase> db;
    TADOIBQuery query;
};

TEST_P(QueryTest, RunsTheTextOfItsKindOrElseTheGenericOne)
{
    query.SetSQL({"SELECT 'generico' AS ORIGEM FROM EMPRESA", "WHERE CDEMPRESA = :P_CDEMPRESA"});
    query.SetSQL_IB({"SELECT 'interbase' AS ORIGEM FROM EMPRESA",
                     "WHERE CDEMPRESA = CAST(:P_CDEMPRESA AS VARCHAR(2))"});
    query.SetSQL_ORACLE({"texto que nenhum banco daqui entende"});
    query.SetSQL_MSSQL({"outro texto que nenhum banco daqui entende"});
    query.ParamByName(QStringLiteral("P_CDEMPRESA"))->SetAsString(QStringLiteral("01"));
    query.Open();
    EXPECT_EQ(column(QStringLiteral("ORIGEM")),
              QStringList{firebird() ? QStringLiteral("interbase") : QStringLiteral("generico")});

    query.SetSQL_IB({});
    query.ParamByName(QStringLiteral("P_CDEMPRESA"))->SetAsString(QStringLiteral("01"));
    query.Open();
    EXPECT_EQ(column(QStringLiteral("ORIGEM")), QStringList{QStringLiteral("generico")});
}

TEST_P(QueryTest, ParameterListFollowsTheTextsKeepingValues)
{
    query.SetSQL({"SELECT CDEMPRESA FROM EMPRESA WHERE CDEMPRESA = :P_A OR NMEMPRESA = :P_B"});
    EXPECT_EQ(query.ParamNames(), (QStringList{"P_A", "P_B"}));
    query.ParamByName(QStringLiteral("P_A"))->SetAsString(QStringLiteral("02"));
    query.SetSQL({"SELECT CDEMPRESA FROM EMPRESA WHERE CDEMPRESA = :P_A OR NMEMPRESA = :P_C"});
    EXPECT_EQ(query.ParamNames(), (QStringList{"P_A", "P_C"}));
    EXPECT_EQ(query.ParamByName(QStringLiteral("p_a"))->Value().toString(), QStringLiteral("02"));
    query.Open();
    EXPECT_EQ(column(QStringLiteral("CDEMPRESA")), QStringList{QStringLiteral("02")});

    query.SetSQL({"SELECT CDEMPRESA FROM EMPRESA WHERE CDEMPRESA = :P_NAO_DECLARADO"});
    query.Params().Clear();
    const QString error = openError();
    EXPECT_TRUE(error.contains(QStringLiteral("P_NAO_DECLARADO"))) << qPrintable(error);
}

TEST_P(QueryTest, ValuesAreBoundNeverWrittenIntoTheText)
{
    query.SetSQL({"SELECT NRINSJURFORN FROM FORNECEDOR WHERE NMRAZSOCFORN = :P_NOME"});
    query.ParamByName(QStringLiteral("P_NOME"))
        ->SetAsString(QStringLiteral("D'Ávila & Filhos'; DROP TABLE EMPRESA--"));
    query.Open();
    EXPECT_EQ(column(QStringLiteral("NRINSJURFORN")),
              QStringList{QStringLiteral("11222333000181")});
    EXPECT_EQ(Velmora::Test::Rows(db->Connection(), QStringLiteral("SELECT COUNT(*) FROM EMPRESA")),
              QList<QStringList>{{QStringLiteral("2.0000")}});
}

TEST_P(QueryTest, NullParameterAndEmptyTextBehaveDifferently)
{
    filterByCollectingBody();
    TParam *orgao = query.ParamByName(QStringLiteral("P_ORGAO"));
    orgao->Clear();
    query.Open();
    // A null collecting body equals nothing, not even itself.
    EXPECT_EQ(column(QStringLiteral("CDIMPOSTONFE")), (QStringList{"01", "04"}));
    orgao->SetAsString(QString());
    query.Close();
    query.Open();
    EXPECT_EQ(column(QStringLiteral("CDIMPOSTONFE")), QStringList{QStringLiteral("04")});
    orgao->SetAsString(QStringLiteral("E"));
    query.Close();
    query.Open();
    EXPECT_EQ(column(QStringLiteral("CDIMPOSTONFE")), QStringList{QStringLiteral("01")});
}

// The checks' lookup in one call: a null value clears, a text (a null one too) goes as a
// text, and the answer says whether there are rows.
TEST_P(QueryTest, OpenWithSetsTheValuesAndSaysWhetherThereAreRows)
{
    filterByCollectingBody();
    const struct
    {
        QVariant value;
        QStringList rows;
    } cases[] = {
        {QVariant(), {"01", "04"}},
        {QString(), {"04"}},
        {QStringLiteral("E"), {"01"}},
        {QStringLiteral("X"), {}},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(query.OpenWith({{"P_ORGAO", c.value}}), !c.rows.isEmpty());
        EXPECT_EQ(column(QStringLiteral("CDIMPOSTONFE")), c.rows) << qPrintable(c.value.toString());
    }
    EXPECT_THROW(query.OpenWith({{"P_NADA", QStringLiteral("1")}}), EDatabaseError);
}

// The reports' reads stream under the queries' rules: parameters by name, and no text that
// would change data runs, however it is dressed.
TEST_P(QueryTest, AStreamingReadBindsByNameAndNeverWrites)
{
    const QSqlDatabase database = db->Connection().Database();
    Velmora::StreamingRead read = Velmora::OpenStreamingRead(
        database, QStringLiteral("SELECT NMEMPRESA FROM EMPRESA WHERE CDEMPRESA = :P_CDEMPRESA"),
        [](const QString &name) { return name == "P_CDEMPRESA" ? QVariant("02") : QVariant(); });
    ASSERT_TRUE(read.next());
    EXPECT_EQ(read.value(0).toString(), QStringLiteral("Atlântica"));
    EXPECT_FALSE(read.next());

    const char *writes[] = {
        "DELETE FROM EMPRESA",
        "WITH x AS (DELETE FROM EMPRESA RETURNING CDEMPRESA) SELECT CDEMPRESA FROM x",
        "SELECT CDEMPRESA FROM EMPRESA; DELETE FROM EMPRESA",
        "/* SELECT */ UPDATE EMPRESA SET NMEMPRESA = 'x'",
    };
    for (const char *text : writes) {
        try {
            Velmora::OpenStreamingRead(database, QString::fromUtf8(text),
                                       [](const QString &) { return QVariant(); });
            ADD_FAILURE() << "ran: " << text;
        } catch (const EDatabaseError &e) {
            EXPECT_TRUE(e.Message().contains(QStringLiteral("SELECT que não altere"))) << text;
        }
    }
    query.SetSQL({"SELECT COUNT(*) AS N FROM EMPRESA"});
    query.Open();
    EXPECT_EQ(query.FieldByName(QStringLiteral("N"))->AsString(), QStringLiteral("2"));
}

TEST_P(QueryTest, DeclaredFieldsBindByNameWithoutLetterCase)
{
    query.SetSQL({"SELECT CDEMPRESA, NMEMPRESA FROM EMPRESA ORDER BY CDEMPRESA"});
    TADOIBStringField code, name;
    code.SetFieldName(QStringLiteral("cdempresa"));
    name.SetFieldName(QStringLiteral("NmEmpresa"));
    code.SetDataSet(&query);
    name.SetDataSet(&query);
    query.Open();
    EXPECT_EQ(code.AsString(), QStringLiteral("01"));
    EXPECT_EQ(name.AsString(), QStringLiteral("Velmora Indústria"));
    if (GetParam() == QLatin1String("postgresql")) {
        EXPECT_EQ(query.Columns().at(0).name, QStringLiteral("cdempresa"))
            << "PostgreSQL answers in lower case; the binding must not care";
    }

    TADOIBStringField missing;
    missing.SetFieldName(QStringLiteral("CDFILIAL"));
    missing.SetDataSet(&query);
    const QString error = openError();
    EXPECT_TRUE(error.contains(QStringLiteral("CDFILIAL"))) << qPrintable(error);
    EXPECT_FALSE(query.Active());
}

TEST_P(QueryTest, WithoutDeclaredFieldsTheResultBringsItsOwn)
{
    query.SetSQL({"SELECT CDEMPRESA, NMEMPRESA FROM EMPRESA WHERE CDEMPRESA = :P_EMPRESA"});
    query.ParamByName(QStringLiteral("P_EMPRESA"))->SetAsString(QStringLiteral("02"));
    query.Open();
    ASSERT_EQ(query.Fields().size(), 2);
    TField *name = query.FieldByName(QStringLiteral("NMEMPRESA"));
    EXPECT_EQ(name->AsString(), QStringLiteral("Atlântica"));
    query.Close();
    query.Open();
    EXPECT_EQ(query.FieldByName(QStringLiteral("NMEMPRESA")), name) << "same columns, same field";

    query.ParamByName(QStringLiteral("P_EMPRESA"))->SetAsString(QStringLiteral("99"));
    query.Close();
    query.Open();
    EXPECT_TRUE(query.IsEmpty());
    EXPECT_EQ(query.FieldByName(QStringLiteral("NMEMPRESA"))->AsString(), QString())
        << "a dataset with no row reads as the empty text";
}

TEST_P(QueryTest, OnlyReads)
{
    for (const QString &text :
         {QStringLiteral("UPDATE EMPRESA SET NMEMPRESA = 'x'"),
          QStringLiteral("DELETE FROM EMPRESA"),
          QStringLiteral("WITH d AS (DELETE FROM EMPRESA RETURNING CDEMPRESA) SELECT * FROM d"),
          QStringLiteral("SELECT * FROM EMPRESA; DROP TABLE EMPRESA")}) {
        query.SetSQL({text});
        const QString error = openError();
        EXPECT_TRUE(error.contains(QStringLiteral("somente leitura"))) << qPrintable(text);
    }
    EXPECT_EQ(
        Velmora::Test::Rows(db->Connection(),
                            QStringLiteral("SELECT NMEMPRESA FROM EMPRESA ORDER BY CDEMPRESA")),
        (QList<QStringList>{{"Velmora Indústria"}, {"Atlântica"}}));
}

TEST_P(QueryTest, DatesBindAndReadAsDates)
{
    query.SetSQL({"SELECT DTINIPERIODO, DTFIMPERIODO FROM MAPAAPURACAO",
                  "WHERE CDEMPRESA = :P_EMPRESA AND DTINIPERIODO <= :P_DATA",
                  "  AND DTFIMPERIODO >= :P_DATA"});
    query.ParamByName(QStringLiteral("P_EMPRESA"))->SetAsString(QStringLiteral("01"));
    query.ParamByName(QStringLiteral("P_DATA"))->SetAsDate(TDateTime::fromDate(QDate(2024, 2, 15)));
    query.Open();
    ASSERT_EQ(query.RecordCount(), 1);
    TField *start = query.FieldByName(QStringLiteral("DTINIPERIODO"));
    EXPECT_EQ(start->DataKind(), TField::Kind::DateTime);
    EXPECT_EQ(start->AsDateTime().toDate(), QDate(2024, 2, 1));
    EXPECT_EQ(query.FieldByName(QStringLiteral("DTFIMPERIODO"))->AsString(),
              QStringLiteral("29/02/2024"));
    if (GetParam() == QLatin1String("sqlite")) {
        EXPECT_EQ(Velmora::Test::Rows(db->Connection(),
                                      QStringLiteral("SELECT MIN(DTFIMPERIODO) FROM MAPAAPURACAO")),
                  QList<QStringList>{{QStringLiteral("2024-01-31")}});
    }
}

TEST_P(QueryTest, MaxRecordsLimitsTheRowsFetched)
{
    query.SetSQL({"SELECT CDIMPOSTONFE FROM IMPOSTONFE ORDER BY CDIMPOSTONFE"});
    query.SetADOMaxRecords(2);
    query.Open();
    EXPECT_EQ(column(QStringLiteral("CDIMPOSTONFE")), (QStringList{"01", "04"}));
}

TEST_P(QueryTest, EveryOpenSeesWhatOthersCommitted)
{
    query.SetSQL({"SELECT CDEMPRESA FROM EMPRESA ORDER BY CDEMPRESA"});
    query.Open();
    EXPECT_EQ(query.RecordCount(), 2);
    // Another connection (on Firebird: another attachment to the same embedded file).
    DBConnection other(db->Settings());
    other.Execute(QStringLiteral("INSERT INTO EMPRESA (CDEMPRESA, NMEMPRESA) VALUES (?, ?)"),
                  {QStringLiteral("03"), QStringLiteral("Nova")});
    query.Close();
    query.Open();
    EXPECT_EQ(column(QStringLiteral("CDEMPRESA")), (QStringList{"01", "02", "03"}));
}

TEST_P(QueryTest, ComesBackAfterItsConnectionWasClosed)
{
    query.SetSQL({"SELECT CDEMPRESA FROM EMPRESA WHERE CDEMPRESA = :P"});
    query.ParamByName(QStringLiteral("P"))->SetAsString(QStringLiteral("01"));
    query.Open();
    const quint64 before = db->Connection().Generation();
    db->Connection().Close();
    query.Close();
    query.Open();
    EXPECT_EQ(column(QStringLiteral("CDEMPRESA")), QStringList{QStringLiteral("01")});
    EXPECT_GT(db->Connection().Generation(), before);
}

TEST_P(QueryTest, ATextTheDatabaseRejectsIsAnErrorNamingTheQuery)
{
    query.SetSQL({"SELECT NAO_EXISTE FROM EMPRESA"});
    const QString error = openError();
    EXPECT_TRUE(error.contains(QStringLiteral("qryTeste"))) << qPrintable(error);
    EXPECT_TRUE(db->Connection().Connected()) << "a bad text is no reason to reconnect";
    query.SetSQL({"SELECT CDEMPRESA FROM EMPRESA"});
    query.Open();
    EXPECT_EQ(query.RecordCount(), 2);
}

INSTANTIATE_TEST_SUITE_P(Engines, QueryTest, ::testing::ValuesIn(Velmora::Test::EngineNames()),
                         [](const auto &info) { return Velmora::Test::EngineLabel(info.param); });

// Only a server can drop a connection from under a client; SQLite and embedded Firebird live
// in the process itself.
TEST(PostgreSQLReconnectTest, ReconnectsOnceAndWorksAgainWhenTheDatabaseIsBack)
{
    if (!Velmora::Test::EngineNames().contains(QStringLiteral("postgresql")))
        GTEST_SKIP() << "VELMORA_TEST_ENGINES leaves PostgreSQL out";
    ScratchDatabase db(QStringLiteral("postgresql"));
    Velmora::Db::LoadFixture(db.Connection(), QJsonDocument::fromJson(fixture).object());
    TADOIBQuery query;
    query.setObjectName(QStringLiteral("qryEmpresa"));
    query.SetConnection(&db.Connection());
    query.SetSQL({"SELECT CDEMPRESA FROM EMPRESA WHERE CDEMPRESA = NVL(:P_CDEMPRESA, CDEMPRESA)"});
    query.Open();
    ASSERT_EQ(query.RecordCount(), 2);

    Velmora::ConnectionSettings adminSettings = db.Settings();
    adminSettings.database = QStringLiteral("postgres");
    DBConnection admin(adminSettings);
    const auto dropSessions = [&] {
        admin.Execute(QStringLiteral("SELECT pg_terminate_backend(pid) FROM pg_stat_activity "
                                     "WHERE datname = ?"),
                      {db.Settings().database});
    };
    const QString name = QStringLiteral("\"%1\"").arg(db.Settings().database);

    // The server drops the session: the next Open connects again by itself.
    dropSessions();
    const quint64 generation = db.Connection().Generation();
    query.Close();
    EXPECT_NO_THROW(query.Open());
    EXPECT_EQ(query.RecordCount(), 2);
    EXPECT_EQ(db.Connection().Generation(), generation + 1) << "one reconnect";

    // The database goes away: one attempt, then a clear error, and nothing crashes.
    admin.Execute(QStringLiteral("ALTER DATABASE %1 ALLOW_CONNECTIONS false").arg(name));
    dropSessions();
    query.Close();
    try {
        query.Open();
        FAIL() << "the database is away";
    } catch (const EDatabaseError &e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("perdida"))) << qPrintable(e.Message());
        EXPECT_TRUE(e.Message().contains(QStringLiteral("qryEmpresa"))) << qPrintable(e.Message());
    }
    EXPECT_THROW(query.Open(), EDatabaseError);

    // Back again: the screen works without a restart.
    admin.Execute(QStringLiteral("ALTER DATABASE %1 ALLOW_CONNECTIONS true").arg(name));
    query.Close();
    EXPECT_NO_THROW(query.Open());
    EXPECT_EQ(query.RecordCount(), 2);
}

} // namespace
