#pragma once

#include <QString>

namespace vimra {

// Answers questions about a media file through the FFmpeg libraries.
class MediaDetector {
public:
    // Length in seconds of the file's first stream (the container's length when
    // that stream does not know its own); 0 when the file cannot be read or holds
    // no audio or video stream.
    static double streamLength(const QString& path);
};

} // namespace vimra
