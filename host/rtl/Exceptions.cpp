#include "Exceptions.h"

Exception::Exception(const QString &message) : m_message(message), m_utf8(message.toUtf8()) {}

// Out-of-line destructors anchor each class's type information in this library, so a
// package and the host agree on one typeinfo per class.
Exception::~Exception() = default;

const char *Exception::what() const noexcept
{
    return m_utf8.constData();
}

EAbort::EAbort() : Exception(QStringLiteral("Operação cancelada.")) {}
EAbort::~EAbort() = default;
EConvertError::~EConvertError() = default;
EDatabaseError::~EDatabaseError() = default;
EDatabaseLocked::~EDatabaseLocked() = default;
ERemoteError::~ERemoteError() = default;
