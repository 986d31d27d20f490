#include "HelpViewer.h"

#include "Glyphs.h"
#include "Services.h"

#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QShortcut>
#include <QTextBrowser>

namespace HelpViewer {

QString PagePath(const QString &helpFile, int context)
{
    return QStringLiteral(":/help/%1/%2.html")
        .arg(QFileInfo(helpFile).completeBaseName())
        .arg(context);
}

QString WindowTitle(const QString &screenCaption)
{
    return screenCaption.isEmpty() ? QStringLiteral("Ajuda")
                                   : QStringLiteral("Ajuda – %1").arg(screenCaption);
}

void show(const QString &helpFile, int context, const QString &screenCaption)
{
    const QString path = PagePath(helpFile, context);
    QFile page(path);
    if (helpFile.isEmpty() || !page.open(QIODevice::ReadOnly)) {
        Velmora::Services::current().showMessage(
            QStringLiteral("Não há ajuda para o contexto %1 no arquivo de ajuda '%2'.")
                .arg(context)
                .arg(helpFile));
        return;
    }
    static QPointer<QTextBrowser> browser;
    if (!browser) {
        browser = new QTextBrowser;
        browser->setAttribute(Qt::WA_DeleteOnClose);
        browser->resize(560, 420);
        // Read and gone: Esc closes the help as it closes a dialog.
        auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), browser);
        QObject::connect(escape, &QShortcut::activated, browser, &QWidget::close);
    }
    browser->setObjectName(QStringLiteral("frmAjuda"));
    browser->setWindowIcon(Glyphs::Icon(QStringLiteral("help")));
    browser->setWindowTitle(WindowTitle(screenCaption));
    browser->setHtml(QString::fromUtf8(page.readAll()));
    browser->show();
    browser->raise();
}

} // namespace HelpViewer
