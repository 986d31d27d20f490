// The form description loader: a description (with a base to inherit and data files to take
// components from, beside it as a module ships them) built into a screen with every
// framework and report component class registered, as the host registers them.
#include "FuzzSupport.h"

#include "framework/ComponentRegistry.h"
#include "framework/FormLoader.h"
#include "framework/TApplication.h"
#include "framework/TForm.h"
#include "reports/ReportComponents.h"
#include "rtl/Exceptions.h"

#include <QApplication>
#include <QDirIterator>

namespace {

// A screen with the handlers that the seed descriptions bind.
class FuzzForm : public TForm
{
    Q_OBJECT
public:
    explicit FuzzForm(QString path) : TForm(&Application()), m_path(std::move(path)) {}
    QString DescriptionPath() const override { return m_path; }

    Q_INVOKABLE void FormCreate(QObject *) {}
    Q_INVOKABLE void FormActivate(QObject *) {}
    Q_INVOKABLE void DerivedActivate(QObject *) {}
    Q_INVOKABLE void sbtAcaoClick(QObject *) {}
    Q_INVOKABLE void edtCodigoExit(QObject *) {}
    Q_INVOKABLE void edtCodigoChange(QObject *) {}
    Q_INVOKABLE void rdbTodosClick(QObject *) {}
    Q_INVOKABLE void handlerWithFlag(QObject *, bool &) {}

private:
    QString m_path;
};

// scratch/form/ holds the description under test and a base; scratch/data/ the module's
// data files, where "../data/..." finds them.
void copyFolder(const QString &from, const QString &to)
{
    QDir().mkpath(to);
    QDirIterator it(from, {QStringLiteral("*.json")}, QDir::Files);
    while (it.hasNext()) {
        const QString source = it.next();
        QFile file(source);
        if (!file.open(QIODevice::ReadOnly))
            std::abort();
        Fuzz::writeFile(to + QLatin1Char('/') + it.fileName(), file.readAll());
    }
}

QString descriptionPath()
{
    static const QString path = Fuzz::scratch().filePath(QStringLiteral("form/description.json"));
    return path;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    Fuzz::application<QApplication>();
    Velmora::RegisterFrameworkComponents();
    Velmora::Reports::RegisterReportComponents();
    const QString root = Fuzz::scratch().path();
    copyFolder(QStringLiteral(VELMORA_SOURCE_DIR "/tests/framework/forms"),
               root + QStringLiteral("/form"));
    copyFolder(QStringLiteral(VELMORA_SOURCE_DIR "/fis01400/data"), root + QStringLiteral("/data"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    Fuzz::writeFile(descriptionPath(), Fuzz::bytes(data, size));
    FuzzForm form(descriptionPath());
    try {
        FormLoader::Load(&form, descriptionPath());
    } catch (const Exception &) {
        // Refused with a message naming what is wrong: the screen is then dropped.
    }
    return 0;
}

#include "fuzz_formloader.moc"
