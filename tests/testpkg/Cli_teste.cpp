#include "Cli_teste.h"

#include "ETesteFalha.h"
#include "TEtiquetaTeste.h"

#include "framework/ComponentRegistry.h"
#include "framework/Services.h"
#include "framework/TApplication.h"
#include "framework/controls/TButton.h"
#include "framework/controls/TEdit.h"
#include "framework/controls/TRadioButton.h"
#include "framework/controls/TSpeedButton.h"
#include "rtl/Exceptions.h"
#include "rtl/ModuleRegistry.h"

#include <QFile>

TfrmTeste *frmTeste = nullptr;
bool boStCriado = false;
QString stTeste;
bool boFalharCriacao = false;
int nrAlteracoesNome = 0;
int nrAtivacoes = 0;
QStringList Trilha;
QStringList *TrilhaExterna = nullptr;

int Cli_teste_Nesting = 0;

namespace {
const auto etiquetaClass = QStringLiteral("TEtiquetaTeste");
const int codigoLength = 6;

// The package's resources, or the language resource's copy when one is installed.
QString recurso(const char *path)
{
    return ModuleRegistry::ResourcePath(&boStCriado, QString::fromLatin1(path));
}
} // namespace

// The external list outlives the package: it gets copies, not the package's literals.
void RegistrarTrilha(const QString &evento)
{
    Trilha << evento;
    if (TrilhaExterna)
        TrilhaExterna->append(QString(evento.constData(), evento.size()));
}

QString TfrmTeste::DescriptionPath() const
{
    return recurso(":/testpkg/form/TfrmTeste.json");
}

void TfrmTeste::FormCreate(QObject *)
{
    if (boFalharCriacao)
        throw Exception(QStringLiteral("Criação da tela de teste recusada."));
    setupUi(this);
    QFile saudacao(recurso(":/testpkg/text/saudacao.txt"));
    if (saudacao.open(QIODevice::ReadOnly))
        lblEco->SetCaption(QString::fromUtf8(saudacao.readAll()).trimmed());
}

void TfrmTeste::FormActivate(QObject *)
{
    ++nrAtivacoes;
}

void TfrmTeste::FormClose(QObject *, TCloseAction &Action)
{
    boStCriado = false;
    Action = TCloseAction::caFree;
}

// A code is digits only; it is brought to its full width with leading zeros.
void TfrmTeste::edtCodigoExit(QObject *)
{
    const QString codigo = edtCodigo->Text();
    if (codigo.isEmpty())
        return;
    for (const QChar c : codigo) {
        if (!c.isDigit() || c.unicode() > 127) {
            Velmora::Services::current().showMessage(QStringLiteral("Código inválido."));
            throw EAbort();
        }
    }
    edtCodigo->SetText(codigo.rightJustified(codigoLength, QLatin1Char('0')));
}

// The name belongs to the code: a new code empties it.
void TfrmTeste::edtCodigoChange(QObject *)
{
    edtNome->SetText(QString());
}

void TfrmTeste::edtNomeExit(QObject *)
{
    edtNome->SetText(edtNome->Text().simplified());
}

void TfrmTeste::edtNomeChange(QObject *)
{
    ++nrAlteracoesNome;
}

void TfrmTeste::rdbTodosClick(QObject *)
{
    stTeste.clear();
    sbtLista->SetEnabled(false);
}

void TfrmTeste::rdbListaClick(QObject *)
{
    sbtLista->SetEnabled(true);
}

void TfrmTeste::sbtListaClick(QObject *)
{
    stTeste = QStringLiteral("'%1'").arg(edtCodigo->Text());
    lblEco->SetCaption(QStringLiteral("Lista: %1").arg(stTeste));
}

void TfrmTeste::btnFalharClick(QObject *)
{
    LancarFalha();
}

void LancarFalha()
{
    throw ETesteFalha(QStringLiteral("Falha proposital do pacote de teste."));
}

// As the real modules do: one screen, created on first use, brought back on later calls.
// Creation is not guarded: a failure leaves boStCriado false and reaches the caller.
void CriaTeste()
{
    Application().SetScreenCursor(-11);
    if (!boStCriado) {
        frmTeste = Application().CreateForm<TfrmTeste>();
        boStCriado = true;
    }
    frmTeste->Show();
    frmTeste->SetWindowState(TWindowState::wsNormal);
    Application().SetScreenCursor(0);
}

void IniProc()
{
    CriaTeste();
}

void Cli_teste_Initialization()
{
    if (qEnvironmentVariableIsSet("VELMORA_TESTPKG_FALHAR_INICIALIZACAO"))
        throw Exception(QStringLiteral("Inicialização de Cli_teste recusada."));
    boStCriado = false;
    const bool registered = Velmora::ComponentRegistry::instance().Register(
        {etiquetaClass,
         [](QObject *, QWidget *parent) -> QObject * { return new TEtiquetaTeste(parent); },
         {}});
    if (!registered)
        throw Exception(QStringLiteral("A classe '%1' já está registrada.").arg(etiquetaClass));
    RegistrarTrilha(QStringLiteral("Cli_teste.initialization"));
}

void Cli_teste_Finalization()
{
    Velmora::ComponentRegistry::instance().Unregister(etiquetaClass);
    stTeste.clear();
    RegistrarTrilha(QStringLiteral("Cli_teste.finalization"));
}
