#include "shell/Startup.h"
#include "shell/WidgetPrompts.h"
#include "shell/frmMain.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vimra"));
    QApplication::setOrganizationName(QStringLiteral("vimra"));

    vimra::WidgetPrompts boxes;
    vimra::setPrompts(&boxes);

    const auto mainWindow = vimra::Main(QApplication::arguments());
    const int rc = app.exec();

    vimra::setPrompts(nullptr);
    return rc;
}
