#include "FirebirdApi.h"

#include "DBConnection.h"
#include "rtl/Exceptions.h"

#include <QDir>
#include <QFileInfo>
#include <QLibrary>
#include <QMutex>
#include <QSqlDriver>
#include <QStringList>

namespace Velmora {

namespace {

template <class F> void take(QLibrary &lib, F &target, const char *name)
{
    target = reinterpret_cast<F>(lib.resolve(name));
    if (!target)
        throw EDatabaseError(QStringLiteral("A biblioteca cliente do Firebird não tem a função %1.")
                                 .arg(QLatin1String(name)));
}

} // namespace

const FirebirdApi &FirebirdApi::get()
{
    static QMutex lock;
    static FirebirdApi api;
    static bool loaded = false;
    QMutexLocker guard(&lock);
    if (loaded)
        return api;
    PrepareFirebirdEnvironment();
    static QLibrary lib;
    lib.setFileNameAndVersion(QStringLiteral("fbclient"), 2);
    if (!lib.load())
        throw EDatabaseError(
            QStringLiteral("A biblioteca cliente do Firebird (libfbclient) não pôde "
                           "ser carregada: %1")
                .arg(lib.errorString()));
    FirebirdApi a;
    take(lib, a.attach, "isc_attach_database");
    take(lib, a.detach, "isc_detach_database");
    take(lib, a.drop, "isc_drop_database");
    take(lib, a.executeImmediate, "isc_dsql_execute_immediate");
    take(lib, a.startTransaction, "isc_start_transaction");
    take(lib, a.commitTransaction, "isc_commit_transaction");
    take(lib, a.rollbackTransaction, "isc_rollback_transaction");
    take(lib, a.allocateStatement, "isc_dsql_allocate_statement");
    take(lib, a.prepare, "isc_dsql_prepare");
    take(lib, a.describe, "isc_dsql_describe");
    take(lib, a.describeBind, "isc_dsql_describe_bind");
    take(lib, a.sqlInfo, "isc_dsql_sql_info");
    take(lib, a.execute, "isc_dsql_execute");
    take(lib, a.fetch, "isc_dsql_fetch");
    take(lib, a.freeStatement, "isc_dsql_free_statement");
    take(lib, a.openBlob, "isc_open_blob2");
    take(lib, a.createBlob, "isc_create_blob2");
    take(lib, a.putSegment, "isc_put_segment");
    take(lib, a.getSegment, "isc_get_segment");
    take(lib, a.closeBlob, "isc_close_blob");
    take(lib, a.vaxInteger, "isc_vax_integer");
    take(lib, a.interpret, "fb_interpret");
    take(lib, a.cancelOperation, "fb_cancel_operation");
    api = a;
    loaded = true;
    return api;
}

QString FirebirdApi::message(const ISC_STATUS *status) const
{
    QStringList parts;
    char buffer[512];
    const ISC_STATUS *cursor = status;
    while (interpret(buffer, sizeof buffer, &cursor))
        parts << QString::fromUtf8(buffer);
    return parts.isEmpty() ? QStringLiteral("erro desconhecido")
                           : parts.join(QStringLiteral(" - "));
}

std::optional<isc_db_handle> FirebirdAttachment(const QSqlDatabase &db)
{
    // The handle is a plain integer, told apart only by the driver that gives it.
    if (!db.isValid() || !db.driver() || db.driverName() != QLatin1String("QIBASE"))
        return std::nullopt;
    const QVariant handle = db.driver()->handle();
    if (handle.metaType() != QMetaType::fromType<isc_db_handle>())
        return std::nullopt;
    return *static_cast<const isc_db_handle *>(handle.constData());
}

QString FirebirdPath(const ConnectionSettings &s)
{
    if (s.host.isEmpty())
        return QDir::cleanPath(QFileInfo(s.database).absoluteFilePath());
    return s.port > 0 ? QStringLiteral("%1/%2:%3").arg(s.host).arg(s.port).arg(s.database)
                      : QStringLiteral("%1:%2").arg(s.host, s.database);
}

QByteArray FirebirdDpb(const ConnectionSettings &s, const QByteArray &more)
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
    add(char(isc_dpb_lc_ctype), QByteArrayLiteral("UTF8"));
    return dpb + more;
}

} // namespace Velmora
