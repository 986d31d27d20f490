#include "RecordingServices.h"
#include "TestForm.h"
#include "data/TDataSource.h"
#include "framework/ControlState.h"
#include "framework/Events.h"
#include "framework/TApplication.h"
#include "framework/controls/TEdit.h"
#include "framework/controls/TGroupBox.h"
#include "framework/controls/TLabel.h"
#include "framework/controls/TRadioButton.h"

#include <QApplication>
#include <QDir>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

namespace {

QString fixture(const QString &name)
{
    return QStringLiteral(FORMS_DIR "/") + name;
}

std::unique_ptr<TestForm> load(const QString &name)
{
    auto form = std::make_unique<TestForm>(&Application(), fixture(name));
    form->Create();
    return form;
}

QString loadError(const QString &name)
{
    TestForm form(&Application(), fixture(name));
    try {
        form.Create();
    } catch (const Exception &e) {
        return e.Message();
    }
    return QStringLiteral("(no error)");
}

TEST(FormLoaderTest, BaseThenDerivedDeltas)
{
    const auto form = load(QStringLiteral("derived.json"));
    EXPECT_EQ(form->objectName(), QStringLiteral("frmDerived"));
    EXPECT_EQ(form->Caption(), QStringLiteral("Derivada")); // changed by the derived
    EXPECT_EQ(form->ClientWidth(), 300);                    // kept from the base
    EXPECT_EQ(form->HelpFile(), QStringLiteral("Base.hlp"));
    EXPECT_EQ(form->HelpContext(), 7);
    EXPECT_EQ(form->BorderStyle(), QStringLiteral("bsSingle"));

    auto *title = form->findChild<TLabel *>(QStringLiteral("lblTitulo"));
    ASSERT_TRUE(title);
    EXPECT_EQ(title->Caption(), QStringLiteral("Novo título"));
    EXPECT_EQ(title->Width(), 120);
    EXPECT_EQ(title->Left(), 6); // untouched settings keep the base's value
    EXPECT_EQ(form->findChild<TGroupBox *>(QStringLiteral("grbDados"))->Height(), 160);

    auto *code = form->findChild<TEdit *>(QStringLiteral("edtCodigo"));
    ASSERT_TRUE(code);
    EXPECT_EQ(code->parentWidget()->objectName(), QStringLiteral("grbDados"));
    EXPECT_EQ(code->geometry(), QRect(10, 30, 40, 21));
    EXPECT_EQ(code->MaxLength(), 2);
    EXPECT_EQ(code->Color(), QStringLiteral("clInfoBk"));
    EXPECT_EQ(code->palette().color(QPalette::Base),
              QApplication::palette().color(QPalette::ToolTipBase));
    EXPECT_FALSE(form->findChild<TEdit *>(QStringLiteral("edtNome"))->Enabled());

    auto *group = form->findChild<TGroupBox *>(QStringLiteral("grbOpcao"));
    EXPECT_EQ(group->font().family(), QStringLiteral("MS Sans Serif"));
    EXPECT_EQ(group->font().pixelSize(), 11);
    EXPECT_TRUE(group->font().bold());
    EXPECT_TRUE(form->findChild<TRadioButton *>(QStringLiteral("rdbTodos"))->isChecked());
    EXPECT_TRUE(form->findChild<TDataSource *>(QStringLiteral("dtsDados")));

    // Events: the derived binding replaces the base's; the base's others stay.
    EXPECT_EQ(Velmora::Events::of(form.get()).handlerName(QStringLiteral("OnActivate")),
              QStringLiteral("DerivedActivate"));
    EXPECT_EQ(Velmora::Events::of(form.get()).handlerName(QStringLiteral("OnCreate")),
              QStringLiteral("FormCreate"));
    EXPECT_EQ(form->calls, QStringList{QStringLiteral("FormCreate")});
}

TEST(FormLoaderTest, ComponentsInDeclarationOrderAfterTheBase)
{
    const auto form = load(QStringLiteral("derived.json"));
    QStringList names;
    std::function<void(QObject *)> walk = [&](QObject *o) {
        for (QObject *c : o->children()) {
            if (!c->objectName().isEmpty() && !c->objectName().startsWith(QLatin1String("__")) &&
                !c->objectName().startsWith(QLatin1String("qt_")))
                names << c->objectName();
        }
    };
    walk(form.get());
    // Direct children of the screen keep their creation order.
    EXPECT_LT(names.indexOf(QStringLiteral("grbDados")), names.indexOf(QStringLiteral("sbtAcao")));
    EXPECT_LT(names.indexOf(QStringLiteral("sbtAcao")), names.indexOf(QStringLiteral("dtsDados")));
}

TEST(FormLoaderTest, FocusChainFollowsTabOrderDepthFirst)
{
    const auto form = load(QStringLiteral("derived.json"));
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    auto *code = form->findChild<QWidget *>(QStringLiteral("edtCodigo"));
    code->setFocus(Qt::OtherFocusReason);
    QStringList path;
    for (int i = 0; i < 5; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        path << QApplication::focusWidget()->objectName();
    }
    // edtNome (tab order 0) is disabled and skipped; the group's radio button comes between.
    EXPECT_EQ(path, (QStringList{QStringLiteral("rdbTodos"), QStringLiteral("edtTerceiro"),
                                 QStringLiteral("edtBase"), QStringLiteral("edtCodigo"),
                                 QStringLiteral("rdbTodos")}));
}

TEST(FormLoaderTest, HintShowsOnlyWhereShowHintAllows)
{
    const auto form = load(QStringLiteral("derived.json"));
    EXPECT_TRUE(
        Velmora::EffectiveShowHint(form->findChild<QWidget *>(QStringLiteral("edtCodigo"))));
    EXPECT_FALSE(Velmora::EffectiveShowHint(form->findChild<QWidget *>(QStringLiteral("lblHint"))));
}

TEST(FormLoaderTest, EveryErrorNamesItsObject)
{
    const struct
    {
        const char *file;
        QStringList mustName;
    } cases[] = {
        {"broken/unknown_class.json", {QStringLiteral("TNaoExiste"), QStringLiteral("x1")}},
        {"broken/unknown_property.json", {QStringLiteral("Legenda"), QStringLiteral("lblX")}},
        {"broken/unknown_parent.json", {QStringLiteral("grbFalta"), QStringLiteral("edtX")}},
        {"broken/unknown_handler.json", {QStringLiteral("edtXSumiu"), QStringLiteral("edtX")}},
        {"broken/wrong_signature.json",
         {QStringLiteral("handlerWithFlag"), QStringLiteral("QObject*")}},
        {"broken/duplicate_name.json", {QStringLiteral("edtX")}},
        {"broken/unknown_event.json", {QStringLiteral("OnSomething"), QStringLiteral("edtX")}},
        {"broken/unknown_change.json", {QStringLiteral("lblFantasma")}},
        {"broken/unknown_reference.json", {QStringLiteral("qryFalta"), QStringLiteral("fldX")}},
        {"broken/bad_value.json", {QStringLiteral("MaxLength"), QStringLiteral("edtX")}},
        {"broken/truncated.json", {QStringLiteral("truncated.json")}},
        {"broken/missing_base.json", {QStringLiteral("does_not_exist.json")}},
        {"broken/cycle_a.json", {QStringLiteral("circular")}},
        {"broken/unknown_key.json", {QStringLiteral("widgets")}},
        {"broken/unknown_version.json", {QStringLiteral("versão 2"), QStringLiteral("esperada 1")}},
        {"broken/nowhere.json", {QStringLiteral("nowhere.json")}},
    };
    for (const auto &c : cases) {
        const QString message = loadError(QString::fromLatin1(c.file));
        for (const QString &name : c.mustName)
            EXPECT_TRUE(message.contains(name))
                << c.file << ": " << message.toStdString() << " lacks " << name.toStdString();
    }
}

TEST(FormLoaderTest, AllHandlerErrorsReportedAtOnce)
{
    // Two bad names in one description: both in the one message.
    const QString path = QDir::temp().filePath(QStringLiteral("velmora_two_errors.json"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(R"({"components":[{"name":"a","class":"TEdit","events":{"OnExit":"nope1"}},
                               {"name":"b","class":"TButton","events":{"OnClick":"nope2"}}]})");
    f.close();
    TestForm form(&Application(), path);
    try {
        form.Create();
        FAIL() << "loaded";
    } catch (const Exception &e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("nope1")));
        EXPECT_TRUE(e.Message().contains(QStringLiteral("nope2")));
    }
    QFile::remove(path);
}

TEST(FormLoaderTest, BoolOutArgumentRoundTrips)
{
    TestForm form(&Application(), fixture(QStringLiteral("base.json")));
    QString why;
    QObject source;
    ASSERT_TRUE(Velmora::Events::of(&source).bind(QStringLiteral("OnBeforePesq"),
                                                  Velmora::EventSignature::NotifyBool, &form,
                                                  "handlerWithFlag", &why))
        << why.toStdString();
    bool flag = false;
    Velmora::Events::of(&source).call(QStringLiteral("OnBeforePesq"), &source, flag);
    EXPECT_TRUE(flag);
}

} // namespace
