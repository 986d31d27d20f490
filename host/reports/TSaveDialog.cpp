#include "TSaveDialog.h"

#include "framework/Services.h"

#include <QFileInfo>

bool TSaveDialog::Execute()
{
    const QString chosen =
        Velmora::Services::current().chooseFile(m_title, m_filter, m_fileName, true);
    if (chosen.isEmpty())
        return false;
    m_fileName = chosen;
    if (QFileInfo(chosen).suffix().isEmpty() && !m_defaultExt.isEmpty())
        m_fileName += QLatin1Char('.') + m_defaultExt;
    return true;
}
