#include "alarm/alarm_sound.h"

#include "alarm/cmx_mp3.h"
#include "base/app_error.h"
#include "platform/gui/sound.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTimer>

#include <memory>
#include <vector>

namespace {

std::vector<std::unique_ptr<TcmxMP3>> &players()
{
    static std::vector<std::unique_ptr<TcmxMP3>> list;
    return list;
}

TcmxMP3 *latest = nullptr;

// Later, from the event loop: the player is still inside its own end event when it asks.
void release(TcmxMP3 *player)
{
    QTimer::singleShot(0, [player] {
        auto &list = players();
        std::erase_if(list, [player](const std::unique_ptr<TcmxMP3> &p) { return p.get() == player; });
        if (latest == player)
            latest = nullptr;
    });
}

} // namespace

namespace AlarmSound {

QString kindOf(const QString &path)
{
    const QString name = QFileInfo(path).fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.mid(dot).toLower();
}

void start(const QString &path, const std::function<void(const QString &message)> &failed)
{
    const QString kind = kindOf(path);
    if (kind == QLatin1String(".wav")) {
        Sound::play(path);
        return;
    }
    if (kind != QLatin1String(".mp3"))
        return;
    const auto report = [failed](const QString &message) {
        QTimer::singleShot(0, QCoreApplication::instance(), [failed, message] { failed(message); });
    };
    TcmxMP3 *raw = nullptr;
    try {
        auto player = std::make_unique<TcmxMP3>(path);
        raw = player.get();
        raw->OnPlayEnd = [](TcmxMP3 *sender) { release(sender); };
        raw->OnPlayError = [report](TcmxMP3 *sender, const QString &message) {
            release(sender);
            report(message);
        };
        players().push_back(std::move(player));
        raw->Play();
        latest = raw;
    } catch (const AppError &error) {
        if (raw)
            release(raw);
        report(error.message());
    }
}

void stopAlarmPlayer()
{
    if (!latest)
        return;
    latest->Stop();
    release(latest);
    latest = nullptr;
}

TcmxMP3 *alarmPlayer()
{
    return latest;
}

int playerCount()
{
    return int(players().size());
}

} // namespace AlarmSound
