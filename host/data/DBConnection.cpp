#include "DBConnection.h"

#include "EngineSupport_p.h"
#include "rtl/Exceptions.h"
#include "rtl/Settings.h"
#include "rtl/TDateTime.h"

#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>

#include <atomic>
#include <cstdio>

namespace Velmora {

namespace {
std::atomic<quint64> connectionCounter{0};

QString errorText(const QSqlError &error)
{
    QString text = error.databaseText().trimmed();
    const QString driver = error.driverText().trimmed();
    if (text.isEmpty())
        text = driver;
    else if (!driver.isEmpty() && !text.contains(driver))
        text = driver + QStringLiteral(": ") + text;
    return text.isEmpty() ? QStringLiteral("erro desconhecido") : text;
}

// Why a connection could not be made: the usual causes in the user's words, any other as the
// driver gives it.
QString connectFailureText(const QSqlError &error)
{
    const QString text = errorText(error);
    const auto says = [&text](const char *words) {
        return text.contains(QLatin1String(words), Qt::CaseInsensitive);
    };
    if (says("Connection refused") || says("Unable to complete network request"))
        return QStringLiteral("o servidor recusou a conexão (não está em execução ou o endereço "
                              "está errado)");
    if (says("timeout expired") || says("timed out"))
        return QStringLiteral("o servidor não respondeu a tempo");
    if (says("password authentication failed") || says("user name and password are not defined"))
        return QStringLiteral("usuário ou senha recusados pelo servidor");
    return text;
}

QString aliveStatement(Engine engine)
{
    switch (engine) {
    case Engine::Firebird:
        return QStringLiteral("SELECT 1 FROM RDB$DATABASE");
    case Engine::Oracle:
        return QStringLiteral("SELECT 1 FROM DUAL");
    default:
        return QStringLiteral("SELECT 1");
    }
}
} // namespace

ConnectionSettings ConnectionSettings::fromSettings(const Velmora::Settings &s)
{
    ConnectionSettings c;
    c.driver = s.dbDriver;
    c.database = s.dbDatabase;
    c.host = s.dbHost;
    c.port = s.dbPort;
    c.user = s.dbUser;
    c.password = s.dbPassword;
    return c;
}

QString ConnectionSettings::describe() const
{
    QString where = QStringLiteral("'%1'").arg(database);
    if (!host.isEmpty())
        where += port > 0 ? QStringLiteral(" em %1:%2").arg(host).arg(port)
                          : QStringLiteral(" em %1").arg(host);
    return QStringLiteral("%1 (%2)").arg(where, EngineName(engine()));
}

DBConnection::DBConnection(const ConnectionSettings &settings, QObject *parent)
    : QObject(parent), m_settings(settings),
      m_name(QStringLiteral("velmora-%1").arg(++connectionCounter))
{}

DBConnection::~DBConnection()
{
    Close();
    m_db = QSqlDatabase();
    if (QSqlDatabase::contains(m_name))
        QSqlDatabase::removeDatabase(m_name);
}

bool DBConnection::Connected() const
{
    return m_db.isValid() && m_db.isOpen();
}

void DBConnection::fail(const QString &what, const QString &detail) const
{
    throw EDatabaseError(detail.isEmpty() ? what : QStringLiteral("%1: %2").arg(what, detail));
}

void DBConnection::configure()
{
    const Engine e = engine();
    if (e == Engine::Unknown)
        fail(QStringLiteral("Driver de banco de dados '%1' desconhecido (use QSQLITE, QPSQL ou "
                            "QIBASE)")
                 .arg(m_settings.driver),
             {});
    if (e == Engine::Firebird)
        PrepareFirebirdEnvironment();
    const QString driver = m_settings.driver.trimmed().toUpper();
    if (!QSqlDatabase::isDriverAvailable(driver))
        fail(QStringLiteral("O driver de banco de dados %1 (%2) não está instalado")
                 .arg(driver, EngineName(e)),
             {});
    if (m_settings.database.isEmpty())
        fail(QStringLiteral("Nenhum banco de dados configurado (%1)").arg(EngineName(e)), {});
    const bool fileDatabase =
        e == Engine::SQLite || (e == Engine::Firebird && m_settings.host.isEmpty());
    if (fileDatabase && !m_settings.createIfMissing && !QFileInfo::exists(m_settings.database))
        fail(QStringLiteral("Arquivo de banco de dados '%1' não encontrado")
                 .arg(m_settings.database),
             {});

    if (!m_db.isValid())
        m_db = QSqlDatabase::addDatabase(driver, m_name);
    m_db.setDatabaseName(m_settings.database);
    m_db.setHostName(m_settings.host);
    if (m_settings.port > 0)
        m_db.setPort(m_settings.port);
    QString user = m_settings.user;
    if (user.isEmpty() && e == Engine::Firebird)
        user = QStringLiteral("SYSDBA");
    m_db.setUserName(user);
    m_db.setPassword(m_settings.password);
    switch (e) {
    case Engine::SQLite:
        m_db.setConnectOptions(
            QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(m_settings.lockWaitMs));
        break;
    case Engine::PostgreSQL:
        m_db.setConnectOptions(QStringLiteral("connect_timeout=5"));
        break;
    case Engine::Firebird:
        m_db.setConnectOptions(QStringLiteral("ISC_DPB_LC_CTYPE=UTF8"));
        break;
    default:
        break;
    }
}

void DBConnection::Open()
{
    if (Connected())
        return;
    configure();
    if (!m_db.open()) {
        const QString detail = connectFailureText(m_db.lastError());
        m_db.close();
        fail(QStringLiteral("Não foi possível conectar ao banco de dados %1")
                 .arg(m_settings.describe()),
             detail);
    }
    try {
        afterOpen();
    } catch (...) {
        m_db.close();
        throw;
    }
    m_inTransaction = false;
    ++m_generation;
}

void DBConnection::afterOpen()
{
    QSqlQuery q(m_db);
    switch (engine()) {
    case Engine::SQLite:
        if (!Internal::RegisterSqliteFunctions(m_db))
            fail(QStringLiteral("Não foi possível registrar as funções NVL, DECODE e NVLSTR no "
                                "banco de dados %1")
                     .arg(m_settings.describe()),
                 {});
        // Reading the catalogue makes SQLite look at the file now: a file that is no SQLite
        // database is refused at connect, not at the first query.
        if (!q.exec(QStringLiteral("PRAGMA foreign_keys = ON")) ||
            !q.exec(QStringLiteral("SELECT count(*) FROM sqlite_master"))) {
            // SQLITE_BUSY, SQLITE_LOCKED: a sound file another program holds locked.
            const QString code = q.lastError().nativeErrorCode();
            if (code == QLatin1String("5") || code == QLatin1String("6"))
                throw EDatabaseLocked(
                    QStringLiteral("O banco de dados %1 está bloqueado por outro programa")
                        .arg(m_settings.describe()));
            fail(QStringLiteral("O arquivo %1 não é um banco de dados SQLite válido")
                     .arg(m_settings.describe()),
                 errorText(q.lastError()));
        }
        break;
    case Engine::PostgreSQL:
        q.exec(QStringLiteral("SET client_min_messages = warning"));
        break;
    default:
        break;
    }
}

void DBConnection::Close()
{
    if (!m_db.isValid())
        return;
    emit AboutToClose();
    m_session.reset();
    m_db.close();
    m_inTransaction = false;
}

void DBConnection::Reconnect()
{
    Close();
    Open();
}

bool DBConnection::Alive()
{
    if (!Connected())
        return false;
    QSqlQuery q(m_db);
    return q.exec(aliveStatement(engine())) && q.next();
}

QSqlDatabase DBConnection::Database()
{
    Open();
    return m_db;
}

void DBConnection::Execute(const QString &sql, const QVariantList &values)
{
    Open();
    QSqlQuery q(m_db);
    bool ok = false;
    if (values.isEmpty()) {
        ok = q.exec(sql);
    } else {
        ok = q.prepare(sql);
        if (ok) {
            for (const QVariant &v : values)
                q.addBindValue(ToEngineValue(v, engine()));
            ok = q.exec();
        }
    }
    if (!ok)
        fail(QStringLiteral("Erro ao executar o comando \"%1\" no banco de dados %2")
                 .arg(sql.simplified().left(200), m_settings.describe()),
             errorText(q.lastError()));
}

void DBConnection::StartTransaction()
{
    Open();
    if (m_inTransaction)
        fail(QStringLiteral("Já existe uma transação aberta no banco de dados %1")
                 .arg(m_settings.describe()),
             {});
    if (!m_db.transaction())
        fail(QStringLiteral("Não foi possível iniciar uma transação no banco de dados %1")
                 .arg(m_settings.describe()),
             errorText(m_db.lastError()));
    m_inTransaction = true;
}

void DBConnection::Commit()
{
    if (!m_inTransaction)
        return;
    m_inTransaction = false;
    if (!m_db.commit())
        fail(QStringLiteral("Não foi possível confirmar a transação no banco de dados %1")
                 .arg(m_settings.describe()),
             errorText(m_db.lastError()));
}

void DBConnection::Rollback()
{
    if (!m_inTransaction)
        return;
    m_inTransaction = false;
    if (!m_db.rollback())
        fail(QStringLiteral("Não foi possível desfazer a transação no banco de dados %1")
                 .arg(m_settings.describe()),
             errorText(m_db.lastError()));
}

namespace {
// "YYYY-MM-DD" without the locale and time-zone work of QDateTime::toString.
QString isoDate(const QDate &date)
{
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", date.year(), date.month(), date.day());
    return QString::fromLatin1(text);
}
} // namespace

QVariant ToEngineValue(const QVariant &value, Engine engine)
{
    // The drivers bind a null QString as NULL; a text that was given is a text, even empty.
    if (value.metaType() == QMetaType::fromType<QString>())
        return value.toString().isNull() ? QVariant(QString::fromLatin1("")) : value;
    if (!value.isValid() || value.isNull()) {
        const QMetaType type =
            value.isValid() && value.metaType() != QMetaType::fromType<TDateTime>()
                ? value.metaType()
                : QMetaType::fromType<QString>();
        return QVariant(type);
    }
    QDate date;
    QDateTime moment;
    if (value.metaType() == QMetaType::fromType<TDateTime>()) {
        const TDateTime t = value.value<TDateTime>();
        if (t.datePart() == t)
            date = t.toDate();
        else
            moment = t.toDateTime();
    } else if (value.metaType() == QMetaType::fromType<QDate>()) {
        date = value.toDate();
    } else if (value.metaType() == QMetaType::fromType<QDateTime>()) {
        moment = value.toDateTime();
        if (moment.time() == QTime(0, 0))
            date = moment.date();
    } else {
        return value;
    }
    if (date.isValid())
        return engine == Engine::SQLite ? QVariant(isoDate(date)) : QVariant(date);
    if (engine == Engine::SQLite)
        return isoDate(moment.date()) + moment.time().toString(QStringLiteral(" HH:mm:ss"));
    return moment;
}

} // namespace Velmora
