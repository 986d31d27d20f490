// The shipped systemd unit as systemd itself reads it (systemd-analyze verify): every key
// known and valid, and its sandbox as tight as the unit's comments say.
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QByteArray Shipped()
{
    QFile unit(QStringLiteral(DEPLOY_UNIT));
    EXPECT_TRUE(unit.open(QIODevice::ReadOnly)) << DEPLOY_UNIT;
    return unit.readAll();
}

struct Verdict
{
    int status = -1;
    QString output;
};

// Verifies the text as an instance of the template on port 8211. The server's installed path
// is not there at build time: the unit runs the built server instead.
Verdict Verify(QByteArray text)
{
    text.replace("/usr/bin/velmora-appserver", VELMORA_APPSERVER);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("velmora-appserver@8211.service"));
    QFile unit(path);
    EXPECT_TRUE(unit.open(QIODevice::WriteOnly) && unit.write(text) == text.size());
    unit.close();
    QProcess analyze;
    analyze.setProcessChannelMode(QProcess::MergedChannels);
    analyze.start(QStringLiteral("systemd-analyze"),
                  {QStringLiteral("verify"), QStringLiteral("--man=no"), path});
    if (!analyze.waitForStarted(5000)) {
        ADD_FAILURE() << "systemd-analyze is missing (package systemd)";
        return {};
    }
    analyze.waitForFinished(60000);
    return {analyze.exitCode(), QString::fromUtf8(analyze.readAll())};
}

TEST(Unit, SystemdAcceptsItWithoutAWord)
{
    const Verdict v = Verify(Shipped());
    EXPECT_EQ(v.status, 0) << qPrintable(v.output);
    EXPECT_EQ(v.output, QString()) << "warnings count as faults here";
}

// The checker itself must see faults, or its silence above proves nothing.
TEST(Unit, AWrongValueOrAnUnknownKeyIsReported)
{
    const struct
    {
        const char *from, *to;
    } faults[] = {
        {"DynamicUser=yes", "DynamicUser=talvez"},
        {"ProtectSystem=strict", "ProtectSystm=strict"},
        {"Restart=on-failure", "Restart=sempre"},
    };
    for (const auto &fault : faults) {
        QByteArray text = Shipped();
        ASSERT_TRUE(text.contains(fault.from)) << fault.from;
        text.replace(fault.from, fault.to);
        const Verdict v = Verify(text);
        EXPECT_FALSE(v.status == 0 && v.output.isEmpty()) << fault.to;
    }
}

TEST(Unit, SandboxAsDeployed)
{
    const QString text = QString::fromUtf8(Shipped());
    for (const char *line :
         {"DynamicUser=yes", "ProtectSystem=strict", "ProtectHome=yes", "PrivateTmp=yes",
          "PrivateDevices=yes", "NoNewPrivileges=yes",
          "RestrictAddressFamilies=AF_INET AF_INET6 AF_UNIX", "SystemCallFilter=@system-service",
          "CapabilityBoundingSet=\n", "MemoryDenyWriteExecute=yes", "Restart=on-failure",
          "LoadCredential=appserver.ini:/etc/velmora/appserver.ini", "User=velmora-appserver",
          "StateDirectory=velmora-appserver"})
        EXPECT_TRUE(text.contains(QLatin1String(line))) << line;
    // The instance's name is its port.
    EXPECT_TRUE(text.contains(QRegularExpression(QStringLiteral("ExecStart=\\S+ --config "
                                                                "%d/appserver.ini --port %i"))));
}

} // namespace
