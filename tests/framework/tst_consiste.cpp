#include "RecordingServices.h"
#include "TestSupport.h"
#include "framework/Consiste.h"
#include "framework/Dispatch.h"
#include "framework/TMessages.h"
#include "framework/controls/TDateEditPlus.h"
#include "framework/controls/TEdit.h"
#include "framework/controls/TMaskEdit.h"
#include "rtl/Exceptions.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QtTest>

class ConsisteTest : public QObject
{
    Q_OBJECT

private slots:
    void ajusta_data();
    void ajusta();
    void emptyString_data();
    void emptyString();
    void emptyStringOnEveryKindOfField();
    void pictPess_data();
    void pictPess();
    void mensErroShowsOnceAndEndsTheEvent();
    void checkResultServ_data();
    void checkResultServ();
    void msgMatchesKeysInAnyCase_data();
    void msgMatchesKeysInAnyCase();
    void msgOfAnAbsentKeyIsEmptyAndWarns();
};

void ConsisteTest::ajusta_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<int>("width");
    QTest::addColumn<QString>("adjusted");
    QTest::newRow("one digit") << "5" << 2 << "05";
    QTest::newRow("full width") << "05" << 2 << "05";
    QTest::newRow("over the width") << "123" << 2 << "123";
    QTest::newRow("branch code") << "1" << 8 << "00000001";
    QTest::newRow("letters") << "A" << 3 << "00A";
    QTest::newRow("blanks around") << " 5 " << 2 << "05";
}

void ConsisteTest::ajusta()
{
    QFETCH(QString, code);
    QFETCH(int, width);
    QFETCH(QString, adjusted);
    QCOMPARE(Consiste::Ajusta(code, width), adjusted);
}

void ConsisteTest::emptyString_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("empty");
    QTest::newRow("nothing") << "" << true;
    QTest::newRow("blanks") << "   " << true;
    QTest::newRow("empty date display") << "  /  /    " << true;
    QTest::newRow("empty date, underscores") << "__/__/____" << true;
    QTest::newRow("empty cnpj display") << "__.___.___/____-__" << true;
    QTest::newRow("empty phone display") << "(  )     -    " << true;
    QTest::newRow("zero") << "0" << false;
    QTest::newRow("code") << " 5" << false;
    QTest::newRow("date") << "12/05/2024" << false;
    QTest::newRow("letter") << "E" << false;
    QTest::newRow("selection") << "'01'" << false;
}

void ConsisteTest::emptyString()
{
    QFETCH(QString, text);
    QFETCH(bool, empty);
    QCOMPARE(Consiste::EmptyString(text), empty);
}

void ConsisteTest::emptyStringOnEveryKindOfField()
{
    TEdit plain(nullptr);
    TMaskEdit code;
    code.SetEditMask(QStringLiteral("!99;0; "));
    TMaskEdit cnpj;
    cnpj.SetEditMask(Consiste::PictPess(QStringLiteral("J")));
    TDateEditPlus date;
    for (QLineEdit *field : std::initializer_list<QLineEdit *>{&plain, &code, &cnpj, &date}) {
        QVERIFY(Consiste::EmptyString(field->text()));
        QVERIFY(Consiste::EmptyString(field->property("Text").toString()));
    }
    plain.SetText(QStringLiteral("x"));
    code.SetText(QStringLiteral("1"));
    cnpj.SetText(QStringLiteral("1"));
    date.SetDate(TDateTime::fromDate(QDate(2024, 5, 12)));
    for (QLineEdit *field : std::initializer_list<QLineEdit *>{&plain, &code, &cnpj, &date}) {
        QVERIFY(!Consiste::EmptyString(field->text()));
        QVERIFY(!Consiste::EmptyString(field->property("Text").toString()));
    }
}

void ConsisteTest::pictPess_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QString>("raw");
    QTest::addColumn<QString>("shown");
    QTest::newRow("company") << "J"
                             << "00.000.000/0000-00;0;_"
                             << "12345678000195"
                             << "12.345.678/0001-95";
    QTest::newRow("person") << "F"
                            << "000.000.000-00;0;_"
                            << "12345678909"
                            << "123.456.789-09";
    QTest::newRow("other kind") << "X"
                                << ""
                                << "123"
                                << "123";
    QTest::newRow("no kind (no rows)") << ""
                                       << ""
                                       << "123"
                                       << "123";
}

void ConsisteTest::pictPess()
{
    QFETCH(QString, kind);
    QFETCH(QString, mask);
    QFETCH(QString, raw);
    QFETCH(QString, shown);
    QCOMPARE(Consiste::PictPess(kind), mask);
    const EditMask m(Consiste::PictPess(kind));
    QCOMPARE(m.isEmpty() ? raw : m.format(raw), shown);
}

void ConsisteTest::mensErroShowsOnceAndEndsTheEvent()
{
    RecordingServices services;
    QVERIFY_THROWS_EXCEPTION(EAbort, Consiste::MensErro(QStringLiteral("Empresa não cadastrada.")));
    QCOMPARE(services.messages(), QStringList{"Empresa não cadastrada."});

    // Through the dispatch boundary, and through a handler that catches only to move the
    // focus and raise again: still one message.
    services.clear();
    const bool ok = Velmora::Dispatch([] {
        try {
            Consiste::MensErro(QStringLiteral("Imposto não cadastrado."), true);
        } catch (...) {
            throw;
        }
    });
    QVERIFY(!ok);
    QCOMPARE(services.messages(), QStringList{"Imposto não cadastrado."});

    services.clear();
    Consiste::MensErro(QStringLiteral("Aviso."), false);
    QCOMPARE(services.messages(), QStringList{"Aviso."});
}

void ConsisteTest::checkResultServ_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<int>("okStatus");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("message");

    const QByteArray good = R"({"fields":[{"name":"DTINICIAL","type":"string","size":10}],
        "rows":[["01/01/2024"],["01/02/2024"]],"status":0,"message":""})";
    QTest::newRow("well formed") << good << 0 << true << "";
    QTest::newRow("no rows")
        << QByteArray(
               R"({"fields":[{"name":"A","type":"string","size":1}],"rows":[],"status":0,"message":""})")
        << 0 << true << "";
    QTest::newRow("other ok status")
        << QByteArray(R"({"fields":[],"rows":[],"status":7,"message":""})") << 7 << true << "";
    QTest::newRow("refused with message")
        << QByteArray(R"({"fields":[],"rows":[],"status":1,"message":"Mapa bloqueado."})") << 0
        << false << "Mapa bloqueado.";
    QTest::newRow("refused without message")
        << QByteArray(R"({"fields":[],"rows":[],"status":3,"message":""})") << 0 << false
        << "O servidor de aplicação recusou a operação (situação 3).";
    QTest::newRow("not an object")
        << QByteArray("[1,2]") << 0 << false
        << "Resposta inválida do servidor de aplicação: a resposta não é um pacote de dados.";
    QTest::newRow("no fields")
        << QByteArray(R"({"rows":[],"status":0})") << 0 << false
        << "Resposta inválida do servidor de aplicação: a resposta não traz a lista de campos.";
    QTest::newRow("row too short")
        << QByteArray(
               R"({"fields":[{"name":"A","type":"string","size":1},{"name":"B","type":"string","size":1}],"rows":[["x"]],"status":0})")
        << 0 << false
        << "Resposta inválida do servidor de aplicação: uma linha da resposta não tem um valor por "
           "campo.";
    QTest::newRow("no status")
        << QByteArray(R"({"fields":[],"rows":[]})") << 0 << false
        << "Resposta inválida do servidor de aplicação: a resposta não traz a situação.";
    QTest::newRow("malformed, with the server's message")
        << QByteArray(R"({"status":"x","message":"Falha no banco de dados."})") << 0 << false
        << "Falha no banco de dados.";
}

void ConsisteTest::checkResultServ()
{
    QFETCH(QByteArray, answer);
    QFETCH(int, okStatus);
    QFETCH(bool, ok);
    QFETCH(QString, message);
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(answer, &error);
    QCOMPARE(error.error, QJsonParseError::NoError);
    const QJsonValue value = doc.isObject() ? QJsonValue(doc.object()) : QJsonValue(doc.array());

    RecordingServices services;
    if (ok) {
        QCOMPARE(Consiste::CheckResultServ(value, true, okStatus), doc.object());
        QVERIFY(services.messages().isEmpty());
        return;
    }
    // Shown: the message, then the event ends silently.
    QVERIFY_THROWS_EXCEPTION(EAbort, Consiste::CheckResultServ(value, true, okStatus));
    QCOMPARE(services.messages(), QStringList{message});
    // Not shown: the caller gets the message in the exception.
    services.clear();
    try {
        Consiste::CheckResultServ(value, false, okStatus);
        QFAIL("no exception");
    } catch (const ERemoteError &e) {
        QCOMPARE(e.Message(), message);
    }
    QVERIFY(services.messages().isEmpty());
}

void ConsisteTest::msgMatchesKeysInAnyCase_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("text");
    QTest::newRow("as written") << "medCdEmpresa_Inf"
                                << "Empresa deve ser informada.";
    QTest::newRow("branch key in other case") << "Fil_Inf"
                                              << "Filial de Origem deve ser informado.";
    QTest::newRow("state registration key") << "InscEst_Inf"
                                            << "Inscrição Estadual deve ser informada.";
    QTest::newRow("upper case") << "CDIMP_INV"
                                << "Imposto não cadastrado.";
    QTest::newRow("lower case") << "cdimp_inv"
                                << "Imposto não cadastrado.";
    QTest::newRow("format kept exactly") << "Arq_Rel_Err"
                                         << "O arquivo contendo a definição do relatório de código "
                                            "'%s' não foi encontrado no diretório '%s'.";
    QTest::newRow("text with a bar") << "Com_Barra"
                                     << "a|b";
    QTest::newRow("first row of a key wins") << "Repetida"
                                             << "primeira";
}

void ConsisteTest::msgMatchesKeysInAnyCase()
{
    QFETCH(QString, key);
    QFETCH(QString, text);
    TMessages messages;
    messages.SetLines({
        "Arq_Rel_Err|O arquivo contendo a definição do relatório de código '%s' não foi "
        "encontrado no diretório '%s'.",
        "medCdEmpresa_Inf|Empresa deve ser informada.",
        "CDIMP_INV|Imposto não cadastrado.",
        "inscEst_Inf|Inscrição Estadual deve ser informada.",
        "Fil_inf|Filial de Origem deve ser informado.",
        "Com_Barra|a|b",
        "Repetida|primeira",
        "REPETIDA|segunda",
    });
    QCOMPARE(messages.Msg(key), text);
    QVERIFY(messages.Contains(key));
}

void ConsisteTest::msgOfAnAbsentKeyIsEmptyAndWarns()
{
    TMessages messages;
    messages.setObjectName(QStringLiteral("msgPadrao"));
    messages.SetLines({"For|Fornecedor"});
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("InscEsta")));
    const QString text = messages.Msg(QStringLiteral("InscEsta"));
    QVERIFY(text.isEmpty());
    QVERIFY(!text.isNull());
    QVERIFY(!messages.Contains(QStringLiteral("InscEsta")));
    QCOMPARE(messages.Lines(), QStringList{"For|Fornecedor"});
}

QTEST_MAIN(ConsisteTest)
#include "tst_consiste.moc"
