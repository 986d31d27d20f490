#pragma once

#include "reports/TfrmDadosGerRel.h"
#include "ui_TfrmDocForne.h"

#include <QString>

// "Documentos por Fornecedor": the parameters of the report FIS014, each checked against the
// database and the application server, handed to the report machinery.
class Q_DECL_EXPORT TfrmDocForne : public TfrmDadosGerRel, private Ui::TfrmDocForne
{
    Q_OBJECT
public:
    explicit TfrmDocForne(TApplication *owner);
    ~TfrmDocForne() override;
    QString DescriptionPath() const override;

    // Field checks: required makes an empty field an error (the whole-form check); without it
    // an empty field passes silently (the field's own exit).
    void Vd_Imposto(bool required);
    void Vd_Empresa(bool required);
    void Vd_Inscricao(bool required);
    void Vd_Fornecedor();
    void Vd_Filial();
    void Vd_Datas();
    // full: before print, preview and save as; light: before editing a layout.
    void Vd_ValidaCampos(bool full);

    // Creation, activation and close.
    Q_INVOKABLE void FormCreate(QObject *sender);
    Q_INVOKABLE void FormActivate(QObject *sender);
    Q_INVOKABLE void FormClose(QObject *sender, TCloseAction &action);
    Q_INVOKABLE void netDocForneBeforeConnect(QObject *sender);

    // Tax and company.
    Q_INVOKABLE void medCdImpostoChange(QObject *sender);
    Q_INVOKABLE void medCdImpostoExit(QObject *sender);
    Q_INVOKABLE void btpImpostoBeforePesq(QObject *sender, bool &flag);
    Q_INVOKABLE void btpImpostoAfterPesq(QObject *sender);
    Q_INVOKABLE void medCdEmpresaChange(QObject *sender);
    Q_INVOKABLE void medCdEmpresaExit(QObject *sender);
    Q_INVOKABLE void btpEmpresaBeforePesq(QObject *sender, bool &flag);
    Q_INVOKABLE void btpEmpresaAfterPesq(QObject *sender);

    // Registration.
    Q_INVOKABLE void edtInscricaoExit(QObject *sender);
    Q_INVOKABLE void btpInscricaoBeforePesq(QObject *sender, bool &flag);
    Q_INVOKABLE void btpInscricaoAfterPesq(QObject *sender);

    // Suppliers and branches.
    Q_INVOKABLE void rdbTodosForClick(QObject *sender);
    Q_INVOKABLE void rdbListaForClick(QObject *sender);
    Q_INVOKABLE void btnPesqForneClick(QObject *sender);
    Q_INVOKABLE void rdbTodosFilClick(QObject *sender);
    Q_INVOKABLE void rdbListaFilClick(QObject *sender);
    Q_INVOKABLE void btnFilialClick(QObject *sender);

    // Reporting period.
    Q_INVOKABLE void depDtInicialExit(QObject *sender);
    Q_INVOKABLE void depDtFinalExit(QObject *sender);
    Q_INVOKABLE void btnDataIniBeforePesq(QObject *sender, bool &flag);
    Q_INVOKABLE void btnDataIniAfterPesq(QObject *sender);
    Q_INVOKABLE void btnDataFimBeforePesq(QObject *sender, bool &flag);
    Q_INVOKABLE void btnDataFimAfterPesq(QObject *sender);

    // Report actions and the report query's parameters.
    Q_INVOKABLE void sbtPrintClick(QObject *sender);
    Q_INVOKABLE void sbtPreviewClick(QObject *sender);
    Q_INVOKABLE void sbtSalvarComoClick(QObject *sender);
    Q_INVOKABLE void sbtReportEditClick(QObject *sender);
    Q_INVOKABLE void rpddPadraoBeforeGetQueryParams(TParams *params, bool &flag);
    std::optional<Velmora::Reports::ReportJobRequest> PrepareBackgroundRun() override;
    bool ReportPeriod(QDate &from, QDate &to) const override;
    QMap<QString, QString> ListSelections() const override;

protected:
    void Loaded() override;

private:
    void setRegistrationRowEnabled(bool enabled);
    void checkDateOrder();
    QString collectingBody() const;
};

// The module's globals, reachable by name from the host and sibling modules.
extern "C" {
Q_DECL_EXPORT extern TfrmDocForne *frmDocForne;
Q_DECL_EXPORT extern bool boStCriado;
Q_DECL_EXPORT extern QString stFornecedor;
Q_DECL_EXPORT extern QString stImposto;
Q_DECL_EXPORT extern QString stFilial;

Q_DECL_EXPORT void IniProc();
Q_DECL_EXPORT void CriaDocForne();
}

// Unit initialisation and finalisation of the screen's unit, and its nesting counter.
void Cli_fis01400_Initialization();
void Cli_fis01400_Finalization();
extern int Cli_fis01400_Nesting;
