#include "LayoutWords.h"

namespace Velmora::Reports {

const QList<AlignWord> &AlignWords()
{
    static const QList<AlignWord> words{{Align::Left, QStringLiteral("esquerda")},
                                        {Align::Center, QStringLiteral("centro")},
                                        {Align::Right, QStringLiteral("direita")}};
    return words;
}

const QList<TypeWord> &TypeWords()
{
    static const QList<TypeWord> words{{ColumnType::Text, QStringLiteral("texto")},
                                       {ColumnType::Number, QStringLiteral("número")},
                                       {ColumnType::Date, QStringLiteral("data")}};
    return words;
}

} // namespace Velmora::Reports
