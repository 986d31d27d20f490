#pragma once

#include "DatabaseKind.h"
#include "TDataSet.h"
#include "TDataSource.h"
#include "TParams.h"
#include "data_global.h"

#include <QHash>
#include <QPointer>
#include <QStringList>

#include <initializer_list>
#include <memory>

namespace Velmora::Internal {
class Statement;
}

namespace Velmora {
class DBConnection;
}

// The multi-dialect read-only query. It carries one text per database kind (each a list of
// lines) and runs the text of its connection's kind, or the generic SQL where that kind has
// none. Every parameter value is bound to its placeholder, never written into the text; a
// text that would change data is refused (and on SQLite and Firebird the engine itself is
// asked). The statement stays prepared between opens, and each open sees what others
// committed. An Open whose statement fails because the connection was lost connects again
// once and retries before it raises EDatabaseError, so the screen works again as soon as the
// database is back.
class VELMORA_DATA_EXPORT TADOIBQuery : public TDataSet
{
    Q_OBJECT
    Q_PROPERTY(QStringList SQL READ SQL WRITE SetSQL)
    Q_PROPERTY(QStringList SQL_ORACLE READ SQL_ORACLE WRITE SetSQL_ORACLE)
    Q_PROPERTY(QStringList SQL_MSSQL READ SQL_MSSQL WRITE SetSQL_MSSQL)
    Q_PROPERTY(QStringList SQL_IB READ SQL_IB WRITE SetSQL_IB)
    Q_PROPERTY(bool ParamCheck READ ParamCheck WRITE SetParamCheck)
    // The parameter names as the definition declares them (each a text, no direction).
    Q_PROPERTY(QStringList Params READ ParamNames WRITE SetParamNames)
    // Names of the shared database objects ("dtmDBGeral.adcGeral"); see dtmDBGeral.h.
    Q_PROPERTY(QString ADOConnection READ ADOConnection WRITE SetADOConnection)
    Q_PROPERTY(QString DataBase READ DataBase WRITE SetDataBase)
    Q_PROPERTY(QString Transaction READ Transaction WRITE SetTransaction)
    // The data source through which the screen presents this query. Parameters are never
    // taken from it: the handlers bind every parameter by name.
    Q_PROPERTY(TDataSource *DataSource READ DataSource WRITE SetDataSource)
    Q_PROPERTY(LockType ADOLockType READ ADOLockType WRITE SetADOLockType)
    Q_PROPERTY(CursorLocation ADOCursorLocation MEMBER m_cursorLocation)
    Q_PROPERTY(CursorType ADOCursorType MEMBER m_cursorType)
    Q_PROPERTY(int ADOCacheSize MEMBER m_cacheSize)
    // Rows fetched at most; 0 fetches all.
    Q_PROPERTY(int ADOMaxRecords MEMBER m_maxRecords)
    // Rows that Open reads itself: a larger answer leaves the rest to a reader of its own in
    // the background (see TDataSet). 0 reads every row before Open returns.
    Q_PROPERTY(int PacketRecords MEMBER m_packetRecords)
    Q_PROPERTY(bool ADOPrepared MEMBER m_prepared)
    // Numbers of exact decimal columns come as exact decimal texts instead of doubles.
    Q_PROPERTY(bool ADOEnableBCD MEMBER m_enableBCD)
    Q_PROPERTY(bool ADOFiltered MEMBER m_filtered)
    Q_PROPERTY(QStringList ADOExecuteOptions MEMBER m_executeOptions)
    Q_PROPERTY(MarshalOptions ADOMarshalOptions MEMBER m_marshalOptions)
    Q_PROPERTY(bool AutoCalcFields MEMBER m_autoCalcFields)
    Q_PROPERTY(bool CachedUpdates MEMBER m_cachedUpdates)
    Q_PROPERTY(bool ObjectView MEMBER m_objectView)
    Q_PROPERTY(QStringList Constraints MEMBER m_constraints)

public:
    // The query only reads: no other lock type exists.
    enum LockType { ReadOnly };
    Q_ENUM(LockType)
    enum CursorLocation { Client, Server };
    Q_ENUM(CursorLocation)
    enum CursorType { Keyset, Static, ForwardOnly, Dynamic };
    Q_ENUM(CursorType)
    enum MarshalOptions { MarshalAll, MarshalModifiedOnly };
    Q_ENUM(MarshalOptions)

    explicit TADOIBQuery(QObject *parent = nullptr);
    ~TADOIBQuery() override;

    QStringList SQL() const { return m_sql; }
    void SetSQL(const QStringList &lines);
    QStringList SQL_ORACLE() const { return m_sqlOracle; }
    void SetSQL_ORACLE(const QStringList &lines);
    QStringList SQL_MSSQL() const { return m_sqlMssql; }
    void SetSQL_MSSQL(const QStringList &lines);
    QStringList SQL_IB() const { return m_sqlIb; }
    void SetSQL_IB(const QStringList &lines);
    // The lines run for a kind: its own text, or the generic one.
    QStringList TextFor(Velmora::DatabaseKind kind) const;

    // With ParamCheck the parameter list follows the texts: a name that a text gains is
    // added (null), one no text names any more is dropped; values of kept names survive.
    bool ParamCheck() const { return m_paramCheck; }
    void SetParamCheck(bool check);
    QStringList ParamNames() const { return m_params.Names(); }
    // Declares parameters; with ParamCheck they are kept beside those the texts name.
    void SetParamNames(const QStringList &names);
    TParams &Params() { return m_params; }
    const TParams &Params() const { return m_params; }
    // Raises EDatabaseError naming the parameter when the query has none of that name.
    TParam *ParamByName(const QString &name) const { return m_params.ParamByName(name); }

    // One parameter's value for OpenWith: a null QVariant clears it; a text, even a null one,
    // goes as a text (the empty text, never null).
    struct ParamValue
    {
        const char *name;
        QVariant value;
    };
    // The lookup of a check: closes, gives the named parameters their values, opens. True
    // when the answer has rows; raises what Open raises.
    bool OpenWith(std::initializer_list<ParamValue> values);

    QString ADOConnection() const { return m_adoConnection; }
    void SetADOConnection(const QString &name) { m_adoConnection = name; }
    QString DataBase() const { return m_dataBase; }
    void SetDataBase(const QString &name) { m_dataBase = name; }
    QString Transaction() const { return m_transaction; }
    void SetTransaction(const QString &name) { m_transaction = name; }
    TDataSource *DataSource() const;
    void SetDataSource(TDataSource *source);
    LockType ADOLockType() const { return ReadOnly; }
    void SetADOLockType(LockType) {}
    int ADOMaxRecords() const { return m_maxRecords; }
    void SetADOMaxRecords(int rows) { m_maxRecords = rows; }
    int PacketRecords() const { return m_packetRecords; }
    void SetPacketRecords(int rows) { m_packetRecords = rows; }

    // A connection of its own instead of the shared one the names point at (tests, tools,
    // application-server workers with a connection per thread).
    void SetConnection(Velmora::DBConnection *connection);
    // The connection the query runs on; raises EDatabaseError when the names resolve to none.
    Velmora::DBConnection *Connection() const;

    // While rows are still coming, asks the database which keys the query's answer holds.
    QSet<QString> KeysInResult(const QString &fieldName, const QStringList &keys) const override;
    std::unique_ptr<TDataSet> RowsStartingWith(const QString &fieldName, const QString &text,
                                               int count) const override;

protected:
    void DoOpen() override;

private:
    // What a text needs before it runs, worked out once per text and kind.
    struct Plan
    {
        bool ready = false;
        Velmora::DatabaseKind kind = Velmora::DatabaseKind::Generic;
        QString text;
        QString refusal; // why the text may not run, empty when it may
        QStringList parameters;
    };
    const Plan &planFor(Velmora::DatabaseKind kind);
    void textsChanged();
    bool inPackets(const Velmora::DBConnection *connection) const;
    bool run(Velmora::DBConnection *connection, QVector<TDataSet::Column> &columns,
             QVector<QVector<QVariant>> &rows, std::unique_ptr<RowSource> &rest, QString &error);
    std::unique_ptr<RowSource> readRest(Velmora::DBConnection *connection,
                                        const QVector<QVariant> &values, int skip) const;
    void releaseStatement();
    bool canAsk(const TField *field) const;
    bool readFromAnswer(const QString &text, const QStringList &own,
                        QVector<QVector<QVariant>> &rows) const;
    void watch(Velmora::DBConnection *connection);

    QStringList m_sql, m_sqlOracle, m_sqlMssql, m_sqlIb;
    bool m_paramCheck = true;
    QStringList m_declaredParams;
    TParams m_params;
    QString m_adoConnection, m_dataBase, m_transaction;
    QPointer<TDataSource> m_dataSource;
    CursorLocation m_cursorLocation = Client;
    CursorType m_cursorType = Keyset;
    MarshalOptions m_marshalOptions = MarshalAll;
    int m_cacheSize = 1;
    int m_maxRecords = 0;
    int m_packetRecords = 1000;
    bool m_prepared = false;
    bool m_enableBCD = false;
    bool m_filtered = false;
    bool m_autoCalcFields = true;
    bool m_cachedUpdates = false;
    bool m_objectView = false;
    QStringList m_executeOptions, m_constraints;

    QPointer<Velmora::DBConnection> m_connection; // set explicitly
    QPointer<Velmora::DBConnection> m_watched;    // whose closing drops the statement

    Plan m_plan;
    // The prepared statement, valid for one connection generation and one text.
    std::unique_ptr<Velmora::Internal::Statement> m_statement;
    QPointer<Velmora::DBConnection> m_statementConnection;
    quint64 m_statementGeneration = 0;
    QString m_statementText;
    // The values the last open bound, by upper-case parameter name.
    QHash<QString, QVariant> m_boundValues;
};
