#pragma once

#include "TestPrinting.h"

#include "data/DBConnection.h"

#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <memory>

// The databases the database tests run on. Every database test runs on every engine:
// "sqlite" (a file of its own), "postgresql" (the throwaway server of scripts/test-services)
// and "firebird" (embedded, a file of its own). VELMORA_TEST_ENGINES may name fewer, for a
// developer's quick run; an engine that is named but cannot be reached fails its tests.
namespace Velmora::Test {

// The engine names, in order: sqlite, postgresql, firebird.
QStringList EngineNames();
// "SQLite", "PostgreSQL", "Firebird": for test names.
std::string EngineLabel(const QString &engine);

// A fresh empty database, dropped at the end. Raises EDatabaseError when the engine's
// service is not available.
class ScratchDatabase
{
public:
    explicit ScratchDatabase(const QString &engine, bool withSchema = true);
    ~ScratchDatabase();
    ScratchDatabase(const ScratchDatabase &) = delete;
    ScratchDatabase &operator=(const ScratchDatabase &) = delete;

    const ConnectionSettings &Settings() const { return m_settings; }
    // The test's connection (opened on first use).
    DBConnection &Connection();
    // A settings file naming this database, for the tools (velmora-db --config FILE).
    QString WriteSettingsFile() const;

private:
    QTemporaryDir m_dir;
    ConnectionSettings m_settings;
    std::unique_ptr<DBConnection> m_connection;
};

// The message of the Exception a call raised, or "<nada>" when it raised none.
QString Raised(const std::function<void()> &call);

// Runs a statement and gives the rows as texts (null as "<null>"), for comparisons.
QList<QStringList> Rows(DBConnection &db, const QString &sql);

// A 14-digit registration for n, and "FORNECEDOR nnnnn".
QString SupplierKey(int n);
QString SupplierName(int n);
// Loads count suppliers (companies), the last first, so an answer's order is its statement's:
// supplier i has the key and the name the functions give for i.
void LoadSuppliers(DBConnection &db, int count, const std::function<QString(int)> &key,
                   const std::function<QString(int)> &name);

} // namespace Velmora::Test
