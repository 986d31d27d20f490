#include "SavedFileNotice.h"

#include "framework/Dispatch.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QMainWindow>
#include <QPrintDialog>
#include <QPrinter>
#include <QStatusBar>
#include <QUrl>

namespace Velmora::Reports {

QString SavedFileText(const QString &file, const OutputResult &result)
{
    const QLocale locale;
    QString text =
        QStringLiteral("Salvo em %1 – %2 %3")
            .arg(QDir::toNativeSeparators(file), locale.toString(result.rows),
                 result.rows == 1 ? QStringLiteral("documento") : QStringLiteral("documentos"));
    if (result.pages > 0)
        text += QStringLiteral(", %1 %2").arg(locale.toString(result.pages),
                                              result.pages == 1 ? QStringLiteral("página")
                                                                : QStringLiteral("páginas"));
    return text;
}

void ShowSavedFile(QWidget *from, const QString &file, const OutputResult &result)
{
    QMainWindow *main = nullptr;
    for (QWidget *w = from; w && !main; w = w->parentWidget())
        main = qobject_cast<QMainWindow *>(w);
    if (!main)
        return;
    QStatusBar *bar = main->statusBar();
    bar->showMessage(SavedFileText(file, result));
    auto *link = bar->findChild<QLabel *>(QStringLiteral("lblAbrirPasta"));
    if (!link) {
        link = new QLabel(bar);
        link->setObjectName(QStringLiteral("lblAbrirPasta"));
        link->setTextFormat(Qt::RichText);
        link->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
        QObject::connect(link, &QLabel::linkActivated, link,
                         [](const QString &url) { QDesktopServices::openUrl(QUrl(url)); });
        bar->addPermanentWidget(link);
    }
    link->setText(QStringLiteral("<a href=\"%1\">Abrir pasta</a>")
                      .arg(QUrl::fromLocalFile(QFileInfo(file).absolutePath()).toString()));
    link->show();
}

std::shared_ptr<QPrinter> ChoosePrinter(const ReportLayout &layout, QWidget *parent)
{
    auto printer = std::make_shared<QPrinter>(QPrinter::HighResolution);
    printer->setFullPage(true);
    printer->setDocName(layout.title);
    printer->setPageLayout(layout.page.pageLayout());
    Velmora::ModalScope modal;
    QPrintDialog dialog(printer.get(), parent);
    dialog.setWindowTitle(QStringLiteral("Imprimir"));
    if (dialog.exec() != QDialog::Accepted)
        return nullptr;
    return printer;
}

} // namespace Velmora::Reports
