#include "TestReportScreen.h"

#include "data/TParams.h"
#include "framework/Services.h"
#include "reports/ExistParam.h"
#include "rtl/Exceptions.h"

void TestReportScreen::check(const QString &handler)
{
    calls << handler;
    if (checkFails) {
        Velmora::Services::current().showMessage(QStringLiteral("Empresa deve ser informada."));
        throw EAbort();
    }
}

void TestReportScreen::FormCreate(QObject *sender)
{
    calls << QStringLiteral("FormCreate");
    TfrmDadosGerRel::FormCreate(sender);
}

void TestReportScreen::sbtPrintClick(QObject *sender)
{
    check(QStringLiteral("sbtPrintClick"));
    TfrmDadosGerRel::sbtPrintClick(sender);
}

void TestReportScreen::sbtPreviewClick(QObject *sender)
{
    check(QStringLiteral("sbtPreviewClick"));
    TfrmDadosGerRel::sbtPreviewClick(sender);
}

void TestReportScreen::sbtSalvarComoClick(QObject *sender)
{
    check(QStringLiteral("sbtSalvarComoClick"));
    TfrmDadosGerRel::sbtSalvarComoClick(sender);
}

void TestReportScreen::sbtReportEditClick(QObject *sender)
{
    check(QStringLiteral("sbtReportEditClick"));
    TfrmDadosGerRel::sbtReportEditClick(sender);
}

// The way a report screen hands its values over: each of the nine names only when the query
// declares it; in each pair exactly one carries the information.
void TestReportScreen::rpddPadraoBeforeGetQueryParams(TParams *params, bool &carryOn)
{
    calls << QStringLiteral("BeforeGetQueryParams");
    if (cancelParams)
        carryOn = false;
    if (ExistParam(params, QStringLiteral("P_CDEMPRESA")))
        params->ParamByName(QStringLiteral("P_CDEMPRESA"))->SetAsVariant(empresa);
    const bool allBranches = filiais.isEmpty();
    if (ExistParam(params, QStringLiteral("P_CDFILIAL")))
        params->ParamByName(QStringLiteral("P_CDFILIAL"))
            ->SetAsVariant(allBranches ? QString(QLatin1String("")) : filiais);
    if (ExistParam(params, QStringLiteral("P_TCDFILIAL")))
        params->ParamByName(QStringLiteral("P_TCDFILIAL"))
            ->SetAsVariant(allBranches ? QStringLiteral("T") : QString(QLatin1String("")));
    const bool allSuppliers = fornecedores.isEmpty();
    if (ExistParam(params, QStringLiteral("P_CDFORNECED")))
        params->ParamByName(QStringLiteral("P_CDFORNECED"))
            ->SetAsVariant(allSuppliers ? QString(QLatin1String("")) : fornecedores);
    if (ExistParam(params, QStringLiteral("P_TCDFORNECED")))
        params->ParamByName(QStringLiteral("P_TCDFORNECED"))
            ->SetAsVariant(allSuppliers ? QStringLiteral("T") : QString(QLatin1String("")));
    if (ExistParam(params, QStringLiteral("P_DTINICIAL")))
        params->ParamByName(QStringLiteral("P_DTINICIAL"))
            ->SetAsVariant(QVariant::fromValue(dtInicial));
    if (ExistParam(params, QStringLiteral("P_DTFINAL")))
        params->ParamByName(QStringLiteral("P_DTFINAL"))
            ->SetAsVariant(QVariant::fromValue(dtFinal));
    if (ExistParam(params, QStringLiteral("P_CDINSCRICAO")))
        params->ParamByName(QStringLiteral("P_CDINSCRICAO"))
            ->SetAsVariant(QString(QLatin1String("")) + inscricao);
    if (ExistParam(params, QStringLiteral("P_CDIMPOSTO")))
        params->ParamByName(QStringLiteral("P_CDIMPOSTO"))->SetAsVariant(imposto);
}
