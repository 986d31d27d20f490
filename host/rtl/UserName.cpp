#include "UserName.h"

#include "Settings.h"

#include <pwd.h>
#include <unistd.h>

namespace Velmora {

namespace {
QString systemUser()
{
    // The account, not $USER: su and sudo keep the caller's environment.
    if (const passwd *entry = getpwuid(geteuid()); entry && entry->pw_name && *entry->pw_name)
        return QString::fromLocal8Bit(entry->pw_name);
    return qEnvironmentVariable("USER").trimmed();
}
} // namespace

QString UserName()
{
    QString name = settings().userName.trimmed();
    if (name.isEmpty())
        name = systemUser();
    if (name.isEmpty())
        name = QStringLiteral("usuario");
    return name.left(40);
}

} // namespace Velmora
