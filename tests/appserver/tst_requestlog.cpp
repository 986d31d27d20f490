// The request log keeps one request to one line, whatever the client names: control bytes and
// bytes that are no UTF-8 are escaped, and nothing is cut or lost.
#include "MapFixture.h"
#include "RawHttp.h"
#include "RequestLog.h"
#include "ServerProcess.h"

#include <QDeadlineTimer>
#include <QSettings>

#include <gtest/gtest.h>

#include <string>

using AppServer::escapedForLog;

namespace {

TEST(RequestLog, EscapesControlBytesAndKeepsEveryByte)
{
    using namespace std::string_literals;
    const struct
    {
        std::string text, logged;
    } cases[] = {
        {"GetDtIni", "GetDtIni"},
        {"", ""},
        {"a\0b"s, "a\\0b"},
        {"\0"s, "\\0"},
        {"a\0\0"s, "a\\0\\0"},
        {"x\ny", "x\\ny"},
        {"x\r\ny", "x\\r\\ny"},
        {"col\tuna", "col\\tuna"},
        {"\x1b[31mvermelho\x1b[0m", "\\x1b[31mvermelho\\x1b[0m"},
        {"\x01\x1f\x7f", "\\x01\\x1f\\x7f"},
        {"dir\\n", "dir\\\\n"}, // a backslash the client sent is not an escape of ours
        {"Ação ü €  𝄞", "Ação ü €  𝄞"},
        {"\xc2\x9b"
         "2J",
         "\\xc2\\x9b2J"},         // C1 control (CSI)
        {"\xc2\xa0", "\xc2\xa0"}, // no-break space stays
        {"a\xff"
         "b",
         "a\\xffb"},       // never valid
        {"\xc3", "\\xc3"}, // cut sequence at the end
        {"\xc3"
         "A",
         "\\xc3A"},                                   // cut sequence mid-text
        {"\xc0\xaf", "\\xc0\\xaf"},                   // overlong "/"
        {"\xe0\x80\xaf", "\\xe0\\x80\\xaf"},          // overlong, three bytes
        {"\xed\xa0\x80", "\\xed\\xa0\\x80"},          // a surrogate
        {"\xf4\x90\x80\x80", "\\xf4\\x90\\x80\\x80"}, // past U+10FFFF
        {"\xf0\x9f\x98", "\\xf0\\x9f\\x98"},          // four-byte sequence cut short
        {"\xe2\x82\xac\xe2\x82", "€\\xe2\\x82"},
        {"X\n2026-01-01 00:00:00.000 info forjado", "X\\n2026-01-01 00:00:00.000 info forjado"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(escapedForLog(c.text), c.logged) << c.logged;
}

// The lines the server writes on standard error until one holds `marker`.
QStringList errorLinesUntil(ServerProcess &server, const QString &marker)
{
    QString output;
    QDeadlineTimer deadline(5000);
    while (!deadline.hasExpired()) {
        output += server.errorOutput();
        if (output.contains(marker) && output.endsWith(QLatin1Char('\n')))
            break;
        server.waitForOutput(100);
    }
    return output.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QStringList linesWith(const QStringList &lines, const QString &text)
{
    QStringList found;
    for (const QString &line : lines)
        if (line.contains(text))
            found << line;
    return found;
}

// A method name built to forge a second line, clear the screen and hide its end behind a NUL
// reaches the real server's log as one line that shows it all.
TEST(RequestLog, TheServersLogShowsAForgedNameOnOneLine)
{
    MapFixture fixture;
    QString error;
    ASSERT_TRUE(fixture.createMaps(standardMaps(), &error)) << error.toStdString();
    ServerProcess server;
    ASSERT_TRUE(server.start(fixture.writeSettings("log"))) << server.errorOutput().toStdString();
    const QByteArray method =
        R"(Forjado\n2026-01-01 00:00:00.000 info M.GetDtIni 1 ms ok\u0000oculto\u001b[2J\t\r\u007f)";
    const RawAnswer answer = post(server.port(), "Fis01400.rdmDocForne", rpcBody(method, "[]"));
    EXPECT_EQ(answer.body.value("error").toObject().value("code").toInt(), -32601)
        << answer.rawBody.toStdString();
    const QStringList output = errorLinesUntil(server, QStringLiteral("Forjado"));
    const QStringList lines = linesWith(output, QStringLiteral("Forjado"));
    ASSERT_EQ(lines.size(), 1) << lines.join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(lines.first().contains(QStringLiteral(
        R"(Fis01400.rdmDocForne.Forjado\n2026-01-01 00:00:00.000 info M.GetDtIni 1 ms ok\0oculto\x1b[2J\t\r\x7f )")))
        << lines.first().toStdString();
    EXPECT_FALSE(lines.first().contains(QChar(0x1b)));
    // The forged entry is inside that line, never a line of its own.
    const QStringList forged = linesWith(output, QStringLiteral("info M.GetDtIni"));
    ASSERT_EQ(forged.size(), 1);
    EXPECT_FALSE(forged.first().startsWith(QStringLiteral("2026-01-01")));

    // A module name in the path: its bytes are no UTF-8 and hold a newline.
    const RawAnswer module = post(server.port(), "Modulo%FF%0Aforjado", rpcBody("GetDtIni", "[]"));
    EXPECT_EQ(module.body.value("error").toObject().value("code").toInt(), -32601)
        << module.rawBody.toStdString();
    const QStringList moduleLines =
        linesWith(errorLinesUntil(server, QStringLiteral("Modulo")), QStringLiteral("Modulo"));
    ASSERT_EQ(moduleLines.size(), 1) << moduleLines.join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(moduleLines.first().contains(QStringLiteral(R"(Modulo\xff\nforjado.GetDtIni )")))
        << moduleLines.first().toStdString();
}

// A database without the report queue's tables: the server's three queue workers find it so,
// and the log says once what to do; a call to the queue is told the same in the clerk's words.
TEST(RequestLog, AQueueWithoutItsTablesIsToldOnce)
{
    MapFixture fixture;
    if (!fixture.isSqlite())
        GTEST_SKIP() << "the database of VELMORA_APPSERVER_TEST_CONFIG may hold the queue";
    QString error;
    ASSERT_TRUE(fixture.createMaps(standardMaps(), &error)) << error.toStdString();
    const QString settings = fixture.writeSettings("semfila");
    QSettings(settings, QSettings::IniFormat).setValue(QStringLiteral("Archive/Jobs"), 3);
    ServerProcess server;
    ASSERT_TRUE(server.start(settings)) << server.errorOutput().toStdString();
    QStringList output = errorLinesUntil(server, QStringLiteral("velmora-db upgrade"));
    const RawAnswer answer =
        post(server.port(), "Velmora.Relatorios", rpcBody("Listar", "[\"ana\"]"));
    EXPECT_EQ(answer.body.value("error").toObject().value("message").toString(),
              QStringLiteral("A fila de relatórios ainda não existe no banco de dados deste "
                             "servidor: o administrador deve executar velmora-db upgrade."));
    output += errorLinesUntil(server, QStringLiteral("Velmora.Relatorios.Listar"));
    EXPECT_EQ(linesWith(output, QStringLiteral("fila de relatórios: As tabelas")).size(), 1)
        << output.join(QLatin1Char('\n')).toStdString();
}

} // namespace
