#pragma once
// The sample document for the benchmarks that open the expression editor.

#include "document/AVDocument.h"
#include "document/Version.h"
#include "editor/EditorForms.h"
#include "records/IOManager.h"
#include "segments/VideoForm.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTimer>

#include <cstdio>
#include <functional>
#include <memory>

namespace vimra::bench {

// Writes the sample document (a Version over an 8 s MPEG-1 clip) into `dir`
// and a settings file naming the bundled schema; false when it cannot.
inline bool makeSample(const QString& dir)
{
    QDir(dir).removeRecursively();
    if (QProcess::execute(QStringLiteral(VIMRA_SCRIPTS "/make-sample.sh"), {dir}) != 0)
        return false;
    QFile f(dir + "/vimra.conf");
    if (!f.open(QIODevice::WriteOnly) || f.write("[Vimra]\nXSDPath=" VIMRA_RESOURCES "/vimra.xsd\n") < 0)
        return false;
    qputenv("VIMRA_CONFIG", QFile::encodeName(f.fileName()));
    return true;
}

inline std::shared_ptr<AVDocument> openSample(const QString& dir)
{
    auto io = std::make_shared<IOManager>();
    io->setBFileSystem(true);
    auto doc = AVDocument::create();
    const QString error = doc->strOpen(dir + "/Sample.xml", editorFactory().create(QStringLiteral("AVDocument")), io);
    if (!error.isEmpty()) {
        std::fprintf(stderr, "cannot open the sample: %s\n", qPrintable(error));
        return nullptr;
    }
    return doc;
}

inline std::shared_ptr<Version> versionOf(const AVDocument& doc)
{
    return std::dynamic_pointer_cast<Version>(doc.colChilds().Item(1));
}

// Shows the expression's editor and runs `act` in it; closes it afterwards.
inline void inEditor(Expression& e, const std::function<void(VideoWindow&)>& act)
{
    auto* form = dynamic_cast<VideoForm*>(e.form().get());
    QTimer::singleShot(0, [&] {
        if (VideoWindow* w = form->videoWindow()) {
            act(*w);
            w->dialog()->reject();
        }
    });
    e.ShowForm(nullptr);
}

} // namespace vimra::bench
