#include "platform/gui/sound.h"

#include "platform/gui/audio_module.h"
#include "platform/gui/audio_player.h"

#include <QApplication>
#include <QFileInfo>
#include <QPointer>

#include <memory>

namespace {

// The players still alive. A player's media object blocks its signals while it is destroyed, so a guarded
// pointer, not the destroyed() signal, tells that it is gone.
QList<QPointer<AudioPlayer>> players;
std::function<void()> beepOverride;

void beep()
{
    if (beepOverride)
        beepOverride();
    else
        QApplication::beep();
}

} // namespace

void Sound::play(const QString &path)
{
    if (!QFileInfo(path).isFile()) {
        beep();
        return;
    }

    QString moduleError;
    AudioPlayer *player = AudioModule::createPlayer(QCoreApplication::instance(), &moduleError);
    if (!player) {
        qWarning("No sound: %s", qPrintable(moduleError));
        beep();
        return;
    }
    players.removeAll(nullptr);
    players.append(player);

    // The first of the end, an invalid file or an error releases the player; only the last two beep.
    const auto released = std::make_shared<bool>(false);
    const auto release = [player, released](bool failed) {
        if (*released)
            return;
        *released = true;
        if (failed)
            beep();
        player->deleteLater();
    };
    player->load(
        QFileInfo(path).absoluteFilePath(),
        [release](AudioPlayer::Status status) {
            if (status == AudioPlayer::Status::Ended)
                release(false);
            else if (status == AudioPlayer::Status::Invalid)
                release(true);
        },
        [release](int, const QString &) { release(true); });
    player->play();
}

int Sound::activeCount()
{
    players.removeAll(nullptr);
    return int(players.size());
}

void Sound::setBeep(std::function<void()> beep)
{
    beepOverride = std::move(beep);
}
