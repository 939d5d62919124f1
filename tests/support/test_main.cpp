#include <QApplication>
#include <QStandardPaths>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    // Tests never need a display, and never touch the user's own settings.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    QApplication::setApplicationName("vimra");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
