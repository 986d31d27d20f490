#pragma once

#include "rtl/Settings.h"

#include <QDate>
#include <QMap>
#include <QString>
#include <QTemporaryDir>

#include <vector>

struct MapRow
{
    QString company, tax, registration;
    QDate start, end;
};

// The assessment maps the tests read:
//   01 / tax 01 / registration 123456: 12/2023, 01/2024, 02/2024 (leap year), 03/2024
//   01 / tax 01 / registration 999:    05/2024
//   02 / tax 01 / registration 123456: 04/2024 (the same registration code, another company)
//   01 / tax 02 / no registration:     01/01/2024 to 30/06/2024
std::vector<MapRow> standardMaps();

// A database holding MAPAAPURACAO and settings files that point the server at it. The engine is
// a temporary SQLite file, unless VELMORA_APPSERVER_TEST_CONFIG names a settings file whose
// [Database] section points at another one.
class MapFixture
{
public:
    MapFixture();

    // (Re)creates MAPAAPURACAO with the rows; false with the reason in *error.
    bool createMaps(const std::vector<MapRow> &rows, QString *error);
    bool dropMaps(QString *error);
    // Runs statements as they stand (to store values the typed fixture cannot write).
    bool execute(const QStringList &statements, QString *error)
    {
        return run(statements, {}, error);
    }
    // Writes a settings file; appServer holds [AppServer] keys to add or override.
    QString writeSettings(const QString &name, const QMap<QString, QString> &appServer = {},
                          const QString &shortDateFormat = QStringLiteral("dd/MM/yyyy"));
    const Velmora::Settings &engine() const { return m_engine; }
    bool isSqlite() const { return m_engine.dbDriver == QLatin1String("QSQLITE"); }
    QString folder() const { return m_dir.path(); }

private:
    bool run(const QStringList &statements, const std::vector<MapRow> &rows, QString *error);

    QTemporaryDir m_dir;
    Velmora::Settings m_engine;
};
