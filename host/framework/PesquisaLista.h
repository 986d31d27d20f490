#pragma once

#include "framework_global.h"

#include <QObject>
#include <QString>

class TDataSource;

// The multi-select list over a data source's dataset, through the dialog services.
// text is the title and the message for an empty list joined by a vertical bar
// ("Fornecedor|Não há fornecedor cadastrado."). On OK the selection string receives the
// checked rows' raw keys (keyField) in the format of SelectionString and the call returns
// true; on cancel it keeps what it held. checkAll: when the selection is empty, every row
// starts checked. A data source without a dataset counts as an empty list.
VELMORA_FRAMEWORK_EXPORT bool PesquisaLista(TDataSource *dataSource, const QString &keyField,
                                            const QString &text, bool checkAll, QString &selection);

namespace Velmora {

// Tells the controls over a data source how many rows a list pick left in its selection
// string (0 when it left it empty), so a list button can say what it holds.
class VELMORA_FRAMEWORK_EXPORT ListPicks : public QObject
{
    Q_OBJECT
public:
    static ListPicks &instance();

signals:
    void picked(const TDataSource *dataSource, int count);
};

} // namespace Velmora
