#include "platform/gui/mp3_length.h"

#include "platform/gui/audio_player.h"
#include "platform/program_module.h"

Mp3Length Mp3Length::measure(const QString &path)
{
    QString moduleError;
    const auto measure = reinterpret_cast<Mp3Measure>(
        ProgramModule::resolve(QStringLiteral("quillet-audio"), mp3MeasureSymbol, &moduleError));
    if (!measure)
        return {0, AudioPlayer::ResourceError,
                QStringLiteral("The sound device cannot be opened: %1").arg(moduleError)};
    return measure(path);
}
