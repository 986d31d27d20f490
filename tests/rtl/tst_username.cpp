// Who owns what this workstation saves: [User] Name, else the system's user; at most 40
// characters.
#include "rtl/Settings.h"
#include "rtl/UserName.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

TEST(UserNameTest, TheSettingsNameElseTheSystemsUser)
{
    QTemporaryDir dir;
    QFile ini(dir.filePath(QStringLiteral("velmora.ini")));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[User]\nName=Maria José \n");
    ini.close();
    Velmora::Settings s = Velmora::Settings::load(ini.fileName());
    Velmora::installSettings(s);
    EXPECT_EQ(Velmora::UserName(), QStringLiteral("Maria José"));
    s.userName = QString(50, QLatin1Char('m'));
    Velmora::installSettings(s);
    EXPECT_EQ(Velmora::UserName(), QString(40, QLatin1Char('m')));
    s.userName = QStringLiteral("  ");
    Velmora::installSettings(s);
    EXPECT_EQ(Velmora::UserName(), QString::fromLocal8Bit(getpwuid(geteuid())->pw_name));
    Velmora::installSettings(Velmora::Settings());
}
