#pragma once

// What the fuzz targets share: the Qt application they need, a scratch folder that lives as
// long as the process, and the input written to a file for the loaders that read one.

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace Fuzz {

// Keeps the application alive for the whole run (libFuzzer leaves by exit()); widgets need a
// QApplication, the rest a QCoreApplication. Offscreen, so no display is needed.
template <class App> App &application()
{
    static int argc = 1;
    static char name[] = "velmora-fuzz";
    static char *argv[] = {name, nullptr};
    static App *app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return new App(argc, argv);
    }();
    return *app;
}

// A folder of this run, removed when the process ends normally.
inline const QTemporaryDir &scratch()
{
    static const QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/velmora-fuzz-XXXXXX"));
    if (!dir.isValid())
        std::abort();
    return dir;
}

inline QByteArray bytes(const std::uint8_t *data, std::size_t size)
{
    return QByteArray(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
}

// Writes the input where a loader will read it; aborts when the disk refuses, which would
// otherwise pass for a loader that found nothing wrong.
inline void writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(content) != content.size())
        std::abort();
}

// Stops the run at a broken promise of the code under test, not only at a memory fault.
#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition);     \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)

} // namespace Fuzz
