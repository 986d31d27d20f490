#include "BatchRunner.h"

#include "BatchJob.h"
#include "Host.h"
#include "MainWindow.h"

#include <QTextStream>

#include <cstdio>

int RunBatch(const QString &jobPath, const QString &screenshotPath)
{
    QTextStream trace(stdout);
    QTextStream errors(stderr);
    Velmora::Host *host = Velmora::Host::instance();
    if (!host) {
        errors << QStringLiteral("Aplicação sem host.") << Qt::endl;
        return BatchJob::CannotRun;
    }
    // A package that fails to load stops the job before it starts.
    const QStringList failures = host->LoadConfiguredPackages();
    if (!failures.isEmpty()) {
        for (const QString &failure : failures)
            errors << failure << Qt::endl;
        return BatchJob::CannotRun;
    }

    BatchJob::Host hooks;
    hooks.hasScreen = [host](const QString &code) {
        return host->Packages().FindScreen(code).has_value();
    };
    hooks.openScreen = [host](const QString &code) { host->OpenScreen(code); };
    hooks.reloadPackage = [host](const QString &code, QString *error) {
        const auto screen = host->Packages().FindScreen(code);
        if (!screen) {
            *error = QStringLiteral("Tela '%1' desconhecida.").arg(code);
            return false;
        }
        try {
            host->Packages().Reload(screen->package);
        } catch (const Exception &e) {
            *error = e.Message();
            return false;
        }
        return true;
    };
    hooks.mainWindow = &host->Window();
    BatchJob job(hooks, trace, errors);
    job.setScreenshot(screenshotPath);
    return job.runFile(jobPath);
}
