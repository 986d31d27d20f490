#include "ReportTestSupport.h"

#include "framework/ComponentRegistry.h"
#include "framework/InputFilter.h"
#include "reports/ReportComponents.h"

#include <QApplication>
#include <QLocale>
#include <QStandardPaths>
#include <gtest/gtest.h>

// GoogleTest over a real offscreen application, with the framework's and the report
// package's classes registered as the host registers them.
int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Q_INIT_RESOURCE(test_forms);
    QStandardPaths::setTestModeEnabled(true);
    QLocale::setDefault(QLocale(QLocale::Portuguese, QLocale::Brazil));
    Velmora::RegisterFrameworkComponents();
    Velmora::Reports::RegisterReportComponents();
    RegisterTestMessages();
    Velmora::InputFilter::install();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
