// The accessors written from a description at build time: they reach the components the
// loaded form has, and the writer refuses a description it cannot map to classes and headers.
#include "TestForm.h"
#include "framework/TApplication.h"
#include "ui_derived.h"

#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

TEST(FormAccessorsTest, ReachTheComponentsTheDescriptionDeclaresOrChanges)
{
    TestForm form(&Application(), QStringLiteral(FORMS_DIR "/derived.json"));
    form.Create();
    Ui::TestDerivedForm ui;
    ui.setupUi(&form);
    EXPECT_EQ(ui.lblTitulo->Caption(), QStringLiteral("Novo título")); // changed, inherited
    EXPECT_EQ(ui.edtCodigo, form.findChild<TEdit *>(QStringLiteral("edtCodigo")));
    EXPECT_EQ(ui.rdbTodos->parent(), ui.grbOpcao);
    EXPECT_TRUE(ui.dtsDados);
    try {
        Velmora::FormComponent<TEdit>(&form, "edtNada");
        ADD_FAILURE() << "a missing component was found";
    } catch (const Exception &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Componente 'edtNada' ausente da tela Derivada."));
    }
}

TEST(FormAccessorsTest, TheWriterRefusesWhatItCannotMap)
{
    const struct
    {
        const char *form;
        const char *data;
        const char *message;
    } cases[] = {
        {R"({"class":"F","components":[{"name":"edtX","class":"TInexistente"}]})", "",
         "nenhum cabeçalho declara TInexistente (edtX)"},
        {R"({"class":"F","components":[{"name":"qryX","from":"data.json"}]})",
         R"({"components":[{"name":"qryY","class":"TADOIBQuery"}]})",
         "o componente qryX não está definido em data.json"},
        {R"({"components":[{"name":"edtX","class":"TEdit"}]})", "",
         "a descrição não diz sua classe"},
        {R"({"class":"F","inherits":":/outro/base.json"})", "", "o recurso :/outro/base.json"},
        {R"({"class":"F","changes":[{"name":"edtNenhum"}]})", "", "edtNenhum não é um componente"},
    };
    for (const auto &c : cases) {
        QTemporaryDir dir;
        const auto write = [&](const char *name, const char *text) {
            QFile f(dir.filePath(QLatin1String(name)));
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(text);
        };
        write("form.json", c.form);
        write("data.json", c.data);
        QProcess formc;
        formc.start(QStringLiteral(VELMORA_PYTHON),
                    {QStringLiteral(VELMORA_FORMC), dir.filePath(QStringLiteral("ui.h")),
                     dir.filePath(QStringLiteral("form.json")), QStringLiteral("--include-root"),
                     QStringLiteral(HOST_DIR)});
        ASSERT_TRUE(formc.waitForFinished(30000));
        EXPECT_EQ(formc.exitCode(), 1) << c.form;
        EXPECT_TRUE(
            QString::fromUtf8(formc.readAllStandardError()).contains(QString::fromUtf8(c.message)))
            << c.form;
        EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("ui.h"))));
    }
}

} // namespace
