// Datasets without a database: parameters, fields, navigation, in-memory datasets and data
// packets.
#include "data/DataPacket.h"
#include "data/TClientDataSet.h"
#include "data/TParams.h"
#include "rtl/Exceptions.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <gtest/gtest.h>

namespace {

QJsonObject packet(const char *json)
{
    return QJsonDocument::fromJson(QByteArray(json)).object();
}

const char periods[] = R"({"fields":[{"name":"DTINICIAL","type":"string","size":13},
                                    {"name":"DTINIPERIODO","type":"datetime"},
                                    {"name":"DTFIMPERIODO","type":"datetime"}],
                          "rows":[["01/01/2024",45292,45322],["01/02/2024",45323,45351]],
                          "status":0,"message":""})";

// cdsDtIni as the screen declares it.
struct PeriodsDataSet
{
    TClientDataSet cds;
    TStringField text;
    TDateTimeField start, end;

    PeriodsDataSet()
    {
        cds.setObjectName(QStringLiteral("cdsDtIni"));
        text.SetFieldName(QStringLiteral("DTINICIAL"));
        start.SetFieldName(QStringLiteral("dtiniperiodo")); // letter case does not matter
        end.SetFieldName(QStringLiteral("DTFIMPERIODO"));
        for (TField *f : {static_cast<TField *>(&text), static_cast<TField *>(&start),
                          static_cast<TField *>(&end)})
            f->SetDataSet(&cds);
    }
};

QString refusal(TClientDataSet &cds, const QJsonObject &p)
{
    try {
        cds.SetDataPacket(p);
    } catch (const EDatabaseError &e) {
        return e.Message();
    }
    return {};
}

} // namespace

TEST(ParameterNamesTest, NamesEachParameterOnceInOrderOutsideQuotesAndCasts)
{
    const QString sql = QStringLiteral(
        "SELECT ':NOT_ME', x::text FROM T WHERE A = :P_A AND (B = :p_b OR :P_A IS NULL) "
        "AND C = \":QUOTED\" AND D = :P_B");
    EXPECT_EQ(ParameterNames(sql), (QStringList{"P_A", "p_b"}));
}

TEST(ParamsTest, NullAndEmptyTextAreDifferentValues)
{
    TParams params;
    TParam *p = params.Add(QStringLiteral("P_CDEMPRESA"));
    EXPECT_TRUE(p->IsNull());
    p->SetAsString(QString());
    EXPECT_FALSE(p->IsNull()) << "the empty text is a value";
    EXPECT_EQ(p->Value().toString(), QString());
    p->Clear();
    EXPECT_TRUE(p->IsNull());
    p->SetAsDate(TDateTime::fromDate(QDate(2024, 2, 29)));
    EXPECT_TRUE(p->IsDate());
    EXPECT_EQ(params.ParamByName(QStringLiteral("p_cdempresa")), p);
    try {
        params.ParamByName(QStringLiteral("P_NADA"));
        FAIL() << "an absent parameter must raise";
    } catch (const EDatabaseError &e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("P_NADA")));
    }
}

TEST(ClientDataSetTest, DeclaredFieldsReadThePacketByNameAndNavigate)
{
    PeriodsDataSet d;
    d.cds.SetDataPacket(packet(periods));
    ASSERT_TRUE(d.cds.Active());
    EXPECT_EQ(d.cds.RecordCount(), 2);
    EXPECT_EQ(d.text.AsString(), QStringLiteral("01/01/2024"));
    EXPECT_EQ(d.start.AsDateTime().toDate(), QDate(2024, 1, 1));
    EXPECT_EQ(d.end.AsString(), QStringLiteral("31/01/2024"));
    d.cds.Next();
    EXPECT_FALSE(d.cds.Eof());
    EXPECT_EQ(d.end.AsDateTime().toDate(), QDate(2024, 2, 29));
    d.cds.Next();
    EXPECT_TRUE(d.cds.Eof());
    ASSERT_TRUE(d.cds.Locate(QStringLiteral("DTINICIAL"), QStringLiteral("01/01/2024")));
    EXPECT_EQ(d.cds.RecNo(), 0);
    EXPECT_FALSE(d.cds.Locate(QStringLiteral("DTINICIAL"), QStringLiteral("01/03/2024")));
    EXPECT_EQ(d.cds.RecNo(), 0) << "a failed Locate stays where it was";
}

TEST(ClientDataSetTest, EmptyAnswerGivesEmptyTextsNotErrors)
{
    PeriodsDataSet d;
    d.cds.SetDataPacket(packet(R"({"fields":[{"name":"DTINICIAL","type":"string"},
        {"name":"DTINIPERIODO","type":"datetime"},{"name":"DTFIMPERIODO","type":"datetime"}],
        "rows":[],"status":0,"message":""})"));
    EXPECT_TRUE(d.cds.IsEmpty());
    EXPECT_TRUE(d.cds.Eof());
    EXPECT_EQ(d.text.AsString(), QString());
    EXPECT_TRUE(d.start.IsNull());
}

TEST(ClientDataSetTest, PacketThatDoesNotFitIsRefusedNamingTheFieldAndKeepsTheOldData)
{
    PeriodsDataSet d;
    d.cds.SetDataPacket(packet(periods));

    const QString missing =
        refusal(d.cds, packet(R"({"fields":[{"name":"DTINICIAL","type":"string"},
        {"name":"DTINIPERIODO","type":"datetime"}],"rows":[["x",1]],"status":0})"));
    EXPECT_TRUE(missing.contains(QStringLiteral("DTFIMPERIODO"))) << qPrintable(missing);
    EXPECT_TRUE(missing.contains(QStringLiteral("cdsDtIni"))) << qPrintable(missing);

    const QString kind = refusal(d.cds, packet(R"({"fields":[{"name":"DTINICIAL","type":"string"},
        {"name":"DTINIPERIODO","type":"string"},{"name":"DTFIMPERIODO","type":"datetime"}],
        "rows":[],"status":0})"));
    EXPECT_TRUE(kind.contains(QStringLiteral("DTINIPERIODO"), Qt::CaseInsensitive))
        << qPrintable(kind);

    const QString cell = refusal(d.cds, packet(R"({"fields":[{"name":"DTINICIAL","type":"string"},
        {"name":"DTINIPERIODO","type":"datetime"},{"name":"DTFIMPERIODO","type":"datetime"}],
        "rows":[["01/01/2024",45292,45322],["01/02/2024","amanhã",45351]],"status":0})"));
    EXPECT_TRUE(cell.contains(QStringLiteral("DTINIPERIODO")) &&
                cell.contains(QStringLiteral("linha 2")))
        << qPrintable(cell);

    const QString width = refusal(d.cds, packet(R"({"fields":[{"name":"DTINICIAL","type":"string"},
        {"name":"DTINIPERIODO","type":"datetime"},{"name":"DTFIMPERIODO","type":"datetime"}],
        "rows":[["01/01/2024",45292]],"status":0})"));
    EXPECT_TRUE(width.contains(QStringLiteral("linha 1"))) << qPrintable(width);

    const QString failed = refusal(d.cds, packet(R"({"fields":[],"rows":[],"status":3,
        "message":"Mapa de apuração não encontrado"})"));
    EXPECT_TRUE(failed.contains(QStringLiteral("Mapa de apuração não encontrado")))
        << qPrintable(failed);

    EXPECT_EQ(d.cds.RecordCount(), 2) << "a refused packet leaves the data as it was";
    EXPECT_EQ(d.text.AsString(), QStringLiteral("01/01/2024"));
}

TEST(ClientDataSetTest, WithoutDeclaredFieldsTakesThePacketsColumnsAndRoundTrips)
{
    TClientDataSet cds;
    cds.setObjectName(QStringLiteral("cdsResposta"));
    cds.SetDataPacket(packet(R"({"fields":[{"name":"CDEMPRESA","type":"string","size":2},
        {"name":"QTDE","type":"integer"},{"name":"VALOR","type":"float"},
        {"name":"DATA","type":"datetime"}],
        "rows":[["01",3,10.5,45292.5],[null,null,null,null]],"status":0,"message":""})"));
    ASSERT_EQ(cds.Fields().size(), 4);
    EXPECT_EQ(cds.FieldByName(QStringLiteral("qtde"))->AsString(), QStringLiteral("3"));
    EXPECT_EQ(cds.FieldByName(QStringLiteral("DATA"))->DataKind(), TField::Kind::DateTime);
    EXPECT_EQ(cds.FieldByName(QStringLiteral("DATA"))->AsDateTime().toDateTime(),
              QDateTime(QDate(2024, 1, 1), QTime(12, 0)));

    const QJsonObject back = cds.DataPacket();
    EXPECT_EQ(back.value(QStringLiteral("rows")).toArray(),
              packet(R"({"rows":[["01",3,10.5,45292.5],[null,null,null,null]]})")
                  .value(QStringLiteral("rows"))
                  .toArray());
    EXPECT_EQ(back.value(QStringLiteral("fields"))
                  .toArray()
                  .at(1)
                  .toObject()
                  .value(QStringLiteral("type")),
              QStringLiteral("integer"));
    EXPECT_EQ(back.value(QStringLiteral("fields"))
                  .toArray()
                  .at(0)
                  .toObject()
                  .value(QStringLiteral("size")),
              2);

    // A packet with other columns replaces the fields taken from the earlier one.
    cds.SetDataPacket(packet(R"({"fields":[{"name":"OUTRO","type":"string"}],"rows":[["x"]]})"));
    ASSERT_EQ(cds.Fields().size(), 1);
    EXPECT_EQ(cds.FieldByName(QStringLiteral("OUTRO"))->AsString(), QStringLiteral("x"));
    EXPECT_THROW(cds.FieldByName(QStringLiteral("CDEMPRESA")), EDatabaseError);
}

// An integer beyond the 64-bit range has no integer value: converting it was undefined
// (found by fuzzing). It is refused like any other cell that does not fit.
TEST(ClientDataSetTest, IntegerBeyondTheIntegerRangeIsRefused)
{
    TClientDataSet cds;
    cds.setObjectName(QStringLiteral("cdsResposta"));
    const QString why = refusal(cds, packet(R"({"fields":[{"name":"QTDE","type":"integer"}],
        "rows":[[1],[4.4e94]],"status":0})"));
    EXPECT_TRUE(why.contains(QStringLiteral("QTDE")) && why.contains(QStringLiteral("linha 2")))
        << qPrintable(why);
    EXPECT_EQ(refusal(cds, packet(R"({"fields":[{"name":"QTDE","type":"integer"}],
        "rows":[[-9007199254740992]],"status":0})")),
              QString());
    EXPECT_EQ(cds.FieldByName(QStringLiteral("QTDE"))->AsString(),
              QStringLiteral("-9007199254740992"));
}

// A packet passed on by a dataset without declared fields reads back the same: a text column
// without a width gets none, not the default width of a field made from the data (found by
// fuzzing).
TEST(ClientDataSetTest, PassedOnPacketKeepsTextColumnsWithoutWidth)
{
    TClientDataSet first, second;
    first.setObjectName(QStringLiteral("cdsPrimeiro"));
    second.setObjectName(QStringLiteral("cdsSegundo"));
    first.SetDataPacket(packet(R"({"fields":[{"name":"NOME","type":"string"}],
        "rows":[["um nome bem mais longo que vinte letras"]]})"));
    const QJsonObject out = first.DataPacket();
    EXPECT_FALSE(out.value(QStringLiteral("fields"))
                     .toArray()
                     .at(0)
                     .toObject()
                     .contains(QStringLiteral("size")));
    second.SetDataPacket(out);
    EXPECT_EQ(second.DataPacket(), out);
}

TEST(ClientDataSetTest, OpenWithoutPacketIsEmptyWithTheDeclaredColumns)
{
    PeriodsDataSet d;
    d.cds.Open();
    EXPECT_TRUE(d.cds.Active());
    EXPECT_TRUE(d.cds.IsEmpty());
    EXPECT_EQ(d.cds.Columns().size(), 3);
    EXPECT_EQ(d.cds.DataPacket().value(QStringLiteral("fields")).toArray().size(), 3);
}
