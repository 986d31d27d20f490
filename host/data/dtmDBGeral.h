#pragma once

#include "DBConnection.h"
#include "data_global.h"

#include <QObject>
#include <QPointer>

// The transaction of the shared connection (the queries name it "dtmDBGeral.ibtGeral").
// Reads run in the engine's own automatic transactions; this one is for work that must
// change several rows as a whole.
class VELMORA_DATA_EXPORT TDBTransaction : public QObject
{
    Q_OBJECT
public:
    TDBTransaction(Velmora::DBConnection *connection, QObject *parent);
    void StartTransaction() { m_connection->StartTransaction(); }
    void Commit() { m_connection->Commit(); }
    void Rollback() { m_connection->Rollback(); }
    bool InTransaction() const { return m_connection->InTransaction(); }

private:
    Velmora::DBConnection *m_connection;
};

// The host's shared database objects: the one connection that the settings describe, and
// its kind. The queries name its parts "dtmDBGeral.adcGeral" (the connection),
// "dtmDBGeral.dtbGeral" (the same connection seen as a database) and "dtmDBGeral.ibtGeral"
// (its transaction). One exists at a time, made by whoever starts the process (the host);
// it connects on first use, so a database that is down does not stop the host from starting.
class VELMORA_DATA_EXPORT TdtmDBGeral : public QObject
{
    Q_OBJECT
public:
    // Raises Exception when another one exists.
    explicit TdtmDBGeral(const Velmora::ConnectionSettings &settings, QObject *parent = nullptr);
    ~TdtmDBGeral() override;

    Velmora::DBConnection *adcGeral() const { return m_connection; }
    Velmora::DBConnection *dtbGeral() const { return m_connection; }
    TDBTransaction *ibtGeral() const { return m_transaction; }
    Velmora::DatabaseKind Kind() const { return m_connection->Kind(); }

    // The connection that a query's ADOConnection or DataBase names: "dtmDBGeral.adcGeral",
    // "dtmDBGeral.dtbGeral", or empty for the shared one. Raises EDatabaseError naming what
    // does not resolve.
    static Velmora::DBConnection *Resolve(const QString &connectionName,
                                          const QString &transactionName = {});

private:
    Velmora::DBConnection *m_connection;
    TDBTransaction *m_transaction;
};

// The shared database objects of this process; nullptr before the host made them.
VELMORA_DATA_EXPORT TdtmDBGeral *dtmDBGeral();
