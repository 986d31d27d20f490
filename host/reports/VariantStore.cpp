#include "VariantStore.h"

#include "data/DBConnection.h"
#include "data/EngineTimestamp.h"
#include "data/LongTextColumn.h"
#include "data/StoreStatement.h"
#include "rtl/Exceptions.h"

#include <QCollator>
#include <QJsonDocument>
#include <QLocale>
#include <QSqlQuery>

#include <algorithm>

namespace Velmora::Reports {

namespace {

const QString named = QStringLiteral("V");   // IDTIPO of a named set
const QString lastRun = QStringLiteral("U"); // IDTIPO of a user's last values
const QString yes = QStringLiteral("S");     // IDPADRAO
const QString no = QStringLiteral("N");
const QString noName = QString::fromLatin1(""); // NMVARIANTE of the last values
constexpr int maxName = 40;
constexpr int maxScreen = 8;

QString selectedColumns()
{
    return QStringLiteral("CDTELA, NMUSUARIO, NMVARIANTE, IDPADRAO, DSVALORES, %1, %2, %3")
        .arg(TimestampColumn(QStringLiteral("DTCRIACAO")),
             TimestampColumn(QStringLiteral("DTALTERACAO")),
             TimestampColumn(QStringLiteral("DTULTIMOUSO")));
}

const QString rowKey =
    QStringLiteral("CDTELA = ? AND NMUSUARIO = ? AND IDTIPO = ? AND NMVARIANTE = ?");

QString checkedName(const QString &name)
{
    const QString n = name.trimmed();
    if (n.isEmpty())
        throw Exception(QStringLiteral("A variante precisa de um nome: o nome não pode ficar "
                                       "vazio."));
    if (n.size() > maxName)
        throw Exception(QStringLiteral("O nome da variante '%1' tem %2 caracteres: o máximo é %3.")
                            .arg(n)
                            .arg(n.size())
                            .arg(maxName));
    return n;
}

void checkScreen(const QString &screen)
{
    if (screen.trimmed().isEmpty() || screen.size() > maxScreen)
        throw Exception(
            QStringLiteral("O código de tela '%1' não serve para variantes: deve ter de 1 a %2 "
                           "caracteres.")
                .arg(screen)
                .arg(maxScreen));
}

void checkKey(const QString &screen, const QString &owner)
{
    checkScreen(screen);
    if (owner.trimmed().isEmpty() || owner.size() > maxName)
        throw Exception(
            QStringLiteral("O usuário '%1' não serve como dono de variantes: o nome deve ter de 1 "
                           "a %2 caracteres.")
                .arg(owner)
                .arg(maxName));
}

const StoreTables variantTables{
    {QStringLiteral("VARIANTETELA")},
    QStringLiteral("A tabela de variantes (VARIANTETELA) não existe no banco de dados %1: execute "
                   "velmora-db upgrade.")};

// One statement of the store (see StoreStatement).
class Statement : public StoreStatement
{
public:
    Statement(DBConnection &db, const QString &what) : StoreStatement(db, variantTables, what) {}
};

void rollback(DBConnection &db)
{
    try {
        db.Rollback();
    } catch (const EDatabaseError &) {
        // What failed first is the news.
    }
}

QString compact(const QJsonObject &values)
{
    return QString::fromUtf8(QJsonDocument(values).toJson(QJsonDocument::Compact));
}

QDateTime now()
{
    const QDateTime t = QDateTime::currentDateTime();
    return t.addMSecs(-t.time().msec());
}

} // namespace

VariantStore::VariantStore(DBConnection *db) : m_db(db) {}

DBConnection &VariantStore::connection() const
{
    if (!m_db)
        throw EDatabaseError(QStringLiteral("Não há conexão com o banco de dados: as variantes "
                                            "não podem ser lidas nem gravadas."));
    return *m_db;
}

QList<SavedVariant> VariantStore::select(const QString &where, const QVariantList &values) const
{
    Statement read(connection(), QStringLiteral("ler as variantes"));
    QSqlQuery &q = read.run(
        QStringLiteral("SELECT %1 FROM VARIANTETELA WHERE %2").arg(selectedColumns(), where),
        values);
    QList<SavedVariant> out;
    while (q.next()) {
        SavedVariant v;
        v.screen = q.value(0).toString();
        v.owner = q.value(1).toString();
        v.name = q.value(2).toString();
        v.isDefault = q.value(3).toString() == yes;
        const std::optional<QJsonObject> parsed = Velmora::JsonObjectOfColumn(q.value(4));
        if (!parsed)
            throw EDatabaseError(
                v.name.isEmpty()
                    ? QStringLiteral("Os últimos valores de %1 na tela %2 estão corrompidos no "
                                     "banco de dados.")
                          .arg(v.owner, v.screen)
                    : QStringLiteral("A variante '%1' está corrompida no banco de dados.")
                          .arg(v.name));
        v.values = *parsed;
        v.created = TimestampFromEngine(q.value(5));
        v.changed = TimestampFromEngine(q.value(6));
        v.lastUsed = TimestampFromEngine(q.value(7));
        out << v;
    }
    return out;
}

QList<SavedVariant> VariantStore::list(const QString &screen) const
{
    checkScreen(screen);
    QList<SavedVariant> out = select(QStringLiteral("CDTELA = ? AND IDTIPO = ?"), {screen, named});
    // The engines order texts each its own way: the clerk reads them in Portuguese order.
    QCollator collator(QLocale(QLocale::Portuguese, QLocale::Brazil));
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(out.begin(), out.end(), [&](const SavedVariant &a, const SavedVariant &b) {
        if (const int byName = collator.compare(a.name, b.name))
            return byName < 0;
        if (const int byOwner = collator.compare(a.owner, b.owner))
            return byOwner < 0;
        return a.name + a.owner < b.name + b.owner;
    });
    return out;
}

std::optional<SavedVariant> VariantStore::find(const QString &screen, const QString &name,
                                               const QString &owner) const
{
    checkKey(screen, owner);
    const QList<SavedVariant> found =
        select(QStringLiteral("CDTELA = ? AND IDTIPO = ? AND NMVARIANTE = ?"),
               {screen, named, checkedName(name)});
    for (const SavedVariant &v : found)
        if (v.owner == owner)
            return v;
    if (found.size() == 1)
        return found.first();
    return std::nullopt;
}

void VariantStore::put(const QString &screen, const QString &owner, const QString &type,
                       const QString &name, const QJsonObject &values)
{
    const QString what = type == named ? QStringLiteral("gravar a variante '%1'").arg(name)
                                       : QStringLiteral("gravar os últimos valores");
    const QString json = compact(values);
    const QDateTime at = now();
    inTransaction([&] {
        Statement update(connection(), what);
        update.run(QStringLiteral("UPDATE VARIANTETELA SET DSVALORES = ?, DTALTERACAO = ? WHERE ") +
                       rowKey,
                   {json, at, screen, owner, type, name});
        if (update.affected() > 0)
            return;
        Statement(connection(), what)
            .run(QStringLiteral("INSERT INTO VARIANTETELA (CDTELA, NMUSUARIO, IDTIPO, NMVARIANTE, "
                                "IDPADRAO, DSVALORES, DTCRIACAO, DTALTERACAO) VALUES (?, ?, ?, ?, "
                                "?, ?, ?, ?)"),
                 {screen, owner, type, name, no, json, at, at});
    });
}

void VariantStore::save(const QString &screen, const QString &owner, const QString &name,
                        const QJsonObject &values)
{
    checkKey(screen, owner);
    put(screen, owner, named, checkedName(name), values);
}

void VariantStore::rename(const QString &screen, const QString &owner, const QString &from,
                          const QString &to)
{
    checkKey(screen, owner);
    const QString oldName = checkedName(from);
    const QString newName = checkedName(to);
    const QString what = QStringLiteral("renomear a variante '%1'").arg(oldName);
    inTransaction([&] {
        if (newName != oldName) {
            Statement taken(connection(), what);
            if (taken
                    .run(QStringLiteral("SELECT 1 FROM VARIANTETELA WHERE ") + rowKey,
                         {screen, owner, named, newName})
                    .next())
                throw Exception(QStringLiteral("Já existe uma variante '%1' de %2 na tela %3: "
                                               "escolha outro nome.")
                                    .arg(newName, owner, screen));
        }
        Statement update(connection(), what);
        update.run(
            QStringLiteral("UPDATE VARIANTETELA SET NMVARIANTE = ?, DTALTERACAO = ? WHERE ") +
                rowKey,
            {newName, now(), screen, owner, named, oldName});
        if (update.affected() == 0)
            noSuchSet(screen, owner, oldName);
    });
}

void VariantStore::remove(const QString &screen, const QString &owner, const QString &name)
{
    checkKey(screen, owner);
    const QString n = checkedName(name);
    Statement del(connection(), QStringLiteral("excluir a variante '%1'").arg(n));
    del.run(QStringLiteral("DELETE FROM VARIANTETELA WHERE ") + rowKey, {screen, owner, named, n});
    if (del.affected() == 0)
        noSuchSet(screen, owner, n);
}

void VariantStore::setDefault(const QString &screen, const QString &owner, const QString &name)
{
    checkKey(screen, owner);
    const QString n = name.trimmed().isEmpty() ? QString() : checkedName(name);
    const QString what = QStringLiteral("marcar a variante padrão");
    inTransaction([&] {
        Statement(connection(), what)
            .run(QStringLiteral("UPDATE VARIANTETELA SET IDPADRAO = ? WHERE CDTELA = ? AND "
                                "NMUSUARIO = ? AND IDTIPO = ? AND IDPADRAO = ?"),
                 {no, screen, owner, named, yes});
        if (n.isEmpty())
            return;
        Statement mark(connection(), what);
        mark.run(QStringLiteral("UPDATE VARIANTETELA SET IDPADRAO = ? WHERE ") + rowKey,
                 {yes, screen, owner, named, n});
        if (mark.affected() == 0)
            noSuchSet(screen, owner, n);
    });
}

std::optional<SavedVariant> VariantStore::defaultFor(const QString &screen,
                                                     const QString &owner) const
{
    checkKey(screen, owner);
    const QList<SavedVariant> found =
        select(QStringLiteral("CDTELA = ? AND NMUSUARIO = ? AND IDTIPO = ? AND IDPADRAO = ?"),
               {screen, owner, named, yes});
    if (found.isEmpty())
        return std::nullopt;
    return found.first();
}

void VariantStore::markUsed(const QString &screen, const QString &setOwner, const QString &name)
{
    checkKey(screen, setOwner);
    const QString n = checkedName(name);
    Statement used(connection(), QStringLiteral("registrar o uso da variante '%1'").arg(n));
    used.run(QStringLiteral("UPDATE VARIANTETELA SET DTULTIMOUSO = ? WHERE ") + rowKey,
             {now(), screen, setOwner, named, n});
    if (used.affected() == 0)
        noSuchSet(screen, setOwner, n);
}

void VariantStore::saveLastValues(const QString &screen, const QString &owner,
                                  const QJsonObject &values)
{
    checkKey(screen, owner);
    put(screen, owner, lastRun, noName, values);
}

std::optional<QJsonObject> VariantStore::lastValues(const QString &screen,
                                                    const QString &owner) const
{
    checkKey(screen, owner);
    const QList<SavedVariant> found = select(rowKey, {screen, owner, lastRun, noName});
    if (found.isEmpty())
        return std::nullopt;
    return found.first().values;
}

void VariantStore::inTransaction(const std::function<void()> &writes)
{
    DBConnection &db = connection();
    if (db.InTransaction()) {
        writes();
        return;
    }
    db.StartTransaction();
    try {
        writes();
        db.Commit();
    } catch (const EDatabaseError &) {
        rollback(db);
        // PostgreSQL could not look at its catalogue inside the failed transaction.
        if (db.engine() == Engine::PostgreSQL && !variantTables.presentIn(db))
            throw EDatabaseError(variantTables.missingIn(db));
        throw;
    } catch (...) {
        rollback(db);
        throw;
    }
}

void VariantStore::noSuchSet(const QString &screen, const QString &owner, const QString &name) const
{
    throw Exception(
        QStringLiteral("A variante '%1' de %2 não existe na tela %3.").arg(name, owner, screen));
}

} // namespace Velmora::Reports
