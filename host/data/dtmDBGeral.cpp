#include "dtmDBGeral.h"

#include "rtl/Exceptions.h"

namespace {
QPointer<TdtmDBGeral> current;

bool names(const QString &name, const char *part)
{
    return name.compare(QStringLiteral("dtmDBGeral.") + QLatin1String(part), Qt::CaseInsensitive) ==
           0;
}
} // namespace

TDBTransaction::TDBTransaction(Velmora::DBConnection *connection, QObject *parent)
    : QObject(parent), m_connection(connection)
{
    setObjectName(QStringLiteral("ibtGeral"));
}

TdtmDBGeral::TdtmDBGeral(const Velmora::ConnectionSettings &settings, QObject *parent)
    : QObject(parent)
{
    if (current)
        throw Exception(QStringLiteral("Os objetos de banco de dados compartilhados "
                                       "(dtmDBGeral) já foram criados."));
    setObjectName(QStringLiteral("dtmDBGeral"));
    m_connection = new Velmora::DBConnection(settings, this);
    m_connection->setObjectName(QStringLiteral("adcGeral"));
    m_transaction = new TDBTransaction(m_connection, this);
    current = this;
}

TdtmDBGeral::~TdtmDBGeral()
{
    if (current == this)
        current = nullptr;
}

Velmora::DBConnection *TdtmDBGeral::Resolve(const QString &connectionName,
                                            const QString &transactionName)
{
    const QString name = connectionName.trimmed();
    if (!name.isEmpty() && !names(name, "adcGeral") && !names(name, "dtbGeral"))
        throw EDatabaseError(QStringLiteral("Conexão de banco de dados '%1' desconhecida (use "
                                            "dtmDBGeral.adcGeral ou dtmDBGeral.dtbGeral).")
                                 .arg(connectionName));
    if (!transactionName.trimmed().isEmpty() && !names(transactionName.trimmed(), "ibtGeral"))
        throw EDatabaseError(
            QStringLiteral("Transação '%1' desconhecida (use dtmDBGeral.ibtGeral).")
                .arg(transactionName));
    if (!current)
        throw EDatabaseError(QStringLiteral("A conexão compartilhada com o banco de dados "
                                            "(dtmDBGeral) não foi criada."));
    return current->adcGeral();
}

TdtmDBGeral *dtmDBGeral()
{
    return current;
}
