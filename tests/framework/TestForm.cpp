#include "TestForm.h"

#include "framework/Services.h"

#include <QLineEdit>

void TestForm::edtCodigoExit(QObject *sender)
{
    calls << QStringLiteral("edtCodigoExit");
    const QString text = qobject_cast<QLineEdit *>(sender)->text();
    bool numeric = false;
    text.toInt(&numeric);
    if (!text.isEmpty() && !numeric) {
        Velmora::Services::current().showMessage(QStringLiteral("Código inválido."));
        throw EAbort();
    }
}
