#include "MapDatabase.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

QString prepareMapDatabase(const QString &folder, long long rows, MapShape &shape, QString *error)
{
    const long long keys = 1LL * MapShape::companies * MapShape::taxes * MapShape::registrations;
    shape.months = static_cast<int>(qMax(1LL, rows / keys));
    const QString path =
        QDir(folder).filePath(QStringLiteral("maps-%1.sqlite").arg(keys * shape.months));
    const QString name = QStringLiteral("bench-maps");
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        const bool existed = QFile::exists(path);
        ok = db.open();
        QSqlQuery q(db);
        if (ok && existed && q.exec(QStringLiteral("SELECT COUNT(*) FROM MAPAAPURACAO")) &&
            q.next() && q.value(0).toLongLong() == keys * shape.months) {
            db.close();
        } else if (ok) {
            q.exec(QStringLiteral("DROP TABLE IF EXISTS MAPAAPURACAO"));
            q.exec(QStringLiteral("PRAGMA journal_mode=OFF"));
            q.exec(QStringLiteral("PRAGMA synchronous=OFF"));
            ok = q.exec(QStringLiteral(
                "CREATE TABLE MAPAAPURACAO (CDEMPRESA VARCHAR(2) NOT NULL, CDIMPOSTONFE VARCHAR(2) "
                "NOT NULL, CDINSCRICAO VARCHAR(16) NOT NULL, DTINIPERIODO DATE NOT NULL, "
                "DTFIMPERIODO DATE NOT NULL)"));
            ok = ok && db.transaction();
            ok = ok && q.prepare(QStringLiteral("INSERT INTO MAPAAPURACAO VALUES (?, ?, ?, ?, ?)"));
            const QDate first(2024 - shape.months / 12, 1, 1);
            for (int c = 0; ok && c < MapShape::companies; ++c)
                for (int t = 0; ok && t < MapShape::taxes; ++t)
                    for (int r = 0; ok && r < MapShape::registrations; ++r)
                        for (int m = 0; ok && m < shape.months; ++m) {
                            const QDate start = first.addMonths(m);
                            q.addBindValue(MapShape::company(c));
                            q.addBindValue(MapShape::tax(t));
                            q.addBindValue(MapShape::registration(r));
                            q.addBindValue(start.toString(Qt::ISODate));
                            q.addBindValue(start.addMonths(1).addDays(-1).toString(Qt::ISODate));
                            ok = q.exec();
                        }
            ok = ok && db.commit();
            ok = ok && q.exec(QStringLiteral(
                           "CREATE INDEX MAPAAPURACAO_PERIODO ON MAPAAPURACAO (CDEMPRESA, "
                           "CDIMPOSTONFE, CDINSCRICAO, DTINIPERIODO, DTFIMPERIODO)"));
            ok = ok && q.exec(QStringLiteral("ANALYZE"));
        }
        if (!ok && error)
            *error = q.lastError().text() + db.lastError().text();
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return ok ? path : QString();
}
