#include "MapFixture.h"

#include <QSettings>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

std::vector<MapRow> standardMaps()
{
    const auto month = [](int year, int m) {
        const QDate first(year, m, 1);
        return std::pair{first, first.addMonths(1).addDays(-1)};
    };
    std::vector<MapRow> rows;
    for (const auto &[y, m] :
         std::vector<std::pair<int, int>>{{2024, 1}, {2023, 12}, {2024, 3}, {2024, 2}}) {
        const auto [start, end] = month(y, m);
        rows.push_back({"01", "01", "123456", start, end});
    }
    rows.push_back({"01", "01", "999", month(2024, 5).first, month(2024, 5).second});
    rows.push_back({"02", "01", "123456", month(2024, 4).first, month(2024, 4).second});
    rows.push_back({"01", "02", "", QDate(2024, 1, 1), QDate(2024, 6, 30)});
    return rows;
}

MapFixture::MapFixture()
{
    const QString base = qEnvironmentVariable("VELMORA_APPSERVER_TEST_CONFIG");
    if (!base.isEmpty()) {
        m_engine = Velmora::Settings::load(base);
    } else {
        m_engine.dbDriver = QStringLiteral("QSQLITE");
        m_engine.dbDatabase = m_dir.filePath(QStringLiteral("maps.sqlite"));
    }
}

bool MapFixture::run(const QStringList &statements, const std::vector<MapRow> &rows, QString *error)
{
    const QString name = QStringLiteral("map-fixture");
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(m_engine.dbDriver, name);
        db.setDatabaseName(m_engine.dbDatabase);
        db.setHostName(m_engine.dbHost);
        if (m_engine.dbPort > 0)
            db.setPort(m_engine.dbPort);
        db.setUserName(m_engine.dbUser.isEmpty() && m_engine.dbDriver == QLatin1String("QIBASE")
                           ? QStringLiteral("SYSDBA")
                           : m_engine.dbUser);
        db.setPassword(m_engine.dbPassword);
        ok = db.open();
        QSqlQuery q(db);
        for (const QString &sql : statements) {
            if (!ok)
                break;
            q.exec(sql); // a DROP of a missing table may fail: harmless
            ok = !sql.startsWith(QLatin1String("CREATE")) || !q.lastError().isValid();
        }
        if (ok && !rows.empty()) {
            ok = q.prepare(QStringLiteral(
                "INSERT INTO MAPAAPURACAO (CDEMPRESA, CDIMPOSTONFE, CDINSCRICAO, DTINIPERIODO, "
                "DTFIMPERIODO) VALUES (?, ?, ?, ?, ?)"));
            for (const MapRow &r : rows) {
                if (!ok)
                    break;
                q.addBindValue(r.company);
                q.addBindValue(r.tax);
                q.addBindValue(r.registration);
                // SQLite keeps dates as 'YYYY-MM-DD' text, as the schema tools write them.
                q.addBindValue(isSqlite() ? QVariant(r.start.toString(Qt::ISODate)) : r.start);
                q.addBindValue(isSqlite() ? QVariant(r.end.toString(Qt::ISODate)) : r.end);
                ok = q.exec();
            }
        }
        if (!ok && error)
            *error = q.lastError().isValid() ? q.lastError().text() : db.lastError().text();
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

bool MapFixture::createMaps(const std::vector<MapRow> &rows, QString *error)
{
    return run(
        {QStringLiteral("DROP TABLE MAPAAPURACAO"),
         QStringLiteral("CREATE TABLE MAPAAPURACAO (CDEMPRESA VARCHAR(2) NOT NULL, "
                        "CDIMPOSTONFE VARCHAR(2) NOT NULL, CDINSCRICAO VARCHAR(16) NOT NULL, "
                        "DTINIPERIODO DATE NOT NULL, DTFIMPERIODO DATE NOT NULL)")},
        rows, error);
}

bool MapFixture::dropMaps(QString *error)
{
    return run({QStringLiteral("DROP TABLE MAPAAPURACAO")}, {}, error);
}

QString MapFixture::writeSettings(const QString &name, const QMap<QString, QString> &appServer,
                                  const QString &shortDateFormat)
{
    const QString path = m_dir.filePath(name + QStringLiteral(".ini"));
    QSettings ini(path, QSettings::IniFormat);
    ini.clear();
    ini.setValue(QStringLiteral("Database/Driver"), m_engine.dbDriver);
    ini.setValue(QStringLiteral("Database/Database"), m_engine.dbDatabase);
    ini.setValue(QStringLiteral("Database/Host"), m_engine.dbHost);
    ini.setValue(QStringLiteral("Database/Port"),
                 m_engine.dbPort > 0 ? QString::number(m_engine.dbPort) : QString());
    ini.setValue(QStringLiteral("Database/User"), m_engine.dbUser);
    ini.setValue(QStringLiteral("Database/Password"), m_engine.dbPassword);
    QMap<QString, QString> server{{QStringLiteral("Host"), QStringLiteral("127.0.0.1")},
                                  {QStringLiteral("Port"), QStringLiteral("0")},
                                  {QStringLiteral("Threads"), QStringLiteral("2")},
                                  {QStringLiteral("ConnectTimeoutMs"), QStringLiteral("1000")},
                                  {QStringLiteral("CallTimeoutMs"), QStringLiteral("1500")},
                                  {QStringLiteral("LogLevel"), QStringLiteral("warning")}};
    server.insert(appServer);
    for (auto it = server.cbegin(); it != server.cend(); ++it)
        ini.setValue(QStringLiteral("AppServer/") + it.key(), it.value());
    ini.setValue(QStringLiteral("Locale/ShortDateFormat"), shortDateFormat);
    ini.sync();
    return path;
}
