#pragma once

#include "DataPacket.h"
#include "TDataSet.h"
#include "data_global.h"

#include <QJsonObject>

// An in-memory dataset whose whole data is a data packet (see DataPacket.h), typically an
// application server's answer. Declared fields bind to the packet's columns by name (without
// regard to letter case) and by kind: a string field takes a "string" column, a date-time
// field a "datetime" one. A packet that does not fit is refused whole, naming the field, and
// the dataset keeps what it held.
class VELMORA_DATA_EXPORT TClientDataSet : public TDataSet
{
    Q_OBJECT
public:
    explicit TClientDataSet(QObject *parent = nullptr) : TDataSet(parent) {}

    // Replaces the data and opens the dataset on its first row.
    void SetDataPacket(const QJsonObject &packet);
    // The current data as a packet.
    QJsonObject DataPacket() const { return Velmora::DataPacket::FromDataSet(*this); }
    // Drops every row, keeping the columns.
    void EmptyDataSet();

protected:
    // Opens on the last packet taken; without one, empty with the declared fields' columns.
    void DoOpen() override;

private:
    void checkFields(const Velmora::DataPacket::Content &content) const;

    Velmora::DataPacket::Content m_content;
    bool m_hasContent = false;
};
