#pragma once

#include "framework/EditMask.h"
#include "framework/framework_global.h"

#include <QAbstractTableModel>
#include <QList>
#include <QPointer>

class TDataSet;
class TField;

// A dataset's visible fields as table columns, under their display labels, each value shown
// through its field's edit mask. It reads the dataset in place: a derived model says which
// dataset row each of its rows shows.
class VELMORA_FRAMEWORK_EXPORT DataSetModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit DataSetModel(TDataSet *dataSet, QObject *parent = nullptr);

    TDataSet *DataSet() const { return m_dataSet; }
    const QList<TField *> &Fields() const { return m_fields; }
    // The dataset row shown on a model row.
    virtual int DataSetRow(int modelRow) const = 0;
    const EditMask &Mask(int column) const { return m_masks.at(column); }
    // A field's value of a dataset row as the dialog shows it.
    QString Shown(int dataSetRow, int column) const;
    // The widest text a column is expected to show, in characters.
    int ExpectedWidth(int column) const;

    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

protected:
    int columnOffset() const { return m_columnOffset; }
    // Models with a leading column of their own (a check box) shift the fields right.
    void setColumnOffset(int offset) { m_columnOffset = offset; }

private:
    QPointer<TDataSet> m_dataSet;
    QList<TField *> m_fields;
    QList<EditMask> m_masks;
    int m_columnOffset = 0;
};
