// The save dialog's proposal: the report code and the period in the name, the folder the user
// last saved that report in.
#include "RecordingServices.h"
#include "reports/TSaveDialog.h"

#include <QDir>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// A person at the screen answers the file dialog; a batch job or a test is headless.
class ClerkServices : public RecordingServices
{
public:
    bool headless() const override { return !atScreen; }
    bool atScreen = true;
};

class SaveDialog : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(settingsHome.isValid() && files.isValid());
        // The user's own settings go to a folder of the test's.
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsHome.path());
        for (const char *name : {"a", "b", "c"})
            ASSERT_TRUE(QDir(files.path()).mkpath(QLatin1String(name)));
    }
    QString in(const char *folder, const QString &file = QString()) const
    {
        const QString dir = QDir(files.path()).filePath(QLatin1String(folder));
        return file.isEmpty() ? dir : QDir(dir).filePath(file);
    }
    // One save: the file the dialog proposed, or "(cancelado)" when it was given up.
    QString save(const QString &code, const QString &name, const QString &answer,
                 QString *chosen = nullptr)
    {
        TSaveDialog dialog(nullptr);
        dialog.SetReportCode(code);
        dialog.SetDefaultExt(QStringLiteral("pdf"));
        dialog.SetFileName(name);
        if (!answer.isEmpty())
            services.queueFile(answer);
        const bool done = dialog.Execute();
        if (chosen)
            *chosen = done ? dialog.FileName() : QString();
        return services.filesProposed.isEmpty() ? QStringLiteral("(nada)")
                                                : services.filesProposed.takeLast();
    }

    QTemporaryDir settingsHome, files;
    ClerkServices services;
};

} // namespace

TEST(SaveDialogName, NamesTheReportAndItsPeriod)
{
    struct Case
    {
        const char *code;
        QDate from, to;
        const char *extension, *name;
    };
    const Case cases[] = {
        {"FIS014", {2024, 10, 1}, {2024, 12, 31}, "pdf", "FIS014 2024-10-01 a 2024-12-31.pdf"},
        {"FIS014", {2024, 1, 1}, {2024, 1, 31}, "xlsx", "FIS014 2024-01-01 a 2024-01-31.xlsx"},
        {"FIS014", {}, {}, "csv", "FIS014.csv"},
        {"FIS014", {2024, 1, 1}, {}, "html", "FIS014.html"}, // half a period is no period
        {"", {2024, 1, 1}, {2024, 1, 31}, "pdf", "relatorio 2024-01-01 a 2024-01-31.pdf"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(TSaveDialog::ProposedName(QLatin1String(c.code), c.from, c.to,
                                            QLatin1String(c.extension)),
                  QLatin1String(c.name));
}

TEST_F(SaveDialog, OpensInTheFolderLastUsedForTheReport)
{
    const QString name = QStringLiteral("FIS014 2024-10-01 a 2024-12-31.pdf");
    QString chosen;
    // Nothing remembered yet: the name alone.
    EXPECT_EQ(save("FIS014", name, in("a", "um.pdf")), name);
    EXPECT_EQ(save("FIS014", name, in("b", "dois"), &chosen), in("a", name));
    EXPECT_EQ(chosen, in("b", "dois.pdf")) << "the extension is added";
    // Each report has its own folder; the code's letter case does not matter.
    EXPECT_EQ(save("FIS099", QStringLiteral("FIS099.pdf"), in("c", "x.pdf")),
              QStringLiteral("FIS099.pdf"));
    EXPECT_EQ(save("fis014", name, QString(), &chosen), in("b", name));
    EXPECT_TRUE(chosen.isEmpty());
    // Given up: the folder stays.
    EXPECT_EQ(save("FIS014", name, QString()), in("b", name));
    EXPECT_EQ(TSaveDialog::RememberedFolder(QStringLiteral("FIS099")), in("c"));

    // A batch job saves where it is told and leaves the clerk's folder alone.
    services.atScreen = false;
    EXPECT_EQ(save("FIS014", name, in("c", "lote.pdf"), &chosen), in("b", name));
    EXPECT_EQ(chosen, in("c", "lote.pdf"));
    services.atScreen = true;
    EXPECT_EQ(save("FIS014", name, QString()), in("b", name));

    // A folder that is gone is forgotten: the name alone again.
    ASSERT_TRUE(QDir(in("b")).removeRecursively());
    EXPECT_EQ(save("FIS014", name, QString()), name);
    // A name with a folder of its own is kept as given.
    EXPECT_EQ(save("FIS099", in("a", name), QString()), in("a", name));

    // Kept in the user's settings, where the next session finds it.
    QSettings user(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("velmora"),
                   QStringLiteral("velmora"));
    EXPECT_TRUE(user.fileName().startsWith(settingsHome.path())) << qPrintable(user.fileName());
    EXPECT_EQ(user.value(QStringLiteral("SaveFolders/FIS099")).toString(), in("c"));
}
