#pragma once
// What a wave device implements: a stream in the device's own format. An output device pulls
// bytes from the layer's source until the source is exhausted; an input device pushes what it
// captures into the layer's sink. Sound cards, the modem's voice channel and the test devices
// are devices; the registry gives each its ID.

#include <QIODevice>
#include <QList>
#include <QString>
#include <functional>

#include "platform/wave/wave.h"

class TWaveDevice {
public:
    virtual ~TWaveDevice() = default;
    virtual QString Name() const = 0;
    virtual bool IsOutput() const = 0;
    // The format the device takes for the requested one: the same when it takes it as it is.
    // False when the device cannot be used at all (no driver, not enabled).
    virtual bool NativeFormat(const WAVEFORMATEX& requested, WAVEFORMATEX* native) const = 0;
    // Output: reads io (which says atEnd() when the layer has no more) and calls Drained when
    // everything read has been played. Input: writes what it captures to io.
    virtual MMRESULT Start(QIODevice* io, const WAVEFORMATEX& native,
                           std::function<void()> drained) = 0;
    virtual void Stop() = 0;
    // Bytes played or captured since Start, in the native format.
    virtual qint64 Processed() const = 0;
    virtual MMRESULT GetVolume(quint32*) { return MMSYSERR_NOTSUPPORTED; }
    virtual MMRESULT SetVolume(quint32) { return MMSYSERR_NOTSUPPORTED; }
};

// Device IDs: 0.. the sound card outputs or inputs in the system's order, -1 the default;
// registered devices (the modem's voice channels, test devices) 1000 and up.
class TWaveDevices {
public:
    static TWaveDevice* Find(int id, bool output);
    static void Register(int id, TWaveDevice* device);  // not owned
    static void Unregister(int id);
    static QStringList SoundCardNames(bool output);
};
