#pragma once

#include "rtl_global.h"

#include <QByteArray>
#include <QString>
#include <exception>

// The exception family of the run-time library. Every class is exported with default
// visibility so that a handler in the host catches what a loaded package throws.
class VELMORA_RTL_EXPORT Exception : public std::exception
{
public:
    explicit Exception(const QString &message);
    ~Exception() override;

    const QString &Message() const { return m_message; }
    const char *what() const noexcept override;

private:
    QString m_message;
    QByteArray m_utf8;
};

// Ends the current event without any message: the one who raised it has already spoken.
class VELMORA_RTL_EXPORT EAbort : public Exception
{
public:
    EAbort();
    ~EAbort() override;
};

class VELMORA_RTL_EXPORT EConvertError : public Exception
{
public:
    using Exception::Exception;
    ~EConvertError() override;
};

class VELMORA_RTL_EXPORT EDatabaseError : public Exception
{
public:
    using Exception::Exception;
    ~EDatabaseError() override;
};

// Another connection's lock outlasted the wait for it.
class VELMORA_RTL_EXPORT EDatabaseLocked : public EDatabaseError
{
public:
    using EDatabaseError::EDatabaseError;
    ~EDatabaseLocked() override;
};

class VELMORA_RTL_EXPORT ERemoteError : public Exception
{
public:
    using Exception::Exception;
    ~ERemoteError() override;
};
