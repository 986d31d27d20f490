// The report queue through the server's remote interface: a real velmora-appserver over the
// test's database, working the queue beside its calls, on every engine.
#include "Fis014Job.h"
#include "JobFields.h"
#include "JobQueue.h"
#include "JobStatement.h"
#include "RawHttp.h"
#include "ReportTestSupport.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QTextStream>
#include <QThread>
#include <gtest/gtest.h>

#include <functional>

using AppServer::Jobs::JobQueue;
using AppServer::Jobs::ReportJob;

namespace {

const QByteArray token = "segredo-dos-testes";
const QString owner = QStringLiteral("balconista");

QStringList filesUnder(const QString &dir)
{
    QStringList files;
    QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << it.next().mid(dir.size() + 1);
    return files;
}

// A field of an answer's first row, by name; null when there is no such row or field.
QJsonValue field(const QJsonObject &answer, const QString &name, int row = 0)
{
    const QJsonObject packet = answer.value(QLatin1String("result")).toObject();
    const QJsonArray fields = packet.value(QLatin1String("fields")).toArray();
    const QJsonArray rows = packet.value(QLatin1String("rows")).toArray();
    for (qsizetype i = 0; i < fields.size(); ++i)
        if (fields[i].toObject().value(QLatin1String("name")).toString() == name)
            return rows.at(row).toArray().at(i);
    return QJsonValue::Null;
}

QString errorOf(const QJsonObject &answer)
{
    return answer.value(QLatin1String("error"))
        .toObject()
        .value(QLatin1String("message"))
        .toString();
}

QByteArray sha256(const QByteArray &bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
}

class JobServerTest : public ::testing::TestWithParam<QString>
{
protected:
    void SetUp() override
    {
        db.loadFixture();
        AddFis014Registrations(db);
        const ReportJob job = Fis014Job(layouts.file(QStringLiteral("FIS014.json")), {});
        layoutVersion = job.layoutVersion;
        params = AppServer::Jobs::paramsToJson(job.params);
        writeSettings();
        ASSERT_TRUE(startServer());
    }

    void writeSettings()
    {
        const Velmora::ConnectionSettings &c = db.connection().Settings();
        QFile file(folder.filePath(QStringLiteral("velmora.ini")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        QTextStream(&file) << "[Database]\nDriver=" << c.driver << "\nDatabase=" << c.database
                           << "\nHost=" << c.host
                           << "\nPort=" << (c.port ? QString::number(c.port) : QString())
                           << "\nUser=" << c.user << "\nPassword=" << c.password
                           << "\n[AppServer]\nToken=" << token << "\nLogLevel=warning"
                           << "\n[Reports]\nDirectory=" << layouts.path()
                           << "\n[Archive]\nDirectory=" << archive
                           << "\nJobs=1\nRetentionDays=30\n";
    }

    bool startServer()
    {
        server.start(QStringLiteral(VELMORA_APPSERVER),
                     {QStringLiteral("--config"), folder.filePath(QStringLiteral("velmora.ini")),
                      QStringLiteral("--port"), QStringLiteral("0")});
        QDeadlineTimer deadline(20000);
        while (!server.canReadLine() && !deadline.hasExpired() &&
               server.state() != QProcess::NotRunning)
            server.waitForReadyRead(100);
        const QByteArray line = server.readLine().trimmed();
        port = line.startsWith("porta: ") ? line.mid(7).toInt() : 0;
        if (port == 0)
            ADD_FAILURE() << line.toStdString() << server.readAllStandardError().toStdString();
        return port > 0;
    }

    void stopServer()
    {
        server.terminate();
        EXPECT_TRUE(server.waitForFinished(20000));
        EXPECT_EQ(server.exitCode(), 0);
    }

    void TearDown() override
    {
        if (server.state() != QProcess::NotRunning)
            stopServer();
    }

    QJsonObject call(const QByteArray &method, const QJsonArray &args)
    {
        return post(port, "Velmora.Relatorios",
                    rpcBody(method, QJsonDocument(args).toJson(QJsonDocument::Compact)),
                    "Authorization: Bearer " + token)
            .body;
    }

    QString enqueue(const QString &layout, const QString &version, const QString &format)
    {
        const QJsonObject answer =
            call("Enfileirar", {QStringLiteral("FIS01400"), QStringLiteral("FIS014"), layout,
                                version, owner, format, params});
        EXPECT_EQ(errorOf(answer), QString());
        return field(answer, QStringLiteral("IDJOB")).toString();
    }

    // The job's row once its state is one of `states`; the last row read when time ran out.
    QJsonObject waitFor(const QString &id, const QString &states)
    {
        QJsonObject answer;
        for (QDeadlineTimer deadline(120000); !deadline.hasExpired(); QThread::msleep(100)) {
            answer = call("Situacao", {id, owner});
            if (states.contains(field(answer, QStringLiteral("IDSITUACAO")).toString()))
                break;
        }
        return answer;
    }

    RawAnswer download(const QByteArray &id, const QByteArray &who,
                       const QByteArray &authorization = "Bearer " + token)
    {
        QByteArray request = "GET /relatorios/" + id + "?dono=" + who +
                             " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n";
        if (!authorization.isEmpty())
            request += "Authorization: " + authorization + "\r\n";
        return exchange(port, request + "\r\n", 30000);
    }

    TestDatabase db{GetParam()};
    LayoutDirectory layouts;
    QTemporaryDir folder;
    // Inside the settings' folder, so that a row naming "../velmora.ini" points at a real file.
    QString archive = folder.filePath(QStringLiteral("arquivo"));
    QString layoutVersion, params;
    QProcess server;
    int port = 0;
};

// Queued through the call, made by the server's own worker, listed with its pages, bytes and
// hash, and served whole with that hash; run again, it is a new job of the same request.
TEST_P(JobServerTest, MakesTheQueuedReportAndServesItsFile)
{
    const QString id = enqueue(QStringLiteral("FIS014.json"), layoutVersion, QStringLiteral("pdf"));
    ASSERT_EQ(id.size(), 36);
    const QJsonObject done = waitFor(id, QStringLiteral("PE"));
    ASSERT_EQ(field(done, QStringLiteral("IDSITUACAO")).toString(), QStringLiteral("P"))
        << field(done, QStringLiteral("DSERRO")).toString().toStdString();

    const QJsonObject listed = call("Listar", {owner});
    EXPECT_EQ(field(listed, QStringLiteral("IDJOB")).toString(), id);
    EXPECT_GT(field(listed, QStringLiteral("NRPAGINAS")).toString().toInt(), 0);
    EXPECT_EQ(field(listed, QStringLiteral("NRPERCENTUAL")).toString(), QStringLiteral("100"));
    EXPECT_EQ(field(listed, QStringLiteral("NMARQUIVO")).toString(),
              QStringLiteral("FIS014-%1.pdf").arg(id));
    EXPECT_TRUE(field(listed, QStringLiteral("DTFIM")).isDouble());
    EXPECT_TRUE(field(listed, QStringLiteral("CDAGENDA")).toString().isEmpty());
    const QString sha = field(listed, QStringLiteral("DSSHA256")).toString();

    const RawAnswer file = download(id.toLatin1(), owner.toLatin1());
    ASSERT_EQ(file.status, 200) << file.rawBody.left(300).toStdString();
    EXPECT_EQ(file.rawBody.size(),
              field(listed, QStringLiteral("NRBYTES")).toString().toLongLong());
    EXPECT_EQ(sha256(file.rawBody), sha.toLatin1());
    EXPECT_EQ(file.header("X-Velmora-Sha256"), sha.toLatin1());
    EXPECT_EQ(file.header("Content-Type"), QByteArray("application/pdf"));
    EXPECT_EQ(file.header("Content-Disposition"),
              QByteArray("attachment; filename=\"FIS014-" + id.toLatin1() + ".pdf\""));
    EXPECT_TRUE(file.rawBody.startsWith("%PDF"));

    const QJsonObject again = call("ExecutarNovamente", {id, owner});
    const QString second = field(again, QStringLiteral("IDJOB")).toString();
    ASSERT_EQ(second.size(), 36) << errorOf(again).toStdString();
    EXPECT_NE(second, id);
    const QJsonObject twin = call("Situacao", {second, owner});
    for (const char *name : {"CDTELA", "CDRELATORIO", "DSFORMATO", "DSPARAMETROS"})
        EXPECT_EQ(field(twin, QLatin1String(name)), field(done, QLatin1String(name))) << name;
    EXPECT_EQ(
        QJsonDocument::fromJson(field(twin, QStringLiteral("DSPARAMETROS")).toString().toUtf8()),
        QJsonDocument::fromJson(params.toUtf8()));
}

// Each refusal names what is wrong, in the clerk's words, and nothing of another owner shows.
TEST_P(JobServerTest, RefusesWhatItCannotTakeOrServe)
{
    const QString done =
        enqueue(QStringLiteral("FIS014.json"), layoutVersion, QStringLiteral("csv"));
    ASSERT_EQ(field(waitFor(done, QStringLiteral("PE")), QStringLiteral("IDSITUACAO")).toString(),
              QStringLiteral("P"));
    // Held by the test as if another server were making it; taken while the server is down,
    // so that its worker does not take it first.
    stopServer();
    JobQueue queue(&db.connection());
    ReportJob held = Fis014Job(layouts.file(QStringLiteral("FIS014.json")), QStringLiteral("pdf"));
    held.owner = owner;
    const QString running = queue.enqueue(held);
    ASSERT_TRUE(queue.claim(QStringLiteral("outro-servidor"), 3600));
    ASSERT_TRUE(startServer());

    const auto enqueued = [this](int at, const QString &value) {
        QJsonArray args{QStringLiteral("FIS01400"),
                        QStringLiteral("FIS014"),
                        QStringLiteral("FIS014.json"),
                        layoutVersion,
                        owner,
                        QStringLiteral("pdf"),
                        params};
        args[at] = value;
        return errorOf(call("Enfileirar", args));
    };
    const QString notJson = QStringLiteral("Os parâmetros do relatório devem ser um objeto JSON: "
                                           "cada valor um texto, uma data como {\"data\": "
                                           "\"AAAA-MM-DD\"} ou null.");
    const QString notFound = QStringLiteral("Relatório não encontrado.");
    const struct
    {
        const char *name;
        std::function<QString()> refusal;
        QString expected;
    } calls[] = {
        {"format", [&] { return enqueued(5, QStringLiteral("doc")); },
         QStringLiteral("O formato 'doc' não existe para relatórios: use pdf, csv, xlsx ou html.")},
        {"parameters not JSON", [&] { return enqueued(6, QStringLiteral("{\"P\":")); }, notJson},
        {"parameters a list", [&] { return enqueued(6, QStringLiteral("[1]")); }, notJson},
        {"parameter a number", [&] { return enqueued(6, QStringLiteral("{\"P\": 1}")); }, notJson},
        {"no owner", [&] { return enqueued(4, QStringLiteral("  ")); },
         QStringLiteral("O parâmetro dono deve ter de 1 a 40 caracteres; recebeu 2.")},
        {"owner too long", [&] { return enqueued(4, QString(41, QLatin1Char('x'))); },
         QStringLiteral("O parâmetro dono deve ter de 1 a 40 caracteres; recebeu 41.")},
        {"screen too long", [&] { return enqueued(0, QStringLiteral("FIS014000")); },
         QStringLiteral("O parâmetro tela deve ter de 1 a 8 caracteres; recebeu 9.")},
        {"layout in another folder", [&] { return enqueued(2, QStringLiteral("../FIS014.json")); },
         QStringLiteral("O leiaute '../FIS014.json' deve ser o nome de um arquivo da pasta de "
                        "leiautes, sem pastas: letras, dígitos, '_', '.' e '-'.")},
        {"version no hash", [&] { return enqueued(3, QStringLiteral("abc")); },
         QStringLiteral("A versão do leiaute deve ser o seu SHA-256 em 64 dígitos hexadecimais.")},
        {"another owner's job",
         [&] {
             return errorOf(call("Situacao", {done, QStringLiteral("outro")}));
         },
         notFound},
        {"another owner's cancel",
         [&] {
             return errorOf(call("Cancelar", {running, QStringLiteral("outro")}));
         },
         notFound},
        {"another owner's rerun",
         [&] {
             return errorOf(call("ExecutarNovamente", {done, QStringLiteral("outro")}));
         },
         notFound},
        {"unknown job",
         [&] {
             return errorOf(
                 call("Situacao", {QStringLiteral("0190f3a2-0000-7000-8000-000000000000"), owner}));
         },
         notFound},
        {"id of no job's shape",
         [&] {
             return errorOf(call("Situacao", {QStringLiteral("' OR 1=1 --"), owner}));
         },
         notFound},
        {"cancel of a done job",
         [&] {
             return errorOf(call("Cancelar", {done, owner}));
         },
         QStringLiteral("O relatório já está pronto: não há o que cancelar.")},
    };
    for (const auto &c : calls) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.refusal(), c.expected);
    }
    EXPECT_EQ(call("Listar", {QStringLiteral("outro")})
                  .value(QLatin1String("result"))
                  .toObject()
                  .value(QLatin1String("rows"))
                  .toArray()
                  .size(),
              0);

    const QByteArray doneId = done.toLatin1(), who = owner.toLatin1();
    const struct
    {
        const char *name;
        std::function<RawAnswer()> request;
        int status;
        QString message;
    } downloads[] = {
        {"no token", [&] { return download(doneId, who, {}); }, 401,
         QStringLiteral("Acesso negado: token ausente ou inválido.")},
        {"wrong token", [&] { return download(doneId, who, "Bearer outro"); }, 401,
         QStringLiteral("Acesso negado: token ausente ou inválido.")},
        {"no owner", [&] { return download(doneId, ""); }, 400,
         QStringLiteral("Informe o dono do relatório: /relatorios/<id>?dono=<usuário>.")},
        {"another owner", [&] { return download(doneId, "outro"); }, 404, notFound},
        {"unknown id", [&] { return download("0190f3a2-0000-7000-8000-000000000000", who); }, 404,
         notFound},
        {"climbing id", [&] { return download("..%2F..%2F..%2Fetc%2Fpasswd", who); }, 404,
         notFound},
        {"climbing path", [&] { return download("../../velmora.ini", who); }, 404, notFound},
        {"not ready", [&] { return download(running.toLatin1(), who); }, 409,
         QStringLiteral("O relatório ainda não está pronto.")},
        {"file removed",
         [&] {
             QFile::remove(QDir(archive).filePath(queue.find(done)->archivePath));
             return download(doneId, who);
         },
         410,
         QStringLiteral("O relatório não está mais no arquivo do servidor (foi removido); gere-o "
                        "de novo.")},
    };
    for (const auto &d : downloads) {
        SCOPED_TRACE(d.name);
        const RawAnswer answer = d.request();
        EXPECT_EQ(answer.status, d.status);
        EXPECT_EQ(errorOf(answer.body), d.message);
        EXPECT_TRUE(answer.header("X-Velmora-Sha256").isEmpty());
    }
}

// A report that takes long (its query multiplies the documents, unsorted so that the rows come
// at once) cancelled while it runs: the server stops it and nothing of it stays in the archive. One
// queued behind it, as the only worker is busy, is cancelled at once.
TEST_P(JobServerTest, CancelOfARunningJobLeavesNoFile)
{
    QByteArray slow = ReadText(layouts.file(QStringLiteral("FIS014.json"))).toUtf8();
    const QByteArray copies =
        "DOCENTRADA X1, DOCENTRADA X2, DOCENTRADA X3, DOCENTRADA X4, DOCENTRADA X5, ";
    slow.replace("  FROM DOCENTRADA D\"", "  FROM " + copies + "DOCENTRADA D\"");
    slow.replace("  FROM DOCENTRADA D, ", "  FROM " + copies + "DOCENTRADA D, ");
    slow.replace(" ORDER BY D.NRINSJURFORN, D.DTENTRADA, D.NRDOCUMENTO, D.CDSERIE, D.CDFILIAL", "");
    layouts.write(QStringLiteral("FIS014LENTO.json"), slow);
    const QString id = enqueue(QStringLiteral("FIS014LENTO.json"),
                               QString::fromLatin1(sha256(slow)), QStringLiteral("pdf"));
    ASSERT_EQ(field(waitFor(id, QStringLiteral("GPE")), QStringLiteral("IDSITUACAO")).toString(),
              QStringLiteral("G"));
    const QString behind =
        enqueue(QStringLiteral("FIS014.json"), layoutVersion, QStringLiteral("csv"));
    EXPECT_EQ(field(call("Cancelar", {behind, owner}), QStringLiteral("IDSITUACAO")).toString(),
              QStringLiteral("C"));

    const QJsonObject asked = call("Cancelar", {id, owner});
    EXPECT_EQ(field(asked, QStringLiteral("IDSITUACAO")).toString(), QStringLiteral("G"))
        << errorOf(asked).toStdString();
    EXPECT_EQ(field(waitFor(id, QStringLiteral("PEC")), QStringLiteral("IDSITUACAO")).toString(),
              QStringLiteral("C"));
    EXPECT_EQ(field(call("Situacao", {behind, owner}), QStringLiteral("IDSITUACAO")).toString(),
              QStringLiteral("C"));
    EXPECT_EQ(filesUnder(archive), QStringList());
    EXPECT_EQ(download(id.toLatin1(), owner.toLatin1()).status, 409);
}

// At start (and every hour) the server deletes the jobs that ended before the retention's days
// with their files, and the partial files a day old that a killed server left; nothing else,
// and nothing outside the archive, whatever a row names.
TEST_P(JobServerTest, RetentionRemovesOldJobsAndStalePartials)
{
    const QString old =
        enqueue(QStringLiteral("FIS014.json"), layoutVersion, QStringLiteral("csv"));
    const QString recent =
        enqueue(QStringLiteral("FIS014.json"), layoutVersion, QStringLiteral("csv"));
    ASSERT_EQ(field(waitFor(recent, QStringLiteral("PE")), QStringLiteral("IDSITUACAO")).toString(),
              QStringLiteral("P"));
    stopServer();

    JobQueue queue(&db.connection());
    ReportJob forged =
        Fis014Job(layouts.file(QStringLiteral("FIS014.json")), QStringLiteral("csv"));
    forged.owner = owner;
    const QString outside = queue.enqueue(forged);
    ASSERT_TRUE(queue.claim(QStringLiteral("outro-servidor"), 60));
    ASSERT_TRUE(
        queue.complete(outside, QStringLiteral("outro-servidor"),
                       {QStringLiteral("../velmora.ini"), QString(64, QLatin1Char('0')), 1, 0, 0}));
    const QDateTime longAgo = QDateTime::currentDateTime().addDays(-31);
    for (const QString &id : {old, outside})
        AppServer::Jobs::JobStatement(db.connection(), QStringLiteral("envelhecer o relatório"))
            .run(QStringLiteral("UPDATE RELATJOB SET DTFIM = ? WHERE IDRELATJOB = ?"),
                 {longAgo, id});
    const QString oldFile = queue.find(old)->archivePath;
    const QString recentFile = queue.find(recent)->archivePath;

    const auto leave = [this](const QString &name, int daysOld) {
        QDir(archive).mkpath(QFileInfo(name).path());
        QFile file(QDir(archive).filePath(name));
        file.open(QIODevice::WriteOnly);
        file.write("parte");
        file.flush(); // else the write at close would make it new again
        file.setFileTime(QDateTime::currentDateTime().addDays(-daysOld),
                         QFileDevice::FileModificationTime);
    };
    const QString stale =
        QStringLiteral("2020/01/.FIS014-0190f3a2-0000-7000-8000-000000000000.0123abcd.parcial.pdf");
    const QStringList kept = {
        QStringLiteral("2020/01/.FIS014-0190f3a2-0000-7000-8000-000000000001.89abcdef.parcial.csv"),
        QStringLiteral("2020/01/.FIS014-job-17.0123abcd.parcial.pdf"),
        QStringLiteral("2020/01/.FIS014-0190f3a2-0000-7000-8000-000000000002.0123abcd.parcial.doc"),
        QStringLiteral("notas.parcial.pdf")};
    leave(stale, 2);
    leave(kept[0], 0);
    for (const QString &name : kept.mid(1))
        leave(name, 2);

    ASSERT_TRUE(startServer());
    for (QDeadlineTimer deadline(60000);
         !deadline.hasExpired() &&
         (queue.find(old) || QFile::exists(QDir(archive).filePath(stale)));
         QThread::msleep(100)) {
    }
    EXPECT_FALSE(queue.find(old));
    EXPECT_FALSE(queue.find(outside));
    EXPECT_TRUE(queue.find(recent));
    QStringList expected = kept;
    expected << recentFile;
    expected.sort();
    QStringList files = filesUnder(archive);
    files.sort();
    EXPECT_EQ(files, expected) << oldFile.toStdString();
    EXPECT_TRUE(QFile::exists(folder.filePath(QStringLiteral("velmora.ini"))));
}

INSTANTIATE_TEST_SUITE_P(Engines, JobServerTest, ::testing::ValuesIn(TestDatabase::Engines()),
                         [](const auto &info) { return info.param.toStdString(); });

} // namespace
