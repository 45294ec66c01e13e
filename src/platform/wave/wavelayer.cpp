// The wave-device layer: handles over devices, one header at a time, conversion through the
// mapper, and the notifications posted to their owner.

#include <QMetaObject>
#include <QPointer>
#include <QtEndian>
#include <map>
#include <memory>

#include "platform/wave/convertedsounds.h"
#include "platform/wave/converter.h"
#include "platform/wave/wave.h"
#include "platform/wave/wavedevice.h"

WAVEFORMATEX WAVEFORMATEX::Pcm(quint32 rate, quint16 bits, quint16 channels) {
    WAVEFORMATEX f;
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = channels;
    f.nSamplesPerSec = rate;
    f.wBitsPerSample = bits;
    f.nBlockAlign = quint16(channels * bits / 8);
    f.nAvgBytesPerSec = f.nBlockAlign * rate;
    f.cbSize = 0;
    return f;
}

bool WAVEFORMATEX::FromBlock(const QByteArray& block, WAVEFORMATEX* f) {
    if (block.size() < 14) return false;
    const char* p = block.constData();
    f->wFormatTag = qFromLittleEndian<quint16>(p);
    f->nChannels = qFromLittleEndian<quint16>(p + 2);
    f->nSamplesPerSec = qFromLittleEndian<quint32>(p + 4);
    f->nAvgBytesPerSec = qFromLittleEndian<quint32>(p + 8);
    f->nBlockAlign = qFromLittleEndian<quint16>(p + 12);
    f->wBitsPerSample = block.size() >= 16 ? qFromLittleEndian<quint16>(p + 14) : 8;
    f->cbSize = block.size() >= 18 ? qFromLittleEndian<quint16>(p + 16) : 0;
    return true;
}

namespace {
// Reads the header's samples, converted to the device's format, looping when asked. A sound
// played once before is not converted again.
class TOutSource : public QIODevice {
public:
    TOutSource(WAVEHDR* header, TWaveConverter* converter, const WAVEFORMATEX& from,
               const WAVEFORMATEX& to)
        : m_header(header), m_converter(converter), m_from(from), m_to(to) {
        m_loopsLeft = (header->dwFlags & WHDR_BEGINLOOP) ? header->dwLoops : 0;
        m_keep = m_loopsLeft == 0 && !converter->Identity();
        if (m_keep) {
            m_ready = TConvertedSounds::Find(from, to, Source());
            m_done = !m_ready.isNull();
            m_keep = !m_done;
        }
        open(QIODevice::ReadOnly | QIODevice::Unbuffered);  // atEnd() must see every byte
    }
    bool isSequential() const override { return true; }
    bool atEnd() const override { return m_done && m_readAt == m_ready.size(); }
    qint64 bytesAvailable() const override {
        return m_ready.size() - m_readAt + QIODevice::bytesAvailable();
    }

protected:
    qint64 readData(char* data, qint64 maxSize) override {
        while (m_ready.size() - m_readAt < maxSize && !m_done)
            Fill();
        const qint64 n = qMin<qint64>(maxSize, m_ready.size() - m_readAt);
        memcpy(data, m_ready.constData() + m_readAt, size_t(n));
        m_readAt += n;
        return n;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QByteArray Source() const {
        return QByteArray::fromRawData(m_header->lpData, qsizetype(m_header->dwBufferLength));
    }

    void Fill() {
        constexpr quint32 kChunk = 4096;
        const quint32 left = m_header->dwBufferLength - m_offset;
        if (left == 0) {
            if (m_loopsLeft > 0) {  // 0xFFFFFFFF loops until reset
                if (m_loopsLeft != 0xFFFFFFFF) --m_loopsLeft;
                m_offset = 0;
                return;
            }
            m_ready += m_converter->Convert({}, true);
            m_done = true;
            // Kept whole (nothing read has been dropped from it yet when it is kept).
            if (m_keep) TConvertedSounds::Keep(m_from, m_to, Source(), m_ready);
            return;
        }
        const quint32 n = qMin(left, kChunk);
        if (!m_keep && m_readAt > 0) m_ready.remove(0, std::exchange(m_readAt, 0));
        m_ready += m_converter->Convert(QByteArray(m_header->lpData + m_offset, n));
        m_offset += n;
    }

    WAVEHDR* m_header;
    TWaveConverter* m_converter;
    WAVEFORMATEX m_from;
    WAVEFORMATEX m_to;
    quint32 m_offset = 0;
    quint32 m_loopsLeft = 0;
    bool m_done = false;
    bool m_keep = false;  // the whole converted sound is gathered to be kept
    QByteArray m_ready;
    qint64 m_readAt = 0;  // what has been read of m_ready
};

// Takes what the device captures, converted to the program's format, into the header.
class TInSink : public QIODevice {
public:
    TInSink(WAVEHDR* header, TWaveConverter* converter, std::function<void()> full)
        : m_header(header), m_converter(converter), m_full(std::move(full)) {
        open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    }
    bool isSequential() const override { return true; }
    // The end of the recording: the last few milliseconds the resampler still holds come out.
    void close() override {
        if (isOpen()) Take(m_converter->Convert({}, true));
        QIODevice::close();
    }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override {
        if (m_header->dwBytesRecorded < m_header->dwBufferLength)
            Take(m_converter->Convert(QByteArray::fromRawData(data, size)));
        return size;
    }

private:
    void Take(const QByteArray& converted) {
        const quint32 room = m_header->dwBufferLength - m_header->dwBytesRecorded;
        const quint32 n = qMin<quint32>(room, quint32(converted.size()));
        memcpy(m_header->lpData + m_header->dwBytesRecorded, converted.constData(), n);
        m_header->dwBytesRecorded += n;
        if (m_header->dwBytesRecorded >= m_header->dwBufferLength && m_full) {
            auto full = std::exchange(m_full, nullptr);
            QMetaObject::invokeMethod(this, full, Qt::QueuedConnection);
        }
    }

    WAVEHDR* m_header;
    TWaveConverter* m_converter;
    std::function<void()> m_full;
};

struct THandle {
    TWaveDevice* Device = nullptr;
    bool Output = true;
    WAVEFORMATEX Client;
    WAVEFORMATEX Native;
    QPointer<QObject> Target;
    std::function<void(quint32, quint32)> Notify;
    quint32 Id = 0;
    std::unique_ptr<TWaveConverter> Converter;
    std::unique_ptr<QIODevice> Stream;
    WAVEHDR* Header = nullptr;
    bool Running = false;
    bool Started = false;  // input: waveInStart was called
};

std::map<quint32, std::unique_ptr<THandle>> g_handles;
quint32 g_next = 1;
// The converter of the last recording, kept for the next: every caller's voice is converted
// from the same modem format into the same message format.
std::unique_ptr<TWaveConverter> g_recorder;

std::unique_ptr<TWaveConverter> RecorderConverter(const WAVEFORMATEX& from,
                                                  const WAVEFORMATEX& to) {
    if (g_recorder && g_recorder->Converts(from, to)) {
        g_recorder->Reset();
        return std::move(g_recorder);
    }
    return std::make_unique<TWaveConverter>(from, to);
}

THandle* Handle(quint32 id, bool output) {
    auto it = g_handles.find(id);
    return it != g_handles.end() && it->second->Output == output ? it->second.get() : nullptr;
}

void Post(THandle* h, quint32 message) {
    if (!h->Target || !h->Notify) return;
    auto notify = h->Notify;
    const quint32 id = h->Id;
    QMetaObject::invokeMethod(
        h->Target, [notify, message, id] { notify(message, id); }, Qt::QueuedConnection);
}

bool InUse(TWaveDevice* device) {
    for (const auto& [id, h] : g_handles)
        if (h->Device == device) return true;
    return false;
}

MMRESULT Open(quint32* handle, int deviceId, const WAVEFORMATEX* format,
              const TWaveCallback* callback, quint32 flags, bool output) {
    if (!format) return MMSYSERR_INVALPARAM;
    TWaveDevice* device = TWaveDevices::Find(deviceId, output);
    if (!device) return MMSYSERR_BADDEVICEID;
    WAVEFORMATEX native;
    if (!device->NativeFormat(*format, &native)) return MMSYSERR_NODRIVER;
    const bool mapped = deviceId == WAVE_MAPPER || (flags & WAVE_MAPPED);
    if (!TWaveConverter::Supported(*format) || (!mapped && !(native == *format)))
        return WAVERR_BADFORMAT;
    auto converter = output ? std::make_unique<TWaveConverter>(*format, native)
                            : std::make_unique<TWaveConverter>(native, *format);
    if (!converter->Valid()) return WAVERR_BADFORMAT;
    if (InUse(device)) return MMSYSERR_ALLOCATED;
    if (flags & WAVE_FORMAT_QUERY) return MMSYSERR_NOERROR;
    if (!handle) return MMSYSERR_INVALPARAM;
    auto h = std::make_unique<THandle>();
    h->Device = device;
    h->Output = output;
    h->Client = *format;
    h->Native = native;
    if (callback) {
        h->Target = callback->Target;
        h->Notify = callback->Notify;
    }
    h->Converter = std::move(converter);
    *handle = h->Id = g_next++;
    Post(h.get(), output ? MM_WOM_OPEN : MM_WIM_OPEN);
    g_handles[*handle] = std::move(h);
    return MMSYSERR_NOERROR;
}

void Finish(THandle* h, quint32 message) {
    if (!h->Running) return;
    h->Running = false;
    h->Device->Stop();
    if (!h->Output && h->Stream) h->Stream->close();
    if (h->Header) {
        h->Header->dwFlags = (h->Header->dwFlags | WHDR_DONE) & ~quint32(WHDR_INQUEUE);
        Post(h, message);
    }
}

MMRESULT Prepare(quint32 id, WAVEHDR* header, bool output) {
    if (!Handle(id, output)) return MMSYSERR_INVALHANDLE;
    if (!header || !header->lpData) return MMSYSERR_INVALPARAM;
    header->dwFlags |= WHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

MMRESULT Unprepare(quint32 id, WAVEHDR* header, bool output) {
    if (!Handle(id, output)) return MMSYSERR_INVALHANDLE;
    if (!header) return MMSYSERR_INVALPARAM;
    if (header->dwFlags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
    header->dwFlags &= ~quint32(WHDR_PREPARED);
    return MMSYSERR_NOERROR;
}

MMRESULT Close(quint32 id, bool output) {
    THandle* h = Handle(id, output);
    if (!h) return MMSYSERR_INVALHANDLE;
    if (h->Running) return WAVERR_STILLPLAYING;
    if (!output && h->Stream) g_recorder = std::move(h->Converter);  // its recording is over
    Post(h, output ? MM_WOM_CLOSE : MM_WIM_CLOSE);
    g_handles.erase(id);
    return MMSYSERR_NOERROR;
}
}  // namespace

MMRESULT waveOutOpen(HWAVEOUT* handle, int device, const WAVEFORMATEX* format,
                     const TWaveCallback* callback, quint32 flags) {
    return Open(handle, device, format, callback, flags, true);
}

MMRESULT waveOutPrepareHeader(HWAVEOUT handle, WAVEHDR* header) {
    return Prepare(handle, header, true);
}

MMRESULT waveOutWrite(HWAVEOUT handle, WAVEHDR* header) {
    THandle* h = Handle(handle, true);
    if (!h) return MMSYSERR_INVALHANDLE;
    if (!header || !(header->dwFlags & WHDR_PREPARED)) return WAVERR_UNPREPARED;
    if (h->Running) return WAVERR_STILLPLAYING;
    header->dwFlags = (header->dwFlags & ~quint32(WHDR_DONE)) | WHDR_INQUEUE;
    h->Header = header;
    h->Converter = std::make_unique<TWaveConverter>(h->Client, h->Native);
    h->Stream = std::make_unique<TOutSource>(header, h->Converter.get(), h->Client, h->Native);
    h->Running = true;
    const MMRESULT started = h->Device->Start(h->Stream.get(), h->Native, [handle] {
        if (THandle* done = Handle(handle, true)) Finish(done, MM_WOM_DONE);
    });
    if (started != MMSYSERR_NOERROR) {
        h->Running = false;
        header->dwFlags &= ~quint32(WHDR_INQUEUE);
    }
    return started;
}

MMRESULT waveOutReset(HWAVEOUT handle) {
    THandle* h = Handle(handle, true);
    if (!h) return MMSYSERR_INVALHANDLE;
    Finish(h, MM_WOM_DONE);
    return MMSYSERR_NOERROR;
}

MMRESULT waveOutUnprepareHeader(HWAVEOUT handle, WAVEHDR* header) {
    return Unprepare(handle, header, true);
}

MMRESULT waveOutClose(HWAVEOUT handle) {
    return Close(handle, true);
}

MMRESULT waveOutGetPosition(HWAVEOUT handle, quint32* bytes) {
    THandle* h = Handle(handle, true);
    if (!h) return MMSYSERR_INVALHANDLE;
    if (!bytes) return MMSYSERR_INVALPARAM;
    // Bytes played, in the program's own format.
    const double scale =
        double(h->Client.nAvgBytesPerSec) / qMax<quint32>(h->Native.nAvgBytesPerSec, 1);
    quint32 position = h->Running ? quint32(h->Device->Processed() * scale) : 0;
    position -= position % qMax<quint16>(h->Client.nBlockAlign, 1);
    *bytes = position;
    return MMSYSERR_NOERROR;
}

MMRESULT waveOutGetVolume(HWAVEOUT handle, quint32* volume) {
    if (!volume) return MMSYSERR_INVALPARAM;
    if (handle == 0) return waveOutGetDeviceVolume(WAVE_MAPPER, volume);
    THandle* h = Handle(handle, true);
    return h ? h->Device->GetVolume(volume) : MMSYSERR_INVALHANDLE;
}

MMRESULT waveOutSetVolume(HWAVEOUT handle, quint32 volume) {
    if (handle == 0) {
        TWaveDevice* device = TWaveDevices::Find(WAVE_MAPPER, true);
        return device ? device->SetVolume(volume) : MMSYSERR_NODRIVER;
    }
    THandle* h = Handle(handle, true);
    return h ? h->Device->SetVolume(volume) : MMSYSERR_INVALHANDLE;
}

MMRESULT waveOutGetDeviceVolume(int device, quint32* volume) {
    TWaveDevice* found = TWaveDevices::Find(device, true);
    if (!found) return MMSYSERR_NODRIVER;
    return found->GetVolume(volume);
}

QString waveOutGetErrorText(MMRESULT error) {
    switch (error) {
        case MMSYSERR_NOERROR:
            return QStringLiteral("The command was carried out.");
        case MMSYSERR_ERROR:
            return QStringLiteral("An undefined error occurred.");
        case MMSYSERR_BADDEVICEID:
            return QStringLiteral("There is no sound device with that number.");
        case MMSYSERR_NOTENABLED:
            return QStringLiteral("The sound driver is not enabled.");
        case MMSYSERR_ALLOCATED:
            return QStringLiteral("The sound device is already in use.");
        case MMSYSERR_INVALHANDLE:
            return QStringLiteral("The specified device handle is invalid.");
        case MMSYSERR_NODRIVER:
            return QStringLiteral("No sound driver is available.");
        case MMSYSERR_NOMEM:
            return QStringLiteral("There is not enough memory for this sound.");
        case MMSYSERR_NOTSUPPORTED:
            return QStringLiteral("The sound device does not support this function.");
        case MMSYSERR_INVALFLAG:
            return QStringLiteral("An invalid flag was passed.");
        case MMSYSERR_INVALPARAM:
            return QStringLiteral("An invalid parameter was passed.");
        case WAVERR_BADFORMAT:
            return QStringLiteral("The sound format is not supported.");
        case WAVERR_STILLPLAYING:
            return QStringLiteral("The sound is still playing.");
        case WAVERR_UNPREPARED:
            return QStringLiteral("The sound buffer was not prepared.");
        default:
            return QStringLiteral("Unknown sound error.");
    }
}

MMRESULT waveInOpen(HWAVEIN* handle, int device, const WAVEFORMATEX* format,
                    const TWaveCallback* callback, quint32 flags) {
    return Open(handle, device, format, callback, flags, false);
}

MMRESULT waveInPrepareHeader(HWAVEIN handle, WAVEHDR* header) {
    return Prepare(handle, header, false);
}

MMRESULT waveInAddBuffer(HWAVEIN handle, WAVEHDR* header) {
    THandle* h = Handle(handle, false);
    if (!h) return MMSYSERR_INVALHANDLE;
    if (!header || !(header->dwFlags & WHDR_PREPARED)) return WAVERR_UNPREPARED;
    header->dwBytesRecorded = 0;
    header->dwFlags = (header->dwFlags & ~quint32(WHDR_DONE)) | WHDR_INQUEUE;
    h->Header = header;
    return MMSYSERR_NOERROR;
}

MMRESULT waveInStart(HWAVEIN handle) {
    THandle* h = Handle(handle, false);
    if (!h) return MMSYSERR_INVALHANDLE;
    if (!h->Header || h->Running) return MMSYSERR_NOERROR;
    h->Converter = RecorderConverter(h->Native, h->Client);
    h->Stream = std::make_unique<TInSink>(h->Header, h->Converter.get(), [handle] {
        if (THandle* full = Handle(handle, false)) Finish(full, MM_WIM_DATA);
    });
    h->Running = true;
    // A device that ends by itself (the caller hung up) hands back what it has.
    const MMRESULT started = h->Device->Start(h->Stream.get(), h->Native, [handle] {
        if (THandle* ended = Handle(handle, false)) Finish(ended, MM_WIM_DATA);
    });
    if (started != MMSYSERR_NOERROR) h->Running = false;
    return started;
}

MMRESULT waveInReset(HWAVEIN handle) {
    THandle* h = Handle(handle, false);
    if (!h) return MMSYSERR_INVALHANDLE;
    Finish(h, MM_WIM_DATA);
    return MMSYSERR_NOERROR;
}

MMRESULT waveInUnprepareHeader(HWAVEIN handle, WAVEHDR* header) {
    return Unprepare(handle, header, false);
}

MMRESULT waveInClose(HWAVEIN handle) {
    return Close(handle, false);
}
