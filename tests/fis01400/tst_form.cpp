// The screen as it stands when IniProc has shown it: every value below is written out by
// hand from the screen's design tables, never read from its form description.
#include "ScreenTest.h"

#include "data/TADOIBQuery.h"
#include "data/TDataSource.h"
#include "framework/ComponentRegistry.h"
#include "framework/ControlState.h"
#include "framework/Events.h"
#include "framework/HelpViewer.h"
#include "framework/TMessages.h"
#include "framework/TNetConnection.h"
#include "framework/controls/TBtnPesquisa.h"
#include "framework/controls/TDateEditPlus.h"
#include "framework/controls/TLabel.h"
#include "framework/controls/TMaskEdit.h"

#include <QAbstractButton>
#include <QFile>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>

namespace {

// Every component the form loader makes, in the order it makes them.
QList<QPointer<QObject>> created;

void recordCreation()
{
    static bool wrapped = false;
    if (wrapped)
        return;
    wrapped = true;
    Velmora::ComponentRegistry &registry = Velmora::ComponentRegistry::instance();
    for (const QString &name : registry.Names()) {
        Velmora::ComponentClass cls = *registry.Find(name);
        const Velmora::ComponentFactory make = cls.create;
        cls.create = [make](QObject *owner, QWidget *parent) {
            QObject *object = make(owner, parent);
            created << object;
            return object;
        };
        registry.Unregister(name);
        registry.Register(cls);
    }
}

struct Placement
{
    const char *name, *className, *parent, *caption;
    int left, top, width, height, tabOrder; // -1: takes no part in the keyboard path
};

// The screen's own controls: kind, parent, caption or hint, position, size, tab order.
const Placement placements[] = {
    {"lblImposto", "TLabel", "grbDadosRel", "Imposto", 6, 54, 53, 13, -1},
    {"medCdImposto", "TMaskEdit", "grbDadosRel", nullptr, 86, 51, 25, 21, 0},
    {"btpImposto", "TBtnPesquisa", "grbDadosRel", "Pesquisar", 115, 51, 21, 21, -1},
    {"edtNmImposto", "TEdit", "grbDadosRel", nullptr, 140, 51, 241, 21, 14},
    {"lblEmpresa", "TLabel", "grbDadosRel", "Empresa", 6, 80, 55, 13, -1},
    {"medCdEmpresa", "TMaskEdit", "grbDadosRel", nullptr, 86, 77, 25, 21, 2},
    {"btpEmpresa", "TBtnPesquisa", "grbDadosRel", "Pesquisar", 115, 77, 21, 21, -1},
    {"edtNmEmpresa", "TEdit", "grbDadosRel", nullptr, 140, 77, 242, 21, 1},
    {"lblInscricao", "TLabel", "grbDadosRel", "Inscrição", 6, 106, 59, 13, -1},
    {"edtInscricao", "TEdit", "grbDadosRel", nullptr, 86, 103, 170, 21, 3},
    {"btpInscricao", "TBtnPesquisa", "grbDadosRel", "Pesquisar", 261, 103, 21, 21, -1},
    {"Label2", "TLabel", "grbDadosRel", "Data Inicial", 6, 132, 70, 13, -1},
    {"depDtInicial", "TDateEditPlus", "grbDadosRel", nullptr, 86, 129, 100, 21, 4},
    {"btnDataIni", "TBtnPesquisa", "grbDadosRel", "Pesquisar", 191, 130, 21, 21, -1},
    {"Label3", "TLabel", "grbDadosRel", "Data Final", 6, 158, 63, 13, -1},
    {"depDtFinal", "TDateEditPlus", "grbDadosRel", nullptr, 86, 155, 100, 21, 5},
    {"btnDataFim", "TBtnPesquisa", "grbDadosRel", "Pesquisar", 191, 156, 21, 21, -1},
    {"grbFornecedor", "TGroupBox", "grbDadosRel", " Fornecedor ", 6, 182, 121, 77, 6},
    {"rdbTodosFor", "TRadioButton", "grbFornecedor", "Todos", 11, 20, 56, 17, 1},
    {"rdbListaFor", "TRadioButton", "grbFornecedor", "Lista", 11, 52, 48, 17, 2},
    {"btnPesqForne", "TBtnPesquisa", "grbFornecedor", "Pesquisar", 72, 46, 21, 21, -1},
    {"grbFilial", "TGroupBox", "grbDadosRel", " Filial Origem ", 152, 182, 121, 77, 7},
    {"rdbTodosFil", "TRadioButton", "grbFilial", "Todos", 11, 20, 56, 17, 1},
    {"rdbListaFil", "TRadioButton", "grbFilial", "Lista", 11, 52, 59, 17, 2},
    {"btnFilial", "TBtnPesquisa", "grbFilial", "Pesquisar", 76, 46, 21, 21, -1},
};

struct Entry
{
    const char *name;
    const char *editMask; // nullptr: no mask; empty: the date edit's own
    int maxLength;        // 0: no limit
    const char *color;    // nullptr: the parent's
    bool enabled;
};

const Entry entries[] = {
    {"medCdImposto", "!99;0; ", 2, "clInfoBk", true},
    {"edtNmImposto", nullptr, 0, "clBtnFace", false},
    {"medCdEmpresa", "99;0; ", 2, "clInfoBk", true},
    {"edtNmEmpresa", nullptr, 0, "clBtnFace", false},
    {"edtInscricao", nullptr, 16, "clInfoBk", false},
    {"depDtInicial", "", 0, "clInfoBk", true},
    {"depDtFinal", "", 0, "clInfoBk", true},
};

struct Lookup
{
    const char *button, *associate, *title, *dataSource, *emptyError;
    bool enabled;
};

const Lookup lookups[] = {
    {"btpImposto", "medCdImposto", "Imposto", "dtsImposto", "Não há imposto cadastrado.", true},
    {"btpEmpresa", "medCdEmpresa", "Empresa", "dtsEmpresa", "Não há empresa cadastrada.", true},
    {"btpInscricao", "edtInscricao", "Inscrição Estadual", nullptr,
     "Não há inscrição cadastrada para a empresa informada.", false},
    {"btnDataIni", "depDtInicial", "Data Inicial", "dtsDtIni", "Não há data inicial cadastrada.",
     true},
    {"btnDataFim", "depDtFinal", "Data Final", "dtsDtFim", "Não há data final cadastrada.", true},
    {"btnPesqForne", "rdbListaFor", "", "dtsFornecedor", "", false},
    {"btnFilial", "rdbListaFil", "", "dtsFiliOrig", "", false},
};

struct Binding
{
    const char *component, *event, *handler;
};

const Binding bindings[] = {
    {"medCdImposto", "OnChange", "medCdImpostoChange"},
    {"medCdImposto", "OnExit", "medCdImpostoExit"},
    {"medCdEmpresa", "OnChange", "medCdEmpresaChange"},
    {"medCdEmpresa", "OnExit", "medCdEmpresaExit"},
    {"edtInscricao", "OnExit", "edtInscricaoExit"},
    {"depDtInicial", "OnExit", "depDtInicialExit"},
    {"depDtFinal", "OnExit", "depDtFinalExit"},
    {"rdbTodosFor", "OnClick", "rdbTodosForClick"},
    {"rdbTodosFil", "OnClick", "rdbTodosFilClick"},
    {"rdbListaFor", "OnClick", "rdbListaForClick"},
    {"rdbListaFil", "OnClick", "rdbListaFilClick"},
    {"btpImposto", "OnBeforePesq", "btpImpostoBeforePesq"},
    {"btpImposto", "OnAfterPesq", "btpImpostoAfterPesq"},
    {"btpEmpresa", "OnBeforePesq", "btpEmpresaBeforePesq"},
    {"btpEmpresa", "OnAfterPesq", "btpEmpresaAfterPesq"},
    {"btpInscricao", "OnBeforePesq", "btpInscricaoBeforePesq"},
    {"btpInscricao", "OnAfterPesq", "btpInscricaoAfterPesq"},
    {"btnDataIni", "OnBeforePesq", "btnDataIniBeforePesq"},
    {"btnDataIni", "OnAfterPesq", "btnDataIniAfterPesq"},
    {"btnDataFim", "OnBeforePesq", "btnDataFimBeforePesq"},
    {"btnDataFim", "OnAfterPesq", "btnDataFimAfterPesq"},
    {"btnPesqForne", "OnClick", "btnPesqForneClick"},
    {"btnFilial", "OnClick", "btnFilialClick"},
    {"rpddPadrao", "BeforeGetQueryParams", "rpddPadraoBeforeGetQueryParams"},
    {"netDocForne", "BeforeConnect", "netDocForneBeforeConnect"},
    {"sbtPrint", "OnClick", "sbtPrintClick"},
    {"sbtPreview", "OnClick", "sbtPreviewClick"},
    {"sbtSalvarComo", "OnClick", "sbtSalvarComoClick"},
    {"sbtReportEdit", "OnClick", "sbtReportEditClick"},
};

const QStringList messageRows{
    "Arq_Rel_Err|O arquivo contendo a definição do relatório de código '%s' não foi encontrado "
    "no diretório '%s'.",
    "NovoCaption|Título do relatório",
    "NovoPrompt|Informe o título do relatório:",
    "medCdEmpresa_Inf|Empresa deve ser informada.",
    "medCdEmpresa_Cad|Empresa não cadastrada.",
    "DtIni_inv|Data inicial deve ser menor ou igual à data final.",
    "DtIni_inf|Data inicial deve ser informada.",
    "DtFin_inf|Data final deve ser informada.",
    "InscEsta_Cad|Inscrição estadual não cadastrada.",
    "CDIMP_INF|Imposto deve ser informado.",
    "CDIMP_INV|Imposto não cadastrado.",
    "For|Fornecedor",
    "nao_ha_for|Não há fornecedor cadastrado.",
    "Fil|Filial",
    "nao_ha_fil|Não há filial cadastrada.",
    "inscEst_Inf|Inscrição Estadual deve ser informada.",
    "nao_ha_Imp|Não há imposto cadastrado.",
    "Imp|Imposto",
    "Imp_Inf|Imposto deve ser informado.",
    "For_Inf|Fornecedor deve ser informado.",
    "Fil_inf|Filial de Origem deve ser informado.",
    "InscMuni_Cad|Inscrição Municipal não cadastrada.",
    "InscMuni_Inf|Inscrição Municipal deve ser informada.",
    "Mapa_Inv|Não existe mapa de apuração para a data informada.",
    "Muni|Inscrição Municipal",
    "Estad|Inscrição Estadual",
};

const QStringList declarationOrder{"dtsEmpresa",
                                   "lblEmpresa",
                                   "btpEmpresa",
                                   "medCdEmpresa",
                                   "edtNmEmpresa",
                                   "Label2",
                                   "Label3",
                                   "depDtInicial",
                                   "depDtFinal",
                                   "lblInscricao",
                                   "edtInscricao",
                                   "btpInscricao",
                                   "qryEmpresa",
                                   "qryEmpresaCDEMPRESA",
                                   "qryEmpresaNMEMPRESA",
                                   "btnDataIni",
                                   "btnDataFim",
                                   "qryFornecedor",
                                   "qryFiliOrig",
                                   "qryFornecedorNRINSJURFORN",
                                   "qryFornecedorNMRAZSOCFORN",
                                   "dtsFornecedor",
                                   "dtsFiliOrig",
                                   "qryFiliOrigCDFILIAL",
                                   "qryFiliOrigNMFILIAL",
                                   "netDocForne",
                                   "cdsDtFim",
                                   "dtsDtFim",
                                   "cdsDtIni",
                                   "dtsDtIni",
                                   "grbFornecedor",
                                   "btnPesqForne",
                                   "rdbTodosFor",
                                   "rdbListaFor",
                                   "grbFilial",
                                   "btnFilial",
                                   "rdbTodosFil",
                                   "rdbListaFil",
                                   "qryFornecedorIDTPIJURFORN",
                                   "qryImposto",
                                   "dtsImposto",
                                   "qryImpostoCDIMPOSTONFE",
                                   "qryImpostoSGIMPOSTONFE",
                                   "qryImpostoIDORGARRECADNFE",
                                   "qryOrgaoArrecadador",
                                   "dtsOrgaoArrecadador",
                                   "qryVdInscrMuni",
                                   "qryOrgaoArrecadadorESTAD",
                                   "qryOrgaoArrecadadorMUNICIP",
                                   "dtsDataInicial",
                                   "cdsVdDataIni",
                                   "cdsVdDataFinal",
                                   "dtsDataFinal",
                                   "cdsVdDataIniDTINIPERIODO",
                                   "cdsVdDataIniDTINICIAL",
                                   "cdsVdDataFinalDTFIMPERIODO",
                                   "cdsVdDataFinalDTFINAL",
                                   "cdsDtIniDTINIPERIODO",
                                   "cdsDtIniDTFIMPERIODO",
                                   "cdsDtIniDTINICIAL",
                                   "cdsDtFimDTINIPERIODO",
                                   "cdsDtFimDTFIMPERIODO",
                                   "cdsDtFimDTINICIAL",
                                   "cdsDtFimDTFINAL",
                                   "lblImposto",
                                   "medCdImposto",
                                   "btpImposto",
                                   "edtNmImposto",
                                   "qryInscEsta",
                                   "dtsInscrEstad",
                                   "dtsInscrMuni",
                                   "qryInscrMuni",
                                   "qryInscrMuniCDINSCMUNI",
                                   "qryInscEstaCDINSCESTA"};

// The base report screen's components.
const QStringList baseComponents{
    "lblCodTela",        "grbDadosRel",    "bvlSeparator",  "panRelat",           "lblRelat",
    "cbbReportNames",    "panMenu",        "lblCodRel",     "msgPadrao",          "msgMensagens",
    "rpddPadrao",        "svdSaveReport",  "ppmEditReport", "ppmSalvarRelatorio", "netQRDesign",
    "sbtPrint",          "sbtPreview",     "sbtSalvarComo", "sbtReportEdit",      "sbtVariantes",
    "sbtUltimosValores", "sbtSegundoPlano"};

class FormTest : public ScreenTest
{
protected:
    static void SetUpTestSuite() { recordCreation(); }
    void SetUp() override
    {
        created.clear();
        ScreenTest::SetUp();
    }
    int property(const char *name, const char *property) const
    {
        return control(name)->property(property).toInt();
    }
};

TEST_F(FormTest, TheWindow)
{
    TForm *form = screen();
    EXPECT_EQ(form->objectName(), QStringLiteral("frmDocForne"));
    EXPECT_STREQ(form->metaObject()->className(), "TfrmDocForne");
    EXPECT_STREQ(form->metaObject()->superClass()->className(), "TfrmDadosGerRel");
    EXPECT_EQ(form->Caption(), QStringLiteral("Documentos por Fornecedor"));
    EXPECT_EQ(form->width(), 387);
    EXPECT_EQ(form->height(), 295);
    EXPECT_EQ(form->BorderStyle(), QStringLiteral("bsSingle"));
    EXPECT_EQ(form->FormStyle(), QStringLiteral("fsMDIChild"));
    EXPECT_EQ(form->HelpFile(), QStringLiteral("FisHelp.Hlp"));
    EXPECT_EQ(form->HelpContext(), 11500900);
    // A child window of the main window, at its stored place, that the user cannot resize.
    QMdiSubWindow *window = form->SubWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->mdiArea(), host->Window().MdiArea());
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->pos(), QPoint(264, 110));
    EXPECT_EQ(window->minimumSize(), window->maximumSize());
    EXPECT_EQ(form->minimumSize(), QSize(387, 295));
    EXPECT_EQ(form->maximumSize(), QSize(387, 295));
    EXPECT_EQ(focusName(), QStringLiteral("medCdImposto"));
    EXPECT_TRUE(messages().isEmpty()) << qPrintable(messages().join('\n'));
}

TEST_F(FormTest, InheritedControlsItChanges)
{
    EXPECT_EQ(control("lblCodTela")->property("Caption").toString(), QStringLiteral("FIS01400"));
    EXPECT_EQ(property("grbDadosRel", "Width"), 387);
    EXPECT_EQ(property("grbDadosRel", "Height"), 268);
    EXPECT_EQ(property("bvlSeparator", "Width"), 383);
    EXPECT_EQ(property("bvlSeparator", "Height"), 8);
    EXPECT_EQ(property("panRelat", "Width"), 383);
    EXPECT_EQ(property("panRelat", "TabOrder"), 12);
    EXPECT_EQ(property("lblRelat", "Width"), 55);
    EXPECT_FALSE(control("lblRelat")->property("AutoSize").toBool());
    EXPECT_EQ(property("cbbReportNames", "Width"), 315);
    EXPECT_EQ(property("panMenu", "Width"), 387);
    // Sized to its caption, whatever the font: the code is never cut.
    EXPECT_GE(property("lblCodRel", "Width"),
              control("lblCodRel")->fontMetrics().horizontalAdvance(QStringLiteral("FIS014")));
    EXPECT_EQ(control("lblCodRel")->property("Caption").toString(), QStringLiteral("FIS014"));
    EXPECT_EQ(control("bvlSeparator")->parentWidget(), control("grbDadosRel"));
    EXPECT_EQ(control("panRelat")->parentWidget(), control("grbDadosRel"));
}

TEST_F(FormTest, LayoutOfItsOwnControls)
{
    for (const Placement &p : placements) {
        SCOPED_TRACE(p.name);
        QWidget *w = control(p.name);
        ASSERT_NE(w, nullptr);
        EXPECT_STREQ(w->metaObject()->className(), p.className);
        EXPECT_EQ(w->parentWidget()->objectName(), QLatin1String(p.parent));
        EXPECT_EQ(w->geometry(), QRect(p.left, p.top, p.width, p.height));
        if (p.tabOrder >= 0)
            EXPECT_EQ(Velmora::StateOf(w)->tabOrder(), p.tabOrder);
        else
            EXPECT_EQ(w->focusPolicy(), Qt::NoFocus);
        const QString shown =
            w->property(qobject_cast<TBtnPesquisa *>(w) ? "Hint" : "Caption").toString();
        EXPECT_EQ(shown, p.caption ? QString::fromUtf8(p.caption) : QString());
        EXPECT_FALSE(shown.contains(QLatin1Char('&'))) << "no accelerator keys";
    }
}

TEST_F(FormTest, EntryLimitsColoursAndStatesAtCreation)
{
    const QPalette system = QApplication::palette();
    const QHash<QString, QColor> colours{{"clInfoBk", system.color(QPalette::ToolTipBase)},
                                         {"clBtnFace", system.color(QPalette::Button)}};
    for (const Entry &e : entries) {
        SCOPED_TRACE(e.name);
        QWidget *w = control(e.name);
        if (e.editMask && *e.editMask)
            EXPECT_EQ(w->property("EditMask").toString(), QLatin1String(e.editMask));
        else if (e.editMask)
            EXPECT_FALSE(w->property("EditMask").toString().isEmpty()) << "the date's own mask";
        else
            EXPECT_FALSE(w->property("EditMask").isValid()) << "a plain edit";
        EXPECT_EQ(w->property("MaxLength").toInt(), e.maxLength);
        EXPECT_EQ(w->property("Color").toString(), QLatin1String(e.color));
        EXPECT_EQ(w->palette().color(QPalette::Base), colours.value(QLatin1String(e.color)));
        EXPECT_EQ(Velmora::StateOf(w)->enabled(), e.enabled);
        EXPECT_TRUE(w->property("Text").toString().isEmpty());
    }
    // The registration row starts disabled as a whole.
    EXPECT_FALSE(enabled("lblInscricao"));
    EXPECT_FALSE(enabled("btpInscricao"));
    EXPECT_TRUE(checked("rdbTodosFor"));
    EXPECT_FALSE(checked("rdbListaFor"));
    EXPECT_TRUE(checked("rdbTodosFil"));
    EXPECT_FALSE(checked("rdbListaFil"));
    for (const char *radio : {"rdbTodosFor", "rdbListaFor", "rdbTodosFil", "rdbListaFil"})
        EXPECT_TRUE(enabled(radio)) << radio;
}

TEST_F(FormTest, RequestedFonts)
{
    for (const char *name : {"lblImposto", "lblEmpresa", "lblInscricao", "Label2", "Label3",
                             "grbFornecedor", "grbFilial"}) {
        SCOPED_TRACE(name);
        const QFont font = control(name)->font();
        EXPECT_EQ(font.family(), QStringLiteral("MS Sans Serif"));
        EXPECT_EQ(font.pixelSize(), 11);
        EXPECT_TRUE(font.bold());
        EXPECT_EQ(control(name)->property("FontColor").toString(), QStringLiteral("clWindowText"));
    }
    for (const char *name : {"lblImposto", "lblEmpresa", "lblInscricao", "Label2", "Label3"})
        EXPECT_FALSE(control(name)->property("AutoSize").toBool()) << name;
    // The radio buttons take their group box's font; the entry fields the parent's.
    for (const char *name : {"rdbTodosFor", "rdbListaFor", "rdbTodosFil", "rdbListaFil"}) {
        EXPECT_EQ(control(name)->font().family(), QStringLiteral("MS Sans Serif")) << name;
        EXPECT_TRUE(control(name)->font().bold()) << name;
        EXPECT_EQ(control(name)->font().pixelSize(), 11) << name;
    }
    for (const char *name : {"medCdImposto", "medCdEmpresa", "edtInscricao", "depDtInicial"})
        EXPECT_EQ(control(name)->font(), control("grbDadosRel")->font()) << name;
}

TEST_F(FormTest, LookupButtons)
{
    for (const Lookup &l : lookups) {
        SCOPED_TRACE(l.button);
        auto *b = component<TBtnPesquisa>(l.button);
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(b->Hint(), QStringLiteral("Pesquisar"));
        EXPECT_FALSE(b->ParentShowHint());
        EXPECT_EQ(b->Associate(), control(l.associate));
        EXPECT_EQ(b->Title(), QString::fromUtf8(l.title));
        EXPECT_EQ(b->DataSource() ? b->DataSource()->objectName() : QString(),
                  l.dataSource ? QString::fromLatin1(l.dataSource) : QString());
        EXPECT_EQ(b->EmptyError(), QString::fromUtf8(l.emptyError));
        EXPECT_EQ(b->Enabled(), l.enabled);
        EXPECT_FALSE(b->icon().isNull()) << "the pointing-hand picture";
    }
    // The list buttons run their click handlers alone.
    for (const char *name : {"btnPesqForne", "btnFilial"}) {
        EXPECT_FALSE(Velmora::Events::of(control(name)).isBound(QStringLiteral("OnBeforePesq")));
        EXPECT_FALSE(Velmora::Events::of(control(name)).isBound(QStringLiteral("OnAfterPesq")));
    }
}

TEST_F(FormTest, DateEdits)
{
    for (const char *name : {"depDtInicial", "depDtFinal"}) {
        SCOPED_TRACE(name);
        auto *d = component<TDateEditPlus>(name);
        EXPECT_EQ(d->ValidDateColor(), QStringLiteral("clBlue"));
        EXPECT_FALSE(d->SaveTime());
        EXPECT_EQ(d->NomeSemana(), (QStringList{"Domingo", "Segunda", "Terça", "Quarta", "Quinta",
                                                "Sexta", "Sábado"}));
        EXPECT_NE(d->DropDownButton(), nullptr);
    }
}

TEST_F(FormTest, EventsBoundByName)
{
    for (const Binding &b : bindings) {
        const Velmora::Events *events = Velmora::Events::find(component<QObject>(b.component));
        ASSERT_NE(events, nullptr) << b.component;
        EXPECT_EQ(events->handlerName(QLatin1String(b.event)), QLatin1String(b.handler))
            << b.component << "." << b.event;
    }
    const Velmora::Events *form = Velmora::Events::find(screen());
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(form->handlerName(QStringLiteral("OnCreate")), QStringLiteral("FormCreate"));
    EXPECT_EQ(form->handlerName(QStringLiteral("OnActivate")), QStringLiteral("FormActivate"));
    EXPECT_EQ(form->handlerName(QStringLiteral("OnClose")), QStringLiteral("FormClose"));
    for (const char *name : {"edtNmImposto", "edtNmEmpresa"})
        EXPECT_FALSE(Velmora::Events::of(control(name)).isBound(QStringLiteral("OnChange")));
}

TEST_F(FormTest, NonVisualComponents)
{
    const struct
    {
        const char *source, *dataSet;
    } sources[] = {{"dtsImposto", "qryImposto"},
                   {"dtsEmpresa", "qryEmpresa"},
                   {"dtsInscrEstad", "qryInscEsta"},
                   {"dtsInscrMuni", "qryInscrMuni"},
                   {"dtsFornecedor", "qryFornecedor"},
                   {"dtsFiliOrig", "qryFiliOrig"},
                   {"dtsDtIni", "cdsDtIni"},
                   {"dtsDtFim", "cdsDtFim"},
                   {"dtsOrgaoArrecadador", "qryOrgaoArrecadador"},
                   {"dtsDataInicial", "cdsVdDataFinal"},
                   {"dtsDataFinal", "cdsVdDataFinal"}};
    for (const auto &s : sources) {
        auto *source = component<TDataSource>(s.source);
        ASSERT_NE(source, nullptr);
        ASSERT_NE(source->DataSet(), nullptr) << s.source;
        EXPECT_EQ(source->DataSet()->objectName(), QLatin1String(s.dataSet)) << s.source;
    }
    // Nothing has opened the queries that no handler uses.
    for (const char *name : {"qryOrgaoArrecadador", "qryVdInscrMuni", "qryImposto", "qryEmpresa",
                             "qryInscEsta", "qryInscrMuni", "qryFornecedor", "qryFiliOrig"})
        EXPECT_FALSE(component<TDataSet>(name)->Active()) << name;
    EXPECT_EQ(component<TADOIBQuery>("qryVdInscrMuni")->DataSource(), nullptr);

    auto *net = component<TNetConnection>("netDocForne");
    EXPECT_EQ(net->ServerName(), QStringLiteral("Fis01400.rdmDocForne"));
    EXPECT_FALSE(net->ThrowException());
    // Created with its connection open, to the server the settings name.
    EXPECT_TRUE(net->Connected());
    EXPECT_EQ(net->Port(), Environment().serverPort());
    EXPECT_EQ(net->Host(), QStringLiteral("127.0.0.1"));
}

TEST_F(FormTest, TheMessageTable)
{
    auto *table = component<TMessages>("msgPadrao");
    EXPECT_EQ(table->Lines(), messageRows);
    // Keys are found in any letter case.
    EXPECT_EQ(table->Msg(QStringLiteral("InscEst_Inf")),
              QStringLiteral("Inscrição Estadual deve ser informada."));
    EXPECT_EQ(table->Msg(QStringLiteral("Fil_Inf")),
              QStringLiteral("Filial de Origem deve ser informado."));
}

TEST_F(FormTest, DeclarationOrder)
{
    QStringList names;
    for (const QPointer<QObject> &o : std::as_const(created))
        if (o)
            names << o->objectName();
    const qsizetype own = names.indexOf(declarationOrder.first());
    ASSERT_GE(own, 0) << qPrintable(names.join(' '));
    EXPECT_EQ(names.mid(own), declarationOrder);
    // The base screen's components come before them, and nothing else does.
    const QStringList base = names.first(own);
    for (const QString &name : baseComponents)
        EXPECT_TRUE(base.contains(name)) << qPrintable(name);
    EXPECT_EQ(base.size(), baseComponents.size()) << qPrintable(base.join(' '));
}

TEST_F(FormTest, FocusChainInTabOrder)
{
    // Every control that can take the focus, disabled ones included, in chain order.
    const QStringList inChain{"medCdImposto", "edtNmEmpresa", "medCdEmpresa",   "edtInscricao",
                              "depDtInicial", "depDtFinal",   "rdbTodosFor",    "rdbListaFor",
                              "rdbTodosFil",  "rdbListaFil",  "cbbReportNames", "edtNmImposto"};
    QStringList seen;
    QWidget *w = control("medCdImposto");
    for (int i = 0; i < 200 && seen.size() < inChain.size(); ++i, w = w->nextInFocusChain())
        if (inChain.contains(w->objectName()) && !seen.contains(w->objectName()))
            seen << w->objectName();
    EXPECT_EQ(seen, inChain);
}

TEST_F(FormTest, KeyboardPath)
{
    const auto path = [](int steps) {
        QStringList names;
        for (int i = 0; i < steps; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QWidget *w = QApplication::focusWidget();
            names << (w ? w->objectName() : QString());
        }
        return names;
    };
    ASSERT_EQ(focusName(), QStringLiteral("medCdImposto"));
    // Disabled name boxes and the registration are passed over; labels and buttons never
    // take the focus.
    EXPECT_EQ(path(7), (QStringList{"medCdEmpresa", "depDtInicial", "depDtFinal", "rdbTodosFor",
                                    "rdbTodosFil", "cbbReportNames", "medCdImposto"}));
    EXPECT_TRUE(messages().isEmpty()) << qPrintable(messages().join('\n'));

    // A tax that asks for a registration puts it on the path.
    ASSERT_TRUE(enter("medCdImposto", QStringLiteral("01")));
    EXPECT_EQ(focusName(), QStringLiteral("medCdEmpresa"));
    EXPECT_EQ(path(2), (QStringList{"edtInscricao", "depDtInicial"}));
    EXPECT_TRUE(messages().isEmpty()) << qPrintable(messages().join('\n'));
}

TEST_F(FormTest, F1AsksForTheScreensHelp)
{
    ASSERT_EQ(focusName(), QStringLiteral("medCdImposto"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F1);
    const QList<QJsonObject> help = recorder.of(QStringLiteral("help"));
    ASSERT_EQ(help.size(), 1);
    EXPECT_EQ(help[0].value(QLatin1String("file")).toString(), QStringLiteral("FisHelp.Hlp"));
    EXPECT_EQ(help[0].value(QLatin1String("context")).toInt(), 11500900);
    // The package ships the page of that context, in Portuguese.
    QFile page(HelpViewer::PagePath(QStringLiteral("FisHelp.Hlp"), 11500900));
    ASSERT_TRUE(page.open(QIODevice::ReadOnly)) << qPrintable(page.fileName());
    const QString html = QString::fromUtf8(page.readAll());
    EXPECT_TRUE(html.contains(QStringLiteral("lang=\"pt-BR\"")));
    EXPECT_TRUE(html.contains(QStringLiteral("Documentos por Fornecedor")));
}

} // namespace
