// The host's package loader against the test packages: finding, loading, unit order and
// nesting, required packages, exported names, exceptions across the boundary, unloading.
#include "PackageTest.h"

#include "testpkg/ETesteFalha.h"

#include "app/MainWindow.h"
#include "framework/ComponentRegistry.h"
#include "framework/Dispatch.h"
#include "framework/TApplication.h"
#include "framework/TForm.h"
#include "rtl/ModuleRegistry.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QMdiArea>
#include <QMenu>
#include <QPointer>
#include <QTemporaryDir>

using Velmora::EPackageError;

namespace {

using Proc = void (*)();

QStringList Trail(Velmora::PackageLoader &loader)
{
    return *loader.Variable<QStringList>(testPackage, QStringLiteral("Trilha"));
}

const QStringList initialisations{QStringLiteral("Pkg_testpkg.initialization"),
                                  QStringLiteral("Cli_teste.initialization")};
const QStringList finalisations{QStringLiteral("Cli_teste.finalization"),
                                QStringLiteral("Pkg_testpkg.finalization")};

TEST_F(PackageTest, FindsPackagesByNameBesideTheHost)
{
    const QString file = loader().Locate(testPackage);
    EXPECT_TRUE(file.endsWith(QStringLiteral("/lib/libvelmora_testpkg.so"))) << qPrintable(file);
    EXPECT_TRUE(loader().Locate(QStringLiteral("inexistente")).isEmpty());

    const QString missing = ErrorOf([&] { loader().Load(QStringLiteral("inexistente")); });
    EXPECT_TRUE(missing.startsWith(QStringLiteral("Pacote 'inexistente' não encontrado")))
        << qPrintable(missing);
    EXPECT_EQ(ErrorOf([&] { loader().Load(QStringLiteral("/tmp/nada/libx.so")); }),
              QStringLiteral("Pacote 'x' não encontrado (procurado em: /tmp/nada/libx.so)."));
    EXPECT_EQ(ErrorOf([&] { loader().Load(QStringLiteral("nome;rm")); }),
              QStringLiteral("Nome de pacote inválido: 'nome;rm'."));
    EXPECT_EQ(ErrorOf([&] { loader().Load(QStringLiteral("velmora_framework")); }),
              QStringLiteral("O pacote 'velmora_framework' faz parte da aplicação e não é "
                             "carregado à parte."));
}

TEST_F(PackageTest, PackagePathComesFirst)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString copy = dir.filePath(QStringLiteral("libvelmora_testpkg.so"));
    ASSERT_TRUE(QFile::copy(loader().Locate(testPackage), copy));
    qputenv("VELMORA_PACKAGE_PATH", QFile::encodeName(dir.path() + QStringLiteral(":/nada")));
    const QString found = loader().Locate(testPackage);
    const QStringList path = loader().SearchPath();
    qunsetenv("VELMORA_PACKAGE_PATH");
    EXPECT_EQ(found, QFileInfo(copy).canonicalFilePath());
    ASSERT_GE(path.size(), 3);
    EXPECT_EQ(path.at(1), QStringLiteral("/nada"));

    // One package of a name at a time, whichever file holds it.
    loader().Load(testPackage);
    EXPECT_EQ(ErrorOf([&] { loader().Load(copy); }),
              QStringLiteral("O pacote 'velmora_testpkg' já está carregado de '%1'.")
                  .arg(loader().FileName(testPackage)));
    EXPECT_EQ(loader().LoadCount(testPackage), 1);
}

TEST_F(PackageTest, InitialisesUnitsInOrderAndFinalisesThemInReverse)
{
    EXPECT_EQ(loader().Load(testPackage), QString::fromLatin1(testPackage));
    EXPECT_EQ(Trail(loader()), initialisations);

    QStringList seen;
    *loader().Variable<QStringList *>(testPackage, QStringLiteral("TrilhaExterna")) = &seen;
    const QString file = loader().FileName(testPackage);
    loader().Unload(testPackage);
    EXPECT_EQ(seen, finalisations);
    EXPECT_FALSE(loader().IsLoaded(testPackage));
    EXPECT_FALSE(InMemory(file));
}

TEST_F(PackageTest, NestedLoadsAreCountedByTheUnits)
{
    loader().Load(testPackage);
    loader().Load(testPackage);
    EXPECT_EQ(loader().LoadCount(testPackage), 2);
    EXPECT_EQ(Trail(loader()), initialisations);
    const VelmoraPackageInfo *info = loader().Info(testPackage);
    ASSERT_EQ(info->unitCount, 2);
    EXPECT_EQ(*info->units[0].nesting, 2);
    EXPECT_EQ(*info->units[1].nesting, 2);

    QStringList seen;
    *loader().Variable<QStringList *>(testPackage, QStringLiteral("TrilhaExterna")) = &seen;
    loader().Unload(testPackage);
    EXPECT_TRUE(seen.isEmpty());
    EXPECT_EQ(*info->units[1].nesting, 1);
    EXPECT_TRUE(loader().IsLoaded(testPackage));
    loader().Unload(testPackage);
    EXPECT_EQ(seen, finalisations);
    EXPECT_FALSE(loader().IsLoaded(testPackage));

    // A reload goes all the way down, whatever the nesting, and comes back once.
    loader().Load(testPackage);
    loader().Load(testPackage);
    seen.clear();
    *loader().Variable<QStringList *>(testPackage, QStringLiteral("TrilhaExterna")) = &seen;
    loader().Reload(testPackage);
    EXPECT_EQ(seen, finalisations);
    EXPECT_EQ(loader().LoadCount(testPackage), 1);
    EXPECT_EQ(Trail(loader()), initialisations);
}

TEST_F(PackageTest, RefusesAPackageWhoseRequiredPackagesAreMissing)
{
    const QString orphan = loader().Locate(QStringLiteral("velmora_testpkg_orfao"));
    ASSERT_FALSE(orphan.isEmpty());
    EXPECT_EQ(ErrorOf([&] { loader().Load(QStringLiteral("velmora_testpkg_orfao")); }),
              QStringLiteral("O pacote 'velmora_testpkg_orfao' requer pacotes que não estão "
                             "carregados: velmora_testpkg, velmora_ausente."));
    EXPECT_FALSE(loader().IsLoaded(QStringLiteral("velmora_testpkg_orfao")));
    EXPECT_FALSE(InMemory(orphan));

    // The host packages and a loaded package count as present.
    loader().Load(testPackage);
    EXPECT_THROW(loader().Load(QStringLiteral("velmora_testpkg_orfao")), EPackageError);
    EXPECT_EQ(ErrorOf([&] { loader().Load(QStringLiteral("velmora_testpkg_orfao")); }),
              QStringLiteral("O pacote 'velmora_testpkg_orfao' requer pacotes que não estão "
                             "carregados: velmora_ausente."));
    loader().Load(QStringLiteral("velmora_testpkg_dependente"));
    EXPECT_TRUE(loader().IsLoaded(QStringLiteral("velmora_testpkg_dependente")));
}

TEST_F(PackageTest, ARequiredPackageStaysWhileADependentIsLoaded)
{
    loader().Load(testPackage);
    loader().Load(QStringLiteral("velmora_testpkg_dependente"));
    EXPECT_EQ(ErrorOf([&] { loader().Unload(testPackage); }),
              QStringLiteral("O pacote 'velmora_testpkg' não pode ser descarregado: é requerido "
                             "por velmora_testpkg_dependente."));
    EXPECT_EQ(Trail(loader()), initialisations);
    loader().Unload(QStringLiteral("velmora_testpkg_dependente"));
    loader().Unload(testPackage);
    EXPECT_TRUE(loader().Loaded().isEmpty());
}

TEST_F(PackageTest, ExportedVariablesAndProceduresAreReachableByName)
{
    loader().Load(testPackage);
    bool *created = loader().Variable<bool>(testPackage, QStringLiteral("boStCriado"));
    auto **screen = loader().Variable<TForm *>(testPackage, QStringLiteral("frmTeste"));
    EXPECT_FALSE(*created);

    loader().Procedure<Proc>(testPackage, QStringLiteral("IniProc"))();
    EXPECT_TRUE(*created);
    ASSERT_NE(*screen, nullptr);
    EXPECT_EQ((*screen)->objectName(), QStringLiteral("frmTeste"));
    EXPECT_EQ(loader().OpenScreens(testPackage), QList<TForm *>{*screen});

    // What the host writes, the package reads: "Todos" empties the selection.
    QString *selection = loader().Variable<QString>(testPackage, QStringLiteral("stTeste"));
    *selection = QStringLiteral("'000001'");
    (*screen)->findChild<QWidget *>(QStringLiteral("rdbLista"))->setProperty("Checked", true);
    (*screen)->findChild<QWidget *>(QStringLiteral("rdbTodos"))->setProperty("Checked", true);
    EXPECT_TRUE(selection->isEmpty());

    EXPECT_EQ(ErrorOf([&] { loader().Resolve(testPackage, QStringLiteral("naoExiste")); }),
              QStringLiteral("O pacote 'velmora_testpkg' não exporta 'naoExiste'."));
    EXPECT_EQ(ErrorOf([&] { loader().Resolve(QStringLiteral("outro"), QStringLiteral("x")); }),
              QStringLiteral("O pacote 'outro' não está carregado."));
}

TEST_F(PackageTest, AnExceptionRaisedInThePackageIsCaughtInTheHost)
{
    loader().Load(testPackage);
    const Proc fail = loader().Procedure<Proc>(testPackage, QStringLiteral("LancarFalha"));
    try {
        fail();
        ADD_FAILURE() << "nothing raised";
    } catch (const ETesteFalha &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Falha proposital do pacote de teste."));
    }
    try {
        fail();
    } catch (const Exception &e) {
        EXPECT_NE(dynamic_cast<const ETesteFalha *>(&e), nullptr);
    }
    // At the dispatch boundary it is one message and nothing more.
    EXPECT_FALSE(Velmora::Dispatch(fail));
    EXPECT_EQ(services.messages(),
              QStringList{QStringLiteral("Falha proposital do pacote de teste.")});
}

TEST_F(PackageTest, UnloadClosesTheOpenScreensAndTheReloadedPackageStartsAfresh)
{
    loader().Load(testPackage);
    ASSERT_TRUE(host->OpenScreen(QStringLiteral("TST00100")));
    QPointer<TForm> screen = loader().OpenScreens(testPackage).value(0);
    ASSERT_TRUE(screen);
    EXPECT_EQ(host->Window().MdiArea()->subWindowList().size(), 1);
    const QString file = loader().FileName(testPackage);

    QStringList seen;
    *loader().Variable<QStringList *>(testPackage, QStringLiteral("TrilhaExterna")) = &seen;
    loader().Unload(testPackage);
    EXPECT_TRUE(screen.isNull());
    EXPECT_TRUE(host->Window().MdiArea()->subWindowList().isEmpty());
    EXPECT_EQ(seen, finalisations);
    EXPECT_FALSE(InMemory(file));

    loader().Load(testPackage);
    EXPECT_EQ(Trail(loader()), initialisations);
    EXPECT_FALSE(*loader().Variable<bool>(testPackage, QStringLiteral("boStCriado")));
    ASSERT_TRUE(host->OpenScreen(QStringLiteral("TST00100")));
    EXPECT_EQ(loader().OpenScreens(testPackage).size(), 1);
    EXPECT_TRUE(services.messages().isEmpty()) << qPrintable(services.messages().join('\n'));
}

TEST_F(PackageTest, UnloadDeliversTheDeletionOfAReleasedScreen)
{
    loader().Load(testPackage);
    host->OpenScreen(QStringLiteral("TST00100"));
    QPointer<TForm> screen = loader().OpenScreens(testPackage).value(0);
    ASSERT_TRUE(screen);
    screen->Close(); // released: its deletion waits in the event queue
    EXPECT_FALSE(screen.isNull());
    EXPECT_FALSE(*loader().Variable<bool>(testPackage, QStringLiteral("boStCriado")));
    loader().Unload(testPackage);
    EXPECT_TRUE(screen.isNull());
}

TEST_F(PackageTest, AFailedInitialisationRefusesThePackageAndLeavesNothingBehind)
{
    const QString file = loader().Locate(testPackage);
    qputenv("VELMORA_TESTPKG_FALHAR_INICIALIZACAO", "1");
    const QString error = ErrorOf([&] { loader().Load(testPackage); });
    qunsetenv("VELMORA_TESTPKG_FALHAR_INICIALIZACAO");
    EXPECT_EQ(error, QStringLiteral("A inicialização do pacote 'velmora_testpkg' falhou: "
                                    "Inicialização de Cli_teste recusada."));
    EXPECT_FALSE(loader().IsLoaded(testPackage));
    EXPECT_FALSE(InMemory(file));
    EXPECT_EQ(Velmora::ComponentRegistry::instance().Find(QStringLiteral("TEtiquetaTeste")),
              nullptr);

    loader().Load(testPackage);
    EXPECT_NE(Velmora::ComponentRegistry::instance().Find(QStringLiteral("TEtiquetaTeste")),
              nullptr);
}

TEST_F(PackageTest, AFailingEntryProcedureShowsOneMessageAndTheCursorComesBack)
{
    loader().Load(testPackage);
    *loader().Variable<bool>(testPackage, QStringLiteral("boFalharCriacao")) = true;
    EXPECT_FALSE(host->OpenScreen(QStringLiteral("TST00100")));
    EXPECT_EQ(services.messages(),
              QStringList{QStringLiteral("Criação da tela de teste recusada.")});
    EXPECT_EQ(Application().ScreenCursor(), 0);
    EXPECT_FALSE(*loader().Variable<bool>(testPackage, QStringLiteral("boStCriado")));
    EXPECT_TRUE(loader().OpenScreens(testPackage).isEmpty());

    *loader().Variable<bool>(testPackage, QStringLiteral("boFalharCriacao")) = false;
    EXPECT_TRUE(host->OpenScreen(QStringLiteral("TST00100")));
    EXPECT_FALSE(host->OpenScreen(QStringLiteral("XYZ99999")));
    EXPECT_EQ(services.messages().last(),
              QStringLiteral("Tela 'XYZ99999' não encontrada nos pacotes carregados."));
}

TEST_F(PackageTest, TheMenusOfferTheScreensAndThePackages)
{
    Velmora::MainWindow &window = host->Window();
    loader().Load(testPackage);
    window.RefreshMenus();
    auto *open = window.ModulesMenu()->findChild<QAction *>(QStringLiteral("TST00100"));
    ASSERT_NE(open, nullptr);
    EXPECT_EQ(open->text(), QStringLiteral("TST00100 - Tela de Teste"));
    open->trigger();
    open->trigger();
    EXPECT_EQ(window.MdiArea()->subWindowList().size(), 1) << "one screen, shown again";

    auto *reload =
        window.PackagesMenu()->findChild<QAction *>(QStringLiteral("recarregar_velmora_testpkg"));
    ASSERT_NE(reload, nullptr);
    reload->trigger();
    EXPECT_TRUE(loader().IsLoaded(testPackage));
    EXPECT_TRUE(window.MdiArea()->subWindowList().isEmpty());

    window.RefreshMenus();
    window.PackagesMenu()
        ->findChild<QAction *>(QStringLiteral("descarregar_velmora_testpkg"))
        ->trigger();
    EXPECT_FALSE(loader().IsLoaded(testPackage));
    window.RefreshMenus();
    EXPECT_EQ(window.ModulesMenu()->findChild<QAction *>(QStringLiteral("TST00100")), nullptr);
    EXPECT_TRUE(services.messages().isEmpty()) << qPrintable(services.messages().join('\n'));
}

TEST_F(PackageTest, TheModuleRegistryFollowsThePackageAndItsLanguageResource)
{
    const QString file = loader().Locate(testPackage);
    const QString text = QStringLiteral(":/testpkg/text/saudacao.txt");
    loader().Load(testPackage);

    ModuleRegistry::ModuleInfo info;
    ASSERT_TRUE(ModuleRegistry::FindModule(file, info));
    EXPECT_EQ(info.fileName, file);
    EXPECT_EQ(info.resourceModule, file + QStringLiteral(".pt_BR.rcc"));
    void *handle = dlopen(QFile::encodeName(file).constData(), RTLD_LAZY | RTLD_NOLOAD);
    EXPECT_EQ(info.handle, handle);
    dlclose(handle);

    // The language resource answers first for what it holds; the rest is the package's own.
    const void *anchor = loader().Resolve(testPackage, QStringLiteral("IniProc"));
    const QString translated = ModuleRegistry::ResourcePath(anchor, text);
    EXPECT_NE(translated, text);
    QFile page(translated);
    ASSERT_TRUE(page.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(page.readAll()).trimmed(),
              QStringLiteral("Bem-vindo à tela de teste"));
    EXPECT_EQ(ModuleRegistry::ResourcePath(anchor, QStringLiteral(":/testpkg/form/TfrmTeste.json")),
              QStringLiteral(":/testpkg/form/TfrmTeste.json"));
    host->OpenScreen(QStringLiteral("TST00100"));
    EXPECT_EQ(loader()
                  .OpenScreens(testPackage)
                  .value(0)
                  ->findChild<QWidget *>(QStringLiteral("lblEco"))
                  ->property("Caption"),
              QStringLiteral("Bem-vindo à tela de teste"));

    loader().Unload(testPackage);
    EXPECT_FALSE(ModuleRegistry::FindModule(file, info));
    EXPECT_FALSE(QFile::exists(translated)) << "the language resource was not released";
    EXPECT_FALSE(QFile::exists(text)) << "the package's resources stayed behind";

    // Without a resource for the language, the package's own resources serve.
    qputenv("VELMORA_LANG", "en_US");
    loader().Load(testPackage);
    ASSERT_TRUE(ModuleRegistry::FindModule(file, info));
    EXPECT_EQ(info.resourceModule, file);
    anchor = loader().Resolve(testPackage, QStringLiteral("IniProc"));
    EXPECT_EQ(ModuleRegistry::ResourcePath(anchor, text), text);
    host->OpenScreen(QStringLiteral("TST00100"));
    EXPECT_EQ(loader()
                  .OpenScreens(testPackage)
                  .value(0)
                  ->findChild<QWidget *>(QStringLiteral("lblEco"))
                  ->property("Caption"),
              QStringLiteral("Tela de teste"));
}

} // namespace
