#include "FirebirdClient.h"

#include "framework/data/DBConnection.h"
#include "rtl/Exceptions.h"

#include <QDir>
#include <QFileInfo>
#include <QLibrary>
#include <QMutex>
#include <QStringList>

namespace Velmora::Db {

namespace {
template <class F> void take(QLibrary &lib, F &target, const char *name)
{
    target = reinterpret_cast<F>(lib.resolve(name));
    if (!target)
        throw EDatabaseError(QStringLiteral("A biblioteca cliente do Firebird não tem a função %1.")
                                 .arg(QLatin1String(name)));
}
} // namespace

const FirebirdClient &FirebirdClient::get()
{
    static QMutex lock;
    static FirebirdClient client;
    static bool loaded = false;
    QMutexLocker guard(&lock);
    if (loaded)
        return client;
    PrepareFirebirdEnvironment();
    static QLibrary lib;
    lib.setFileNameAndVersion(QStringLiteral("fbclient"), 2);
    if (!lib.load())
        throw EDatabaseError(
            QStringLiteral("A biblioteca cliente do Firebird (libfbclient) não pôde "
                           "ser carregada: %1")
                .arg(lib.errorString()));
    FirebirdClient c;
    take(lib, c.executeImmediate, "isc_dsql_execute_immediate");
    take(lib, c.attach, "isc_attach_database");
    take(lib, c.detach, "isc_detach_database");
    take(lib, c.drop, "isc_drop_database");
    take(lib, c.startTransaction, "isc_start_transaction");
    take(lib, c.commit, "isc_commit_transaction");
    take(lib, c.rollback, "isc_rollback_transaction");
    take(lib, c.allocateStatement, "isc_dsql_allocate_statement");
    take(lib, c.prepare, "isc_dsql_prepare");
    take(lib, c.describeBind, "isc_dsql_describe_bind");
    take(lib, c.execute, "isc_dsql_execute");
    take(lib, c.freeStatement, "isc_dsql_free_statement");
    take(lib, c.interpret, "fb_interpret");
    client = c;
    loaded = true;
    return client;
}

QString FirebirdClient::message(const ISC_STATUS *status) const
{
    QStringList parts;
    char buffer[512];
    const ISC_STATUS *cursor = status;
    while (interpret(buffer, sizeof buffer, &cursor))
        parts << QString::fromUtf8(buffer);
    return parts.isEmpty() ? QStringLiteral("erro desconhecido")
                           : parts.join(QStringLiteral(" - "));
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

} // namespace Velmora::Db
