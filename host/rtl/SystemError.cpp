#include "SystemError.h"

#include <cerrno>
#include <cstring>

namespace Velmora {

QString SystemErrorText(int errnum)
{
    switch (errnum) {
    case ENOENT:
        return QStringLiteral("o arquivo ou a pasta não existe");
    case ENOTDIR:
        return QStringLiteral("a pasta não existe");
    case EISDIR:
        return QStringLiteral("há uma pasta com esse nome");
    case EACCES:
    case EPERM:
        return QStringLiteral("sem permissão de acesso");
    case EROFS:
        return QStringLiteral("o disco é somente leitura");
    case ENOSPC:
    case EDQUOT:
        return QStringLiteral("não há espaço livre no disco");
    case EFBIG:
        return QStringLiteral("o arquivo passou do tamanho máximo permitido");
    case ENAMETOOLONG:
        return QStringLiteral("o nome do arquivo é longo demais");
    case EMFILE:
    case ENFILE:
        return QStringLiteral("há arquivos abertos demais");
    case EIO:
        return QStringLiteral("erro de entrada e saída no disco");
    default:
        break;
    }
    return QString::fromLocal8Bit(std::strerror(errnum));
}

} // namespace Velmora
