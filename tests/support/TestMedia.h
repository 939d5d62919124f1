#pragma once

#include <QImage>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace vimra::test {

inline bool ffmpeg(const QStringList& args)
{
    return QProcess::execute("ffmpeg", QStringList{"-v", "quiet", "-y"} + args) == 0;
}

// 21 s at 4 frames a second, 160 x 120, each frame's brightness 16 + twice its number,
// a keyframe every 25 frames so a grab must decode forward from one.
inline bool numberedClip(const QString& file)
{
    return ffmpeg({"-f", "lavfi", "-i", "color=c=black:s=160x120:r=4:d=21,format=yuv420p,geq=lum='16+2*N':cb=128:cr=128",
                   "-c:v", "mpeg4", "-q:v", "1", "-g", "25", file});
}

// The red of a pixel of frame `frame` as full-range RGB from its limited-range luma.
inline double numberedRed(int frame) { return 2 * frame * 255.0 / 219.0; }

// `seconds` of video at `rate` whose every frame carries its number in ten
// stripes, bit k white in stripe k; drawn at 160 x 120 and scaled to `size`.
inline QString stripedClip(const QString& file, const char* rate, const QStringList& codec, int seconds = 8,
                           const QString& size = "160x120")
{
    QString frames = QStringLiteral("color=c=black:s=160x120:r=%1:d=%2,format=yuv420p,"
                                    "geq=lum='if(mod(floor(N/pow(2,floor(X/16))),2),235,16)':cb=128:cr=128")
                         .arg(rate)
                         .arg(seconds);
    if (size != "160x120")
        frames += ",scale=" + QString(size).replace('x', ':') + ":flags=neighbor";
    return ffmpeg(QStringList{"-f", "lavfi", "-i", frames} + codec + QStringList{file}) ? file : QString();
}

inline int stripedNumber(const QImage& image)
{
    int n = 0;
    for (int bit = 0; bit < 10; ++bit)
        if (qGray(image.pixel(int((bit + 0.5) * image.width() / 10), image.height() / 2)) > 128)
            n |= 1 << bit;
    return image.isNull() ? -1 : n;
}

} // namespace vimra::test
