// Qt's own words and the numbers in the clerk's language, the file dialog that shows them,
// and the pictures of our buttons.
#include "framework/Glyphs.h"
#include "framework/Language.h"
#include "framework/dialogs/FileDialog.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

namespace {

// The warnings the language's installation logs, while it lives.
class LanguageWarnings
{
public:
    LanguageWarnings() { previous = qInstallMessageHandler(&LanguageWarnings::handle); }
    ~LanguageWarnings() { qInstallMessageHandler(previous); }
    static inline QStringList seen;

private:
    static void handle(QtMsgType type, const QMessageLogContext &context, const QString &text)
    {
        if (type == QtWarningMsg && QLatin1String(context.category) == "velmora.language")
            seen << text;
    }
    QtMessageHandler previous;
};

QString fileDialogWord(const char *english)
{
    return QCoreApplication::translate("QFileDialog", english);
}

// Answers the next modal message box with the button whose text is given, once it shows.
void answerNextQuestion(const QString &button, QString *question, QStringList *buttons)
{
    QTimer::singleShot(20, [=] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box) {
            answerNextQuestion(button, question, buttons);
            return;
        }
        *question = box->text();
        for (QAbstractButton *b : box->buttons())
            *buttons << b->text();
        for (QAbstractButton *b : box->buttons())
            if (b->text() == button)
                b->click();
    });
}

} // namespace

TEST(Language, LoadsQtsWordsAndSetsTheNumbers)
{
    struct Case
    {
        const char *name;
        bool translated;
        const char *missing; // what the warning names, nullptr for none
        const char *number;  // 1234.5 with one decimal
    };
    const Case cases[] = {
        {"pt_BR", true, nullptr, "1.234,5"},
        // Portuguese numbers, but Qt ships no words of its own for Portugal.
        {"pt_PT", false, "qtbase_pt_PT.qm", "1234,5"},
        // English is Qt's own: nothing to load, nothing missing.
        {"en_US", false, nullptr, "1,234.5"},
        {"xx_YY", false, "xx_YY", "1234.5"},
        // Back to Portuguese after a failure: the words return.
        {"pt_BR", true, nullptr, "1.234,5"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        LanguageWarnings warnings;
        LanguageWarnings::seen.clear();
        const Velmora::Language::Installed installed =
            Velmora::Language::install(QLatin1String(c.name));

        EXPECT_EQ(QLocale().toString(1234.5, 'f', 1), QLatin1String(c.number));
        EXPECT_EQ(fileDialogWord("Look in:") != QLatin1String("Look in:"), c.translated);
        EXPECT_EQ(installed.catalogs.size(), c.translated ? 1 : 0);
        if (c.missing) {
            EXPECT_EQ(installed.missing, QStringList{QLatin1String(c.missing)});
            ASSERT_EQ(LanguageWarnings::seen.size(), 1);
            EXPECT_TRUE(LanguageWarnings::seen.constFirst().contains(QLatin1String(c.missing)));
        } else {
            EXPECT_TRUE(installed.missing.isEmpty());
            EXPECT_TRUE(LanguageWarnings::seen.isEmpty())
                << qPrintable(LanguageWarnings::seen.join('\n'));
        }
    }
    // What the clerk reads in Qt's other dialogs and menus.
    EXPECT_EQ(QCoreApplication::translate("QPrintWidget", "Printer"), QStringLiteral("Impressora"));
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "&Yes"), QStringLiteral("&Sim"));
    EXPECT_EQ(QCoreApplication::translate("QLineEdit", "&Undo"), QStringLiteral("&Desfazer"));
}

TEST(Language, TheSaveDialogSpeaksPortuguese)
{
    Velmora::Language::install(QStringLiteral("pt_BR"));
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString name = QStringLiteral("FIS014 2024-10-01 a 2024-12-31.pdf");
    const QString path = QDir(folder.path()).filePath(name);
    const auto dialog = Velmora::CreateFileDialog(
        nullptr, QStringLiteral("Salvar relatório como"),
        QStringLiteral("Documento PDF (*.pdf);;Texto separado (*.csv);;Planilha (*.xlsx)"), path,
        true);
    dialog->resize(640, 420);
    dialog->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));

    // Every word below would be English had the translation not been loaded.
    auto label = [&](const char *objectName) {
        const auto *l = dialog->findChild<QLabel *>(QLatin1String(objectName));
        return l ? l->text() : QStringLiteral("(nenhum)");
    };
    EXPECT_EQ(label("lookInLabel"), QStringLiteral("Procurar em:"));
    EXPECT_EQ(label("fileNameLabel"), QStringLiteral("&Nome do arquivo:"));
    EXPECT_EQ(label("fileTypeLabel"), QStringLiteral("Arquivos do tipo:"));
    const auto *box = dialog->findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"));
    ASSERT_NE(box, nullptr);
    QStringList buttons;
    QAbstractButton *saveButton = nullptr;
    for (QAbstractButton *b : box->buttons()) {
        buttons << b->text();
        if (box->buttonRole(b) == QDialogButtonBox::AcceptRole)
            saveButton = b;
    }
    ASSERT_NE(saveButton, nullptr);
    buttons.sort();
    EXPECT_EQ(buttons, (QStringList{QStringLiteral("&Salvar"), QStringLiteral("Cancelar")}));
    // Opened where the file is proposed, with its name and its format's filter.
    EXPECT_EQ(QDir(dialog->directory()).canonicalPath(), QDir(folder.path()).canonicalPath());
    EXPECT_EQ(dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->text(), name);
    EXPECT_EQ(dialog->findChild<QComboBox *>(QStringLiteral("fileTypeCombo"))->currentText(),
              QStringLiteral("Documento PDF (*.pdf)"));

    const QImage picture = dialog->grab().toImage();
    const QString png = QDir(QString::fromStdString(::testing::TempDir()))
                            .filePath(QStringLiteral("velmora-dialogo-salvar.png"));
    EXPECT_TRUE(picture.save(png)) << qPrintable(png);
    EXPECT_EQ(picture.size(), dialog->size());

    // A file that is there already is replaced only after a question in Portuguese.
    {
        QFile existing(path);
        ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    }
    QString question;
    QStringList answers;
    answerNextQuestion(QStringLiteral("&Não"), &question, &answers);
    saveButton->click();
    EXPECT_EQ(question, QStringLiteral("%1 já existe.\nDeseja substituí-la?").arg(name));
    answers.sort();
    EXPECT_EQ(answers, (QStringList{QStringLiteral("&Não"), QStringLiteral("&Sim")}));
    EXPECT_EQ(dialog->result(), QDialog::Rejected) << "'Não' keeps the dialog open";
    EXPECT_TRUE(dialog->isVisible());

    question.clear();
    answers.clear();
    answerNextQuestion(QStringLiteral("&Sim"), &question, &answers);
    saveButton->click();
    EXPECT_FALSE(question.isEmpty());
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(dialog->selectedFiles(), QStringList{path});
}

TEST(Glyphs, EveryPictureIsDrawn)
{
    for (const QString &name : Glyphs::IconNames()) {
        SCOPED_TRACE(qPrintable(name));
        const QIcon icon = Glyphs::Icon(name);
        ASSERT_FALSE(icon.isNull());
        for (const int size : {16, 24, 32}) {
            const QImage image = icon.pixmap(size, size).toImage();
            ASSERT_EQ(image.size(), QSize(size, size));
            int opaque = 0;
            for (int y = 0; y < size; ++y)
                for (int x = 0; x < size; ++x)
                    opaque += qAlpha(image.pixel(x, y)) > 128;
            // Something is drawn, and not a filled square: a picture that failed to render
            // is empty, one rendered out of its box fills or misses the square.
            EXPECT_GT(opaque, size * size / 8) << size;
            EXPECT_LT(opaque, size * size) << size;
        }
    }
    EXPECT_TRUE(Glyphs::Icon(QStringLiteral("nenhuma")).isNull());
}
