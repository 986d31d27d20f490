// The data packet reader: any bytes the application server (or something posing as it) may
// answer, read by an in-memory dataset as the screens read them.
#include "FuzzSupport.h"

#include "data/TClientDataSet.h"
#include "rtl/Exceptions.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace {

// A dataset as the module declares one (cdsDtIni): a text field and a date field.
struct DeclaredDataSet
{
    TClientDataSet dataSet;
    TStringField *text = new TStringField(&dataSet);
    TDateTimeField *date = new TDateTimeField(&dataSet);

    DeclaredDataSet()
    {
        dataSet.setObjectName(QStringLiteral("cdsFuzz"));
        text->SetFieldName(QStringLiteral("DTINICIAL"));
        text->SetDataSet(&dataSet);
        date->SetFieldName(QStringLiteral("DTINIPERIODO"));
        date->SetDataSet(&dataSet);
    }
};

// Everything a screen or a dialog reads of an open dataset.
void readAll(TDataSet &dataSet)
{
    for (dataSet.First(); !dataSet.Eof(); dataSet.Next())
        for (TField *field : dataSet.Fields()) {
            (void)field->AsString();
            if (field->DataKind() == TField::Kind::DateTime)
                (void)field->AsDateTime().toDate();
        }
    for (int r = 0; r < dataSet.RecordCount(); ++r)
        for (int c = 0; c < dataSet.Columns().size(); ++c)
            (void)dataSet.Value(r, c);
}

void take(TClientDataSet &dataSet, const QJsonObject &packet)
{
    try {
        dataSet.SetDataPacket(packet);
    } catch (const Exception &) {
        return; // refused whole, with a message: what a bad packet should get
    }
    FUZZ_CHECK(dataSet.Active());
    readAll(dataSet);
    // What the dataset holds goes out as a packet that reads back the same.
    const QJsonObject again = dataSet.DataPacket();
    TClientDataSet copy;
    copy.setObjectName(QStringLiteral("cdsCopia"));
    copy.SetDataPacket(again);
    FUZZ_CHECK(copy.RecordCount() == dataSet.RecordCount());
    FUZZ_CHECK(copy.Columns().size() == dataSet.Columns().size());
    FUZZ_CHECK(copy.DataPacket() == again);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    Fuzz::application<QCoreApplication>();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QJsonDocument document = QJsonDocument::fromJson(Fuzz::bytes(data, size));
    if (!document.isObject())
        return 0;
    const QJsonObject packet = document.object();
    {
        TClientDataSet free;
        free.setObjectName(QStringLiteral("cdsLivre"));
        take(free, packet);
    }
    DeclaredDataSet declared;
    take(declared.dataSet, packet);
    return 0;
}
