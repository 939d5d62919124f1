#include "platform/MediaDetector.h"
#include "segments/player/QtMediaPlayer.h"

namespace vimra {

namespace {

MediaDetector& (*programDetector)() = nullptr;

} // namespace

// The player asks the detector the program has in force (tests install
// their own), so the module keeps none of its own.
MediaDetector& mediaDetector() { return programDetector(); }

} // namespace vimra

// The module's one entry point, called once with the program's way to its
// detector; the factory lives as long as the program.
extern "C" __attribute__((visibility("default"))) vimra::MediaPlayerFactory*
vimraMediaPlayerFactory(vimra::MediaDetector& (*detector)())
{
    vimra::programDetector = detector;
    static vimra::QtMediaPlayerFactory factory;
    return &factory;
}
