#include "OutputFile.h"

#include "rtl/Exceptions.h"
#include "rtl/SystemError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Velmora::Reports {

namespace {

constexpr qsizetype bufferSize = 1 << 16;

mode_t defaultMode()
{
    // What a plain creation would have given: the process's mask applies.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

} // namespace

OutputFile::OutputFile(const QString &path) : m_path(path)
{
    const QFileInfo target(path);
    const QString folder = target.absolutePath();
    if (!QFileInfo(folder).isDir())
        fail(0, QStringLiteral("a pasta '%1' não existe").arg(QDir::toNativeSeparators(folder)));
    QByteArray name =
        QFile::encodeName(folder + QStringLiteral("/.") + target.fileName() + QStringLiteral("."));
    name += "XXXXXX";
    m_fd = ::mkstemp(name.data());
    if (m_fd < 0) {
        const int cause = errno;
        const QString where = QDir::toNativeSeparators(folder);
        if (cause == EACCES || cause == EPERM)
            fail(cause, QStringLiteral("sem permissão para gravar na pasta '%1'").arg(where));
        if (cause == EROFS)
            fail(cause, QStringLiteral("a pasta '%1' está num disco somente leitura").arg(where));
        fail(cause);
    }
    m_partial = QFile::decodeName(name);
    ::fchmod(m_fd, defaultMode());
    m_buffer.reserve(bufferSize);
    QIODevice::open(QIODevice::WriteOnly | QIODevice::Unbuffered);
}

OutputFile::~OutputFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
    if (!m_committed && !m_partial.isEmpty())
        ::unlink(QFile::encodeName(m_partial).constData());
}

qint64 OutputFile::writeData(const char *data, qint64 size)
{
    if (m_errno != 0)
        return -1;
    m_buffer.append(data, size);
    m_written += size;
    if (m_buffer.size() >= bufferSize && !drain())
        return -1;
    return size;
}

bool OutputFile::drain()
{
    const char *at = m_buffer.constData();
    qsizetype left = m_buffer.size();
    while (left > 0) {
        const ssize_t written = ::write(m_fd, at, static_cast<size_t>(left));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            m_errno = errno;
            return false;
        }
        at += written;
        left -= written;
    }
    m_buffer.clear();
    return true;
}

void OutputFile::put(const QByteArray &bytes)
{
    if (write(bytes) != bytes.size())
        fail(m_errno);
}

void OutputFile::flush()
{
    if (m_errno != 0 || !drain())
        fail(m_errno);
}

void OutputFile::commit()
{
    flush();
    QIODevice::close();
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0)
        fail(errno);
    if (::rename(QFile::encodeName(m_partial).constData(), QFile::encodeName(m_path).constData()) !=
        0)
        fail(errno);
    m_committed = true;
}

void OutputFile::fail(int errnum, const QString &detail) const
{
    const QString reason = !detail.isEmpty() ? detail
                           : errnum != 0     ? SystemErrorText(errnum)
                                             : QStringLiteral("erro de gravação");
    throw Exception(QStringLiteral("Não foi possível gravar o arquivo '%1': %2.")
                        .arg(QDir::toNativeSeparators(m_path), reason));
}

} // namespace Velmora::Reports
