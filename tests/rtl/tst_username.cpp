// Who owns what this workstation saves: the settings' name, else the system's user.
#include "rtl/Settings.h"
#include "rtl/UserName.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

namespace {

TEST(UserNameTest, TheSettingsNameElseTheSystemsUserAtMostFortyCharacters)
{
    const Velmora::Settings saved = Velmora::settings();
    Velmora::Settings s;
    const struct
    {
        QString configured, expected;
    } cases[] = {
        {QStringLiteral("  Maria José  "), QStringLiteral("Maria José")},
        {QString(50, QLatin1Char('m')), QString(40, QLatin1Char('m'))},
        {QStringLiteral("   "), QString::fromLocal8Bit(getpwuid(geteuid())->pw_name)},
    };
    for (const auto &c : cases) {
        s.userName = c.configured;
        Velmora::installSettings(s);
        EXPECT_EQ(Velmora::UserName(), c.expected) << qPrintable(c.configured);
    }
    Velmora::installSettings(saved);
}

TEST(UserNameTest, TheNameComesFromTheUserSection)
{
    QTemporaryDir dir;
    QFile ini(dir.filePath(QStringLiteral("velmora.ini")));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[User]\nName=Fulano de Tal\n");
    ini.close();
    EXPECT_EQ(Velmora::Settings::load(ini.fileName()).userName, QStringLiteral("Fulano de Tal"));
}

} // namespace
