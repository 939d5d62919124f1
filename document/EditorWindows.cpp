#include "document/EditorWindows.h"

#include "platform/Installed.h"

namespace vimra {

QString strEditorFormFor(const QString& strClass)
{
    if (strClass == QLatin1String("AVDocument"))
        return QStringLiteral("frmAVDocForm");
    if (strClass == QLatin1String("Version"))
        return QStringLiteral("VersionForm");
    if (strClass == QLatin1String("Media"))
        return QStringLiteral("MediaForm");
    if (strClass == QLatin1String("Storage"))
        return QStringLiteral("StorageForm");
    if (strClass == QLatin1String("Video") || strClass == QLatin1String("Audio")
        || strClass == QLatin1String("Transcript"))
        return QStringLiteral("VideoForm");
    return {};
}

std::shared_ptr<EditorWindow> NullEditorFactory::create(const QString& strClass)
{
    if (strEditorFormFor(strClass).isEmpty())
        return nullptr;
    return std::make_shared<NullEditorWindow>();
}

EditorFactory& editorFactory() { return Installed<EditorFactory, NullEditorFactory>::get(); }

void setEditorFactory(EditorFactory* factory) { Installed<EditorFactory, NullEditorFactory>::set(factory); }

} // namespace vimra
