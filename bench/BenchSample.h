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

// Makes the sample's main Video "Long", spanning [0, 2n + 10] s, with n
// segments "Segment i" at [2i, 2i + 1] s chained in time order, as adding
// them through the model leaves them, but written as files: set-up in time
// linear in n. The sample's own three segments go. The segment files are
// numbered backwards in time, so the list (folder order) is not chain order.
inline bool writeLongVideo(const QString& dir, int n)
{
    const QString files = dir + QStringLiteral("/Sample_files/");
    const QString head = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Video xmlns:xsi=\"http://www.w3.org/"
                                        "2001/XMLSchema-instance\" xsi:noNamespaceSchemaLocation=\"vimra.xsd\">");
    const QString main = files + QStringLiteral("Sample_video1.xml");
    const auto write = [](const QString& path, const QString& text) {
        QFile f(path);
        return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(text.toUtf8()) >= 0;
    };
    for (int i = 2; i <= 4; ++i)
        QFile::remove(files + QStringLiteral("Sample_video%1.xml").arg(i));
    if (!write(main, head + QStringLiteral("<VideoGUID>%1</VideoGUID><Title>Long</Title><VersionGUID>%2</VersionGUID>"
                                           "<Time start=\"0\" end=\"%3\" reasons=\"0\"/></Video>\n")
                             .arg(main, files + QStringLiteral("Sample_version1.xml"))
                             .arg(qint64(n) * 2000 + 10000)))
        return false;
    // Segment i is file number n + 2 - i.
    const auto idOf = [&](int i) { return files + QStringLiteral("Sample_video%1.xml").arg(n + 2 - i); };
    for (int i = 1; i <= n; ++i) {
        const QString next = i < n ? QStringLiteral("<followedbyvideo>%1</followedbyvideo>").arg(idOf(i + 1)) : QString();
        if (!write(idOf(i), head
                                + QStringLiteral("<VideoGUID>%1</VideoGUID><Title>Segment %2</Title><Time start=\"%3\" "
                                                 "end=\"%4\" reasons=\"0\"/><partofvideo>%5</partofvideo>%6</Video>\n")
                                      .arg(idOf(i))
                                      .arg(i)
                                      .arg(qint64(i) * 2000)
                                      .arg(qint64(i) * 2000 + 1000)
                                      .arg(main, next)))
            return false;
    }
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
