#include "editor/EditorForms.h"
#include "shell/DocumentCommands.h"
#include "shell/ObjectWindow.h"
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
    // Expressions keep the read-only window until their own editor exists.
    vimra::ObjectWindowFactory expressionWindows;
    vimra::EditorForms editors(expressionWindows);
    vimra::setEditorFactory(&editors);

    const auto mainWindow =
        vimra::Main(QApplication::arguments(), [](vimra::frmMain& w) {
        new vimra::DocumentCommands(w);
        new vimra::StructureCommands(w);
    });
    const int rc = app.exec();

    vimra::setEditorFactory(nullptr);
    vimra::setPrompts(nullptr);
    return rc;
}
