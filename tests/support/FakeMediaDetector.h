#pragma once

#include "platform/MediaDetector.h"

#include <QFileInfo>
#include <QImage>
#include <QSet>

#include <cmath>
#include <utility>
#include <vector>

namespace vimra::test {

// Answers without FFmpeg: every existing file is a video of `length` seconds at
// `size` and `rate`, except the paths in `audioOnly`; a grab writes a BMP of one
// colour that encodes the asked time in milliseconds. Installs itself for its lifetime.
class FakeMediaDetector : public MediaDetector {
public:
    FakeMediaDetector() { setMediaDetector(this); }
    ~FakeMediaDetector() override { setMediaDetector(nullptr); }

    double length = 60.0;
    QSize size{8, 6};
    double rate = 25.0;
    QSet<QString> audioOnly;
    bool failGrabs = false;
    std::vector<std::pair<QString, double>> grabs;
    QString lastTarget;

    static QRgb colourOf(double seconds)
    {
        const long ms = std::lround(seconds * 1000);
        return qRgb((ms >> 16) & 255, (ms >> 8) & 255, ms & 255);
    }
    // The time a grabbed picture shows; -1 for a null picture.
    static double timeOf(const QImage& image)
    {
        if (image.isNull())
            return -1;
        const QRgb c = image.pixel(0, 0);
        return ((qRed(c) << 16) | (qGreen(c) << 8) | qBlue(c)) / 1000.0;
    }

    double streamLength(const QString& path) override { return QFileInfo(path).isFile() ? length : 0.0; }
    QSize videoSize(const QString& path) override { return isVideo(path) ? size : QSize(); }
    double frameRate(const QString& path) override { return isVideo(path) ? rate : 0.0; }
    bool writeFrame(const QString& path, double seconds, const QString& bmpPath) override
    {
        grabs.emplace_back(path, seconds);
        lastTarget = bmpPath;
        if (failGrabs || !isVideo(path) || !(seconds >= 0) || seconds > length)
            return false;
        QImage image(size, QImage::Format_RGB888);
        image.fill(colourOf(seconds));
        return image.save(bmpPath, "BMP");
    }

private:
    bool isVideo(const QString& path) const { return QFileInfo(path).isFile() && !audioOnly.contains(path); }
};

} // namespace vimra::test
