#pragma once

#include "testpkg_global.h"

#include "framework/TForm.h"
#include "ui_TfrmTeste.h"

#include <QString>
#include <QStringList>

// The test screen TST00100: a code, a name, an all-or-list choice, a button that fails.
class TfrmTeste : public TForm, private Ui::TfrmTeste
{
    Q_OBJECT
public:
    using TForm::TForm;
    QString DescriptionPath() const override;

    Q_INVOKABLE void FormCreate(QObject *Sender);
    Q_INVOKABLE void FormActivate(QObject *Sender);
    Q_INVOKABLE void FormClose(QObject *Sender, TCloseAction &Action);
    Q_INVOKABLE void edtCodigoExit(QObject *Sender);
    Q_INVOKABLE void edtCodigoChange(QObject *Sender);
    Q_INVOKABLE void edtNomeExit(QObject *Sender);
    Q_INVOKABLE void edtNomeChange(QObject *Sender);
    Q_INVOKABLE void rdbTodosClick(QObject *Sender);
    Q_INVOKABLE void rdbListaClick(QObject *Sender);
    Q_INVOKABLE void sbtListaClick(QObject *Sender);
    Q_INVOKABLE void btnFalharClick(QObject *Sender);
};

// The package's exported globals and procedures, reached by the host by name.
extern "C" {
VELMORA_TESTPKG_EXPORT extern TfrmTeste *frmTeste;
VELMORA_TESTPKG_EXPORT extern bool boStCriado;
VELMORA_TESTPKG_EXPORT extern QString stTeste;
// Set by a test to make the next creation of the screen fail.
VELMORA_TESTPKG_EXPORT extern bool boFalharCriacao;
VELMORA_TESTPKG_EXPORT extern int nrAlteracoesNome;
VELMORA_TESTPKG_EXPORT extern int nrAtivacoes;
// The units' initialisations and finalisations in the order they ran. A test that must see
// the finalisations, which run just before the package leaves memory, points TrilhaExterna
// at a list of its own.
VELMORA_TESTPKG_EXPORT extern QStringList Trilha;
VELMORA_TESTPKG_EXPORT extern QStringList *TrilhaExterna;

VELMORA_TESTPKG_EXPORT void IniProc();
VELMORA_TESTPKG_EXPORT void CriaTeste();
VELMORA_TESTPKG_EXPORT void LancarFalha();
}

// The units of the package, for its package description.
void RegistrarTrilha(const QString &evento);
extern int Cli_teste_Nesting;
void Cli_teste_Initialization();
void Cli_teste_Finalization();
