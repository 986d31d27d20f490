#include "DataSetModel.h"

#include "data/TDataSet.h"

DataSetModel::DataSetModel(TDataSet *dataSet, QObject *parent)
    : QAbstractTableModel(parent), m_dataSet(dataSet)
{
    if (!dataSet)
        return;
    m_fields = dataSet->VisibleFields();
    for (const TField *field : std::as_const(m_fields))
        m_masks << EditMask(field->EditMask());
}

QString DataSetModel::Shown(int dataSetRow, int column) const
{
    const TField *field = m_fields.value(column);
    if (!field)
        return {};
    const EditMask &mask = m_masks.at(column);
    const QString text = field->TextAt(dataSetRow);
    return mask.isEmpty() ? text : mask.format(text);
}

int DataSetModel::ExpectedWidth(int column) const
{
    const TField *field = m_fields.value(column);
    if (!field)
        return 0;
    int width = field->DataKind() == TField::Kind::DateTime ? 10 : field->Size();
    if (!m_masks.at(column).isEmpty())
        width = qMax(width, m_masks.at(column).length());
    return qMax<int>(width, static_cast<int>(field->DisplayName().size()));
}

int DataSetModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_fields.size()) + m_columnOffset;
}

QVariant DataSetModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || role != Qt::DisplayRole || !m_dataSet)
        return {};
    const int column = index.column() - m_columnOffset;
    if (column < 0)
        return {};
    return Shown(DataSetRow(index.row()), column);
}

QVariant DataSetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    const TField *field = m_fields.value(section - m_columnOffset);
    return field ? field->DisplayName() : QString();
}
