#pragma once

#include "Services.h"

namespace Velmora {

// The real dialogs, for a person at the screen.
class VELMORA_FRAMEWORK_EXPORT GuiServices : public Services
{
public:
    void showMessage(const QString &text) override;
    bool pickRow(TDataSet *dataSet, const QString &title) override;
    bool pickRows(TDataSet *dataSet, const QString &keyField, const QString &title,
                  const QString &emptyMessage, QString &selection) override;
    bool askText(const QString &caption, const QString &prompt, QString &value) override;
    QString chooseFile(const QString &title, const QString &filter, const QString &suggested,
                       bool forSaving) override;
    void showHelp(const QString &helpFile, int context) override;
    bool confirm(const QString &caption, const QString &question) override;
    bool waitForServer(ServerWait &wait) override;
};

} // namespace Velmora
