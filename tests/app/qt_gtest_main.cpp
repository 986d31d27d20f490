// GoogleTest under a QApplication, for tests that load packages and drive screens.
#include "framework/ComponentRegistry.h"
#include "framework/InputFilter.h"

#include <QApplication>
#include <QStandardPaths>

#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    Velmora::RegisterFrameworkComponents();
    Velmora::InputFilter::install();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
