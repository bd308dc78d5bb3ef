#include "platform/gui/media.h"

#include "platform/gui/audio_module.h"
#include "platform/gui/audio_player.h"

#include <QFileInfo>
#include <QTimer>

Media::Media(QObject *parent)
    : QObject(parent)
{}

Media::~Media()
{
    close();
}

bool Media::open(const QString &path)
{
    close();
    m_errorCode = 0;
    m_errorText.clear();
    if (!QFileInfo(path).isFile()) {
        setError(AudioPlayer::ResourceError, QStringLiteral("The file %1 cannot be found").arg(path));
        return false;
    }

    // A player of its own for each file: stopping one leaves nothing behind that could report later.
    QString moduleError;
    m_player = AudioModule::createPlayer(this, &moduleError);
    if (!m_player) {
        setError(AudioPlayer::ResourceError, QStringLiteral("The sound device cannot be opened: %1").arg(moduleError));
        return false;
    }
    const quint64 generation = ++m_generation;
    const auto fail = [this, generation](int code, const QString &text) {
        setError(code, text);
        deliver(generation, [this, code, text] {
            close();
            emit failed(code, text);
        });
    };
    const auto statusChanged = [this, generation, path, fail](AudioPlayer::Status status) {
        if (status == AudioPlayer::Status::Ended)
            deliver(generation, [this] { emit endReached(); });
        else if (status == AudioPlayer::Status::Invalid && m_errorCode == 0)
            fail(AudioPlayer::FormatError, QStringLiteral("The file %1 cannot be played").arg(path));
    };
    // A back end that never finishes loading would leave the device open and silent for good.
    QTimer::singleShot(openTimeoutMs, m_player, [this, path, fail] {
        if (m_player && m_player->status() == AudioPlayer::Status::Loading)
            fail(AudioPlayer::ResourceError, QStringLiteral("The file %1 did not load").arg(path));
    });
    m_player->load(QFileInfo(path).absoluteFilePath(), statusChanged, fail);
    return true;
}

void Media::close()
{
    if (!m_player)
        return;
    m_player->detach();
    m_player->stop();
    // The back end may still be inside a call of this player, so it goes when control is back in the event loop.
    m_player->deleteLater();
    m_player = nullptr;
}

void Media::play()
{
    if (m_player)
        m_player->play();
}

void Media::stop()
{
    if (m_player)
        m_player->stop();
}

void Media::pause()
{
    if (m_player)
        m_player->pause();
}

void Media::resume()
{
    if (m_player && m_player->state() == AudioPlayer::State::Paused)
        m_player->play();
}

Media::Mode Media::mode() const
{
    if (!m_player)
        return Mode::Closed;
    switch (m_player->state()) {
    case AudioPlayer::State::Playing:
        return Mode::Playing;
    case AudioPlayer::State::Paused:
        return Mode::Paused;
    case AudioPlayer::State::Stopped:
        break;
    }
    const AudioPlayer::Status status = m_player->status();
    return status == AudioPlayer::Status::Loading || status == AudioPlayer::Status::NoMedia ? Mode::NotReady
                                                                                            : Mode::Stopped;
}

qint64 Media::positionMs() const
{
    return m_player ? m_player->positionMs() : 0;
}

void Media::setError(int code, const QString &text)
{
    m_errorCode = code;
    m_errorText = text;
}

void Media::deliver(quint64 generation, const std::function<void()> &emitSignal)
{
    // Queued, so that handlers (which may close or reopen this device) never run inside the back end's call.
    QMetaObject::invokeMethod(
        this,
        [this, generation, emitSignal] {
            if (m_player && generation == m_generation)
                emitSignal();
        },
        Qt::QueuedConnection);
}
