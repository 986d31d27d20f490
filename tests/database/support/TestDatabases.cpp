#include "TestDatabases.h"

#include "Databases.h"
#include "Fixture.h"
#include "Schema.h"
#include "rtl/Exceptions.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTextStream>

#include <atomic>
#include <unistd.h>

namespace Velmora::Test {

namespace {

// Under ctest the services' fixture writes its connection data to a file that this
// process did not inherit: take what the environment lacks from there.
void loadServiceEnvironment()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    const QString dir = qEnvironmentVariable("VELMORA_TEST_SERVICES_DIR");
    if (dir.isEmpty())
        return;
    QFile file(dir + QStringLiteral("/env"));
    if (!file.open(QIODevice::ReadOnly))
        return;
    QTextStream in(&file);
    while (!in.atEnd()) {
        QString line = in.readLine().trimmed();
        if (line.startsWith(QLatin1String("export ")))
            line = line.mid(7);
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq <= 0)
            continue;
        const QByteArray key = line.left(eq).toLatin1();
        QString value = line.mid(eq + 1);
        if (value.size() >= 2 && value.startsWith(QLatin1Char('\'')) &&
            value.endsWith(QLatin1Char('\'')))
            value = value.mid(1, value.size() - 2);
        if (qEnvironmentVariableIsEmpty(key.constData()))
            qputenv(key.constData(), value.toUtf8());
    }
}

// Engines hand numbers back as integers, doubles or decimals: compared as one form.
bool isNumber(const QVariant &v)
{
    switch (v.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
        return true;
    default:
        return false;
    }
}

QString uniqueName()
{
    static std::atomic<int> counter{0};
    return QStringLiteral("velmora_t_%1_%2").arg(getpid()).arg(++counter);
}

[[noreturn]] void unavailable(const QString &engine, const QString &what)
{
    throw EDatabaseError(QStringLiteral("%1 de teste indisponível: %2. Rode "
                                        "scripts/test-services start PASTA e exporte PASTA/env, "
                                        "ou limite VELMORA_TEST_ENGINES.")
                             .arg(engine, what));
}

} // namespace

QStringList EngineNames()
{
    loadServiceEnvironment();
    const QStringList all{QStringLiteral("sqlite"), QStringLiteral("postgresql"),
                          QStringLiteral("firebird")};
    const QString wanted = qEnvironmentVariable("VELMORA_TEST_ENGINES").trimmed();
    if (wanted.isEmpty())
        return all;
    QStringList names;
    for (const QString &n : wanted.split(QLatin1Char(','), Qt::SkipEmptyParts))
        names << n.trimmed().toLower();
    return names;
}

std::string EngineLabel(const QString &engine)
{
    if (engine == QLatin1String("postgresql"))
        return "PostgreSQL";
    if (engine == QLatin1String("firebird"))
        return "Firebird";
    if (engine == QLatin1String("sqlite"))
        return "SQLite";
    return engine.toStdString();
}

ScratchDatabase::ScratchDatabase(const QString &engine, bool withSchema)
{
    loadServiceEnvironment();
    if (engine == QLatin1String("sqlite")) {
        m_settings.driver = QStringLiteral("QSQLITE");
        m_settings.database = m_dir.filePath(QStringLiteral("test.sqlite"));
    } else if (engine == QLatin1String("postgresql")) {
        m_settings.driver = QStringLiteral("QPSQL");
        m_settings.host = qEnvironmentVariable("VELMORA_TEST_PG_HOST");
        m_settings.port = qEnvironmentVariableIntValue("VELMORA_TEST_PG_PORT");
        m_settings.user = qEnvironmentVariable("VELMORA_TEST_PG_USER");
        m_settings.password = qEnvironmentVariable("VELMORA_TEST_PG_PASSWORD");
        m_settings.database = uniqueName();
        if (m_settings.host.isEmpty() || m_settings.port <= 0)
            unavailable(
                QStringLiteral("PostgreSQL"),
                QStringLiteral("VELMORA_TEST_PG_HOST e VELMORA_TEST_PG_PORT não definidos"));
    } else if (engine == QLatin1String("firebird")) {
        m_settings.driver = QStringLiteral("QIBASE");
        const QString dir = qEnvironmentVariable("VELMORA_TEST_FB_DIR");
        m_settings.database = (dir.isEmpty() ? m_dir.path() : dir) + QLatin1Char('/') +
                              uniqueName() + QStringLiteral(".fdb");
        m_settings.user = QStringLiteral("SYSDBA");
    } else {
        throw EDatabaseError(QStringLiteral("Motor de teste '%1' desconhecido.").arg(engine));
    }
    // Throwaway data: no forced writes, which would make each commit wait for the disk.
    Db::CreateDatabase(m_settings, Db::Durability::Throwaway);
    if (withSchema)
        Db::CreateSchema(Connection());
}

ScratchDatabase::~ScratchDatabase()
{
    m_connection.reset();
    try {
        Db::DropDatabase(m_settings);
    } catch (const Exception &e) {
        qWarning("%s", qPrintable(e.Message()));
    }
}

DBConnection &ScratchDatabase::Connection()
{
    if (!m_connection)
        m_connection = std::make_unique<DBConnection>(m_settings);
    m_connection->Open();
    return *m_connection;
}

QString ScratchDatabase::WriteSettingsFile() const
{
    const QString path = m_dir.filePath(QStringLiteral("velmora.ini"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw Exception(QStringLiteral("Não foi possível escrever %1").arg(path));
    QTextStream out(&file);
    out << "[Database]\n"
        << "Driver=" << m_settings.driver << '\n'
        << "Database=" << m_settings.database << '\n'
        << "Host=" << m_settings.host << '\n'
        << "Port=" << (m_settings.port > 0 ? QString::number(m_settings.port) : QString()) << '\n'
        << "User=" << m_settings.user << '\n'
        << "Password=" << m_settings.password << '\n';
    return path;
}

QString Raised(const std::function<void()> &call)
{
    try {
        call();
    } catch (const Exception &e) {
        return e.Message();
    }
    return QStringLiteral("<nada>");
}

QString SupplierKey(int n)
{
    return QStringLiteral("%1").arg(n, 14, 10, QLatin1Char('0'));
}

QString SupplierName(int n)
{
    return QStringLiteral("FORNECEDOR %1").arg(n, 5, 10, QLatin1Char('0'));
}

void LoadSuppliers(DBConnection &db, int count, const std::function<QString(int)> &key,
                   const std::function<QString(int)> &name)
{
    QJsonArray suppliers;
    for (int i = count - 1; i >= 0; --i)
        suppliers.append(QJsonObject{
            {"NRINSJURFORN", key(i)}, {"NMRAZSOCFORN", name(i)}, {"IDTPIJURFORN", "J"}});
    Velmora::Db::LoadFixture(db, QJsonObject{{"FORNECEDOR", suppliers}});
}

QList<QStringList> Rows(DBConnection &db, const QString &sql)
{
    QSqlQuery q(db.Database());
    q.setForwardOnly(true);
    if (!q.exec(sql))
        throw EDatabaseError(QStringLiteral("%1: %2").arg(sql, q.lastError().text()));
    QList<QStringList> rows;
    while (q.next()) {
        QStringList row;
        for (int i = 0; i < q.record().count(); ++i) {
            const QVariant v = q.value(i);
            if (v.isNull())
                row << QStringLiteral("<null>");
            else if (v.metaType().id() == QMetaType::QDate)
                row << v.toDate().toString(Qt::ISODate);
            else if (isNumber(v))
                row << QString::number(v.toDouble(), 'f', 4);
            else
                row << v.toString();
        }
        rows << row;
    }
    return rows;
}

} // namespace Velmora::Test
