#pragma once

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

} // namespace vimra::test
