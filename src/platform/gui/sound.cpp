#include "platform/gui/sound.h"

#include <QApplication>
#include <QAudioOutput>
#include <QFileInfo>
#include <QMediaPlayer>
#include <QPointer>
#include <QUrl>

#include <memory>

namespace {

// The players still alive. A QMediaPlayer blocks its signals while it is destroyed, so a guarded pointer, not
// its destroyed() signal, tells that it is gone.
QList<QPointer<QMediaPlayer>> players;
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

    auto *player = new QMediaPlayer(QCoreApplication::instance());
    player->setAudioOutput(new QAudioOutput(player));
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
    QObject::connect(player, &QMediaPlayer::mediaStatusChanged, player, [release](QMediaPlayer::MediaStatus status) {
        if (status == QMediaPlayer::EndOfMedia)
            release(false);
        else if (status == QMediaPlayer::InvalidMedia)
            release(true);
    });
    QObject::connect(player, &QMediaPlayer::errorOccurred, player, [release] { release(true); });
    player->setSource(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
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
