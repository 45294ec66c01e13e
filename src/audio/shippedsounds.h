#pragma once
// The program's own sounds (beep, remote retrieval prompts, default greetings, ring), shipped
// inside the program and copied into their folders under the start-up folder when missing.

#include <QStringList>

// The files copied, as "Folder/name.wav"; an existing file is never overwritten.
QStringList InstallShippedSounds();
QStringList ShippedSoundNames();
