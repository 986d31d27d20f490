#include "framework/ComponentRegistry.h"
#include "framework/InputFilter.h"

#include <QApplication>
#include <gtest/gtest.h>

// GoogleTest over a real (offscreen) application, with the framework's classes and input
// filter installed as the host installs them.
int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Velmora::RegisterFrameworkComponents();
    Velmora::InputFilter::install();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
