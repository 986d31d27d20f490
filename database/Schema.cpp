#include "Schema.h"

#include "Databases.h"
#include "Routines.h"
#include "SchemaPart.h"
#include "data/DBConnection.h"
#include "rtl/Exceptions.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace Velmora::Db {

namespace {

ColumnDef text(const char *name, int size, bool notNull = false)
{
    return {QLatin1String(name), ColumnType::Text, size, notNull};
}

// The tables of the platform: companies, taxes, registrations, suppliers, branches and the
// screens' saved parameter sets, the reports sent to the background and their schedules.
QVector<TableDef> define()
{
    QVector<TableDef> t;
    t << TableDef{
        "EMPRESA", {text("CDEMPRESA", 2, true), text("NMEMPRESA", 40)}, {"CDEMPRESA"}, {}, {}};
    // An empty or null collecting body means the tax has no registration.
    t << TableDef{
        "IMPOSTONFE",
        {text("CDIMPOSTONFE", 2, true), text("SGIMPOSTONFE", 10), text("IDORGARRECADNFE", 1)},
        {"CDIMPOSTONFE"},
        {},
        {}};
    t << TableDef{
        "IMPOSTO",
        {text("CDIMPOSTO", 4, true), text("NMIMPOSTO", 40), text("CDIMPOSTONFE", 2, true)},
        {"CDIMPOSTO"},
        {{"FK_IMPOSTO_IMPOSTONFE", {"CDIMPOSTONFE"}, "IMPOSTONFE", {"CDIMPOSTONFE"}}},
        {{"IX_IMPOSTO_IMPOSTONFE", {"CDIMPOSTONFE"}, true}}};
    t << TableDef{"INSCRESTAD",
                  {text("CDEMPRESA", 2, true), text("CDINSCESTA", 16, true)},
                  {"CDEMPRESA", "CDINSCESTA"},
                  {{"FK_INSCRESTAD_EMPRESA", {"CDEMPRESA"}, "EMPRESA", {"CDEMPRESA"}}},
                  {}};
    t << TableDef{"INSCRMUNICIP",
                  {text("CDEMPRESA", 2, true), text("CDINSCMUNI", 16, true)},
                  {"CDEMPRESA", "CDINSCMUNI"},
                  {{"FK_INSCRMUNICIP_EMPRESA", {"CDEMPRESA"}, "EMPRESA", {"CDEMPRESA"}}},
                  {}};
    // "J" a company (14-digit CNPJ), "F" a person (11-digit CPF).
    t << TableDef{
        "FORNECEDOR",
        {text("NRINSJURFORN", 14, true), text("NMRAZSOCFORN", 40), text("IDTPIJURFORN", 1)},
        {"NRINSJURFORN"},
        {},
        {{"IX_FORNECEDOR_NOME", {"NMRAZSOCFORN"}, false}}};
    t << TableDef{"FILIAL",
                  {text("CDFILIAL", 8, true), text("NMFILIAL", 30), text("CDEMPRESA", 2, true)},
                  {"CDFILIAL"},
                  {{"FK_FILIAL_EMPRESA", {"CDEMPRESA"}, "EMPRESA", {"CDEMPRESA"}}},
                  {{"IX_FILIAL_EMPRESA", {"CDEMPRESA"}, true}}};
    // Os conjuntos de parâmetros salvos de cada tela ("V", com nome) e os últimos valores de
    // cada usuário ("U", NMVARIANTE vazio); IDPADRAO "S" marca o padrão do dono naquela tela.
    // DSVALORES guarda os valores como um objeto JSON.
    t << TableDef{"VARIANTETELA",
                  {text("CDTELA", 8, true),
                   text("NMUSUARIO", 40, true),
                   text("IDTIPO", 1, true),
                   text("NMVARIANTE", 40, true),
                   text("IDPADRAO", 1),
                   {QStringLiteral("DSVALORES"), ColumnType::LongText},
                   {QStringLiteral("DTCRIACAO"), ColumnType::Timestamp},
                   {QStringLiteral("DTALTERACAO"), ColumnType::Timestamp},
                   {QStringLiteral("DTULTIMOUSO"), ColumnType::Timestamp}},
                  {"CDTELA", "NMUSUARIO", "IDTIPO", "NMVARIANTE"},
                  {},
                  {}};
    // Os relatórios mandados para segundo plano (AppServer::Jobs::JobQueue). IDSITUACAO: F
    // fila, G gerando, P pronto, E falhou, C cancelado. NMSERVIDOR o detém até DTLEASE;
    // IDCANCELAR "S" pede ao servidor que pare. A ocorrência de uma agenda entra uma vez só
    // (índice único; várias linhas sem agenda, com nulos, são aceitas nos três bancos).
    const auto timestamp = [](const char *name) {
        return ColumnDef{QLatin1String(name), ColumnType::Timestamp};
    };
    const auto count = [](const char *name) {
        return ColumnDef{QLatin1String(name), ColumnType::Integer};
    };
    t << TableDef{"RELATJOB",
                  {text("IDRELATJOB", 36, true),
                   text("CDTELA", 8, true),
                   text("CDRELATORIO", 20),
                   text("NMLAYOUT", 120),
                   text("DSVERSAOLAYOUT", 64),
                   text("NMUSUARIO", 40, true),
                   {QStringLiteral("DSPARAMETROS"), ColumnType::LongText},
                   text("IDFORMATO", 4, true),
                   text("CDAGENDA", 36),
                   timestamp("DTOCORRENCIA"),
                   text("IDSITUACAO", 1, true),
                   count("NRPERCENTUAL"),
                   {QStringLiteral("DSERRO"), ColumnType::LongText},
                   timestamp("DTSOLICITACAO"),
                   timestamp("DTINICIO"),
                   timestamp("DTFIM"),
                   text("NMARQUIVO", 1000),
                   text("DSSHA256", 64),
                   count("NRBYTES"),
                   count("NRPAGINAS"),
                   count("NRDOCUMENTOS"),
                   text("NMSERVIDOR", 100),
                   timestamp("DTLEASE"),
                   count("NRTENTATIVAS"),
                   text("IDCANCELAR", 1)},
                  {"IDRELATJOB"},
                  {},
                  {{"UX_RELATJOB_OCORRENCIA", {"CDAGENDA", "DTOCORRENCIA"}, false, true},
                   {"IX_RELATJOB_SITUACAO", {"IDSITUACAO", "DTSOLICITACAO"}},
                   {"IX_RELATJOB_USUARIO", {"NMUSUARIO"}}}};
    // IDFREQUENCIA: "M" todo mês no dia NRDIA (o último dia do mês quando ele é mais curto),
    // "S" toda semana no dia NRDIA (1 segunda … 7 domingo), "D" todo dia; HRHORARIO "hh:mm"
    // no relógio local. DTULTIMA é a última ocorrência já posta na fila. O modelo do job de
    // cada ocorrência: relatório, leiaute e versão, parâmetros (a forma de RELATJOB) e o
    // período relativo (NMPERIODO, a chave de RelativePeriod) escrito nos parâmetros de data
    // NMPARAMINICIO e NMPARAMFIM.
    t << TableDef{"RELATAGENDA",
                  {text("IDRELATAGENDA", 36, true),
                   text("CDTELA", 8, true),
                   text("NMUSUARIO", 40, true),
                   text("NMVARIANTE", 40, true),
                   text("IDFORMATO", 4, true),
                   text("IDFREQUENCIA", 1, true),
                   count("NRDIA"),
                   text("HRHORARIO", 5, true),
                   timestamp("DTCRIACAO"),
                   timestamp("DTULTIMA"),
                   text("CDRELATORIO", 20),
                   text("NMLAYOUT", 120),
                   text("DSVERSAOLAYOUT", 64),
                   {QStringLiteral("DSPARAMETROS"), ColumnType::LongText},
                   text("NMPERIODO", 30),
                   text("NMPARAMINICIO", 60),
                   text("NMPARAMFIM", 60)},
                  {"IDRELATAGENDA"},
                  {},
                  {}};
    return t;
}

QString typeDdl(const ColumnDef &c, Engine engine)
{
    switch (c.type) {
    case ColumnType::LongText:
        return engine == Engine::Firebird ? QStringLiteral("BLOB SUB_TYPE TEXT")
                                          : QStringLiteral("TEXT");
    case ColumnType::Timestamp:
        return QStringLiteral("TIMESTAMP");
    case ColumnType::Text:
        return QStringLiteral("VARCHAR(%1)").arg(c.size);
    case ColumnType::Date:
        return QStringLiteral("DATE");
    case ColumnType::Money:
        return QStringLiteral("NUMERIC(15,2)");
    case ColumnType::Rate:
        return QStringLiteral("NUMERIC(7,4)");
    case ColumnType::Integer:
        return engine == Engine::SQLite ? QStringLiteral("INTEGER") : QStringLiteral("BIGINT");
    }
    return {};
}

QString columnDdl(const ColumnDef &c, Engine engine)
{
    QString line = QStringLiteral("%1 %2").arg(c.name, typeDdl(c, engine));
    if (c.notNull)
        line += QStringLiteral(" NOT NULL");
    // SQLite takes any text in a DATE column: only a real "YYYY-MM-DD" may stay there
    // (a day the month lacks comes back from julianday() as another date); likewise a
    // timestamp, to the second.
    if (engine == Engine::SQLite && c.type == ColumnType::Date)
        line += QStringLiteral(" CHECK (%1 IS NULL OR %1 IS strftime('%Y-%m-%d', julianday(%1)))")
                    .arg(c.name);
    if (engine == Engine::SQLite && c.type == ColumnType::Timestamp)
        line += QStringLiteral(" CHECK (%1 IS NULL OR %1 IS strftime('%Y-%m-%d %H:%M:%S', "
                               "julianday(%1)))")
                    .arg(c.name);
    return line;
}

QString tableDdl(const TableDef &t, Engine engine)
{
    QStringList parts;
    for (const ColumnDef &c : t.columns)
        parts << QStringLiteral("  ") + columnDdl(c, engine);
    parts << QStringLiteral("  CONSTRAINT PK_%1 PRIMARY KEY (%2)").arg(t.name, t.key.join(", "));
    for (const ReferenceDef &r : t.references)
        parts << QStringLiteral("  CONSTRAINT %1 FOREIGN KEY (%2) REFERENCES %3 (%4)")
                     .arg(r.name, r.columns.join(", "), r.table, r.referenced.join(", "));
    return QStringLiteral("CREATE TABLE %1 (\n%2\n)")
        .arg(t.name, parts.join(QStringLiteral(",\n")));
}

QStringList indexDdl(const TableDef &t, Engine engine)
{
    QStringList statements;
    for (const IndexDef &i : t.indexes)
        if (!(i.coversForeignKey && engine == Engine::Firebird))
            statements << QStringLiteral("CREATE %1INDEX %2 ON %3 (%4)")
                              .arg(i.unique ? QStringLiteral("UNIQUE ") : QString(), i.name, t.name,
                                   i.columns.join(", "));
    return statements;
}

bool contains(const QStringList &names, const QString &name)
{
    return names.contains(name, Qt::CaseInsensitive);
}

// Read from an empty answer rather than the driver's catalogue, whose case rules differ by engine.
QStringList columnsOf(DBConnection &db, const QString &table)
{
    QSqlQuery q(db.Database());
    if (!q.exec(QStringLiteral("SELECT * FROM %1 WHERE 1 = 0").arg(table)))
        throw EDatabaseError(QStringLiteral("As colunas da tabela %1 não puderam ser lidas no "
                                            "banco de dados %2: %3")
                                 .arg(table, db.Settings().describe(), q.lastError().text()));
    const QSqlRecord record = q.record();
    QStringList names;
    for (int i = 0; i < record.count(); ++i)
        names << record.fieldName(i);
    return names;
}

// Firebird commits each definition by itself; the others run the statements as a whole.
void runDefinitions(DBConnection &db, const QStringList &statements)
{
    const bool whole = db.engine() != Engine::Firebird;
    if (whole)
        db.StartTransaction();
    try {
        for (const QString &statement : statements)
            db.Execute(statement);
        if (whole)
            db.Commit();
    } catch (...) {
        if (whole) {
            try {
                db.Rollback();
            } catch (const EDatabaseError &) {
                // The failed statement is the news; the rollback's own failure adds nothing.
            }
        }
        throw;
    }
}

} // namespace

const ColumnDef *TableDef::column(const QString &wanted) const
{
    for (const ColumnDef &c : columns)
        if (c.name.compare(wanted, Qt::CaseInsensitive) == 0)
            return &c;
    return nullptr;
}

const QVector<TableDef> &Tables()
{
    // The platform's tables, then the modules' parts, which refer to them.
    static const QVector<TableDef> tables = define() + BuiltInSchemaParts();
    return tables;
}

const TableDef *FindTable(const QString &name)
{
    for (const TableDef &t : Tables())
        if (t.name.compare(name, Qt::CaseInsensitive) == 0)
            return &t;
    return nullptr;
}

QStringList CreateStatements(Engine engine)
{
    QStringList statements;
    for (const TableDef &t : Tables())
        statements << tableDdl(t, engine);
    for (const TableDef &t : Tables())
        statements << indexDdl(t, engine);
    statements << RoutineStatements(engine);
    return statements;
}

bool SchemaExists(DBConnection &db)
{
    const QStringList tables = db.Database().tables(QSql::Tables);
    for (const QString &t : tables)
        if (t.compare(QLatin1String("EMPRESA"), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

void CreateSchema(DBConnection &db)
{
    const QStringList existing = db.Database().tables(QSql::Tables);
    for (const TableDef &t : Tables())
        if (contains(existing, t.name))
            throw EDatabaseError(
                QStringLiteral("A tabela %1 já existe no banco de dados %2: o esquema não foi "
                               "criado.")
                    .arg(t.name, db.Settings().describe()));
    runDefinitions(db, CreateStatements(db.engine()));
}

QStringList SchemaUpgrade::lines() const
{
    QStringList out;
    for (const QString &table : tables)
        out << QStringLiteral("Tabela %1 criada.").arg(table);
    for (const QString &column : columns)
        out << QStringLiteral("Coluna %1 criada.").arg(column);
    if (writeAheadLog)
        out << QStringLiteral("Arquivo SQLite posto no modo WAL.");
    return out;
}

SchemaUpgrade UpgradeSchema(DBConnection &db)
{
    if (!SchemaExists(db))
        throw EDatabaseError(QStringLiteral("O banco de dados %1 não tem o esquema: use "
                                            "velmora-db create.")
                                 .arg(db.Settings().describe()));
    const QStringList existing = db.Database().tables(QSql::Tables);
    SchemaUpgrade done;
    QStringList statements;
    for (const TableDef &t : Tables()) {
        if (!contains(existing, t.name)) {
            done.tables << t.name;
            statements << tableDdl(t, db.engine()) << indexDdl(t, db.engine());
            continue;
        }
        const QStringList present = columnsOf(db, t.name);
        for (const ColumnDef &c : t.columns) {
            if (contains(present, c.name))
                continue;
            // The rows already there would have no value for it.
            if (c.notNull)
                throw EDatabaseError(
                    QStringLiteral("A coluna %1.%2 é obrigatória e falta no banco de dados %3: "
                                   "ela não pode ser acrescentada a uma tabela que já tem linhas; "
                                   "o esquema não foi atualizado.")
                        .arg(t.name, c.name, db.Settings().describe()));
            done.columns << t.name + QLatin1Char('.') + c.name;
            statements
                << QStringLiteral("ALTER TABLE %1 ADD %2").arg(t.name, columnDdl(c, db.engine()));
        }
    }
    if (!statements.isEmpty())
        runDefinitions(db, statements);
    done.writeAheadLog = UseWriteAheadLog(db);
    return done;
}

} // namespace Velmora::Db
