// The saved parameter sets on every engine: what a clerk saves comes back as saved, accents
// and long values included; the default is one per owner; the wrong name, a missing table and
// a damaged row are refused in words.
#include "TestDatabases.h"
#include "reports/VariantStore.h"
#include "rtl/Exceptions.h"

#include <QJsonArray>
#include <gtest/gtest.h>

#include <functional>

using Velmora::Reports::SavedVariant;
using Velmora::Reports::VariantStore;
using Velmora::Test::Raised;
using Velmora::Test::ScratchDatabase;

namespace {

const QString screen = QStringLiteral("FIS01400");

class VariantStoreTest : public ::testing::TestWithParam<QString>
{
protected:
    ScratchDatabase db{GetParam()};
    VariantStore store{&db.Connection()};
};

TEST_P(VariantStoreTest, SavedSetsComeBackAsSaved)
{
    const QJsonObject accents{{"obs", QStringLiteral("Ação — São João, çé ü 日本")}};
    const QJsonObject longValue{{"codigos", QString(60000, QLatin1Char('7'))}};
    store.save(screen, "ana", "Mensal", accents);
    store.save(screen, "bruno", "Mensal", {{"empresa", "02"}});
    store.save(screen, "ana", "  Anual  ", longValue);

    QStringList listed;
    for (const SavedVariant &v : store.list(screen))
        listed << v.name + '/' + v.owner;
    EXPECT_EQ(listed, QStringList({"Anual/ana", "Mensal/ana", "Mensal/bruno"}));

    const SavedVariant annual = store.find(screen, "Anual", "bruno").value();
    EXPECT_EQ(annual.owner, "ana") << "the only other owner's";
    EXPECT_EQ(annual.values, longValue);
    EXPECT_FALSE(annual.lastUsed.isValid());
    EXPECT_LT(qAbs(annual.created.secsTo(QDateTime::currentDateTime())), 120)
        << qPrintable(annual.created.toString(Qt::ISODate)) << " (a time zone shift?)";
    EXPECT_EQ(store.find(screen, "Mensal", "ana").value().values, accents);
    EXPECT_FALSE(store.find(screen, "Mensal", "carla")) << "two other owners: none";
    EXPECT_FALSE(store.find(screen, "Trimestral", "ana"));

    store.setDefault(screen, "ana", "Mensal");
    store.setDefault(screen, "ana", "Anual");
    store.save(screen, "ana", "Anual", accents);
    const SavedVariant replaced = store.defaultFor(screen, "ana").value();
    EXPECT_EQ(replaced.name, "Anual");
    EXPECT_EQ(replaced.values, accents);
    EXPECT_EQ(replaced.created, annual.created);
    EXPECT_GE(replaced.changed, annual.changed);
    EXPECT_FALSE(store.find(screen, "Mensal", "ana").value().isDefault);
    // A failed mark leaves the old one: both writes are one transaction.
    EXPECT_TRUE(
        Raised([&] { store.setDefault(screen, "ana", "Trimestral"); }).contains("não existe"));
    EXPECT_EQ(store.defaultFor(screen, "ana").value().name, "Anual");
    EXPECT_FALSE(store.defaultFor(screen, "bruno"));
    // Inside the caller's transaction the writes are the caller's to keep or undo.
    db.Connection().StartTransaction();
    store.setDefault(screen, "bruno", "Mensal");
    db.Connection().Rollback();
    EXPECT_FALSE(store.defaultFor(screen, "bruno"));

    store.markUsed(screen, "bruno", "Mensal");
    EXPECT_TRUE(store.find(screen, "Mensal", "bruno").value().lastUsed.isValid());
    store.rename(screen, "ana", "Anual", " Anual 2024 ");
    EXPECT_EQ(store.defaultFor(screen, "ana").value().name, "Anual 2024") << "keeps the mark";
    store.rename(screen, "bruno", "Mensal", "Anual 2024"); // another owner's name is free
    store.remove(screen, "ana", "Mensal");
    EXPECT_FALSE(store.find(screen, "Mensal", "ana"));
    store.setDefault(screen, "ana", "");
    EXPECT_FALSE(store.defaultFor(screen, "ana"));

    EXPECT_FALSE(store.lastValues(screen, "ana"));
    store.saveLastValues(screen, "ana", longValue);
    store.saveLastValues(screen, "ana", accents);
    EXPECT_EQ(store.lastValues(screen, "ana"), accents);
    EXPECT_EQ(store.list(screen).size(), 2) << "last values are no named set";
}

TEST_P(VariantStoreTest, WrongNamesAndMissingSetsAreRefusedInWords)
{
    store.save(screen, "ana", "Mensal", {});
    store.save(screen, "ana", "Anual", {});
    const struct
    {
        std::function<void()> call;
        const char *message;
    } cases[] = {
        {[&] { store.save(screen, "ana", "   ", {}); }, "não pode ficar vazio"},
        {[&] { store.save(screen, "ana", QString(41, 'x'), {}); }, "41 caracteres: o máximo é 40"},
        {[&] { store.rename(screen, "ana", "Mensal", ""); }, "não pode ficar vazio"},
        {[&] { store.rename(screen, "bruno", "Mensal", "Outra"); }, "'Mensal' de bruno não existe"},
        {[&] { store.markUsed(screen, "bruno", "Mensal"); }, "'Mensal' de bruno não existe"},
        {[&] { store.rename(screen, "ana", "Mensal", " Anual"); },
         "Já existe uma variante 'Anual' de ana"},
        {[&] { store.remove(screen, "ana", "Nada"); },
         "A variante 'Nada' de ana não existe na tela FIS01400"},
        {[&] { store.list(""); }, "código de tela ''"},
        {[&] { store.save(screen, "", "Mensal", {}); }, "usuário ''"},
    };
    for (const auto &c : cases)
        EXPECT_TRUE(Raised(c.call).contains(QString::fromUtf8(c.message)))
            << c.message << ": " << qPrintable(Raised(c.call));
}

TEST_P(VariantStoreTest, AMissingTableSaysToUpgrade)
{
    db.Connection().Execute("DROP TABLE VARIANTETELA");
    const std::function<void()> calls[] = {
        [&] { store.list(screen); },
        [&] { store.save(screen, "ana", "Mensal", {}); },
        [&] { store.setDefault(screen, "ana", "Mensal"); },
        [&] { store.lastValues(screen, "ana"); },
    };
    for (const auto &call : calls)
        EXPECT_TRUE(Raised(call).startsWith(
            "A tabela de variantes (VARIANTETELA) não existe no banco de dados '"))
            << qPrintable(Raised(call));
    EXPECT_TRUE(Raised(calls[0]).endsWith(": execute velmora-db upgrade."));
}

TEST_P(VariantStoreTest, ADamagedRowIsAnErrorNamingTheSet)
{
    const QString insert = "INSERT INTO VARIANTETELA (CDTELA, NMUSUARIO, IDTIPO, NMVARIANTE, "
                           "IDPADRAO, DSVALORES) VALUES ('FIS01400', 'ana', 'V', ?, 'N', ?)";
    db.Connection().Execute(insert, {"Lista", "[1, 2]"});
    db.Connection().Execute(insert, {"Cortada", "{\"empresa\": \"0"});
    for (const char *name : {"Lista", "Cortada"})
        EXPECT_EQ(Raised([&] { store.find(screen, name, "ana"); }),
                  QStringLiteral("A variante '%1' está corrompida no banco de dados.").arg(name));
}

INSTANTIATE_TEST_SUITE_P(Engines, VariantStoreTest,
                         ::testing::ValuesIn(Velmora::Test::EngineNames()),
                         [](const auto &info) { return Velmora::Test::EngineLabel(info.param); });

} // namespace
