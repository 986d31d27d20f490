#include "Databases.h"

#include "data/FirebirdApi.h"

#include "rtl/Exceptions.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>

namespace Velmora::Db {

namespace {

// Identifiers cannot be bound: the database name is quoted as an identifier instead.
QString quotedIdentifier(const QString &name)
{
    QString q = name;
    q.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + q + QLatin1Char('"');
}

ConnectionSettings maintenance(const ConnectionSettings &settings)
{
    ConnectionSettings m = settings;
    m.database = QStringLiteral("postgres");
    return m;
}

void postgresql(const ConnectionSettings &settings, bool create)
{
    DBConnection server(maintenance(settings));
    QSqlQuery q(server.Database());
    q.prepare(QStringLiteral("SELECT 1 FROM pg_database WHERE datname = :NAME"));
    q.bindValue(QStringLiteral(":NAME"), settings.database);
    if (!q.exec())
        throw EDatabaseError(QStringLiteral("Não foi possível consultar os bancos de dados do "
                                            "servidor PostgreSQL: %1")
                                 .arg(q.lastError().text()));
    const bool exists = q.next();
    q.finish();
    if (create && !exists)
        server.Execute(QStringLiteral("CREATE DATABASE %1 ENCODING 'UTF8' TEMPLATE template0")
                           .arg(quotedIdentifier(settings.database)));
    else if (!create && exists)
        server.Execute(QStringLiteral("DROP DATABASE %1 WITH (FORCE)")
                           .arg(quotedIdentifier(settings.database)));
}

QString sqlText(const QString &text)
{
    QString q = text;
    q.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QLatin1Char('\'') + q + QLatin1Char('\'');
}

void firebirdCreate(const ConnectionSettings &s, Durability durability)
{
    if (s.host.isEmpty() && QFileInfo::exists(s.database))
        return;
    if (s.host.isEmpty())
        QDir().mkpath(QFileInfo(s.database).absolutePath());
    const FirebirdApi &fb = FirebirdApi::get();
    const QString user = s.user.isEmpty() ? QStringLiteral("SYSDBA") : s.user;
    QString statement =
        QStringLiteral("CREATE DATABASE %1 USER %2").arg(sqlText(FirebirdPath(s)), sqlText(user));
    if (!s.password.isEmpty())
        statement += QStringLiteral(" PASSWORD %1").arg(sqlText(s.password));
    statement += QStringLiteral(" PAGE_SIZE 16384 DEFAULT CHARACTER SET UTF8");
    ISC_STATUS_ARRAY status{};
    isc_db_handle db = 0;
    isc_tr_handle tr = 0;
    const QByteArray utf8 = statement.toUtf8();
    if (fb.executeImmediate(status, &db, &tr, 0, utf8.constData(), SQL_DIALECT_V6, nullptr))
        throw EDatabaseError(QStringLiteral("Não foi possível criar o banco de dados %1: %2")
                                 .arg(s.describe(), fb.message(status)));
    fb.detach(status, &db);
    if (durability == Durability::Throwaway)
        SetForcedWrites(s, false);
}

void firebirdDrop(const ConnectionSettings &s)
{
    if (s.host.isEmpty() && !QFileInfo::exists(s.database))
        return;
    const FirebirdApi &fb = FirebirdApi::get();
    const QByteArray dpb = FirebirdDpb(s, {});
    ISC_STATUS_ARRAY status{};
    isc_db_handle db = 0;
    const QByteArray path = FirebirdPath(s).toUtf8();
    if (fb.attach(status, 0, path.constData(), &db, static_cast<short>(dpb.size()),
                  dpb.constData()))
        throw EDatabaseError(QStringLiteral("Não foi possível abrir o banco de dados %1 para "
                                            "removê-lo: %2")
                                 .arg(s.describe(), fb.message(status)));
    if (fb.drop(status, &db)) {
        const QString why = fb.message(status);
        fb.detach(status, &db);
        throw EDatabaseError(QStringLiteral("Não foi possível remover o banco de dados %1: %2")
                                 .arg(s.describe(), why));
    }
}

} // namespace

void SetForcedWrites(const ConnectionSettings &s, bool on)
{
    if (s.engine() != Engine::Firebird)
        return;
    const FirebirdApi &fb = FirebirdApi::get();
    // A flag in the database's header, set by an attachment that asks for it.
    QByteArray item;
    item.append(char(isc_dpb_force_write)).append(char(1)).append(char(on ? 1 : 0));
    const QByteArray dpb = FirebirdDpb(s, item);
    const QByteArray path = FirebirdPath(s).toUtf8();
    ISC_STATUS_ARRAY status{};
    isc_db_handle db = 0;
    if (fb.attach(status, 0, path.constData(), &db, static_cast<short>(dpb.size()),
                  dpb.constData()))
        throw EDatabaseError(QStringLiteral("Não foi possível configurar o banco de dados %1: %2")
                                 .arg(s.describe(), fb.message(status)));
    fb.detach(status, &db);
}

bool UseWriteAheadLog(DBConnection &db)
{
    if (db.engine() != Engine::SQLite)
        return false;
    QSqlQuery mode(db.Database());
    if (!mode.exec(QStringLiteral("PRAGMA journal_mode")) || !mode.next())
        throw EDatabaseError(QStringLiteral("Não foi possível ler o modo do arquivo %1: %2")
                                 .arg(db.Settings().describe(), mode.lastError().text()));
    if (mode.value(0).toString().compare(QLatin1String("wal"), Qt::CaseInsensitive) == 0)
        return false;
    // The answer is the mode in force: another program holding the file keeps it as it was.
    if (!mode.exec(QStringLiteral("PRAGMA journal_mode = WAL")) || !mode.next() ||
        mode.value(0).toString().compare(QLatin1String("wal"), Qt::CaseInsensitive) != 0)
        throw EDatabaseError(
            QStringLiteral("Não foi possível pôr o arquivo %1 no modo WAL (feche os programas que "
                           "o usam e tente de novo): %2")
                .arg(db.Settings().describe(), mode.lastError().text()));
    return true;
}

void CreateDatabase(const ConnectionSettings &settings, Durability durability)
{
    switch (settings.engine()) {
    case Engine::SQLite: {
        ConnectionSettings s = settings;
        s.createIfMissing = true;
        QDir().mkpath(QFileInfo(s.database).absolutePath());
        DBConnection db(s);
        db.Open();
        UseWriteAheadLog(db);
        return;
    }
    case Engine::PostgreSQL:
        postgresql(settings, true);
        return;
    case Engine::Firebird:
        firebirdCreate(settings, durability);
        return;
    default:
        throw EDatabaseError(QStringLiteral("Criar bancos de dados %1 não é suportado.")
                                 .arg(EngineName(settings.engine())));
    }
}

void DropDatabase(const ConnectionSettings &settings)
{
    switch (settings.engine()) {
    case Engine::SQLite:
        if (QFileInfo::exists(settings.database) && !QFile::remove(settings.database))
            throw EDatabaseError(
                QStringLiteral("Não foi possível remover o arquivo %1.").arg(settings.database));
        return;
    case Engine::PostgreSQL:
        postgresql(settings, false);
        return;
    case Engine::Firebird:
        firebirdDrop(settings);
        return;
    default:
        throw EDatabaseError(QStringLiteral("Remover bancos de dados %1 não é suportado.")
                                 .arg(EngineName(settings.engine())));
    }
}

} // namespace Velmora::Db
