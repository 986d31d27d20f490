#pragma once

#include <QString>

// Runs a batch job (a file, or "-" for standard input) against the host of this process
// (Velmora::Host::instance()): its package loader and its main window. Returns the process
// exit status. With a screenshot path, the screen's picture is saved there once the job ends.
int RunBatch(const QString &jobPath, const QString &screenshotPath = {});
