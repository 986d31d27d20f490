#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QString>

namespace Velmora::Reports {

// A report file written under a partial name in its folder and moved to its own name only
// when complete: a failure on the way (no permission, a full disk) leaves nothing under the
// chosen name, and an earlier file of that name stays as it was. Every failure is raised as
// Exception with the chosen name and the reason in Portuguese.
class OutputFile : public QIODevice
{
public:
    explicit OutputFile(const QString &path);
    ~OutputFile() override; // removes the partial file unless committed
    OutputFile(const OutputFile &) = delete;
    OutputFile &operator=(const OutputFile &) = delete;

    const QString &path() const { return m_path; }
    // For writers that open the file by name themselves.
    const QString &partialPath() const { return m_partial; }

    // Writes everything or raises.
    void put(const QByteArray &bytes);
    // Writes out what is buffered; raises the first failure seen.
    void flush();
    // Bytes written so far, buffered ones included.
    qint64 written() const { return m_written; }
    // Puts the complete file in its place; raises the first failure seen instead.
    void commit();
    // The file could not be written for this reason (an errno value, or 0 for another cause).
    [[noreturn]] void fail(int errnum, const QString &detail = QString()) const;

    bool isSequential() const override { return true; }

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *data, qint64 size) override;

private:
    bool drain();

    QString m_path;
    QString m_partial;
    int m_fd = -1;
    int m_errno = 0; // the first failed write's
    QByteArray m_buffer;
    qint64 m_written = 0;
    bool m_committed = false;
};

} // namespace Velmora::Reports
