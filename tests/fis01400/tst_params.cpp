// The report query's parameters as the report designer asks for them: the nine names in
// every combination of lists held and not held, declared or not, texts verbatim, the empty
// text never a null.
#include "ScreenTest.h"

#include "data/TParams.h"
#include "framework/Events.h"
#include "rtl/TDateTime.h"

#include <QDate>

namespace {

const QStringList nine{"P_CDEMPRESA",  "P_CDFILIAL",    "P_TCDFILIAL",
                       "P_CDFORNECED", "P_TCDFORNECED", "P_DTINICIAL",
                       "P_DTFINAL",    "P_CDINSCRICAO", "P_CDIMPOSTO"};

class Params : public ScreenTest
{
protected:
    // Raises the designer's event over a query that declares these names, each holding a
    // value of its own beforehand.
    TParams ask(const QStringList &declared, bool flag = true)
    {
        TParams params;
        for (const QString &name : declared)
            params.Add(name)->SetAsVariant(QStringLiteral("antes"));
        bool carryOn = flag;
        Velmora::Events::of(component<QObject>("rpddPadrao"))
            .call(QStringLiteral("BeforeGetQueryParams"), &params, carryOn);
        EXPECT_EQ(carryOn, flag) << "the flag is left as it came";
        return params;
    }
    static QString textOf(const TParams &params, const char *name)
    {
        const TParam *p = params.FindParam(QLatin1String(name));
        EXPECT_NE(p, nullptr) << name;
        if (!p)
            return {};
        EXPECT_FALSE(p->IsNull()) << name << ": a text, never a null";
        EXPECT_EQ(p->Value().metaType(), QMetaType::fromType<QString>()) << name;
        return p->Value().toString();
    }
    void fill()
    {
        ASSERT_TRUE(enter("medCdImposto", QStringLiteral("01")));
        ASSERT_TRUE(enter("medCdEmpresa", QStringLiteral("01")));
        ASSERT_TRUE(enter("edtInscricao", QStringLiteral("110042490114")));
        ASSERT_TRUE(enter("depDtInicial", QStringLiteral("01012024")));
        ASSERT_TRUE(enter("depDtFinal", QStringLiteral("31012024")));
        ASSERT_TRUE(messages().isEmpty()) << qPrintable(messages().join('\n'));
    }
};

TEST_F(Params, EveryCombinationOfListsHeld)
{
    fill();
    // Held as the list dialog wrote them, odd spacing and all: they pass verbatim.
    const QString branches = QStringLiteral("'1','10'");
    const QString suppliers = QStringLiteral(" '52998224725', '04252011000110' ");
    for (const bool branchHeld : {false, true}) {
        for (const bool supplierHeld : {false, true}) {
            SCOPED_TRACE(::testing::Message()
                         << "branches " << branchHeld << ", suppliers " << supplierHeld);
            global<QString>("stFilial") = branchHeld ? branches : QString();
            global<QString>("stFornecedor") = supplierHeld ? suppliers : QString();
            const TParams p = ask(nine + QStringList{QStringLiteral("P_OUTRO")});
            EXPECT_EQ(textOf(p, "P_CDEMPRESA"), QStringLiteral("01"));
            EXPECT_EQ(textOf(p, "P_CDFILIAL"), branchHeld ? branches : QString());
            EXPECT_EQ(textOf(p, "P_TCDFILIAL"), branchHeld ? QString() : QStringLiteral("T"));
            EXPECT_EQ(textOf(p, "P_CDFORNECED"), supplierHeld ? suppliers : QString());
            EXPECT_EQ(textOf(p, "P_TCDFORNECED"), supplierHeld ? QString() : QStringLiteral("T"));
            ASSERT_TRUE(p.FindParam(QStringLiteral("P_DTINICIAL"))->IsDate());
            EXPECT_EQ(p.FindParam(QStringLiteral("P_DTINICIAL"))->AsDate().toDate(),
                      QDate(2024, 1, 1));
            ASSERT_TRUE(p.FindParam(QStringLiteral("P_DTFINAL"))->IsDate());
            EXPECT_EQ(p.FindParam(QStringLiteral("P_DTFINAL"))->AsDate().toDate(),
                      QDate(2024, 1, 31));
            EXPECT_EQ(textOf(p, "P_CDINSCRICAO"), QStringLiteral("110042490114"));
            EXPECT_EQ(textOf(p, "P_CDIMPOSTO"), QStringLiteral("01"));
            EXPECT_EQ(p.FindParam(QStringLiteral("P_OUTRO"))->Value(),
                      QVariant(QStringLiteral("antes")))
                << "a name of its own is left alone";
            EXPECT_EQ(p.Count(), 10);
            // The strings themselves are untouched.
            EXPECT_EQ(global<QString>("stFornecedor"), supplierHeld ? suppliers : QString());
        }
    }
    ask(nine, false);
}

TEST_F(Params, OnlyTheNamesTheQueryDeclares)
{
    fill();
    // None of the nine: nothing is set, nothing raised.
    TParams none = ask({QStringLiteral("P_OUTRO")});
    EXPECT_EQ(none.Count(), 1);
    EXPECT_EQ(none.Items(0)->Value(), QVariant(QStringLiteral("antes")));
    EXPECT_EQ(ask({}).Count(), 0);

    // Only the supplier switch: the all-marker without a list, the empty text with one.
    TParams onlySwitch = ask({QStringLiteral("P_TCDFORNECED")});
    EXPECT_EQ(onlySwitch.Count(), 1);
    EXPECT_EQ(textOf(onlySwitch, "P_TCDFORNECED"), QStringLiteral("T"));
    global<QString>("stFornecedor") = QStringLiteral("'11222333000181'");
    EXPECT_EQ(textOf(ask({QStringLiteral("P_TCDFORNECED")}), "P_TCDFORNECED"), QString());
    // Only the branch code: the empty text without a list.
    EXPECT_EQ(textOf(ask({QStringLiteral("P_CDFILIAL")}), "P_CDFILIAL"), QString());
}

TEST_F(Params, EmptyFieldsGiveEmptyTexts)
{
    // A fresh screen: nothing typed (report edit lets an empty tax and registration through).
    const TParams p = ask(nine);
    for (const char *name :
         {"P_CDEMPRESA", "P_CDFILIAL", "P_CDFORNECED", "P_CDINSCRICAO", "P_CDIMPOSTO"})
        EXPECT_EQ(textOf(p, name), QString()) << name;
    EXPECT_EQ(textOf(p, "P_TCDFILIAL"), QStringLiteral("T"));
    EXPECT_EQ(textOf(p, "P_TCDFORNECED"), QStringLiteral("T"));
    // A tax without registration, the disabled field holding a text all the same.
    ASSERT_TRUE(enter("medCdImposto", QStringLiteral("02")));
    ASSERT_FALSE(enabled("edtInscricao"));
    control("edtInscricao")->setProperty("Text", QStringLiteral(" 99 "));
    EXPECT_EQ(textOf(ask(nine), "P_CDINSCRICAO"), QStringLiteral(" 99 "));
}

} // namespace
