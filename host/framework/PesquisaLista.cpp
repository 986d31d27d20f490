#include "PesquisaLista.h"

#include "Consiste.h"
#include "Services.h"
#include "data/TDataSource.h"
#include "dialogs/SelectionString.h"

bool PesquisaLista(TDataSource *dataSource, const QString &keyField, const QString &text,
                   bool checkAll, QString &selection)
{
    const qsizetype bar = text.indexOf(QLatin1Char('|'));
    const QString title = bar < 0 ? text : text.left(bar);
    const QString emptyMessage = bar < 0 ? QString() : text.mid(bar + 1);
    TDataSet *dataSet = dataSource ? dataSource->DataSet() : nullptr;

    QString working = selection;
    if (checkAll && working.isEmpty() && dataSet && !dataSet->IsEmpty()) {
        const TField *key = dataSet->FieldByName(keyField);
        QStringList keys;
        for (int r = 0; r < dataSet->RecordCount(); ++r)
            keys << key->TextAt(r);
        working = SelectionString::Format(keys);
    }
    if (!Velmora::Services::current().pickRows(dataSet, keyField, title, emptyMessage, working))
        return false;
    selection = working;
    emit Velmora::ListPicks::instance().picked(
        dataSource, Consiste::EmptyString(selection)
                        ? 0
                        : static_cast<int>(SelectionString::Parse(selection).size()));
    return true;
}

Velmora::ListPicks &Velmora::ListPicks::instance()
{
    static ListPicks picks;
    return picks;
}
