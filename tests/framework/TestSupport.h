#pragma once

#include "data/TDataSet.h"

// A dataset filled from the test's own rows.
class TestDataSet : public TDataSet
{
    Q_OBJECT
public:
    using TDataSet::TDataSet;
    void Fill(QVector<Column> columns, QVector<QVector<QVariant>> rows)
    {
        SetData(std::move(columns), std::move(rows));
    }
};
