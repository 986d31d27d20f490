// The module's query and in-memory dataset definitions: loaded as the screen loads them
// (through the form loader), checked against the definitions as written, and run on every
// engine over a fixture that holds the lookups' edge cases.
#include "Fixture.h"
#include "TestDatabases.h"
#include "data/TADOIBQuery.h"
#include "data/TClientDataSet.h"
#include "data/TDataSource.h"
#include "data/dtmDBGeral.h"
#include "framework/ComponentRegistry.h"
#include "framework/TApplication.h"
#include "framework/TForm.h"
#include "rtl/Exceptions.h"

#include <QApplication>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// A screen that holds only the data definitions, each taken "from" its data file.
class DataForm : public TForm
{
public:
    DataForm(TApplication *owner) : TForm(owner) {}
    QString DescriptionPath() const override { return path; }
    static inline QString path;
};

QString writeDescription(const QTemporaryDir &dir)
{
    QJsonArray components;
    const QDir data(QStringLiteral(VELMORA_MODULE_DATA));
    for (const QString &file :
         data.entryList({QStringLiteral("*.json")}, QDir::Files, QDir::Name)) {
        QFile f(data.filePath(file));
        EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << qPrintable(file);
        const QJsonArray list = QJsonDocument::fromJson(f.readAll())
                                    .object()
                                    .value(QStringLiteral("components"))
                                    .toArray();
        EXPECT_FALSE(list.isEmpty()) << qPrintable(file);
        for (const QJsonValue c : list) {
            const QString from = data.filePath(file);
            components.append(QJsonObject{{"name", c[QStringLiteral("name")]}, {"from", from}});
            for (const QJsonValue field : c[QStringLiteral("fields")].toArray())
                components.append(
                    QJsonObject{{"name", field[QStringLiteral("name")]}, {"from", from}});
        }
    }
    const QString path = dir.filePath(QStringLiteral("dados.json"));
    QFile out(path);
    out.open(QIODevice::WriteOnly);
    out.write(
        QJsonDocument(QJsonObject{{"name", "frmDados"}, {"components", components}}).toJson());
    return path;
}

// Loads every definition once for the whole run.
TForm *form()
{
    static QTemporaryDir dir;
    static TForm *loaded = [] {
        Velmora::RegisterFrameworkComponents();
        DataForm::path = writeDescription(dir);
        return TApplication::instance().CreateForm<DataForm>();
    }();
    return loaded;
}

template <class T> T *component(const char *name)
{
    T *c = form()->findChild<T *>(QLatin1String(name));
    EXPECT_NE(c, nullptr) << name;
    return c;
}

struct FieldDef
{
    const char *component, *className, *fieldName;
    QString label;
    int size;
    bool visible;
    bool required = false;
};

struct QueryDef
{
    const char *name;
    QStringList params, sql, oracle, mssql, ib;
    QVector<FieldDef> fields;
    const char *dataSource;
};

const QString none;
const char *const str = "TADOIBStringField";

// As the definitions give them, line by line.
QVector<QueryDef> queries()
{
    const QStringList impostoSql{"SELECT IE.CDIMPOSTONFE, IE.SGIMPOSTONFE, IE.IDORGARRECADNFE",
                                 "  FROM IMPOSTONFE IE",
                                 " WHERE IE.CDIMPOSTONFE = NVL(:P_CDIMPOSTO, CDIMPOSTONFE)",
                                 "   AND EXISTS(SELECT IE.CDIMPOSTONFE",
                                 "                FROM IMPOSTO I",
                                 "               WHERE I.CDIMPOSTONFE = IE.CDIMPOSTONFE)",
                                 " ORDER BY IE.CDIMPOSTONFE"};
    const QStringList impostoMssql{"SELECT IE.CDIMPOSTONFE, IE.SGIMPOSTONFE, IE.IDORGARRECADNFE",
                                   "  FROM IMPOSTONFE IE",
                                   " WHERE IE.CDIMPOSTONFE = ISNULL(:P_CDIMPOSTO, CDIMPOSTONFE)",
                                   "   AND EXISTS(SELECT IE.CDIMPOSTONFE",
                                   "                FROM IMPOSTO I",
                                   "               WHERE I.CDIMPOSTONFE = IE.CDIMPOSTONFE)",
                                   " ORDER BY IE.CDIMPOSTONFE"};
    const QStringList impostoIb{
        "SELECT IE.CDIMPOSTONFE, IE.SGIMPOSTONFE, IE.IDORGARRECADNFE",
        "  FROM IMPOSTONFE IE, PARAM(:P_CDIMPOSTO) P_CDIMPOSTO",
        " WHERE IE.CDIMPOSTONFE = NVLSTR(P_CDIMPOSTO.PARAM, IE.CDIMPOSTONFE)",
        "   AND EXISTS(SELECT IE.CDIMPOSTONFE",
        "                FROM IMPOSTO I",
        "               WHERE I.CDIMPOSTONFE = IE.CDIMPOSTONFE)",
        " ORDER BY IE.CDIMPOSTONFE"};
    const QStringList empresaSql{"SELECT CDEMPRESA, NMEMPRESA", "FROM EMPRESA",
                                 "WHERE (CDEMPRESA = NVL(:P_CDEMPRESA, CDEMPRESA))",
                                 "ORDER BY CDEMPRESA"};
    const QStringList empresaMssql{"SELECT CDEMPRESA, NMEMPRESA", "FROM EMPRESA",
                                   "WHERE (CDEMPRESA = ISNULL(:P_CDEMPRESA, CDEMPRESA))",
                                   "ORDER BY CDEMPRESA"};
    const QStringList empresaIb{
        "SELECT CDEMPRESA, NMEMPRESA", "FROM EMPRESA, PARAM(:P_CDEMPRESA) P_CDEMPRESA",
        "WHERE (CDEMPRESA = NVLSTR(P_CDEMPRESA.PARAM, CDEMPRESA))", "ORDER BY CDEMPRESA"};
    const QStringList estaSql{
        "SELECT CDINSCESTA", "  FROM INSCRESTAD", " WHERE (CDEMPRESA  = :P_CDEMPRESA) AND",
        "       (CDINSCESTA = :P_CDINSCESTA OR :P_TCDINSCESTA = 'T')", " ORDER BY CDINSCESTA"};
    const QStringList estaOracle{
        "SELECT CDINSCESTA", "  FROM INSCRESTAD", " WHERE CDEMPRESA   = :P_CDEMPRESA AND",
        "       (CDINSCESTA = :P_CDINSCESTA OR :P_TCDINSCESTA = 'T')", " ORDER BY CDINSCESTA"};
    const QStringList estaIb{
        "SELECT CDINSCESTA",
        "  FROM INSCRESTAD,",
        "       PARAM(:P_CDEMPRESA)P_CDEMPRESA,",
        "       PARAM(:P_CDINSCESTA)P_CDINSCESTA,",
        "       PARAM(:P_TCDINSCESTA)P_TCDINSCESTA",
        " WHERE (CDEMPRESA  = P_CDEMPRESA.PARAM) AND",
        "       (CDINSCESTA = P_CDINSCESTA.PARAM OR P_TCDINSCESTA.PARAM = 'T')",
        " ORDER BY CDINSCESTA"};
    const QStringList muniSql{
        "SELECT CDINSCMUNI", "  FROM INSCRMUNICIP", " WHERE (CDEMPRESA  = :P_CDEMPRESA) AND",
        "       (CDINSCMUNI = :P_CDINSCMUNI OR :P_TCDINSCMUNI = 'T')", " ORDER BY CDINSCMUNI"};
    const QStringList muniIb{
        "SELECT CDINSCMUNI",
        "  FROM INSCRMUNICIP,",
        "       PARAM(:P_CDEMPRESA)P_CDEMPRESA,",
        "       PARAM(:P_CDINSCMUNI)P_CDINSCMUNI,",
        "       PARAM(:P_TCDINSCMUNI)P_TCDINSCMUNI",
        " WHERE (CDEMPRESA  = P_CDEMPRESA.PARAM) AND",
        "       (CDINSCMUNI = P_CDINSCMUNI.PARAM OR P_TCDINSCMUNI.PARAM = 'T')",
        " ORDER BY CDINSCMUNI"};
    return {
        {"qryImposto",
         {"P_CDIMPOSTO"},
         impostoSql,
         impostoSql,
         impostoMssql,
         impostoIb,
         {{"qryImpostoCDIMPOSTONFE", str, "CDIMPOSTONFE", "Código", 2, true},
          {"qryImpostoSGIMPOSTONFE", str, "SGIMPOSTONFE", "Sigla", 10, true},
          {"qryImpostoIDORGARRECADNFE", str, "IDORGARRECADNFE", none, 1, false}},
         "dtsImposto"},
        {"qryEmpresa",
         {"P_CDEMPRESA"},
         empresaSql,
         empresaSql,
         empresaMssql,
         empresaIb,
         {{"qryEmpresaCDEMPRESA", str, "CDEMPRESA", "Código", 2, true, true},
          {"qryEmpresaNMEMPRESA", str, "NMEMPRESA", "Nome", 40, true}},
         "dtsEmpresa"},
        {"qryInscEsta",
         {"P_CDEMPRESA", "P_CDINSCESTA", "P_TCDINSCESTA"},
         estaSql,
         estaOracle,
         estaSql,
         estaIb,
         {{"qryInscEstaCDINSCESTA", str, "CDINSCESTA", "Código", 16, true}},
         "dtsInscrEstad"},
        {"qryInscrMuni",
         {"P_CDEMPRESA", "P_CDINSCMUNI", "P_TCDINSCMUNI"},
         muniSql,
         muniSql,
         muniSql,
         muniIb,
         {{"qryInscrMuniCDINSCMUNI", str, "CDINSCMUNI", "Código", 16, true}},
         "dtsInscrMuni"},
        {"qryFornecedor",
         {},
         {"SELECT NRINSJURFORN, NMRAZSOCFORN, IDTPIJURFORN", "FROM FORNECEDOR",
          "ORDER BY NMRAZSOCFORN"},
         {},
         {},
         {},
         // The width of NRINSJURFORN is the string field's default (20): it holds a CNPJ.
         {{"qryFornecedorNRINSJURFORN", str, "NRINSJURFORN", "C.N.P.J", 20, true},
          {"qryFornecedorNMRAZSOCFORN", str, "NMRAZSOCFORN", "Nome", 40, true},
          {"qryFornecedorIDTPIJURFORN", str, "IDTPIJURFORN", none, 1, false}},
         "dtsFornecedor"},
        {"qryFiliOrig",
         {},
         {"SELECT CDFILIAL, NMFILIAL", "FROM FILIAL", "ORDER BY CDFILIAL"},
         {},
         {},
         {},
         {{"qryFiliOrigCDFILIAL", str, "CDFILIAL", "Código", 8, true},
          {"qryFiliOrigNMFILIAL", str, "NMFILIAL", "Nome", 30, true}},
         "dtsFiliOrig"},
        {"qryOrgaoArrecadador",
         {"P_CDIMPOSTO"},
         {"SELECT MAX(DECODE(IDORGARRECADNFE, 'M', 1, 0)) AS MUNICIP,",
          "       MAX(DECODE(IDORGARRECADNFE, 'E', 1, 0)) AS ESTAD", "  FROM IMPOSTONFE",
          "WHERE INSTR(:P_CDIMPOSTO, CDIMPOSTONFE) >0"},
         {},
         {},
         {"SELECT MAX(NVLSTR(CASE(IDORGARRECADNFE, 'M', '1'), '0')) AS MUNICIP,",
          "       MAX(NVLSTR(CASE(IDORGARRECADNFE, 'E', '1'), '0')) AS ESTAD",
          "  FROM IMPOSTONFE, PARAM(:P_CDIMPOSTO)P_CDIMPOSTO",
          "WHERE INSTR(P_CDIMPOSTO.PARAM, CDIMPOSTONFE) >0"},
         {{"qryOrgaoArrecadadorESTAD", str, "ESTAD", none, 1, true},
          {"qryOrgaoArrecadadorMUNICIP", str, "MUNICIP", none, 1, true}},
         "dtsOrgaoArrecadador"},
        {"qryVdInscrMuni",
         {"P_EMPRESA", "P_INSCMUNI"},
         {"SELECT CDEMPRESA, CDINSCMUNI", "FROM INSCRMUNICIP", "WHERE CDEMPRESA   = :P_EMPRESA AND",
          "      CDINSCMUNI = :P_INSCMUNI", "ORDER BY CDINSCMUNI"},
         {},
         {},
         {},
         {},
         nullptr},
    };
}

struct ClientDef
{
    const char *name;
    QVector<FieldDef> fields;
    QStringList sources;
};

QVector<ClientDef> clientDataSets()
{
    const char *text = "TStringField", *date = "TDateTimeField";
    return {
        {"cdsDtIni",
         {{"cdsDtIniDTINICIAL", text, "DTINICIAL", "Data Inicial", 13, true},
          {"cdsDtIniDTINIPERIODO", date, "DTINIPERIODO", none, -1, false},
          {"cdsDtIniDTFIMPERIODO", date, "DTFIMPERIODO", none, -1, false}},
         {"dtsDtIni"}},
        {"cdsDtFim",
         {{"cdsDtFimDTINICIAL", text, "DTINICIAL", "Data Inicial", 13, true},
          {"cdsDtFimDTFINAL", text, "DTFINAL", "Data Final", 13, true},
          {"cdsDtFimDTINIPERIODO", date, "DTINIPERIODO", none, -1, false},
          {"cdsDtFimDTFIMPERIODO", date, "DTFIMPERIODO", none, -1, false}},
         {"dtsDtFim"}},
        {"cdsVdDataIni",
         {{"cdsVdDataIniDTINIPERIODO", date, "DTINIPERIODO", none, -1, true},
          {"cdsVdDataIniDTINICIAL", text, "DTINICIAL", none, 10, true}},
         {}},
        // Both data sources present the final-date dataset, as the screen was defined.
        {"cdsVdDataFinal",
         {{"cdsVdDataFinalDTFIMPERIODO", date, "DTFIMPERIODO", none, -1, true},
          {"cdsVdDataFinalDTFINAL", text, "DTFINAL", none, 10, true}},
         {"dtsDataInicial", "dtsDataFinal"}},
    };
}

void checkFields(TDataSet *ds, const QVector<FieldDef> &expected)
{
    ASSERT_EQ(ds->Fields().size(), expected.size()) << qPrintable(ds->objectName());
    for (int i = 0; i < expected.size(); ++i) {
        const FieldDef &e = expected.at(i);
        TField *f = ds->Fields().at(i);
        SCOPED_TRACE(e.component);
        EXPECT_EQ(f->objectName(), QLatin1String(e.component));
        EXPECT_STREQ(f->metaObject()->className(), e.className);
        EXPECT_EQ(f->FieldName(), QLatin1String(e.fieldName));
        EXPECT_EQ(f->DisplayLabel(), e.label);
        if (e.size >= 0) {
            EXPECT_EQ(f->Size(), e.size);
        }
        EXPECT_EQ(f->Visible(), e.visible);
        EXPECT_EQ(f->Required(), e.required);
        EXPECT_EQ(f->DataSet(), ds);
    }
}

TEST(ModuleDataTest, QueriesAreDefinedAsWritten)
{
    for (const QueryDef &e : queries()) {
        SCOPED_TRACE(e.name);
        auto *q = component<TADOIBQuery>(e.name);
        ASSERT_NE(q, nullptr);
        EXPECT_EQ(q->SQL(), e.sql);
        EXPECT_EQ(q->SQL_ORACLE(), e.oracle);
        EXPECT_EQ(q->SQL_MSSQL(), e.mssql);
        EXPECT_EQ(q->SQL_IB(), e.ib);
        EXPECT_EQ(q->ParamNames(), e.params);
        for (int i = 0; i < q->Params().Count(); ++i)
            EXPECT_TRUE(q->Params().Items(i)->IsNull()) << "a parameter starts null";
        checkFields(q, e.fields);
        // The settings every query shares.
        EXPECT_FALSE(q->Active());
        EXPECT_EQ(q->ADOLockType(), TADOIBQuery::ReadOnly);
        EXPECT_EQ(q->property("ADOCursorLocation").value<TADOIBQuery::CursorLocation>(),
                  TADOIBQuery::Client);
        EXPECT_EQ(q->property("ADOCursorType").value<TADOIBQuery::CursorType>(),
                  TADOIBQuery::Keyset);
        EXPECT_EQ(q->property("ADOCacheSize").toInt(), 1);
        EXPECT_EQ(q->ADOMaxRecords(), 0);
        for (const char *off :
             {"ADOPrepared", "ADOEnableBCD", "ADOFiltered", "CachedUpdates", "ObjectView"})
            EXPECT_FALSE(q->property(off).toBool()) << off;
        EXPECT_TRUE(q->property("ADOExecuteOptions").toStringList().isEmpty());
        EXPECT_EQ(q->property("ADOMarshalOptions").value<TADOIBQuery::MarshalOptions>(),
                  TADOIBQuery::MarshalAll);
        EXPECT_TRUE(q->ParamCheck());
        EXPECT_TRUE(q->property("AutoCalcFields").toBool());
        EXPECT_TRUE(q->property("Constraints").toStringList().isEmpty());
        EXPECT_EQ(q->ADOConnection(), QStringLiteral("dtmDBGeral.adcGeral"));
        EXPECT_EQ(q->DataBase(), QStringLiteral("dtmDBGeral.dtbGeral"));
        EXPECT_EQ(q->Transaction(), QStringLiteral("dtmDBGeral.ibtGeral"));
        if (e.dataSource) {
            auto *source = component<TDataSource>(e.dataSource);
            EXPECT_EQ(q->DataSource(), source);
            ASSERT_NE(source, nullptr);
            EXPECT_EQ(source->DataSet(), q);
        } else {
            EXPECT_EQ(q->DataSource(), nullptr);
        }
    }
    EXPECT_EQ(form()->findChildren<TADOIBQuery *>().size(), 8);
}

TEST(ModuleDataTest, InMemoryDataSetsAreDefinedAsWritten)
{
    for (const ClientDef &e : clientDataSets()) {
        SCOPED_TRACE(e.name);
        auto *cds = component<TClientDataSet>(e.name);
        ASSERT_NE(cds, nullptr);
        EXPECT_FALSE(cds->Active());
        checkFields(cds, e.fields);
        for (const QString &source : e.sources) {
            auto *s = component<TDataSource>(qPrintable(source));
            ASSERT_NE(s, nullptr);
            EXPECT_EQ(s->DataSet(), cds);
        }
    }
    EXPECT_EQ(form()->findChildren<TClientDataSet *>().size(), 4);
    EXPECT_EQ(form()->findChildren<TDataSource *>().size(), 11);
}

TEST(ModuleDataTest, InMemoryDataSetsTakeTheServersAnswersAndRefuseOthers)
{
    auto *cds = component<TClientDataSet>("cdsDtFim");
    ASSERT_NE(cds, nullptr);
    const auto packet = [](const char *json) { return QJsonDocument::fromJson(json).object(); };
    cds->SetDataPacket(packet(R"({"fields":[{"name":"DTINICIAL","type":"string","size":13},
        {"name":"DTFINAL","type":"string","size":13},{"name":"DTINIPERIODO","type":"datetime"},
        {"name":"DTFIMPERIODO","type":"datetime"}],
        "rows":[["01/01/2024","31/01/2024",45292,45322]],"status":0,"message":""})"));
    EXPECT_EQ(cds->FieldByName(QStringLiteral("DTFINAL"))->AsString(),
              QStringLiteral("31/01/2024"));
    QStringList visible;
    for (TField *f : cds->VisibleFields())
        visible << f->DisplayName();
    EXPECT_EQ(visible, (QStringList{"Data Inicial", "Data Final"}));
    try {
        cds->SetDataPacket(packet(R"({"fields":[{"name":"DTINICIAL","type":"string"},
            {"name":"DTFINAL","type":"datetime"},{"name":"DTINIPERIODO","type":"datetime"},
            {"name":"DTFIMPERIODO","type":"datetime"}],"rows":[],"status":0})"));
        FAIL() << "a final date sent as a date-time does not fit";
    } catch (const EDatabaseError &e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("DTFINAL"))) << qPrintable(e.Message());
    }
}

// The handlers' sequence: Close, parameters by name (a text, or cleared to null), Open, then
// the rows through the declared fields (or the result's own columns).
using Table = QList<QStringList>;
Table run(TADOIBQuery *q, const QList<QPair<QString, QVariant>> &params,
          QStringList *columns = nullptr)
{
    q->Close();
    for (const auto &p : params) {
        if (p.second.isNull())
            q->ParamByName(p.first)->Clear();
        else
            q->ParamByName(p.first)->SetAsString(p.second.toString());
    }
    q->Open();
    if (columns) {
        columns->clear();
        for (const TDataSet::Column &c : q->Columns())
            *columns << c.name.toUpper();
    }
    Table rows;
    for (q->First(); !q->Eof(); q->Next()) {
        QStringList row;
        for (TField *f : q->Fields())
            row << f->AsString();
        rows << row;
    }
    return rows;
}

const QVariant null;

class ModuleQueryTest : public ::testing::TestWithParam<QString>
{
protected:
    void SetUp() override
    {
        db = std::make_unique<Velmora::Test::ScratchDatabase>(GetParam());
        Velmora::Db::LoadFixtureFile(db->Connection(),
                                     QStringLiteral(VELMORA_SHARED_FIXTURES "/fis01400.json"));
        // The queries name the shared objects; here they point at this engine's database.
        shared = std::make_unique<TdtmDBGeral>(db->Settings());
    }
    void TearDown() override
    {
        for (TADOIBQuery *q : form()->findChildren<TADOIBQuery *>())
            q->Close();
        shared.reset();
    }

    std::unique_ptr<Velmora::Test::ScratchDatabase> db;
    std::unique_ptr<TdtmDBGeral> shared;
};

TEST_P(ModuleQueryTest, TaxesListedAndCheckedOnlyWithTaxRows)
{
    auto *q = component<TADOIBQuery>("qryImposto");
    QStringList columns;
    EXPECT_EQ(run(q, {{"P_CDIMPOSTO", null}}, &columns), (Table{{"01", "ICMS", "E"},
                                                                {"02", "IPI", "F"},
                                                                {"03", "ISS", "M"},
                                                                {"04", "PIS", ""},
                                                                {"05", "COFINS", ""},
                                                                {"06", "ICMS ST", "E"}}))
        << "07 has no tax rows: not listed";
    EXPECT_EQ(columns, (QStringList{"CDIMPOSTONFE", "SGIMPOSTONFE", "IDORGARRECADNFE"}));
    EXPECT_EQ(run(q, {{"P_CDIMPOSTO", "03"}}), (Table{{"03", "ISS", "M"}}));
    EXPECT_TRUE(run(q, {{"P_CDIMPOSTO", "07"}}).isEmpty()) << "nor accepted";
    EXPECT_TRUE(run(q, {{"P_CDIMPOSTO", "99"}}).isEmpty());
    EXPECT_TRUE(run(q, {{"P_CDIMPOSTO", ""}}).isEmpty()) << "the empty text is no null";
}

TEST_P(ModuleQueryTest, CompaniesListedInCodeOrderAndChecked)
{
    auto *q = component<TADOIBQuery>("qryEmpresa");
    QStringList columns;
    EXPECT_EQ(run(q, {{"P_CDEMPRESA", null}}, &columns),
              (Table{{"01", "Velmora Indústria e Comércio S.A."},
                     {"02", "Atlântica Distribuidora Ltda"},
                     {"10", "Serra Verde Alimentos Ltda"}}));
    EXPECT_EQ(columns, (QStringList{"CDEMPRESA", "NMEMPRESA"}));
    EXPECT_EQ(run(q, {{"P_CDEMPRESA", "02"}}), (Table{{"02", "Atlântica Distribuidora Ltda"}}));
    EXPECT_TRUE(run(q, {{"P_CDEMPRESA", "99"}}).isEmpty());
    EXPECT_TRUE(q->IsEmpty());
    EXPECT_EQ(q->FieldByName(QStringLiteral("NMEMPRESA"))->AsString(), QString());
}

TEST_P(ModuleQueryTest, RegistrationsInListAndCheckMode)
{
    auto *state = component<TADOIBQuery>("qryInscEsta");
    EXPECT_EQ(run(state, {{"P_CDEMPRESA", "01"}, {"P_CDINSCESTA", null}, {"P_TCDINSCESTA", "T"}}),
              (Table{{"110042490114"}, {"206001234567"}}))
        << "every registration of the company and no other company's";
    EXPECT_EQ(
        run(state,
            {{"P_CDEMPRESA", "01"}, {"P_CDINSCESTA", "206001234567"}, {"P_TCDINSCESTA", null}}),
        (Table{{"206001234567"}}));
    EXPECT_TRUE(
        run(state,
            {{"P_CDEMPRESA", "01"}, {"P_CDINSCESTA", "110099887766"}, {"P_TCDINSCESTA", null}})
            .isEmpty())
        << "a registration of another company";
    EXPECT_EQ(
        run(state,
            {{"P_CDEMPRESA", "02"}, {"P_CDINSCESTA", "110099887766"}, {"P_TCDINSCESTA", null}}),
        (Table{{"110099887766"}}));
    EXPECT_TRUE(run(state, {{"P_CDEMPRESA", "10"}, {"P_CDINSCESTA", null}, {"P_TCDINSCESTA", "T"}})
                    .isEmpty());

    auto *city = component<TADOIBQuery>("qryInscrMuni");
    EXPECT_EQ(run(city, {{"P_CDEMPRESA", "01"}, {"P_CDINSCMUNI", null}, {"P_TCDINSCMUNI", "T"}}),
              (Table{{"12345678"}, {"87654321"}}));
    EXPECT_EQ(
        run(city, {{"P_CDEMPRESA", "01"}, {"P_CDINSCMUNI", "87654321"}, {"P_TCDINSCMUNI", null}}),
        (Table{{"87654321"}}));
    EXPECT_TRUE(
        run(city, {{"P_CDEMPRESA", "01"}, {"P_CDINSCMUNI", "55554444"}, {"P_TCDINSCMUNI", null}})
            .isEmpty());
    EXPECT_TRUE(
        run(city, {{"P_CDEMPRESA", "02"}, {"P_CDINSCMUNI", "55554444"}, {"P_TCDINSCMUNI", ""}})
            .size() == 1);
}

TEST_P(ModuleQueryTest, SuppliersInNameOrderBranchesInCodeOrder)
{
    EXPECT_EQ(run(component<TADOIBQuery>("qryFornecedor"), {}),
              (Table{{"04252011000110", "Alfa Distribuidora S.A.", "J"},
                     {"61582743000101", "Beta Transportes Ltda", "J"},
                     {"90551234000209", "Gama Metalúrgica do Vale EIRELI", "J"},
                     {"12345678909", "José Ribeiro Lima", "F"},
                     {"52998224725", "Maria das Graças Souza", "F"},
                     {"11222333000181", "Zeta Comércio de Papéis Ltda", "J"}}));
    EXPECT_EQ(run(component<TADOIBQuery>("qryFiliOrig"), {}),
              (Table{{"0001", "Matriz São Paulo"},
                     {"0002", "Filial Campinas"},
                     {"0101", "Matriz Recife"},
                     {"10", "Centro de Distribuição Goiânia"}}));
}

TEST_P(ModuleQueryTest, OneMunicipalRegistrationWithTheResultsOwnColumns)
{
    auto *q = component<TADOIBQuery>("qryVdInscrMuni");
    QStringList columns;
    EXPECT_EQ(run(q, {{"P_EMPRESA", "01"}, {"P_INSCMUNI", "12345678"}}, &columns),
              (Table{{"01", "12345678"}}));
    EXPECT_EQ(columns, (QStringList{"CDEMPRESA", "CDINSCMUNI"}));
    EXPECT_EQ(q->FieldByName(QStringLiteral("CDINSCMUNI"))->AsString(), QStringLiteral("12345678"));
    EXPECT_TRUE(run(q, {{"P_EMPRESA", "02"}, {"P_INSCMUNI", "12345678"}}).isEmpty());
}

TEST_P(ModuleQueryTest, CollectingBodiesOfASetOfTaxes)
{
    auto *q = component<TADOIBQuery>("qryOrgaoArrecadador");
    if (GetParam() == QLatin1String("firebird")) {
        // Its InterBase text is kept as written and calls CASE(...), a reserved word of
        // Firebird: no routine of that name can exist, and the parser, reading the start of a
        // CASE expression, stops at the comma after IDORGARRECADNFE. No handler opens this
        // query, so it is checked on SQLite and PostgreSQL only.
        try {
            run(q, {{"P_CDIMPOSTO", "'01','03'"}});
            ADD_FAILURE() << "CASE(...) cannot run on Firebird";
        } catch (const EDatabaseError &e) {
            EXPECT_TRUE(e.Message().contains(QStringLiteral("Token unknown - line 1, column 39")))
                << qPrintable(e.Message());
        }
        return;
    }
    QStringList columns;
    EXPECT_EQ(run(q, {{"P_CDIMPOSTO", "'01','03'"}}, &columns), (Table{{"1", "1"}}));
    EXPECT_EQ(columns, (QStringList{"MUNICIP", "ESTAD"}));
    EXPECT_EQ(run(q, {{"P_CDIMPOSTO", "'02','04'"}}), (Table{{"0", "0"}}));
    EXPECT_EQ(run(q, {{"P_CDIMPOSTO", "'06'"}}), (Table{{"1", "0"}}))
        << "fields are ESTAD, MUNICIP";
    EXPECT_EQ(run(q, {{"P_CDIMPOSTO", "'99'"}}), (Table{{"", ""}})) << "no tax occurs: both null";
}

INSTANTIATE_TEST_SUITE_P(Engines, ModuleQueryTest,
                         ::testing::ValuesIn(Velmora::Test::EngineNames()),
                         [](const auto &info) { return Velmora::Test::EngineLabel(info.param); });

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    delete form();
    return result;
}
