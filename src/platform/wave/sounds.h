#pragma once
// Notify and ring sounds on the computer's speakers (the default output), fire and forget:
// Play cuts a sound already playing, PlayNoStop leaves it and does nothing. Nothing waits for a
// sound to end. Tests replace the player.

#include <QString>

class TSoundPlayer {
public:
    virtual ~TSoundPlayer() = default;
    // False when the file cannot be read or played.
    virtual bool Play(const QString& file, bool cutCurrent) = 0;
};

TSoundPlayer& Sounds();
void SetSounds(TSoundPlayer* player);  // not owned; nullptr restores the speaker player

// The asynchronous uses: sndPlaySound with SND_ASYNC, and with SND_ASYNC | SND_NOSTOP.
bool PlaySoundAsync(const QString& file);
bool PlaySoundNoStop(const QString& file);
