#include "Cli_fis01400.h"

#include "data/TADOIBQuery.h"
#include "data/TClientDataSet.h"
#include "data/TDataSource.h"
#include "framework/Consiste.h"
#include "framework/FieldCheck.h"
#include "framework/PesquisaLista.h"
#include "framework/TApplication.h"
#include "framework/TMessages.h"
#include "framework/TNetConnection.h"
#include "framework/Velmora.h"
#include "framework/controls/TBtnPesquisa.h"
#include "framework/controls/TDateEditPlus.h"
#include "framework/controls/TEdit.h"
#include "framework/controls/TLabel.h"
#include "framework/controls/TMaskEdit.h"
#include "framework/controls/TRadioButton.h"
#include "reports/ExistParam.h"
#include "rtl/DateConvert.h"
#include "rtl/Exceptions.h"

#include <QJsonObject>

TfrmDocForne *frmDocForne = nullptr;
bool boStCriado = false;
QString stFornecedor;
QString stImposto;
QString stFilial;

namespace {

// The all-marker: a parameter whose name begins with P_T switches its filter off with it.
const QString allMarker = QStringLiteral("T");

// A text parameter always carries a text: the empty text, never a null.
QVariant text(const QString &value)
{
    return QVariant(value.isNull() ? QString::fromLatin1("") : value);
}

} // namespace

int Cli_fis01400_Nesting = 0;

TfrmDocForne::TfrmDocForne(TApplication *owner) : TfrmDadosGerRel(owner) {}

TfrmDocForne::~TfrmDocForne()
{
    // A released screen may be destroyed after the next one was created.
    if (frmDocForne == this)
        frmDocForne = nullptr;
}

QString TfrmDocForne::DescriptionPath() const
{
    return QStringLiteral(":/fis01400/form/TfrmDocForne.json");
}

void TfrmDocForne::Loaded()
{
    TfrmDadosGerRel::Loaded();
    setupUi(this);
}

void TfrmDocForne::setRegistrationRowEnabled(bool enabled)
{
    lblInscricao->SetEnabled(enabled);
    edtInscricao->SetEnabled(enabled);
    btpInscricao->SetEnabled(enabled);
}

// The collecting body of the tax on which the tax query stands.
QString TfrmDocForne::collectingBody() const
{
    return qryImposto->FieldByName(QStringLiteral("IDORGARRECADNFE"))->AsString();
}

// ---- Creation, activation, close --------------------------------------------------------

void TfrmDocForne::FormCreate(QObject *sender)
{
    TfrmDadosGerRel::FormCreate(sender);
    // The selection strings outlive a closed screen; a fresh screen shows the list it holds,
    // so that what the screen shows and what the report receives agree.
    if (!Consiste::EmptyString(stFornecedor))
        rdbListaFor->setChecked(true);
    if (!Consiste::EmptyString(stFilial))
        rdbListaFil->setChecked(true);
    netDocForne->SetConnected(true);
}

void TfrmDocForne::netDocForneBeforeConnect(QObject *)
{
    netDocForne->SetPort(Velmora::WebPort());
    netDocForne->SetHost(Velmora::WebURL());
}

void TfrmDocForne::FormActivate(QObject *sender)
{
    TfrmDadosGerRel::FormActivate(sender);
    repaint();
}

void TfrmDocForne::FormClose(QObject *sender, TCloseAction &action)
{
    boStCriado = false;
    TfrmDadosGerRel::FormClose(sender, action);
    Release();
}

// ---- Tax and company ----------------------------------------------------------------------

void TfrmDocForne::Vd_Empresa(bool required)
{
    if (Consiste::EmptyString(medCdEmpresa->Text()) && !required)
        return;
    Velmora::FocusOnFailure(medCdEmpresa, [&] {
        if (Consiste::EmptyString(medCdEmpresa->Text()))
            msgPadrao->Fail("medCdEmpresa_Inf");
        medCdEmpresa->SetText(Consiste::Ajusta(medCdEmpresa->Text(), 2));
        if (!qryEmpresa->OpenWith({{"P_CDEMPRESA", medCdEmpresa->Text()}}))
            msgPadrao->Fail("medCdEmpresa_Cad");
        edtNmEmpresa->SetText(qryEmpresa->FieldByName(QStringLiteral("NMEMPRESA"))->AsString());
    });
}

void TfrmDocForne::Vd_Imposto(bool required)
{
    if (Consiste::EmptyString(medCdImposto->Text()) && !required)
        return;
    Velmora::FocusOnFailure(medCdImposto, [&] {
        if (Consiste::EmptyString(medCdImposto->Text()))
            msgPadrao->Fail("CDIMP_INF");
        // The width is the one the tax code field declares.
        medCdImposto->SetText(
            Consiste::Ajusta(medCdImposto->Text(), qryImpostoCDIMPOSTONFE->Size()));
        if (!qryImposto->OpenWith({{"P_CDIMPOSTO", medCdImposto->Text()}}))
            msgPadrao->Fail("CDIMP_INV");

        // The registration kind goes by the collecting body's first letter: "E" the state,
        // "M" the municipality; anything else leaves the kind as an earlier tax set it.
        QString body = collectingBody();
        if (!Consiste::EmptyString(body)) {
            if (body.at(0) == QLatin1Char('E')) {
                btpInscricao->SetDataSource(dtsInscrEstad);
                btpInscricao->SetSubtitle(msgPadrao->Msg(QStringLiteral("InscEsta")));
            } else if (body.at(0) == QLatin1Char('M')) {
                btpInscricao->SetDataSource(dtsInscrMuni);
                btpInscricao->SetSubtitle(msgPadrao->Msg(QStringLiteral("InscMuni")));
            }
        }
        // The registration row goes by the whole text: "F" or empty means no registration.
        body = collectingBody();
        setRegistrationRowEnabled(!(body == QLatin1String("F") || Consiste::EmptyString(body)));
        edtNmImposto->SetText(qryImposto->FieldByName(QStringLiteral("SGIMPOSTONFE"))->AsString());
    });
}

void TfrmDocForne::medCdImpostoChange(QObject *)
{
    edtInscricao->SetText(QString());
    edtNmImposto->SetText(QString());
}

void TfrmDocForne::medCdImpostoExit(QObject *)
{
    Vd_Imposto(false);
    if (medCdImposto->Text().length() == 0)
        setRegistrationRowEnabled(false);
}

void TfrmDocForne::btpImpostoBeforePesq(QObject *, bool &)
{
    qryImposto->OpenWith({{"P_CDIMPOSTO", {}}});
}

void TfrmDocForne::btpImpostoAfterPesq(QObject *)
{
    medCdImposto->SetText(qryImposto->FieldByName(QStringLiteral("CDIMPOSTONFE"))->AsString());
    edtNmImposto->SetText(qryImposto->FieldByName(QStringLiteral("SGIMPOSTONFE"))->AsString());
}

void TfrmDocForne::medCdEmpresaChange(QObject *)
{
    edtNmEmpresa->SetText(QString());
}

void TfrmDocForne::medCdEmpresaExit(QObject *)
{
    Vd_Empresa(false);
}

void TfrmDocForne::btpEmpresaBeforePesq(QObject *, bool &)
{
    qryEmpresa->OpenWith({{"P_CDEMPRESA", {}}});
}

void TfrmDocForne::btpEmpresaAfterPesq(QObject *)
{
    medCdEmpresa->SetText(qryEmpresa->FieldByName(QStringLiteral("CDEMPRESA"))->AsString());
    edtNmEmpresa->SetText(qryEmpresa->FieldByName(QStringLiteral("NMEMPRESA"))->AsString());
}

// ---- Registration ------------------------------------------------------------------------

void TfrmDocForne::Vd_Inscricao(bool required)
{
    const QString registration = edtInscricao->Text();
    const TDataSource *kind = btpInscricao->DataSource();
    Velmora::FocusOnFailure(edtInscricao, [&] {
        if (Consiste::EmptyString(registration)) {
            if (!required)
                return;
            if (kind == dtsInscrEstad)
                msgPadrao->Fail("InscEst_Inf");
            if (kind == dtsInscrMuni)
                msgPadrao->Fail("InscMuni_Inf");
            return;
        }
        if (kind == dtsInscrEstad) {
            if (!qryInscEsta->OpenWith({{"P_CDEMPRESA", medCdEmpresa->Text()},
                                        {"P_CDINSCESTA", registration},
                                        {"P_TCDINSCESTA", {}}}))
                msgPadrao->Fail("InscEsta_Cad");
        } else if (kind == dtsInscrMuni) {
            const QString company = medCdEmpresa->Text();
            if (!qryInscrMuni->OpenWith(
                    {{"P_CDEMPRESA", Consiste::EmptyString(company) ? allMarker : company},
                     {"P_CDINSCMUNI", registration},
                     {"P_TCDINSCMUNI", {}}}))
                msgPadrao->Fail("InscMuni_Cad");
        }
    });
}

void TfrmDocForne::edtInscricaoExit(QObject *)
{
    Vd_Inscricao(false);
}

void TfrmDocForne::btpInscricaoBeforePesq(QObject *, bool &)
{
    const bool municipal = collectingBody() == QLatin1String("M");
    TADOIBQuery *query = municipal ? qryInscrMuni : qryInscEsta;
    query->Close();
    query->ParamByName(QStringLiteral("P_CDEMPRESA"))->SetAsVariant(text(medCdEmpresa->Text()));
    query->ParamByName(municipal ? QStringLiteral("P_CDINSCMUNI") : QStringLiteral("P_CDINSCESTA"))
        ->Clear();
    query
        ->ParamByName(municipal ? QStringLiteral("P_TCDINSCMUNI") : QStringLiteral("P_TCDINSCESTA"))
        ->SetAsVariant(text(allMarker));
    btpInscricao->SetTitle(
        msgPadrao->Msg(municipal ? QStringLiteral("Muni") : QStringLiteral("Estad")));
    query->Open();
}

void TfrmDocForne::btpInscricaoAfterPesq(QObject *)
{
    // The registration the user picked: the current row of the list the dialog showed. (With
    // a tax changed through its lookup and not yet left, the collecting body and the list can
    // disagree; the picked row is what the user chose.)
    const TDataSource *shown = btpInscricao->DataSource();
    TDataSet *list = shown ? shown->DataSet() : nullptr;
    if (!list)
        return;
    const QString field =
        list == qryInscrMuni ? QStringLiteral("CDINSCMUNI") : QStringLiteral("CDINSCESTA");
    edtInscricao->SetText(list->FieldByName(field)->AsString());
}

// ---- Suppliers and branches --------------------------------------------------------------

void TfrmDocForne::rdbTodosForClick(QObject *)
{
    btnPesqForne->SetEnabled(!rdbTodosFor->isChecked());
    if (rdbTodosFor->isChecked())
        stFornecedor.clear();
}

void TfrmDocForne::rdbListaForClick(QObject *)
{
    btnPesqForne->SetEnabled(rdbListaFor->isChecked());
}

void TfrmDocForne::btnPesqForneClick(QObject *)
{
    qryFornecedor->Close();
    qryFornecedor->Open();
    // One mask for the whole list: the kind of person of the first supplier by name.
    const QString kind = qryFornecedor->FieldByName(QStringLiteral("IDTPIJURFORN"))->AsString();
    qryFornecedor->FieldByName(QStringLiteral("NRINSJURFORN"))
        ->SetEditMask(Consiste::PictPess(kind));
    const QString dialogText = msgPadrao->Msg(QStringLiteral("For")) + QLatin1Char('|') +
                               msgPadrao->Msg(QStringLiteral("nao_ha_for"));
    PesquisaLista(dtsFornecedor, QStringLiteral("NRINSJURFORN"), dialogText, false, stFornecedor);
}

void TfrmDocForne::rdbTodosFilClick(QObject *)
{
    btnFilial->SetEnabled(!rdbTodosFil->isChecked());
    if (rdbTodosFil->isChecked())
        stFilial.clear();
}

void TfrmDocForne::rdbListaFilClick(QObject *)
{
    btnFilial->SetEnabled(rdbListaFil->isChecked());
}

void TfrmDocForne::btnFilialClick(QObject *)
{
    qryFiliOrig->Close();
    qryFiliOrig->Open();
    const QString dialogText = msgPadrao->Msg(QStringLiteral("Fil")) + QLatin1Char('|') +
                               msgPadrao->Msg(QStringLiteral("nao_ha_fil"));
    PesquisaLista(dtsFiliOrig, QStringLiteral("CDFILIAL"), dialogText, false, stFilial);
}

void TfrmDocForne::Vd_Fornecedor()
{
    if (rdbListaFor->isChecked() && Consiste::EmptyString(stFornecedor)) {
        Velmora::MoveFocus(rdbListaFor);
        msgPadrao->Fail("For_Inf");
    }
}

void TfrmDocForne::Vd_Filial()
{
    if (rdbListaFil->isChecked() && Consiste::EmptyString(stFilial)) {
        Velmora::MoveFocus(rdbListaFil);
        msgPadrao->Fail("Fil_Inf");
    }
}

// ---- Reporting period ----------------------------------------------------------------------

void TfrmDocForne::depDtInicialExit(QObject *)
{
    depDtInicial->CheckValidDate();
}

void TfrmDocForne::depDtFinalExit(QObject *)
{
    depDtFinal->CheckValidDate();
}

void TfrmDocForne::btnDataIniBeforePesq(QObject *, bool &)
{
    const QString tax = medCdImposto->Text();
    const QString registration = edtInscricao->Text();
    const QString company = medCdEmpresa->Text();
    const QJsonValue answer = netDocForne->Call(QStringLiteral("GetDtIni"),
                                                {text(company), text(registration), text(tax)});
    cdsDtIni->SetDataPacket(answer.toObject());
}

void TfrmDocForne::btnDataIniAfterPesq(QObject *)
{
    depDtInicial->SetDate(
        StrToDate(cdsDtIni->FieldByName(QStringLiteral("DTINICIAL"))->AsString()));
}

void TfrmDocForne::btnDataFimBeforePesq(QObject *, bool &)
{
    const QString tax = medCdImposto->Text();
    const QString registration = edtInscricao->Text();
    const QString company = medCdEmpresa->Text();
    // Always the initial date: the final dates offered are those from it on.
    const QJsonValue answer = netDocForne->Call(
        QStringLiteral("GetDtFim"), {text(company), text(registration),
                                     QVariant::fromValue(depDtInicial->GetDate()), text(tax)});
    cdsDtFim->SetDataPacket(answer.toObject());
}

void TfrmDocForne::btnDataFimAfterPesq(QObject *)
{
    depDtFinal->SetDate(StrToDate(cdsDtFim->FieldByName(QStringLiteral("DTFINAL"))->AsString()));
}

void TfrmDocForne::Vd_Datas()
{
    bool initialFlag = Consiste::EmptyString(depDtInicial->Text());
    const bool finalFlag = Consiste::EmptyString(depDtFinal->Text());
    try {
        if (initialFlag)
            msgPadrao->Fail("DtIni_inf");
        if (finalFlag)
            msgPadrao->Fail("DtFin_inf");
        const QVariant company = text(medCdEmpresa->Text());
        const QVariant registration = text(edtInscricao->Text());
        const QVariant tax = text(medCdImposto->Text());
        cdsVdDataIni->SetDataPacket(Consiste::CheckResultServ(
            netDocForne->Call(
                QStringLiteral("GetVdDataIni"),
                {company, registration, QVariant::fromValue(depDtInicial->GetDate()), tax}),
            true, 0));
        // Asked even when the first answer is already empty: both answers are kept.
        cdsVdDataFinal->SetDataPacket(Consiste::CheckResultServ(
            netDocForne->Call(
                QStringLiteral("GetVdDataFinal"),
                {company, registration, QVariant::fromValue(depDtFinal->GetDate()), tax}),
            true, 0));
        if (cdsVdDataIni->IsEmpty() || cdsVdDataFinal->IsEmpty()) {
            initialFlag = true;
            msgPadrao->Fail("Mapa_Inv");
        }
    } catch (...) {
        if (initialFlag)
            Velmora::MoveFocus(depDtInicial);
        else if (finalFlag)
            Velmora::MoveFocus(depDtFinal);
        throw;
    }
}

// ---- Whole form and report actions -------------------------------------------------------

void TfrmDocForne::checkDateOrder()
{
    if (Consiste::EmptyString(depDtInicial->Text()) || Consiste::EmptyString(depDtFinal->Text()))
        return;
    if (depDtInicial->GetDate() > depDtFinal->GetDate()) {
        Velmora::MoveFocus(depDtInicial);
        msgPadrao->Fail("DtIni_inv");
    }
}

void TfrmDocForne::Vd_ValidaCampos(bool full)
{
    if (!full) {
        Vd_Empresa(true);
        depDtInicial->CheckValidDate();
        depDtFinal->CheckValidDate();
        checkDateOrder();
        return;
    }
    Vd_Imposto(true);
    Vd_Empresa(true);
    if (edtInscricao->Enabled())
        Vd_Inscricao(true);
    depDtInicial->CheckValidDate();
    depDtFinal->CheckValidDate();
    checkDateOrder();
    Vd_Datas();
    Vd_Fornecedor();
    Vd_Filial();
}

void TfrmDocForne::sbtPrintClick(QObject *sender)
{
    Vd_ValidaCampos(true);
    TfrmDadosGerRel::sbtPrintClick(sender);
}

void TfrmDocForne::sbtPreviewClick(QObject *sender)
{
    Vd_ValidaCampos(true);
    TfrmDadosGerRel::sbtPreviewClick(sender);
}

void TfrmDocForne::sbtSalvarComoClick(QObject *sender)
{
    Vd_ValidaCampos(true);
    TfrmDadosGerRel::sbtSalvarComoClick(sender);
}

// The server makes the report from what the checks let through, as a print would.
std::optional<Velmora::Reports::ReportJobRequest> TfrmDocForne::PrepareBackgroundRun()
{
    Vd_ValidaCampos(true);
    return TfrmDadosGerRel::PrepareBackgroundRun();
}

void TfrmDocForne::sbtReportEditClick(QObject *sender)
{
    Vd_ValidaCampos(false);
    TfrmDadosGerRel::sbtReportEditClick(sender);
}

void TfrmDocForne::rpddPadraoBeforeGetQueryParams(TParams *params, bool &)
{
    const auto set = [params](const char *name, const QVariant &value) {
        if (ExistParam(params, QLatin1String(name)))
            params->ParamByName(QLatin1String(name))->SetAsVariant(value);
    };
    set("P_CDEMPRESA", text(medCdEmpresa->Text()));
    // In each pair exactly one carries the information: the list, or the all-marker.
    const bool branches = !Consiste::EmptyString(stFilial);
    set("P_CDFILIAL", text(branches ? stFilial : QString()));
    set("P_TCDFILIAL", text(branches ? QString() : allMarker));
    const bool suppliers = !Consiste::EmptyString(stFornecedor);
    set("P_CDFORNECED", text(suppliers ? stFornecedor : QString()));
    set("P_TCDFORNECED", text(suppliers ? QString() : allMarker));
    set("P_DTINICIAL", QVariant::fromValue(depDtInicial->GetDate()));
    set("P_DTFINAL", QVariant::fromValue(depDtFinal->GetDate()));
    set("P_CDINSCRICAO", text(edtInscricao->Text()));
    set("P_CDIMPOSTO", text(medCdImposto->Text()));
}

// ---- Entry points -------------------------------------------------------------------------

void IniProc()
{
    CriaDocForne();
}

void CriaDocForne()
{
    Application().SetScreenCursor(-11);
    try {
        if (!boStCriado) {
            // A creation that fails leaves nothing behind and the flag false: a later call
            // tries again.
            frmDocForne = Application().CreateForm<TfrmDocForne>();
            boStCriado = true;
        }
        frmDocForne->Show();
        frmDocForne->SetWindowState(TWindowState::wsNormal);
    } catch (...) {
        Application().SetScreenCursor(0);
        throw;
    }
    Application().SetScreenCursor(0);
}

// The package loader runs these only on the first of nested initialisations and when the
// nesting comes back to its start.
void Cli_fis01400_Initialization()
{
    boStCriado = false;
}

void Cli_fis01400_Finalization()
{
    stFilial.clear();
    stImposto.clear();
    stFornecedor.clear();
}

bool TfrmDocForne::ReportPeriod(QDate &from, QDate &to) const
{
    if (Consiste::EmptyString(depDtInicial->Text()) || Consiste::EmptyString(depDtFinal->Text()))
        return false;
    try {
        from = depDtInicial->GetDate().toDate();
        to = depDtFinal->GetDate().toDate();
    } catch (const Exception &) {
        // A date not yet checked only costs the file its period in the proposed name.
        return false;
    }
    return from.isValid() && to.isValid();
}

QMap<QString, QString> TfrmDocForne::ListSelections() const
{
    return {{QStringLiteral("btnPesqForne"), stFornecedor},
            {QStringLiteral("btnFilial"), stFilial}};
}
