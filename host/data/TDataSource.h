#pragma once

#include "TDataSet.h"
#include "data_global.h"

#include <QObject>
#include <QPointer>

// Presents a dataset to the controls and dialogs that show it.
class VELMORA_DATA_EXPORT TDataSource : public QObject
{
    Q_OBJECT
    Q_PROPERTY(TDataSet *DataSet READ DataSet WRITE SetDataSet)

public:
    explicit TDataSource(QObject *parent = nullptr) : QObject(parent) {}
    TDataSet *DataSet() const { return m_dataSet; }
    void SetDataSet(TDataSet *dataSet) { m_dataSet = dataSet; }

private:
    QPointer<TDataSet> m_dataSet;
};
