#include "editor/EditorForms.h"
#include "segments/PlayerModule.h"
#include "segments/VideoForm.h"
#include "shell/DocumentCommands.h"
#include "shell/Startup.h"
#include "shell/StructureCommands.h"
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
    vimra::PlayerModuleFactory players;
    vimra::setMediaPlayerFactory(&players);
    vimra::VideoForms expressionEditors;
    vimra::EditorForms editors(expressionEditors);
    vimra::setEditorFactory(&editors);

    const auto mainWindow =
        vimra::Main(QApplication::arguments(), [](vimra::frmMain& w) {
        new vimra::DocumentCommands(w);
        new vimra::StructureCommands(w);
    });
    const int rc = app.exec();

    vimra::setEditorFactory(nullptr);
    vimra::setMediaPlayerFactory(nullptr);
    vimra::setPrompts(nullptr);
    return rc;
}
