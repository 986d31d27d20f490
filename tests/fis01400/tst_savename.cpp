// What the screen shows of itself beyond its checks: the file a save proposes, the pictures
// of its report buttons, the name of its help window.
#include "ScreenTest.h"

#include "framework/Glyphs.h"
#include "framework/GuiServices.h"
#include "reports/TPopupMenu.h"

#include <QDir>
#include <QMenu>
#include <QTextBrowser>
#include <QTimer>
#include <QToolButton>

namespace {

class Looks : public ScreenTest
{
protected:
    void fill(const QString &from, const QString &to)
    {
        ASSERT_TRUE(enter("medCdImposto", QStringLiteral("01")));
        ASSERT_TRUE(enter("medCdEmpresa", QStringLiteral("01")));
        ASSERT_TRUE(enter("edtInscricao", QStringLiteral("110042490114")));
        ASSERT_TRUE(enter("depDtInicial", from));
        ASSERT_TRUE(enter("depDtFinal", to));
        ASSERT_TRUE(messages().isEmpty()) << qPrintable(messages().join('\n'));
    }
};

QImage pictureOf(const QIcon &icon)
{
    return icon.pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32);
}

} // namespace

TEST_F(Looks, TheSaveProposesTheCodeAndThePeriodOnScreen)
{
    ASSERT_TRUE(open());
    fill(QStringLiteral("01012024"), QStringLiteral("31012024"));
    // The dialog is given up: nothing is written, only the proposal is looked at.
    click("sbtSalvarComo");
    EXPECT_EQ(recorder.filesProposed, QStringList{"FIS014 2024-01-01 a 2024-01-31.pdf"});
    // Another period, another name: the proposal follows the screen, not the last save.
    ASSERT_TRUE(enter("depDtFinal", QStringLiteral("29022024")));
    click("sbtSalvarComo");
    EXPECT_EQ(recorder.filesProposed.value(1),
              QStringLiteral("FIS014 2024-01-01 a 2024-02-29.pdf"));
    EXPECT_TRUE(messages().isEmpty()) << qPrintable(messages().join('\n'));
}

TEST_F(Looks, TheReportButtonsShowWhatTheyDo)
{
    ASSERT_TRUE(open());
    const QList<QPair<const char *, const char *>> buttons{{"sbtPrint", "print"},
                                                           {"sbtPreview", "preview"},
                                                           {"sbtSalvarComo", "save"},
                                                           {"sbtReportEdit", "edit"},
                                                           {"sbtSegundoPlano", "background"}};
    for (const auto &[button, picture] : buttons) {
        SCOPED_TRACE(button);
        auto *b = component<QToolButton>(button);
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(pictureOf(b->icon()), pictureOf(Glyphs::Icon(QLatin1String(picture))));
    }
    // The picture to look at: the screen in the main window, as the clerk sees it.
    const QString png = QDir(QString::fromStdString(::testing::TempDir()))
                            .filePath(QStringLiteral("velmora-tela-fis01400.png"));
    EXPECT_TRUE(screen()->window()->grab().save(png)) << qPrintable(png);
    // No two buttons alike.
    EXPECT_NE(pictureOf(component<QToolButton>("sbtPrint")->icon()),
              pictureOf(component<QToolButton>("sbtPreview")->icon()));
}

TEST_F(Looks, TheSaveMenuShowsTheSpreadsheet)
{
    ASSERT_TRUE(open());
    auto *menu = component<TPopupMenu>("ppmSalvarRelatorio");
    ASSERT_NE(menu, nullptr);
    QStringList seen;
    QTimer::singleShot(50, [&] {
        auto *shown = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        if (!shown)
            return;
        const QImage spreadsheet = pictureOf(Glyphs::Icon(QStringLiteral("export")));
        for (QAction *a : shown->actions())
            seen << a->text() + (a->icon().isNull()                    ? ""
                                 : pictureOf(a->icon()) == spreadsheet ? " (planilha)"
                                                                       : " (outra)");
        shown->close();
    });
    EXPECT_EQ(menu->Popup(screen(), screen()->mapToGlobal(QPoint(10, 10))), -1);
    EXPECT_EQ(seen,
              (QStringList{"PDF (outra)", "CSV (planilha)", "Planilha XLSX (planilha)", "HTML"}));
}

TEST_F(Looks, TheHelpWindowIsNamedAfterTheScreen)
{
    ASSERT_TRUE(open());
    ASSERT_NE(QApplication::focusWidget(), nullptr);
    Velmora::GuiServices gui;
    gui.showHelp(QStringLiteral("FisHelp.Hlp"), 11500900);
    QTextBrowser *help = nullptr;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String("frmAjuda") && w->isVisible())
            help = qobject_cast<QTextBrowser *>(w);
    ASSERT_NE(help, nullptr);
    EXPECT_EQ(help->windowTitle(), QStringLiteral("Ajuda – Documentos por Fornecedor"));
    EXPECT_TRUE(help->toPlainText().contains(QStringLiteral("Documentos por Fornecedor")));
    help->close();
}
