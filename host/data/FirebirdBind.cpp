#include "FirebirdApi.h"

#include <QDateTime>

#include <cstring>

namespace Velmora {

int FirebirdBufferSize(const XSQLVAR &v)
{
    switch (v.sqltype & ~1) {
    case SQL_VARYING:
        return v.sqllen + 2;
    case SQL_TEXT:
        return v.sqllen;
    case SQL_SHORT:
        return 2;
    case SQL_LONG:
    case SQL_FLOAT:
    case SQL_TYPE_DATE:
    case SQL_TYPE_TIME:
        return 4;
    case SQL_BOOLEAN:
        return 1;
    default:
        return 8; // INT64, DOUBLE, TIMESTAMP, BLOB and ARRAY ids
    }
}

void FirebirdBind(XSQLVAR &v, const QVariant &value, QByteArray &buffer, ISC_SHORT &indicator,
                  const XSQLVAR *declared)
{
    v.sqlscale = 0;
    v.sqlind = &indicator;
    const auto reserve = [&](int length) {
        // Eight-byte aligned, so that the client may read numbers in place.
        const int size = (length + 2 + 7) & ~7;
        if (buffer.size() < size)
            buffer.resize(size);
        v.sqldata = buffer.data();
    };
    const auto as = [&](int type, int length) {
        v.sqltype = static_cast<ISC_SHORT>(type | 1);
        v.sqllen = static_cast<ISC_SHORT>(length);
        v.sqlsubtype = 0;
        reserve(length);
    };
    if (!value.isValid() || value.isNull()) {
        indicator = -1;
        if (!declared) {
            as(SQL_VARYING, 0);
            return;
        }
        v.sqltype = static_cast<ISC_SHORT>(declared->sqltype | 1);
        v.sqllen = declared->sqllen;
        v.sqlsubtype = declared->sqlsubtype;
        v.sqlscale = declared->sqlscale;
        reserve(FirebirdBufferSize(*declared));
        return;
    }
    indicator = 0;
    switch (value.metaType().id()) {
    case QMetaType::QDate: {
        as(SQL_TYPE_DATE, 4);
        const ISC_DATE days = static_cast<ISC_DATE>(FirebirdEpoch.daysTo(value.toDate()));
        std::memcpy(v.sqldata, &days, sizeof days);
        return;
    }
    case QMetaType::QDateTime: {
        as(SQL_TIMESTAMP, 8);
        const QDateTime moment = value.toDateTime();
        ISC_TIMESTAMP ts;
        ts.timestamp_date = static_cast<ISC_DATE>(FirebirdEpoch.daysTo(moment.date()));
        ts.timestamp_time = static_cast<ISC_TIME>(moment.time().msecsSinceStartOfDay() * 10);
        std::memcpy(v.sqldata, &ts, sizeof ts);
        return;
    }
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::UShort: {
        as(SQL_INT64, 8);
        const ISC_INT64 n = value.toLongLong();
        std::memcpy(v.sqldata, &n, sizeof n);
        return;
    }
    case QMetaType::Double:
    case QMetaType::Float: {
        as(SQL_DOUBLE, 8);
        const double d = value.toDouble();
        std::memcpy(v.sqldata, &d, sizeof d);
        return;
    }
    case QMetaType::Bool: {
        as(SQL_BOOLEAN, 1);
        v.sqldata[0] = value.toBool() ? 1 : 0;
        return;
    }
    default: {
        const QByteArray text = value.toString().toUtf8();
        as(SQL_VARYING, static_cast<int>(text.size()));
        const auto length = static_cast<ISC_USHORT>(text.size());
        std::memcpy(v.sqldata, &length, sizeof length);
        std::memcpy(v.sqldata + 2, text.constData(), size_t(text.size()));
        // A text goes in the parameter's own character set when the parameter is a text.
        const int declaredType = declared ? declared->sqltype & ~1 : SQL_VARYING;
        v.sqlsubtype = !declared ? 4 // UTF8
                       : declaredType == SQL_VARYING || declaredType == SQL_TEXT
                           ? declared->sqlsubtype
                           : 0;
        return;
    }
    }
}

} // namespace Velmora
