#pragma once

#include <QString>

class AudioPlayer;
class QObject;

// The library that plays sounds, loaded the first time a sound is played.
class AudioModule {
public:
    // A new player, child of parent; nullptr when the module cannot be loaded, and errorText then says why.
    static AudioPlayer *createPlayer(QObject *parent, QString *errorText);
};
