#include "Databases.h"

#include "rtl/Exceptions.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLibrary>
#include <QSqlError>
#include <QSqlQuery>

#include <ibase.h>

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

// The Firebird client, loaded when first needed (after the environment names its folders).
class FirebirdClient
{
public:
    FirebirdClient()
    {
        PrepareFirebirdEnvironment();
        m_lib.setFileNameAndVersion(QStringLiteral("fbclient"), 2);
        if (!m_lib.load())
            throw EDatabaseError(
                QStringLiteral("A biblioteca cliente do Firebird (libfbclient) não pôde ser "
                               "carregada: %1")
                    .arg(m_lib.errorString()));
        execute = resolve<decltype(execute)>("isc_dsql_execute_immediate");
        attach = resolve<decltype(attach)>("isc_attach_database");
        drop = resolve<decltype(drop)>("isc_drop_database");
        detach = resolve<decltype(detach)>("isc_detach_database");
        interpret = resolve<decltype(interpret)>("fb_interpret");
    }

    QString message(const ISC_STATUS *status) const
    {
        QStringList parts;
        char buffer[512];
        const ISC_STATUS *cursor = status;
        while (interpret(buffer, sizeof buffer, &cursor))
            parts << QString::fromUtf8(buffer);
        return parts.join(QStringLiteral(" - "));
    }

    decltype(&isc_dsql_execute_immediate) execute = nullptr;
    decltype(&isc_attach_database) attach = nullptr;
    decltype(&isc_drop_database) drop = nullptr;
    decltype(&isc_detach_database) detach = nullptr;
    decltype(&fb_interpret) interpret = nullptr;

private:
    template <class F> F resolve(const char *name)
    {
        auto f = reinterpret_cast<F>(m_lib.resolve(name));
        if (!f)
            throw EDatabaseError(
                QStringLiteral("A biblioteca cliente do Firebird não tem a função %1.")
                    .arg(QLatin1String(name)));
        return f;
    }

    QLibrary m_lib;
};

QString firebirdPath(const ConnectionSettings &s)
{
    if (s.host.isEmpty())
        return QDir::cleanPath(QFileInfo(s.database).absoluteFilePath());
    return s.port > 0 ? QStringLiteral("%1/%2:%3").arg(s.host).arg(s.port).arg(s.database)
                      : QStringLiteral("%1:%2").arg(s.host, s.database);
}

QString sqlText(const QString &text)
{
    QString q = text;
    q.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QLatin1Char('\'') + q + QLatin1Char('\'');
}

// The attachment's parameters: user, password, and any further items.
QByteArray firebirdDpb(const ConnectionSettings &s, const QByteArray &more)
{
    QByteArray dpb;
    dpb.append(char(isc_dpb_version1));
    const auto add = [&dpb](char tag, const QByteArray &value) {
        dpb.append(tag);
        dpb.append(char(value.size()));
        dpb.append(value);
    };
    add(char(isc_dpb_user_name), (s.user.isEmpty() ? QStringLiteral("SYSDBA") : s.user).toUtf8());
    if (!s.password.isEmpty())
        add(char(isc_dpb_password), s.password.toUtf8());
    return dpb + more;
}

void firebirdCreate(const ConnectionSettings &s, Durability durability)
{
    if (s.host.isEmpty() && QFileInfo::exists(s.database))
        return;
    if (s.host.isEmpty())
        QDir().mkpath(QFileInfo(s.database).absolutePath());
    FirebirdClient fb;
    const QString user = s.user.isEmpty() ? QStringLiteral("SYSDBA") : s.user;
    QString statement = QStringLiteral("CREATE DATABASE %1 USER %2")
                            .arg(sqlText(firebirdPath(s)), sqlText(user));
    if (!s.password.isEmpty())
        statement += QStringLiteral(" PASSWORD %1").arg(sqlText(s.password));
    statement += QStringLiteral(" PAGE_SIZE 16384 DEFAULT CHARACTER SET UTF8");
    ISC_STATUS_ARRAY status{};
    isc_db_handle db = 0;
    isc_tr_handle tr = 0;
    const QByteArray utf8 = statement.toUtf8();
    if (fb.execute(status, &db, &tr, 0, utf8.constData(), SQL_DIALECT_V6, nullptr))
        throw EDatabaseError(QStringLiteral("Não foi possível criar o banco de dados %1: %2")
                                 .arg(s.describe(), fb.message(status)));
    fb.detach(status, &db);
    if (durability == Durability::Throwaway) {
        // Forced writes are a flag of the database, set by an attachment that asks for it.
        QByteArray noForcedWrites;
        noForcedWrites.append(char(isc_dpb_force_write)).append(char(1)).append(char(0));
        const QByteArray dpb = firebirdDpb(s, noForcedWrites);
        const QByteArray path = firebirdPath(s).toUtf8();
        if (fb.attach(status, 0, path.constData(), &db, static_cast<short>(dpb.size()), dpb.constData()))
            throw EDatabaseError(QStringLiteral("Não foi possível configurar o banco de dados %1: %2")
                                     .arg(s.describe(), fb.message(status)));
        fb.detach(status, &db);
    }
}

void firebirdDrop(const ConnectionSettings &s)
{
    if (s.host.isEmpty() && !QFileInfo::exists(s.database))
        return;
    FirebirdClient fb;
    const QByteArray dpb = firebirdDpb(s, {});
    ISC_STATUS_ARRAY status{};
    isc_db_handle db = 0;
    const QByteArray path = firebirdPath(s).toUtf8();
    if (fb.attach(status, 0, path.constData(), &db, static_cast<short>(dpb.size()), dpb.constData()))
        throw EDatabaseError(QStringLiteral("Não foi possível abrir o banco de dados %1 para "
                                            "removê-lo: %2")
                                 .arg(s.describe(), fb.message(status)));
    if (fb.drop(status, &db)) {
        const QString why = fb.message(status);
        fb.detach(status, &db);
        throw EDatabaseError(
            QStringLiteral("Não foi possível remover o banco de dados %1: %2").arg(s.describe(), why));
    }
}

} // namespace

void CreateDatabase(const ConnectionSettings &settings, Durability durability)
{
    switch (settings.engine()) {
    case Engine::SQLite: {
        ConnectionSettings s = settings;
        s.createIfMissing = true;
        QDir().mkpath(QFileInfo(s.database).absolutePath());
        DBConnection db(s);
        db.Open();
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
