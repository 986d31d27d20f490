// The database server gone while the screen is open, reached through a relay the test cuts:
// the field being checked says so with the focus on it, the other values stay, and the same
// check passes once the server is back.
#include "ScreenTest.h"

#include "data/dtmDBGeral.h"

namespace {

class DatabaseGone : public ScreenTest
{
protected:
    void SetUp() override
    {
        ASSERT_NE(DatabaseRelay(), nullptr);
        ScreenTest::SetUp();
    }
    void TearDown() override
    {
        DatabaseRelay()->restore();
        ScreenTest::TearDown();
    }
    QString unreachable() const
    {
        return QStringLiteral(
                   "Não foi possível conectar ao banco de dados %1: o servidor recusou a "
                   "conexão (não está em execução ou o endereço está errado)")
            .arg(dtmDBGeral()->adcGeral()->Settings().describe());
    }
    // The first query after the loss tries to connect again once before it gives up.
    QString lost(const char *query) const
    {
        return QStringLiteral("A conexão com o banco de dados foi perdida e não pôde ser "
                              "restabelecida ao abrir a consulta '%1'. %2")
            .arg(QLatin1String(query), unreachable());
    }
    void leave()
    {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        settle();
    }
};

TEST_F(DatabaseGone, TheTaxCheckFailsOnItsFieldAndPassesOnceTheDatabaseIsBack)
{
    ASSERT_TRUE(enter("medCdImposto", QStringLiteral("01")));
    ASSERT_TRUE(enter("medCdEmpresa", QStringLiteral("01")));
    ASSERT_TRUE(messages().isEmpty()) << qPrintable(messages().join('\n'));
    ASSERT_EQ(text("edtNmImposto"), QStringLiteral("ICMS"));

    DatabaseRelay()->cut();
    ASSERT_TRUE(enter("medCdImposto", QStringLiteral("02")));
    EXPECT_EQ(messages(), QStringList{lost("qryImposto")});
    EXPECT_EQ(focusName(), QStringLiteral("medCdImposto"));
    EXPECT_EQ(text("medCdImposto"), QStringLiteral("02"));
    EXPECT_EQ(text("medCdEmpresa"), QStringLiteral("01"));
    EXPECT_EQ(text("edtNmEmpresa"), QStringLiteral("Velmora Indústria e Comércio S.A."));

    // While it stays away, each try says so again from the same field.
    recorder.clear();
    leave();
    EXPECT_EQ(messages(), QStringList{unreachable()});
    EXPECT_EQ(focusName(), QStringLiteral("medCdImposto"));

    recorder.clear();
    DatabaseRelay()->restore();
    leave();
    EXPECT_TRUE(messages().isEmpty()) << qPrintable(messages().join('\n'));
    EXPECT_EQ(text("edtNmImposto"), QStringLiteral("IPI"));
    EXPECT_EQ(focusName(), QStringLiteral("medCdEmpresa"));
}

TEST_F(DatabaseGone, TheRegistrationCheckFailsOnItsFieldAndPassesOnceTheDatabaseIsBack)
{
    ASSERT_TRUE(enter("medCdImposto", QStringLiteral("01")));
    ASSERT_TRUE(enter("medCdEmpresa", QStringLiteral("01")));
    ASSERT_TRUE(messages().isEmpty()) << qPrintable(messages().join('\n'));

    DatabaseRelay()->cut();
    ASSERT_TRUE(enter("edtInscricao", QStringLiteral("110042490114")));
    EXPECT_EQ(messages(), QStringList{lost("qryInscEsta")});
    EXPECT_EQ(focusName(), QStringLiteral("edtInscricao"));
    EXPECT_EQ(text("edtInscricao"), QStringLiteral("110042490114"));
    EXPECT_EQ(text("medCdImposto"), QStringLiteral("01"));
    EXPECT_EQ(text("medCdEmpresa"), QStringLiteral("01"));

    recorder.clear();
    DatabaseRelay()->restore();
    leave();
    EXPECT_TRUE(messages().isEmpty()) << qPrintable(messages().join('\n'));
    EXPECT_EQ(focusName(), QStringLiteral("depDtInicial"));
}

} // namespace
