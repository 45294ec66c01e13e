#pragma once
// The last few sounds played through the mapper, kept in the format of the device they went
// to: the greeting and the beep that every caller hears are converted (resampled) once, not
// on every call. A sound is known by its formats and its whole content, never by its name,
// so an edited greeting is converted again.

#include <QByteArray>

#include "platform/wave/wave.h"

class TConvertedSounds {
public:
    // The converted sound, or null when it is not kept.
    static QByteArray Find(const WAVEFORMATEX& from, const WAVEFORMATEX& to,
                           const QByteArray& source);
    static void Keep(const WAVEFORMATEX& from, const WAVEFORMATEX& to, const QByteArray& source,
                     const QByteArray& converted);
    static void Clear();
};
