#include "platform/gui/audio_module.h"

#include "platform/gui/audio_player.h"
#include "platform/program_module.h"

AudioPlayer *AudioModule::createPlayer(QObject *parent, QString *errorText)
{
    const auto factory = reinterpret_cast<AudioPlayerFactory>(
        ProgramModule::resolve(QStringLiteral("quillet-audio"), audioPlayerFactorySymbol, errorText));
    return factory ? factory(parent) : nullptr;
}
