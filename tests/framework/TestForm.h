#pragma once

#include "framework/TForm.h"
#include "rtl/Exceptions.h"

#include <QStringList>

// A screen whose description the test chooses; its handlers note what ran.
class TestForm : public TForm
{
    Q_OBJECT
public:
    TestForm(TApplication *owner, QString path) : TForm(owner), m_path(std::move(path)) {}
    QString DescriptionPath() const override { return m_path; }

    QStringList calls;

    Q_INVOKABLE void FormCreate(QObject *) { calls << QStringLiteral("FormCreate"); }
    Q_INVOKABLE void FormActivate(QObject *) { calls << QStringLiteral("FormActivate"); }
    Q_INVOKABLE void DerivedActivate(QObject *) { calls << QStringLiteral("DerivedActivate"); }
    Q_INVOKABLE void sbtAcaoClick(QObject *) { calls << QStringLiteral("sbtAcaoClick"); }
    Q_INVOKABLE void edtCodigoExit(QObject *sender);
    Q_INVOKABLE void edtCodigoChange(QObject *) { calls << QStringLiteral("edtCodigoChange"); }
    Q_INVOKABLE void rdbTodosClick(QObject *) { calls << QStringLiteral("rdbTodosClick"); }
    Q_INVOKABLE void handlerWithFlag(QObject *, bool &flag) { flag = !flag; }

private:
    QString m_path;
};
