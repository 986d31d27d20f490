#pragma once

#include "reports/TfrmDadosGerRel.h"
#include "rtl/TDateTime.h"

#include <QStringList>

class TParams;

// Stands in for the framework's message table: only its rows matter here.
class TestMessages : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QStringList Lines MEMBER m_lines)
public:
    explicit TestMessages(QObject *owner) : QObject(owner) {}

private:
    QStringList m_lines;
};

// A report screen built as the fiscal screen is: its description inherits the base one and
// adds six rows of controls; its handlers note what ran, may fail their own check first, and
// fill the nine report parameters from the values the test sets.
class TestReportScreen : public TfrmDadosGerRel
{
    Q_OBJECT
public:
    explicit TestReportScreen(TApplication *owner) : TfrmDadosGerRel(owner) {}
    QString DescriptionPath() const override
    {
        return QStringLiteral(":/test/reports/forms/TestReportScreen.json");
    }

    QStringList calls;
    bool checkFails = false;
    bool cancelParams = false;

    QString empresa = QStringLiteral("01");
    QString filiais; // selection strings; empty = all
    QString fornecedores;
    QString inscricao;
    QString imposto = QStringLiteral("01");
    TDateTime dtInicial = TDateTime::fromDate(QDate(2024, 1, 1));
    TDateTime dtFinal = TDateTime::fromDate(QDate(2024, 1, 31));

    Q_INVOKABLE void FormCreate(QObject *sender) override;
    Q_INVOKABLE void sbtPrintClick(QObject *sender) override;
    Q_INVOKABLE void sbtPreviewClick(QObject *sender) override;
    Q_INVOKABLE void sbtSalvarComoClick(QObject *sender) override;
    Q_INVOKABLE void sbtReportEditClick(QObject *sender) override;
    Q_INVOKABLE void rpddPadraoBeforeGetQueryParams(TParams *params, bool &carryOn);

    using TfrmDadosGerRel::CurrentLayout;

private:
    void check(const QString &handler);
};
