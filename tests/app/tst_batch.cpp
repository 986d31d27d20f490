#include "BatchJobRun.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// The batch runner as other tools use it: the velmora executable, a job, the trace on
// standard output and the exit status.
namespace {

class BatchTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        writeConfig(QStringLiteral("velmora_testpkg"));
    }
    void writeConfig(const QString &packages)
    {
        QFile ini(dir.filePath(QStringLiteral("velmora.ini")));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ini.write(QStringLiteral("[Packages]\nLoad=%1\n").arg(packages).toUtf8());
    }
    JobRun run(const QByteArray &job, bool throughStdin = false)
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("VELMORA_LANG"), QStringLiteral("C"));
        p.setProcessEnvironment(env);
        QString jobArg = QStringLiteral("-");
        if (!throughStdin) {
            jobArg = dir.filePath(QStringLiteral("job.json"));
            QFile f(jobArg);
            f.open(QIODevice::WriteOnly | QIODevice::Truncate);
            f.write(job);
        }
        p.start(QStringLiteral(VELMORA_EXE),
                {QStringLiteral("--config"), dir.filePath(QStringLiteral("velmora.ini")),
                 QStringLiteral("--batch"), jobArg});
        if (throughStdin) {
            p.write(job);
            p.closeWriteChannel();
        }
        JobRun r;
        if (!p.waitForFinished(60000)) {
            p.kill();
            return r;
        }
        r.status = p.exitCode();
        r.errors = QString::fromUtf8(p.readAllStandardError());
        for (const QByteArray &line : p.readAllStandardOutput().split('\n'))
            if (!line.trimmed().isEmpty())
                r.trace << QJsonDocument::fromJson(line).object();
        return r;
    }
    QTemporaryDir dir;
};

TEST_F(BatchTest, EnterTypesKeyByKeyAndTheTraceNamesTheFocus)
{
    const JobRun r = run(R"({"screen":"TST00100","steps":[
        {"do":"enter","control":"edtCodigo","text":"ab"},
        {"do":"enter","control":"edtNome","text":"José"},
        {"do":"enter","control":"edtCodigo","text":"12"},
        {"do":"enter","control":"edtNome","text":"  Ação   da  loja "},
        {"do":"dump"}]})");
    ASSERT_EQ(r.status, 0) << r.errors.toStdString();
    const auto messages = r.events(QStringLiteral("message"));
    ASSERT_EQ(messages.size(), 2); // the bad code, then the refused click into the name
    for (const QJsonObject &m : messages) {
        EXPECT_EQ(m.value(QLatin1String("text")).toString(), QStringLiteral("Código inválido."));
        EXPECT_EQ(m.value(QLatin1String("focus")).toString(), QStringLiteral("edtCodigo"));
    }
    EXPECT_FALSE(r.ok(1));
    EXPECT_FALSE(r.ok(2)); // no typing happened
    EXPECT_TRUE(r.ok(3));
    EXPECT_EQ(r.focusAfter(3), QStringLiteral("edtNome"));
    const QJsonObject controls =
        r.events(QStringLiteral("state")).value(0).value(QLatin1String("controls")).toObject();
    EXPECT_EQ(controls[QStringLiteral("edtCodigo")].toObject()[QStringLiteral("text")].toString(),
              QStringLiteral("000012"));
    EXPECT_EQ(controls[QStringLiteral("edtNome")].toObject()[QStringLiteral("text")].toString(),
              QStringLiteral("Ação da loja"));
    EXPECT_TRUE(
        controls[QStringLiteral("rdbTodos")].toObject()[QStringLiteral("checked")].toBool());
    EXPECT_FALSE(
        controls[QStringLiteral("sbtLista")].toObject()[QStringLiteral("enabled")].toBool());
}

TEST_F(BatchTest, ClickFocusDisabledControlsAndTheExitStatus)
{
    const JobRun r = run(R"({"screen":"TST00100","steps":[
        {"do":"click","control":"sbtLista"},
        {"do":"click","control":"rdbLista"},
        {"do":"click","control":"sbtLista"},
        {"do":"focus","control":"edtNome"},
        {"do":"enter","control":"edtCodigo","text":""},
        {"do":"click","control":"btnFalhar"}]})");
    EXPECT_EQ(r.status, 1); // the last step ended with a message
    EXPECT_FALSE(r.ok(1));  // disabled: no handler
    EXPECT_TRUE(r.ok(2));
    EXPECT_TRUE(r.ok(3));
    EXPECT_EQ(r.focusAfter(4), QStringLiteral("edtNome"));
    EXPECT_TRUE(r.ok(5));
    const auto messages = r.events(QStringLiteral("message"));
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0].value(QLatin1String("text")).toString(),
              QStringLiteral("Falha proposital do pacote de teste."));
}

TEST_F(BatchTest, CloseOpenAndUnloadKeepTheJobGoing)
{
    const JobRun r = run(R"({"screen":"TST00100","steps":[
        {"do":"enter","control":"edtCodigo","text":"7"},
        {"do":"close"},
        {"do":"open"},
        {"do":"dump"},
        {"do":"enter","control":"edtCodigo","text":"8"},
        {"do":"unload"},
        {"do":"open"},
        {"do":"dump"}]})",
                         true);
    ASSERT_EQ(r.status, 0) << r.errors.toStdString();
    const auto states = r.events(QStringLiteral("state"));
    ASSERT_EQ(states.size(), 2);
    // A fresh screen after close; after the unload, fresh again.
    for (const QJsonObject &s : states)
        EXPECT_EQ(s[QStringLiteral("controls")][QStringLiteral("edtCodigo")][QStringLiteral("text")]
                      .toString(),
                  QString());
    EXPECT_EQ(r.events(QStringLiteral("step")).size(), 8);
}

TEST_F(BatchTest, HelpIsTraced)
{
    const JobRun r = run(R"({"screen":"TST00100","steps":[{"do":"focus","control":"edtCodigo"}]})");
    ASSERT_EQ(r.status, 0);
    // F1 is not a step; help reaches the trace when a handler asks for it. The step kinds
    // alone must not emit help events.
    EXPECT_TRUE(r.events(QStringLiteral("help")).isEmpty());
}

// Each refused job: what stands in the way, every problem in step order, each on standard
// error and as an "error" event of the trace, before any step runs.
TEST_F(BatchTest, JobsThatCannotRunExitWithTwoAndSayWhy)
{
    const struct
    {
        QByteArray job;
        QStringList reasons;
    } cases[] = {
        {"{not json", {"inválido"}},
        {R"({"screen":"XYZ99999","steps":[]})", {"XYZ99999"}},
        {R"({"screen":"TST00100"})", {"falta a lista \"steps\""}},
        {R"({"screen":"TST00100","steps":"x"})", {"\"steps\" deve ser uma lista de passos"}},
        {R"({"screen":"TST00100","steps":{"do":"dump"}})", {"não um objeto"}},
        {R"({"screen":"TST00100","steps":[5]})",
         {"Passo 1: o passo deve ser um objeto, não um número"}},
        {R"({"screen":"TST00100","steps":[{"do":"dance"}]})", {"Passo 1: tipo de passo 'dance'"}},
        {R"({"screen":"TST00100","steps":[{"control":"edtCodigo"}]})",
         {"Passo 1: falta o tipo do passo"}},
        {R"({"screen":"TST00100","steps":[{"do":"click"}]})", {"Passo 1: falta o controle"}},
        {R"({"screen":"TST00100","steps":[{"do":"enter","control":"edtFantasma","text":"1"}]})",
         {"Passo 1, controle 'edtFantasma': não existe na tela TST00100"}},
        {R"({"screen":"TST00100","steps":[{"do":"enter","control":"edtCodigo"}]})", {"texto"}},
        {R"({"screen":"TST00100","steps":[{"do":"action","name":"fax"}]})", {"fax"}},
        {R"({"screen":"TST00100","steps":[{"do":"dump","cancelWait":-1}]})", {"cancelWait"}},
        {R"({"screen":"TST00100","steps":[{"do":"lookup","control":"edtCodigo","pick":0}]})",
         {"Passo 1, controle 'edtCodigo': é um TEdit que não abre a pesquisa"}},
        {R"({"screen":"TST00100","steps":[{"do":"list","control":"rdbLista","pick":[]}]})",
         {"Passo 1, controle 'rdbLista': é um TRadioButton que não abre uma lista"}},
        {R"({"screen":"TST00100","steps":[{"do":"list","control":"lblEco"}]})",
         {"controle 'lblEco': é um TEtiquetaTeste que não abre uma lista"}},
        {R"({"screen":"TST00100","steps":[{"do":"click","control":"edtNome"}]})",
         {"Passo 1, controle 'edtNome': é um TEdit, não um botão"}},
        {R"({"screen":"TST00100","steps":[{"do":"click","control":"grbSelecao"}]})",
         {"controle 'grbSelecao': é um TGroupBox, não um botão"}},
        {R"({"screen":"TST00100","steps":[{"do":"enter","control":"btnFalhar","text":"1"}]})",
         {"Passo 1, controle 'btnFalhar': é um TButton e não recebe texto"}},
        {R"({"screen":"TST00100","steps":[{"do":"focus","control":"lblCodigo"}]})",
         {"Passo 1, controle 'lblCodigo': é um TLabel e não recebe o foco"}},
        {R"({"screen":"TST00100","steps":[{"do":"focus","control":"sbtLista"}]})",
         {"controle 'sbtLista': é um TSpeedButton e não recebe o foco"}},
        {R"({"screen":"TST00100","steps":[{"do":"action","name":"edit"}]})",
         {"Passo 1, controle 'sbtReportEdit': a tela TST00100 não tem a ação 'edit'"}},
        {R"({"screen":"TST00100","steps":[{"do":"lookup","control":"sbtLista","pick":1.5}]})",
         {"escolha da pesquisa inválida", "é um TSpeedButton que não abre a pesquisa"}},
        {R"({"screen":"TST00100","steps":[{"do":"list","control":"sbtLista","pick":"a"}]})",
         {"escolha da lista inválida"}},
        // Every problem at once, in step order; the good steps are not named.
        {R"({"screen":"TST00100","steps":[
            {"do":"enter","control":"edtCodigo","text":"1"},
            {"do":"click","control":"edtCodigo"},
            "x",
            {"do":"dump"},
            {"do":"enter","control":"sbtLista","text":"2"},
            {"do":"action","name":"preview","file":""},
            {"do":"action","name":"save"},
            {"do":"action","name":"print","file":7}]})",
         {"Passo 2, controle 'edtCodigo': é um TEdit",
          "Passo 3: o passo deve ser um objeto, não um texto",
          "Passo 5, controle 'sbtLista': é um TSpeedButton e não recebe texto",
          "Passo 6: a ação 'preview' grava um arquivo e o nome do arquivo está vazio",
          "Passo 6, controle 'sbtPreview': a tela TST00100 não tem a ação 'preview'",
          "Passo 7: a ação 'save' grava um arquivo e falta o arquivo (\"file\")",
          "Passo 7, controle 'sbtSalvarComo': a tela TST00100 não tem a ação 'save'",
          "Passo 8: o arquivo da ação 'print' deve ser um texto, não um número",
          "Passo 8, controle 'sbtPrint': a tela TST00100 não tem a ação 'print'"}},
    };
    for (const auto &c : cases) {
        const JobRun r = run(c.job);
        EXPECT_EQ(r.status, 2) << c.job.constData();
        const QStringList texts = r.errorTexts();
        ASSERT_EQ(texts.size(), c.reasons.size())
            << c.job.constData() << " -> " << r.errors.toStdString();
        const QStringList lines = r.errors.split(QLatin1Char('\n'));
        for (qsizetype i = 0; i < texts.size(); ++i) {
            EXPECT_TRUE(texts[i].contains(c.reasons[i]))
                << c.job.constData() << " -> " << texts[i].toStdString();
            EXPECT_TRUE(lines.contains(texts[i]))
                << "not on standard error: " << texts[i].toStdString();
        }
        EXPECT_TRUE(r.events(QStringLiteral("step")).isEmpty()) << c.job.constData();
    }

    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(VELMORA_EXE),
            {QStringLiteral("--batch"), dir.filePath(QStringLiteral("missing.json"))});
    p.waitForFinished(30000);
    EXPECT_EQ(p.exitCode(), 2);

    writeConfig(QStringLiteral("velmora_testpkg_orfao"));
    const JobRun orphan = run(R"({"screen":"TST00100","steps":[]})");
    EXPECT_EQ(orphan.status, 2);
    EXPECT_TRUE(orphan.errors.contains(QStringLiteral("velmora_ausente")))
        << orphan.errors.toStdString();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
