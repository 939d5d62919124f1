#include "segments/QtMediaPlayer.h"

#include "platform/MediaDetector.h"

#include <QAudioDevice>
#include <QAudioOutput>
#include <QFileInfo>
#include <QMediaDevices>
#include <QMediaPlayer>
#include <QUrl>

#include <cmath>

namespace vimra {

QtMediaPlayer::QtMediaPlayer() = default;

QtMediaPlayer::~QtMediaPlayer() { release(); }

bool QtMediaPlayer::backendAvailable()
{
    QMediaPlayer probe;
    return probe.isAvailable();
}

QString QtMediaPlayer::open(const QString& path)
{
    release();
    if (!QFileInfo(path).isFile())
        return path + QStringLiteral(" not found");
    m_duration = mediaDetector().streamLength(path);
    if (m_duration <= 0)
        return QStringLiteral("%1 cannot be played: it holds no audio or video that can be read.").arg(path);
    m_picture = !mediaDetector().videoSize(path).isEmpty();
    const double rate = mediaDetector().frameRate(path);
    m_avgTimePerFrame = m_picture && rate > 0 ? 1.0 / rate : 0.0;

    m_player = new QMediaPlayer(this);
    // With no sound device the player plays silently; an output would fail.
    if (!QMediaDevices::audioOutputs().isEmpty()) {
        m_audio = new QAudioOutput(m_player);
        m_player->setAudioOutput(m_audio);
    }
    if (m_output)
        m_player->setVideoOutput(m_output);
    connect(m_player, &QMediaPlayer::mediaStatusChanged, this, [this](QMediaPlayer::MediaStatus status) {
        if (status == QMediaPlayer::LoadedMedia && !m_loaded)
            onLoaded();
        else if (status == QMediaPlayer::BufferedMedia)
            applyPendingSeek();
        else if (status == QMediaPlayer::EndOfMedia) {
            m_position = m_duration;
            m_state = State::Paused;
            if (m_listener)
                m_listener->mediaEnded();
        }
    });
    connect(m_player, &QMediaPlayer::positionChanged, this, [this] { m_seekInFlight = false; });
    // The back end ignores a seek until the paused media can seek.
    connect(m_player, &QMediaPlayer::seekableChanged, this, [this](bool seekable) {
        if (seekable)
            applyPendingSeek();
    });
    connect(m_player, &QMediaPlayer::errorOccurred, this,
            [this](QMediaPlayer::Error, const QString& text) { onError(text); });
    m_player->setSource(QUrl::fromLocalFile(path));
    return {};
}

void QtMediaPlayer::onLoaded()
{
    m_loaded = true;
    if (m_state == State::Paused)
        m_player->pause();
    else if (m_state == State::Playing)
        m_player->play();
    if (m_player->isSeekable())
        applyPendingSeek();
}

void QtMediaPlayer::applyPendingSeek()
{
    if (!m_pendingSeek)
        return;
    m_player->setPosition(std::llround(*m_pendingSeek * 1000));
    m_pendingSeek.reset();
}

void QtMediaPlayer::onError(const QString& text)
{
    if (m_failed)
        return;
    m_position = CurrentPosition();
    m_failed = true;
    m_state = State::Paused;
    if (m_listener)
        m_listener->playbackError(text.isEmpty() ? QStringLiteral("The media cannot be played.") : text);
}

void QtMediaPlayer::Run()
{
    if (!m_player || m_failed)
        return;
    m_state = State::Playing;
    if (m_loaded)
        m_player->play();
}

void QtMediaPlayer::Pause()
{
    if (!m_player || m_failed)
        return;
    m_position = CurrentPosition();
    m_state = State::Paused;
    if (m_loaded)
        m_player->pause();
}

void QtMediaPlayer::Stop()
{
    if (!m_player || m_failed)
        return;
    m_state = State::Stopped;
    m_position = 0;
    m_pendingSeek.reset();
    m_player->stop();
}

double QtMediaPlayer::CurrentPosition() const
{
    if (m_player && m_loaded && !m_failed && m_state == State::Playing && !m_seekInFlight)
        return m_player->position() / 1000.0;
    return m_position;
}

void QtMediaPlayer::setCurrentPosition(double seconds)
{
    m_position = seconds;
    if (!m_player || m_failed)
        return;
    if (m_loaded && m_player->isSeekable()) {
        m_seekInFlight = true;
        m_player->setPosition(std::llround(seconds * 1000));
    } else {
        m_pendingSeek = seconds;
    }
}

void QtMediaPlayer::setVideoOutput(QObject* output)
{
    m_output = output;
    if (m_player)
        m_player->setVideoOutput(output);
}

void QtMediaPlayer::release()
{
    if (m_player) {
        m_player->disconnect(this);
        m_player->stop();
        m_player->setVideoOutput(static_cast<QObject*>(nullptr));
        // Deleted later: release may be asked from inside one of its reports.
        m_player->deleteLater();
    }
    m_player = nullptr;
    m_audio = nullptr;
    m_loaded = m_failed = m_seekInFlight = false;
    m_state = State::Stopped;
    m_position = 0;
    m_pendingSeek.reset();
}

QtMediaPlayerFactory::QtMediaPlayerFactory()
{
    // The GStreamer back end plays silently without a sound device.
    if (qEnvironmentVariableIsEmpty("QT_MEDIA_BACKEND"))
        qputenv("QT_MEDIA_BACKEND", "gstreamer");
}

std::unique_ptr<MediaPlayer> QtMediaPlayerFactory::create() { return std::make_unique<QtMediaPlayer>(); }

} // namespace vimra
