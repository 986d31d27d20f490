#include "DBConnection.h"

#include <QDir>
#include <QFileInfo>
#include <QMutex>

#include <unistd.h>

namespace Velmora {

void PrepareFirebirdEnvironment()
{
    static QMutex lock;
    QMutexLocker guard(&lock);
#ifdef VELMORA_FIREBIRD_ROOT
    // The system's own configuration runs the engine in exclusive mode: a second process on
    // the same database file would be refused.
    if (qEnvironmentVariableIsEmpty("FIREBIRD")) {
        const QString root = QStringLiteral(VELMORA_FIREBIRD_ROOT);
        if (QFileInfo::exists(root + QStringLiteral("/firebird.conf")))
            qputenv("FIREBIRD", QFile::encodeName(root));
    }
#endif
    if (qEnvironmentVariableIsEmpty("FIREBIRD_LOCK")) {
        const QString dir =
            QDir::temp().filePath(QStringLiteral("velmora-firebird-lock-%1").arg(getuid()));
        QDir().mkpath(dir);
        QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("FIREBIRD_LOCK", QFile::encodeName(dir));
    }
}

} // namespace Velmora
