#include "platform/wave/soundcard.h"

#include <QMediaDevices>
#include <map>

namespace {
QAudioFormat ToQt(const WAVEFORMATEX& f) {
    QAudioFormat format;
    format.setSampleRate(int(f.nSamplesPerSec));
    format.setChannelCount(f.nChannels);
    format.setSampleFormat(f.wBitsPerSample == 8 ? QAudioFormat::UInt8 : QAudioFormat::Int16);
    return format;
}

quint32 BothChannels(float level) {
    const quint32 word = quint32(qBound(0.0f, level, 1.0f) * 0xFFFF);
    return word | (word << 16);
}
}  // namespace

bool TSoundCard::NativeFormat(const WAVEFORMATEX& requested, WAVEFORMATEX* native) const {
    if (m_device.isNull()) return false;
    if (requested.wFormatTag == WAVE_FORMAT_PCM && m_device.isFormatSupported(ToQt(requested))) {
        *native = requested;
        return true;
    }
    const QAudioFormat preferred = m_device.preferredFormat();
    const quint16 channels = quint16(qBound(1, preferred.channelCount(), 2));
    for (quint16 bits : {quint16(16), quint16(8)}) {
        const WAVEFORMATEX candidate =
            WAVEFORMATEX::Pcm(quint32(preferred.sampleRate()), bits, channels);
        if (m_device.isFormatSupported(ToQt(candidate))) {
            *native = candidate;
            return true;
        }
    }
    return false;
}

MMRESULT TSoundCard::Start(QIODevice* io, const WAVEFORMATEX& native,
                           std::function<void()> drained) {
    Stop();
    m_native = native;
    if (m_output) {
        m_sink = std::make_unique<QAudioSink>(m_device, ToQt(native));
        m_sink->setVolume(m_volume);
        QObject::connect(m_sink.get(), &QAudioSink::stateChanged, m_sink.get(),
                         [this, io, drained](QAudio::State state) {
                             if (state == QAudio::IdleState && io->atEnd() && drained) drained();
                         });
        m_sink->start(io);
        if (m_sink->error() != QAudio::NoError) {
            m_sink.reset();
            return MMSYSERR_NODRIVER;
        }
    } else {
        m_source = std::make_unique<QAudioSource>(m_device, ToQt(native));
        m_source->start(io);
        if (m_source->error() != QAudio::NoError) {
            m_source.reset();
            return MMSYSERR_NODRIVER;
        }
    }
    return MMSYSERR_NOERROR;
}

void TSoundCard::Stop() {
    if (m_sink) {
        m_sink->disconnect();
        m_sink->stop();
        m_sink.release()->deleteLater();  // it may be inside its own signal
    }
    if (m_source) {
        m_source->stop();
        m_source.release()->deleteLater();
    }
}

qint64 TSoundCard::Processed() const {
    const qint64 usecs = m_sink     ? m_sink->processedUSecs()
                         : m_source ? m_source->processedUSecs()
                                    : 0;
    return usecs * m_native.nAvgBytesPerSec / 1000000;
}

MMRESULT TSoundCard::GetVolume(quint32* volume) {
    if (m_device.isNull()) return MMSYSERR_NODRIVER;
    *volume = BothChannels(m_sink ? float(m_sink->volume()) : m_volume);
    return MMSYSERR_NOERROR;
}

MMRESULT TSoundCard::SetVolume(quint32 volume) {
    if (m_device.isNull()) return MMSYSERR_NODRIVER;
    m_volume = float((volume >> 16) & 0xFFFF) / 0xFFFF;
    if (m_sink) m_sink->setVolume(m_volume);
    return MMSYSERR_NOERROR;
}

namespace {
std::map<int, TWaveDevice*> g_registered;
std::map<std::pair<QByteArray, bool>, std::unique_ptr<TSoundCard>> g_cards;
}  // namespace

TWaveDevice* TWaveDevices::Find(int id, bool output) {
    if (id >= 1000) {
        auto it = g_registered.find(id);
        return it != g_registered.end() && it->second->IsOutput() == output ? it->second : nullptr;
    }
    QAudioDevice device;
    if (id == WAVE_MAPPER) {
        device = output ? QMediaDevices::defaultAudioOutput() : QMediaDevices::defaultAudioInput();
    } else if (id >= 0) {
        const QList<QAudioDevice> list =
            output ? QMediaDevices::audioOutputs() : QMediaDevices::audioInputs();
        if (id < list.size()) device = list[id];
    }
    if (device.isNull()) return nullptr;
    auto& card = g_cards[{device.id(), output}];
    if (!card) card = std::make_unique<TSoundCard>(device, output);
    return card.get();
}

void TWaveDevices::Register(int id, TWaveDevice* device) {
    g_registered[id] = device;
}

void TWaveDevices::Unregister(int id) {
    g_registered.erase(id);
}

QStringList TWaveDevices::SoundCardNames(bool output) {
    QStringList names;
    for (const QAudioDevice& device :
         output ? QMediaDevices::audioOutputs() : QMediaDevices::audioInputs())
        names << device.description();
    return names;
}
