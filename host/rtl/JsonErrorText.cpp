#include "JsonErrorText.h"

namespace Velmora {

QString JsonErrorText(QJsonParseError::ParseError error)
{
    switch (error) {
    case QJsonParseError::NoError:
        return QStringLiteral("sem erro");
    case QJsonParseError::UnterminatedObject:
        return QStringLiteral("objeto não terminado");
    case QJsonParseError::MissingNameSeparator:
        return QStringLiteral("falta ':' depois do nome");
    case QJsonParseError::UnterminatedArray:
        return QStringLiteral("lista não terminada");
    case QJsonParseError::MissingValueSeparator:
        return QStringLiteral("falta ',' entre os valores");
    case QJsonParseError::IllegalValue:
        return QStringLiteral("valor inválido");
    case QJsonParseError::TerminationByNumber:
        return QStringLiteral("o texto termina no meio de um número");
    case QJsonParseError::IllegalNumber:
        return QStringLiteral("número inválido");
    case QJsonParseError::IllegalEscapeSequence:
        return QStringLiteral("sequência de escape inválida");
    case QJsonParseError::IllegalUTF8String:
        return QStringLiteral("texto que não é UTF-8");
    case QJsonParseError::UnterminatedString:
        return QStringLiteral("texto não terminado");
    case QJsonParseError::MissingObject:
        return QStringLiteral("falta um objeto");
    case QJsonParseError::DeepNesting:
        return QStringLiteral("aninhamento profundo demais");
    case QJsonParseError::DocumentTooLarge:
        return QStringLiteral("documento grande demais");
    case QJsonParseError::GarbageAtEnd:
        return QStringLiteral("conteúdo a mais depois do fim");
    }
    return QStringLiteral("erro %1").arg(static_cast<int>(error));
}

} // namespace Velmora
