#include "TClientDataSet.h"

#include "rtl/Exceptions.h"

namespace {
QString kindName(const TDataSet::Column &column)
{
    if (column.kind == TField::Kind::DateTime)
        return QStringLiteral("data-hora");
    return column.numeric ? QStringLiteral("número") : QStringLiteral("texto");
}
} // namespace

void TClientDataSet::checkFields(const Velmora::DataPacket::Content &content) const
{
    for (const TField *field : Fields()) {
        if (!IsDeclared(field))
            continue;
        const TDataSet::Column *match = nullptr;
        for (const TDataSet::Column &column : content.columns)
            if (column.name.compare(field->FieldName(), Qt::CaseInsensitive) == 0)
                match = &column;
        if (!match)
            throw EDatabaseError(
                QStringLiteral("Pacote de dados inválido para '%1': falta o campo '%2'.")
                    .arg(objectName(), field->FieldName()));
        TDataSet::Column expected;
        expected.kind = field->DataKind();
        if (match->kind != expected.kind || match->numeric)
            throw EDatabaseError(
                QStringLiteral("Pacote de dados inválido para '%1': o campo '%2' "
                               "é %3 e o pacote o traz como %4.")
                    .arg(objectName(), field->FieldName(), kindName(expected), kindName(*match)));
    }
}

void TClientDataSet::SetDataPacket(const QJsonObject &packet)
{
    Velmora::DataPacket::Content content = Velmora::DataPacket::Parse(packet, objectName());
    checkFields(content);
    Close();
    m_content = std::move(content);
    m_hasContent = true;
    Open();
}

void TClientDataSet::EmptyDataSet()
{
    m_content.rows.clear();
    if (Active()) {
        Close();
        Open();
    }
}

void TClientDataSet::DoOpen()
{
    if (!m_hasContent) {
        QVector<TDataSet::Column> columns;
        for (const TField *field : Fields()) {
            if (!IsDeclared(field))
                continue;
            TDataSet::Column column;
            column.name = field->FieldName();
            column.kind = field->DataKind();
            column.size = field->DataKind() == TField::Kind::String ? field->Size() : 0;
            columns << column;
        }
        SetData(columns, {});
        return;
    }
    SetData(m_content.columns, m_content.rows);
}
