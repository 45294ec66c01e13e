#pragma once
// The wave-device layer: the playback and recording operations CtWave calls, in the shape
// and with the result codes of the classic wave audio API. One buffer (header) at a time is
// played or filled; the six MM_WOM_/MM_WIM_ notifications are posted to the owner's target
// through the Qt event loop, never delivered from inside the call that caused them.

#include <QByteArray>
#include <QObject>
#include <QString>
#include <functional>

using HWAVEOUT = quint32;
using HWAVEIN = quint32;
using MMRESULT = quint32;

enum : MMRESULT {
    MMSYSERR_NOERROR = 0,
    MMSYSERR_ERROR = 1,
    MMSYSERR_BADDEVICEID = 2,
    MMSYSERR_NOTENABLED = 3,
    MMSYSERR_ALLOCATED = 4,
    MMSYSERR_INVALHANDLE = 5,
    MMSYSERR_NODRIVER = 6,
    MMSYSERR_NOMEM = 7,
    MMSYSERR_NOTSUPPORTED = 8,
    MMSYSERR_INVALFLAG = 10,
    MMSYSERR_INVALPARAM = 11,
    WAVERR_BADFORMAT = 32,
    WAVERR_STILLPLAYING = 33,
    WAVERR_UNPREPARED = 34,
};

constexpr int WAVE_MAPPER = -1;
enum : quint32 {
    WAVE_FORMAT_QUERY = 0x1,
    WAVE_MAPPED = 0x4,
    CALLBACK_WINDOW = 0x10000,
};
enum : quint32 {
    WHDR_DONE = 0x1,
    WHDR_PREPARED = 0x2,
    WHDR_BEGINLOOP = 0x4,
    WHDR_ENDLOOP = 0x8,
    WHDR_INQUEUE = 0x10,
};
enum : quint32 {
    MM_WOM_OPEN = 0x3BB,
    MM_WOM_CLOSE = 0x3BC,
    MM_WOM_DONE = 0x3BD,
    MM_WIM_OPEN = 0x3BE,
    MM_WIM_CLOSE = 0x3BF,
    MM_WIM_DATA = 0x3C0,
};
constexpr quint16 WAVE_FORMAT_PCM = 1;
constexpr quint16 WAVE_FORMAT_ALAW = 6;
constexpr quint16 WAVE_FORMAT_MULAW = 7;

struct WAVEFORMATEX {
    quint16 wFormatTag = WAVE_FORMAT_PCM;
    quint16 nChannels = 1;
    quint32 nSamplesPerSec = 11025;
    quint32 nAvgBytesPerSec = 11025;
    quint16 nBlockAlign = 1;
    quint16 wBitsPerSample = 8;
    quint16 cbSize = 0;

    static WAVEFORMATEX Pcm(quint32 rate, quint16 bits, quint16 channels);
    // Read from a format block as stored in a file's "fmt " chunk (at least 14 bytes).
    static bool FromBlock(const QByteArray& block, WAVEFORMATEX* format);
    bool operator==(const WAVEFORMATEX&) const = default;
};

struct WAVEHDR {
    char* lpData = nullptr;
    quint32 dwBufferLength = 0;
    quint32 dwBytesRecorded = 0;
    quint32 dwFlags = 0;
    quint32 dwLoops = 0;
};

// Where notifications go: called on the GUI thread with the message and the handle it is
// about, through the event loop. The target QObject bounds their life: once it is gone
// nothing is delivered.
struct TWaveCallback {
    QObject* Target = nullptr;
    std::function<void(quint32 message, quint32 handle)> Notify;
};

MMRESULT waveOutOpen(HWAVEOUT* handle, int device, const WAVEFORMATEX* format,
                     const TWaveCallback* callback, quint32 flags);
MMRESULT waveOutPrepareHeader(HWAVEOUT handle, WAVEHDR* header);
MMRESULT waveOutWrite(HWAVEOUT handle, WAVEHDR* header);
MMRESULT waveOutReset(HWAVEOUT handle);
MMRESULT waveOutUnprepareHeader(HWAVEOUT handle, WAVEHDR* header);
MMRESULT waveOutClose(HWAVEOUT handle);
MMRESULT waveOutGetPosition(HWAVEOUT handle, quint32* bytes);
MMRESULT waveOutGetVolume(HWAVEOUT handle, quint32* volume);
MMRESULT waveOutSetVolume(HWAVEOUT handle, quint32 volume);
QString waveOutGetErrorText(MMRESULT error);
// The volume of a device not opened by this program (the handle form takes an open one).
MMRESULT waveOutGetDeviceVolume(int device, quint32* volume);

MMRESULT waveInOpen(HWAVEIN* handle, int device, const WAVEFORMATEX* format,
                    const TWaveCallback* callback, quint32 flags);
MMRESULT waveInPrepareHeader(HWAVEIN handle, WAVEHDR* header);
MMRESULT waveInAddBuffer(HWAVEIN handle, WAVEHDR* header);
MMRESULT waveInStart(HWAVEIN handle);
MMRESULT waveInReset(HWAVEIN handle);
MMRESULT waveInUnprepareHeader(HWAVEIN handle, WAVEHDR* header);
MMRESULT waveInClose(HWAVEIN handle);
