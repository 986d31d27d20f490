#include "TField.h"

#include "TDataSet.h"
#include "rtl/DateConvert.h"

TField::TField(Kind kind, QObject *parent) : QObject(parent), m_kind(kind) {}

TField::~TField()
{
    if (m_dataSet)
        m_dataSet->RemoveField(this);
}

void TField::SetDataSet(TDataSet *dataSet)
{
    if (m_dataSet == dataSet)
        return;
    if (m_dataSet)
        m_dataSet->RemoveField(this);
    m_dataSet = dataSet;
    if (dataSet)
        dataSet->AddField(this);
}

QVariant TField::ValueAt(int row) const
{
    if (!m_dataSet || m_column < 0)
        return {};
    return m_dataSet->Value(row, m_column);
}

QVariant TField::Value() const
{
    if (!m_dataSet || m_dataSet->RecNo() < 0)
        return {};
    return ValueAt(m_dataSet->RecNo());
}

bool TField::IsNull() const
{
    return Value().isNull();
}

QString TField::AsString() const
{
    return ValueText(Value(), m_kind);
}

QString TField::TextAt(int row) const
{
    return ValueText(ValueAt(row), m_kind);
}

TDateTime TField::AsDateTime() const
{
    const QVariant v = Value();
    if (v.metaType() == QMetaType::fromType<TDateTime>())
        return v.value<TDateTime>();
    if (v.isNull())
        return TDateTime();
    if (v.metaType() == QMetaType::fromType<QDate>())
        return TDateTime::fromDate(v.toDate());
    if (v.metaType() == QMetaType::fromType<QDateTime>())
        return TDateTime::fromDateTime(v.toDateTime());
    bool isNumber = false;
    const double d = v.toDouble(&isNumber);
    return isNumber ? TDateTime(d) : StrToDate(v.toString());
}

QString ValueText(const QVariant &value, TField::Kind kind)
{
    if (value.isNull())
        return QString::fromLatin1("");
    if (value.metaType() == QMetaType::fromType<TDateTime>())
        return DateToStr(value.value<TDateTime>());
    if (value.metaType() == QMetaType::fromType<QDate>())
        return DateToStr(TDateTime::fromDate(value.toDate()));
    if (value.metaType() == QMetaType::fromType<QDateTime>())
        return DateToStr(TDateTime::fromDateTime(value.toDateTime()));
    if (kind == TField::Kind::DateTime) {
        bool isNumber = false;
        const double d = value.toDouble(&isNumber);
        if (isNumber)
            return DateToStr(TDateTime(d));
    }
    return value.toString();
}
