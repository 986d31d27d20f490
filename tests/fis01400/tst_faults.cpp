// Faults met while the screen is open: each ends in one message, the focus where it was, the
// typed values intact, and the next action succeeds once the fault is gone.
#include "FileSizeLimit.h"
#include "ScreenTest.h"

#include <QAbstractButton>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMap>
#include <QTimer>

namespace {

class Faults : public ScreenTest
{
protected:
    // A filled screen whose checks all pass, the focus in the company code.
    void fill()
    {
        ASSERT_TRUE(enter("medCdImposto", QStringLiteral("01")));
        ASSERT_TRUE(enter("medCdEmpresa", QStringLiteral("01")));
        ASSERT_TRUE(enter("edtInscricao", QStringLiteral("110042490114")));
        ASSERT_TRUE(enter("depDtInicial", QStringLiteral("01012024")));
        ASSERT_TRUE(enter("depDtFinal", QStringLiteral("29022024")));
        click("medCdEmpresa");
        ASSERT_EQ(focusName(), QStringLiteral("medCdEmpresa"));
        ASSERT_TRUE(messages().isEmpty()) << qPrintable(messages().join('\n'));
        typed = values();
    }
    QMap<QString, QString> values() const
    {
        QMap<QString, QString> shown;
        for (const char *name : {"medCdImposto", "edtNmImposto", "medCdEmpresa", "edtNmEmpresa",
                                 "edtInscricao", "depDtInicial", "depDtFinal"})
            shown.insert(QLatin1String(name), text(name));
        return shown;
    }
    // The report actions ask where to write; the script answers.
    void print(const QString &file)
    {
        recorder.queueFile(Environment().folder() + QLatin1Char('/') + file);
        click("sbtPrint");
        recorder.discardAnswers();
    }
    void save(const QString &file)
    {
        recorder.queueFile(Environment().folder() + QLatin1Char('/') + file);
        click("sbtSalvarComo");
        recorder.discardAnswers();
    }
    int reports() const { return static_cast<int>(recorder.of(QStringLiteral("report")).size()); }
    // After a failure: the one message (none for a call given up), and nothing else moved.
    void expectOnly(const QString &message)
    {
        EXPECT_EQ(messages(), message.isEmpty() ? QStringList{} : QStringList{message});
        EXPECT_EQ(focusName(), QStringLiteral("medCdEmpresa"));
        EXPECT_EQ(values(), typed);
        EXPECT_TRUE(recorder.of(QStringLiteral("dialog")).isEmpty());
        EXPECT_EQ(reports(), 0);
        recorder.clear();
        recorder.events.clear();
    }
    // The screen works again: a date through the lookup, then the report.
    void expectWorking(const QString &file)
    {
        recorder.clear();
        recorder.events.clear();
        lookupRow("btnDataIni", 2);
        EXPECT_EQ(text("depDtInicial"), QStringLiteral("01/01/2024"));
        print(file);
        EXPECT_TRUE(messages().isEmpty()) << qPrintable(messages().join('\n'));
        EXPECT_EQ(reports(), 1);
        EXPECT_TRUE(QFileInfo::exists(Environment().folder() + QLatin1Char('/') + file));
    }
    QString inFolder(const QString &name) const
    {
        return Environment().folder() + QLatin1Char('/') + name;
    }

    QMap<QString, QString> typed;
};

TEST_F(Faults, AServerKilledMidSessionFailsClearlyAndServesAgainAfterARestart)
{
    fill();
    const int port = Environment().serverPort();
    Environment().killServer();
    const QString refused =
        QStringLiteral("Não foi possível conectar ao servidor de aplicação em 127.0.0.1:%1: "
                       "conexão recusada ou endereço inalcançável.")
            .arg(port);
    click("btnDataIni");
    expectOnly(refused);
    click("btnDataFim");
    expectOnly(refused);
    print(QStringLiteral("morto.pdf")); // the period check asks the server
    expectOnly(refused);
    EXPECT_FALSE(QFileInfo::exists(inFolder(QStringLiteral("morto.pdf"))));

    Environment().startServer(port);
    expectWorking(QStringLiteral("de-volta.pdf"));
}

class SlowServer : public Faults
{
protected:
    void SetUp() override
    {
        Environment().setCallTimeout(750);
        Environment().writeSettings();
        Environment().installSettings();
        Faults::SetUp();
    }
    void TearDown() override
    {
        Environment().resumeServer();
        Environment().setCallTimeout(5000);
        Faults::TearDown();
    }
};

TEST_F(SlowServer, ACallTimesOutAndTheScreenGoesOn)
{
    fill();
    Environment().pauseServer();
    const QString late =
        QStringLiteral("O servidor de aplicação em 127.0.0.1:%1 não respondeu em 750 ms.")
            .arg(Environment().serverPort());
    click("btnDataIni");
    expectOnly(late);
    print(QStringLiteral("lento.pdf"));
    expectOnly(late);
    EXPECT_FALSE(QFileInfo::exists(inFolder(QStringLiteral("lento.pdf"))));

    Environment().resumeServer();
    expectWorking(QStringLiteral("em-dia.pdf"));
}

class StoppedServer : public Faults
{
protected:
    void TearDown() override
    {
        Environment().resumeServer();
        Faults::TearDown();
    }
};

// The call's time-out stays at 5 s: only the clerk's Cancelar ends these calls early.
TEST_F(StoppedServer, TheClerkGivesUpAPendingCallAndTheScreenGoesOn)
{
    fill();
    Environment().pauseServer();
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(20);
    // While the lookup waits, the clerk clicks a choice of the screen and code presses the
    // other date's lookup. Neither may get in: the click would switch the choice, the lookup
    // would hang in a second call on the busy connection.
    qint64 intrusionMs = -1;
    bool waitCursor = false;
    QTimer::singleShot(200, [&] {
        const QCursor *cursor = QGuiApplication::overrideCursor();
        waitCursor = cursor && cursor->shape() == Qt::WaitCursor;
        QElapsedTimer inside;
        inside.start();
        try {
            click("rdbListaFor");
            qobject_cast<QAbstractButton *>(control("btnDataFim"))->click();
        } catch (...) {
        }
        intrusionMs = inside.elapsed();
    });
    QElapsedTimer clock;
    clock.start();
    recorder.queueServerCancel(100);
    click("btnDataIni");
    EXPECT_LT(clock.elapsed(), 2500);
    EXPECT_GE(ticks, 15); // the window kept repainting
    ticker.stop();
    EXPECT_TRUE(intrusionMs >= 0 && intrusionMs < 300) << intrusionMs;
    EXPECT_FALSE(checked("rdbListaFor"));
    EXPECT_TRUE(waitCursor);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(recorder.of(QStringLiteral("wait")).size(), 1);
    expectOnly({});

    // The period check of the report, given up: the report stops with no message.
    recorder.queueServerCancel(100);
    print(QStringLiteral("desistido.pdf"));
    EXPECT_EQ(recorder.of(QStringLiteral("wait")).size(), 1);
    expectOnly({});
    EXPECT_FALSE(QFileInfo::exists(inFolder(QStringLiteral("desistido.pdf"))));

    Environment().resumeServer();
    expectWorking(QStringLiteral("retomado.pdf"));
}

TEST_F(Faults, ALayoutGoneUnreadableOrCorruptBetweenTwoRuns)
{
    fill();
    print(QStringLiteral("primeiro.pdf"));
    ASSERT_EQ(reports(), 1) << qPrintable(messages().join('\n'));
    recorder.events.clear();

    const QString layout = inFolder(QStringLiteral("layouts/FIS014.json"));
    QFile original(layout);
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    const QByteArray content = original.readAll();
    original.close();

    ASSERT_TRUE(QFile::remove(layout));
    print(QStringLiteral("sem-layout.pdf"));
    expectOnly(QStringLiteral("O layout de relatório '%1' não pôde ser lido: o arquivo ou a pasta "
                              "não existe.")
                   .arg(layout));

    ASSERT_TRUE(QDir().mkdir(layout));
    print(QStringLiteral("sem-layout.pdf"));
    expectOnly(QStringLiteral("O layout de relatório '%1' não pôde ser lido: há uma pasta com "
                              "esse nome.")
                   .arg(layout));
    ASSERT_TRUE(QDir().rmdir(layout));

    QFile corrupt(layout);
    ASSERT_TRUE(corrupt.open(QIODevice::WriteOnly));
    corrupt.write(R"({"title": "Documentos por Fornecedor",)"); // cut short, as by a failed copy
    corrupt.close();
    print(QStringLiteral("sem-layout.pdf"));
    expectOnly(QStringLiteral("O layout de relatório '%1' está corrompido: JSON inválido na "
                              "posição 38 (objeto não terminado).")
                   .arg(layout));
    EXPECT_FALSE(QFileInfo::exists(inFolder(QStringLiteral("sem-layout.pdf"))));

    ASSERT_TRUE(corrupt.open(QIODevice::WriteOnly));
    corrupt.write(content);
    corrupt.close();
    expectWorking(QStringLiteral("segundo.pdf"));
}

TEST_F(Faults, AnExportThatCannotBeWrittenLeavesNothingUnderItsName)
{
    fill();
    save(QStringLiteral("sem-pasta/fis014.csv"));
    expectOnly(QStringLiteral("Não foi possível gravar o arquivo '%1': a pasta '%2' não existe.")
                   .arg(inFolder(QStringLiteral("sem-pasta/fis014.csv")),
                        inFolder(QStringLiteral("sem-pasta"))));

    const QString path = inFolder(QStringLiteral("fis014.xlsx"));
    save(QStringLiteral("fis014.xlsx"));
    ASSERT_EQ(reports(), 1) << qPrintable(messages().join('\n'));
    recorder.events.clear();
    QFile earlier(path);
    ASSERT_TRUE(earlier.open(QIODevice::ReadOnly));
    const QByteArray before = earlier.readAll();
    earlier.close();
    const QStringList entries = QDir(Environment().folder()).entryList(QDir::Files | QDir::Hidden);
    {
        const FileSizeLimit full(static_cast<rlim_t>(before.size() / 2));
        save(QStringLiteral("fis014.xlsx"));
    }
    expectOnly(QStringLiteral("Não foi possível gravar o arquivo '%1': o arquivo passou do tamanho "
                              "máximo permitido.")
                   .arg(path));
    ASSERT_TRUE(earlier.open(QIODevice::ReadOnly));
    EXPECT_EQ(earlier.readAll(), before);
    earlier.close();
    EXPECT_EQ(QDir(Environment().folder()).entryList(QDir::Files | QDir::Hidden), entries);

    save(QStringLiteral("fis014.xlsx"));
    EXPECT_TRUE(messages().isEmpty()) << qPrintable(messages().join('\n'));
    EXPECT_EQ(reports(), 1);
}

} // namespace
