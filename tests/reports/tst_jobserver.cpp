// The report queue through the server's remote interface: a real velmora-appserver over the
// test's database, working the queue beside its calls, on every engine.
#include "Fis014Job.h"
#include "JobFields.h"
#include "JobQueue.h"
#include "JobStatement.h"
#include "RawHttp.h"
#include "ReportTestSupport.h"
#include "data/ReportParameters.h"

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

using AppServer::Jobs::JobQueue;
using AppServer::Jobs::ReportJob;

namespace {

const QByteArray token = "segredo-dos-testes";
const QString owner = QStringLiteral("balconista");

// Sorted.
QStringList filesUnder(const QString &dir)
{
    QStringList files;
    QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << it.next().mid(dir.size() + 1);
    files.sort();
    return files;
}

// A text of an answer's first row, by field name; empty when there is no such row or field.
QString field(const QJsonObject &answer, const char *name)
{
    const QJsonObject packet = answer.value(QLatin1String("result")).toObject();
    const QJsonArray fields = packet.value(QLatin1String("fields")).toArray();
    for (qsizetype i = 0; i < fields.size(); ++i)
        if (fields[i].toObject().value(QLatin1String("name")).toString() == QLatin1String(name))
            return packet.value(QLatin1String("rows"))[0][i].toString();
    return {};
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
        params = Velmora::ReportParametersJson(job.params);
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

    QString enqueue(const QString &format, const QString &layout = QStringLiteral("FIS014.json"),
                    const QString &version = {})
    {
        const QJsonObject answer = call(
            "Enfileirar", {QStringLiteral("FIS01400"), QStringLiteral("FIS014"), layout,
                           version.isEmpty() ? layoutVersion : version, owner, format, params});
        EXPECT_EQ(errorOf(answer), QString());
        return field(answer, "IDJOB");
    }

    // The job's row once its state is one of `states`; the last row read when time ran out.
    QJsonObject waitFor(const QString &id, const QString &states)
    {
        QJsonObject answer;
        for (QDeadlineTimer deadline(120000); !deadline.hasExpired(); QThread::msleep(100)) {
            answer = call("Situacao", {id, owner});
            if (states.contains(field(answer, "IDSITUACAO")))
                break;
        }
        return answer;
    }
    QString stateOnceIn(const QString &id, const QString &states)
    {
        return field(waitFor(id, states), "IDSITUACAO");
    }

    // A job held as if another server were making it; queued while this one is down, so that
    // its worker does not take it first.
    QString heldJob(JobQueue &queue)
    {
        ReportJob job =
            Fis014Job(layouts.file(QStringLiteral("FIS014.json")), QStringLiteral("csv"));
        job.owner = owner;
        const QString id = queue.enqueue(job);
        EXPECT_TRUE(queue.claim(QStringLiteral("outro-servidor"), 3600));
        return id;
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
    const QString id = enqueue(QStringLiteral("pdf"));
    ASSERT_EQ(id.size(), 36);
    const QJsonObject done = waitFor(id, QStringLiteral("PE"));
    ASSERT_EQ(field(done, "IDSITUACAO"), QStringLiteral("P"))
        << field(done, "DSERRO").toStdString();

    const QJsonObject listed = call("Listar", {owner});
    EXPECT_EQ(field(listed, "IDJOB"), id);
    EXPECT_GT(field(listed, "NRPAGINAS").toInt(), 0);
    EXPECT_EQ(field(listed, "NRPERCENTUAL"), QStringLiteral("100"));
    EXPECT_EQ(field(listed, "NMARQUIVO"), QStringLiteral("FIS014-%1.pdf").arg(id));
    EXPECT_TRUE(field(listed, "CDAGENDA").isEmpty());
    const QString sha = field(listed, "DSSHA256");

    const RawAnswer file = download(id.toLatin1(), owner.toLatin1());
    ASSERT_EQ(file.status, 200) << file.rawBody.left(300).toStdString();
    EXPECT_EQ(file.rawBody.size(), field(listed, "NRBYTES").toLongLong());
    EXPECT_EQ(sha256(file.rawBody), sha.toLatin1());
    EXPECT_EQ(file.header("X-Velmora-Sha256"), sha.toLatin1());
    EXPECT_EQ(file.header("Content-Type"), QByteArray("application/pdf"));
    EXPECT_EQ(file.header("Content-Disposition"),
              QByteArray("attachment; filename=\"FIS014-" + id.toLatin1() + ".pdf\""));
    EXPECT_TRUE(file.rawBody.startsWith("%PDF"));

    const QJsonObject again = call("ExecutarNovamente", {id, owner});
    const QString second = field(again, "IDJOB");
    ASSERT_EQ(second.size(), 36) << errorOf(again).toStdString();
    EXPECT_NE(second, id);
    const QJsonObject twin = call("Situacao", {second, owner});
    for (const char *name : {"CDTELA", "CDRELATORIO", "DSFORMATO", "DSPARAMETROS"})
        EXPECT_EQ(field(twin, name), field(done, name)) << name;
    EXPECT_EQ(QJsonDocument::fromJson(field(twin, "DSPARAMETROS").toUtf8()),
              QJsonDocument::fromJson(params.toUtf8()));
}

// Each refusal names what is wrong, in the clerk's words, and nothing of another owner shows.
TEST_P(JobServerTest, RefusesWhatItCannotTakeOrServe)
{
    const QString done = enqueue(QStringLiteral("csv"));
    ASSERT_EQ(stateOnceIn(done, QStringLiteral("PE")), QStringLiteral("P"));
    stopServer();
    JobQueue queue(&db.connection());
    const QString running = heldJob(queue);
    ASSERT_TRUE(startServer());

    // Enfileirar's arguments with one of them changed.
    const auto request = [this](int at, const QString &value) {
        QJsonArray args{QStringLiteral("FIS01400"),
                        QStringLiteral("FIS014"),
                        QStringLiteral("FIS014.json"),
                        layoutVersion,
                        owner,
                        QStringLiteral("pdf"),
                        params};
        args[at] = value;
        return args;
    };
    const QString notJson = QStringLiteral("Os parâmetros do relatório devem ser um objeto JSON: "
                                           "cada valor um texto, uma data como {\"data\": "
                                           "\"AAAA-MM-DD\"} ou null.");
    const QString notFound = QStringLiteral("Relatório não encontrado.");
    const QString other = QStringLiteral("outro");
    const QString unknown = QStringLiteral("0190f3a2-0000-7000-8000-000000000000");
    const struct
    {
        const char *method;
        QJsonArray args;
        QString expected;
    } calls[] = {
        {"Enfileirar", request(5, QStringLiteral("doc")),
         QStringLiteral("O formato 'doc' não existe para relatórios: use pdf, csv, xlsx ou html.")},
        {"Enfileirar", request(6, QStringLiteral("{\"P\":")), notJson},
        {"Enfileirar", request(6, QStringLiteral("[1]")), notJson},
        {"Enfileirar", request(6, QStringLiteral("{\"P\": 1}")), notJson},
        {"Enfileirar", request(4, QStringLiteral("  ")),
         QStringLiteral("O parâmetro dono deve ter de 1 a 40 caracteres; recebeu 2.")},
        {"Enfileirar", request(4, QString(41, QLatin1Char('x'))),
         QStringLiteral("O parâmetro dono deve ter de 1 a 40 caracteres; recebeu 41.")},
        {"Enfileirar", request(0, QStringLiteral("FIS014000")),
         QStringLiteral("O parâmetro tela deve ter de 1 a 8 caracteres; recebeu 9.")},
        {"Enfileirar", request(2, QStringLiteral("../FIS014.json")),
         QStringLiteral("O leiaute '../FIS014.json' deve ser o nome de um arquivo da pasta de "
                        "leiautes, sem pastas: letras, dígitos, '_', '.' e '-'.")},
        {"Enfileirar", request(3, QStringLiteral("abc")),
         QStringLiteral("A versão do leiaute deve ser o seu SHA-256 em 64 dígitos hexadecimais.")},
        {"Situacao", {done, other}, notFound},
        {"Cancelar", {running, other}, notFound},
        {"ExecutarNovamente", {done, other}, notFound},
        {"Situacao", {unknown, owner}, notFound},
        {"Situacao", {QStringLiteral("' OR 1=1 --"), owner}, notFound},
        {"Cancelar",
         {done, owner},
         QStringLiteral("O relatório já está pronto: não há o que cancelar.")},
    };
    for (const auto &c : calls) {
        SCOPED_TRACE(QJsonDocument(c.args).toJson().toStdString());
        EXPECT_EQ(errorOf(call(c.method, c.args)), c.expected) << c.method;
    }
    EXPECT_EQ(field(call("Listar", {other}), "IDJOB"), QString());

    QFile::remove(QDir(archive).filePath(queue.find(done)->archivePath));
    const QByteArray bearer = "Bearer " + token, who = owner.toLatin1();
    const QString denied = QStringLiteral("Acesso negado: token ausente ou inválido.");
    const struct
    {
        QByteArray id, who, authorization;
        int status;
        QString message;
    } downloads[] = {
        {done.toLatin1(), who, {}, 401, denied},
        {done.toLatin1(), who, "Bearer outro", 401, denied},
        {done.toLatin1(),
         {},
         bearer,
         400,
         QStringLiteral("Informe o dono do relatório: /relatorios/<id>?dono=<usuário>.")},
        {done.toLatin1(), "outro", bearer, 404, notFound},
        {unknown.toLatin1(), who, bearer, 404, notFound},
        {"..%2F..%2F..%2Fetc%2Fpasswd", who, bearer, 404, notFound},
        {"../../velmora.ini", who, bearer, 404, notFound},
        {running.toLatin1(), who, bearer, 409,
         QStringLiteral("O relatório ainda não está pronto.")},
        {done.toLatin1(), who, bearer, 410,
         QStringLiteral("O relatório não está mais no arquivo do servidor (foi removido); gere-o "
                        "de novo.")},
    };
    for (const auto &d : downloads) {
        SCOPED_TRACE(d.id.toStdString() + " " + d.who.toStdString());
        const RawAnswer answer = download(d.id, d.who, d.authorization);
        EXPECT_EQ(answer.status, d.status);
        EXPECT_EQ(errorOf(answer.body), d.message);
        EXPECT_TRUE(answer.header("X-Velmora-Sha256").isEmpty());
    }
}

// A report that takes long (its query multiplies the documents, and sorts them before its first
// row) cancelled while it runs: the server stops it and nothing of it stays in the archive. One
// queued behind it, as the only worker is busy, is cancelled at once.
TEST_P(JobServerTest, CancelOfARunningJobLeavesNoFile)
{
    QByteArray slow = ReadText(layouts.file(QStringLiteral("FIS014.json"))).toUtf8();
    const QByteArray copies =
        "DOCENTRADA X1, DOCENTRADA X2, DOCENTRADA X3, DOCENTRADA X4, DOCENTRADA X5, ";
    slow.replace("  FROM DOCENTRADA D\"", "  FROM " + copies + "DOCENTRADA D\"");
    slow.replace("  FROM DOCENTRADA D, ", "  FROM " + copies + "DOCENTRADA D, ");
    layouts.write(QStringLiteral("FIS014LENTO.json"), slow);
    const QString id = enqueue(QStringLiteral("pdf"), QStringLiteral("FIS014LENTO.json"),
                               QString::fromLatin1(sha256(slow)));
    ASSERT_EQ(stateOnceIn(id, QStringLiteral("GPE")), QStringLiteral("G"));
    const QString behind = enqueue(QStringLiteral("csv"));
    EXPECT_EQ(field(call("Cancelar", {behind, owner}), "IDSITUACAO"), QStringLiteral("C"));

    const QJsonObject asked = call("Cancelar", {id, owner});
    EXPECT_EQ(field(asked, "IDSITUACAO"), QStringLiteral("G")) << errorOf(asked).toStdString();
    EXPECT_EQ(stateOnceIn(id, QStringLiteral("PEC")), QStringLiteral("C"));
    EXPECT_EQ(field(call("Situacao", {behind, owner}), "IDSITUACAO"), QStringLiteral("C"));
    EXPECT_EQ(filesUnder(archive), QStringList());
    EXPECT_EQ(download(id.toLatin1(), owner.toLatin1()).status, 409);
}

// At start (and every hour) the server deletes the jobs that ended before the retention's days
// with their files, and the partial files a day old that a killed server left; nothing else,
// and nothing outside the archive, whatever a row names.
TEST_P(JobServerTest, RetentionRemovesOldJobsAndStalePartials)
{
    const QString old = enqueue(QStringLiteral("csv"));
    const QString recent = enqueue(QStringLiteral("csv"));
    ASSERT_EQ(stateOnceIn(recent, QStringLiteral("PE")), QStringLiteral("P"));
    stopServer();

    JobQueue queue(&db.connection());
    const QString outside = heldJob(queue);
    ASSERT_TRUE(
        queue.complete(outside, QStringLiteral("outro-servidor"),
                       {QStringLiteral("../velmora.ini"), QString(64, QLatin1Char('0')), 1, 0, 0}));
    const QDateTime longAgo = QDateTime::currentDateTime().addDays(-31);
    for (const QString &id : {old, outside})
        AppServer::Jobs::JobStatement(db.connection(), QStringLiteral("envelhecer o relatório"))
            .run(QStringLiteral("UPDATE RELATJOB SET DTFIM = ? WHERE IDRELATJOB = ?"),
                 {longAgo, id});

    const struct
    {
        QString name;
        int daysOld;
        bool kept;
    } partials[] = {
        {QStringLiteral(
             "2020/01/.FIS014-0190f3a2-0000-7000-8000-000000000000.0123abcd.parcial.pdf"),
         2, false},
        {QStringLiteral(
             "2020/01/.FIS014-0190f3a2-0000-7000-8000-000000000001.89abcdef.parcial.csv"),
         0, true},
        {QStringLiteral("2020/01/.FIS014-job-17.0123abcd.parcial.pdf"), 2, true},
        {QStringLiteral(
             "2020/01/.FIS014-0190f3a2-0000-7000-8000-000000000002.0123abcd.parcial.doc"),
         2, true},
        {QStringLiteral("notas.parcial.pdf"), 2, true},
    };
    QStringList expected{queue.find(recent)->archivePath};
    for (const auto &p : partials) {
        QDir(archive).mkpath(QFileInfo(p.name).path());
        QFile file(QDir(archive).filePath(p.name));
        file.open(QIODevice::WriteOnly);
        file.write("parte");
        file.flush(); // else the write at close would make it new again
        file.setFileTime(QDateTime::currentDateTime().addDays(-p.daysOld),
                         QFileDevice::FileModificationTime);
        if (p.kept)
            expected << p.name;
    }
    expected.sort();

    ASSERT_TRUE(startServer());
    for (QDeadlineTimer deadline(60000);
         !deadline.hasExpired() && (queue.find(old) || filesUnder(archive) != expected);
         QThread::msleep(100)) {
    }
    EXPECT_FALSE(queue.find(old));
    EXPECT_FALSE(queue.find(outside));
    EXPECT_TRUE(queue.find(recent));
    EXPECT_EQ(filesUnder(archive), expected);
    EXPECT_TRUE(QFile::exists(folder.filePath(QStringLiteral("velmora.ini"))));
}

INSTANTIATE_TEST_SUITE_P(Engines, JobServerTest, ::testing::ValuesIn(TestDatabase::Engines()),
                         [](const auto &info) { return info.param.toStdString(); });

} // namespace
