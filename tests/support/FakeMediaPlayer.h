#pragma once

#include "platform/MediaPlayer.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

namespace vimra::test {

// What the fake players answer; a test sets it before the editor opens.
struct MediaScript {
    QString openError;           // empty: every open succeeds
    double duration = 60;
    double avgTimePerFrame = 0.04;
    bool picture = true;
};

// What one player was asked; it outlives the player.
struct PlayerRecord {
    QStringList calls;             // "open <path>", "Run", "Pause", "Stop", "release"
    std::vector<double> positions; // every position set
};

// Keeps its position synchronously and records what the editor asks of it.
class FakeMediaPlayer : public MediaPlayer {
public:
    FakeMediaPlayer(const MediaScript& script, std::shared_ptr<PlayerRecord> r)
        : record(std::move(r)), calls(record->calls), positions(record->positions), m_script(script)
    {
    }

    std::shared_ptr<PlayerRecord> record;
    QStringList& calls;
    std::vector<double>& positions;
    MediaPlayerListener* listener = nullptr;
    double position = 0;

    // Moves the position as playback would.
    void playTo(double seconds) { position = seconds; }

    QString open(const QString& path) override
    {
        calls << "open " + path;
        return m_script.openError;
    }
    void Run() override { calls << QStringLiteral("Run"); }
    void Pause() override { calls << QStringLiteral("Pause"); }
    void Stop() override { calls << QStringLiteral("Stop"); }
    double CurrentPosition() const override { return position; }
    void setCurrentPosition(double seconds) override { positions.push_back(position = seconds); }
    double Duration() const override { return m_script.duration; }
    double AvgTimePerFrame() const override { return m_script.avgTimePerFrame; }
    bool hasPicture() const override { return m_script.picture; }
    void setVideoOutput(QObject*) override {}
    void setListener(MediaPlayerListener* l) override { listener = l; }
    void release() override
    {
        calls << QStringLiteral("release");
        listener = nullptr;
    }

private:
    MediaScript m_script;
};

// Installs itself for its lifetime; `last` is the player made most recently
// (it lives as long as the editor that asked for it).
class FakeMediaPlayerFactory : public MediaPlayerFactory {
public:
    FakeMediaPlayerFactory() { setMediaPlayerFactory(this); }
    ~FakeMediaPlayerFactory() override { setMediaPlayerFactory(nullptr); }

    MediaScript script;
    FakeMediaPlayer* last = nullptr; // valid while its editor is open
    std::shared_ptr<PlayerRecord> lastRecord;
    int created = 0;

    std::unique_ptr<MediaPlayer> create() override
    {
        lastRecord = std::make_shared<PlayerRecord>();
        auto player = std::make_unique<FakeMediaPlayer>(script, lastRecord);
        last = player.get();
        ++created;
        return player;
    }
};

} // namespace vimra::test
