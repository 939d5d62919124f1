#include "segments/PlayerModule.h"

#include "support/FakeMediaDetector.h"

#include <QFile>
#include <QTemporaryDir>
#include <QWidget>

#include <gtest/gtest.h>

using namespace vimra;

namespace {

QStringList warnings;

} // namespace

// The player comes from its module on first need and asks the program's
// detector; without the module nothing plays, and that is said once.
TEST(PlayerModule, PlaysThroughTheModuleOrNotAtAll)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("clip.mpg");
    QFile(path).open(QIODevice::WriteOnly);
    for (const bool built : {true, false}) {
        SCOPED_TRACE(built ? "built module" : "missing module");
        struct : test::FakeMediaDetector {
            QStringList asked;
            double streamLength(const QString& p) override { return asked << p, 0; }
        } detector;
        warnings.clear();
        const auto previous =
            qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& t) { warnings << t; });
        PlayerModuleFactory factory =
            built ? PlayerModuleFactory() : PlayerModuleFactory(dir.filePath("none.so").toStdString());
        QWidget parent;
        QWidget* video = factory.createVideoOutput(&parent);
        EXPECT_EQ(video && video->parentWidget() == &parent, built);
        const QString error = built ? path + " cannot be played: it holds no audio or video that can be read."
                                    : "No media player is available.";
        for (int i = 0; i < 2; ++i)
            EXPECT_EQ(factory.create()->open(path), error);
        qInstallMessageHandler(previous);
        EXPECT_EQ(detector.asked, built ? QStringList({path, path}) : QStringList());
        EXPECT_EQ(warnings.size(), built ? 0 : 1) << warnings.join("; ").toStdString();
    }
}
