#include "platform/telephony/voicechannel.h"

namespace {
constexpr int kRate = 8000;
// Played audio is topped up this often, to AheadMs in front of the modem: between two looks
// the modem always has a quarter of a second or more, and the program wakes four times a second.
constexpr int kPaceMs = 250;
constexpr int kEndTimeoutMs = 5000;
// Received voice is gathered this often rather than at every piece the modem sends (a USB
// modem sends one every 10 ms): the driver holds half a second or more, and a caller's key or
// hang-up waits no longer than this, well under what a caller notices.
constexpr int kReceiveReadMs = 150;
}  // namespace

int TVoiceChannel::AheadMs = 500;
int TVoiceChannel::QuietMs = 3000;

QString TVoiceDevice::Name() const {
    return m_channel->Name();
}

bool TVoiceDevice::NativeFormat(const WAVEFORMATEX&, WAVEFORMATEX* native) const {
    *native = m_channel->Format();
    return true;
}

MMRESULT TVoiceDevice::Start(QIODevice* io, const WAVEFORMATEX&, std::function<void()> ended) {
    return m_output ? m_channel->StartPlayback(io, std::move(ended))
                    : m_channel->StartRecording(io, std::move(ended));
}

void TVoiceDevice::Stop() {
    m_channel->End(false);
}

qint64 TVoiceDevice::Processed() const {
    return m_channel->Processed();
}

TVoiceChannel::TVoiceChannel(TModemChannel& channel, const QString& name)
    : m_channel(channel), m_name(name), m_output(this, true), m_input(this, false) {
    connect(&m_pace, &QTimer::timeout, this, &TVoiceChannel::Feed);
    m_watch.setSingleShot(true);
    connect(&m_watch, &QTimer::timeout, this, &TVoiceChannel::WatchRecording);
}

TVoiceChannel::~TVoiceChannel() {
    Lost();
    if (m_outputId) TWaveDevices::Unregister(m_outputId);
    if (m_inputId) TWaveDevices::Unregister(m_inputId);
}

void TVoiceChannel::Register(int outputId, int inputId) {
    m_outputId = outputId;
    m_inputId = inputId;
    TWaveDevices::Register(outputId, &m_output);
    TWaveDevices::Register(inputId, &m_input);
}

WAVEFORMATEX TVoiceChannel::Format() const {
    WAVEFORMATEX format = WAVEFORMATEX::Pcm(kRate, 8, 1);
    if (m_kind == MuLaw) format.wFormatTag = WAVE_FORMAT_MULAW;
    if (m_kind == ALaw) format.wFormatTag = WAVE_FORMAT_ALAW;
    return format;  // signed 8-bit is turned into unsigned here, on the way in and out
}

QByteArray TVoiceChannel::ToModem(const QByteArray& samples) const {
    if (m_kind != Signed8) return samples;
    QByteArray out = samples;
    for (char& b : out)
        b = char(uchar(b) ^ 0x80);
    return out;
}

QByteArray TVoiceChannel::FromModem(const QByteArray& samples) const {
    return ToModem(samples);
}

qint64 TVoiceChannel::Processed() const {
    if (m_mode == Mode::Playing || m_mode == Mode::Draining)
        return qMax<qint64>(0, m_written - m_channel.Port().Pending());
    return m_received;
}

MMRESULT TVoiceChannel::StartPlayback(QIODevice* source, std::function<void()> ended) {
    if (m_mode != Mode::Idle || !m_channel.IsOpen()) return MMSYSERR_ALLOCATED;
    m_io = source;
    m_ended = std::move(ended);
    m_written = 0;
    m_mode = Mode::Starting;
    m_channel.Command(
        "AT+VTX",
        [this](const QByteArray& result, const QList<QByteArray>&) {
            if (m_mode != Mode::Starting) return;
            if (!result.startsWith("CONNECT")) return Finished(true);
            m_channel.Hold(true);
            m_mode = Mode::Playing;
            m_clock.start();
            Feed();
            m_pace.start(kPaceMs);
        },
        kEndTimeoutMs);
    return MMSYSERR_NOERROR;
}

// Keeps about AheadMs of audio in front of the modem: never the whole file at once.
void TVoiceChannel::Feed() {
    if (m_mode != Mode::Playing || !m_io) return;
    const qint64 wanted = (m_clock.elapsed() + AheadMs) * kRate / 1000 - m_written;
    if (wanted > 0) {
        const QByteArray samples = m_io->read(wanted);
        m_written += samples.size();
        m_channel.WriteRaw(DleShield(ToModem(samples)));
    }
    if (!m_io->atEnd()) return;
    m_pace.stop();
    m_mode = Mode::Draining;
    m_channel.Raw(
        Bytes({DLE, ETX}),
        [this](const QByteArray&, const QList<QByteArray>&) {
            if (m_mode == Mode::Draining) Finished(true);
        },
        kEndTimeoutMs + int(m_written * 1000 / kRate));
}

MMRESULT TVoiceChannel::StartRecording(QIODevice* sink, std::function<void()> ended) {
    if (m_mode != Mode::Idle || !m_channel.IsOpen()) return MMSYSERR_ALLOCATED;
    m_io = sink;
    m_ended = std::move(ended);
    m_received = 0;
    m_mode = Mode::Starting;
    TDleDecoder& decoder = m_channel.Decoder();
    decoder.OnAudio = [this](const QByteArray& audio) {
        if (!Receiving() || !m_io) return;
        m_watch.start(QuietMs);  // restarted by each piece: it fires only on silence
        m_received += audio.size();
        m_io->write(FromModem(audio));
    };
    decoder.OnEndOfData = [this, &decoder] { decoder.SetReceiving(false); };
    m_channel.Command(
        "AT+VRX",
        [this, &decoder](const QByteArray& result, const QList<QByteArray>&) {
            if (m_mode != Mode::Starting) return;
            if (!result.startsWith("CONNECT")) return Finished(true);
            m_channel.Hold(true);
            decoder.SetReceiving(true);
            m_channel.Port().SetReadInterval(kReceiveReadMs);
            m_mode = Mode::Receiving;
            m_watch.start(QuietMs);
        },
        kEndTimeoutMs);
    return MMSYSERR_NOERROR;
}

void TVoiceChannel::End(bool notify) {
    switch (m_mode) {
        case Mode::Idle:
            return;
        case Mode::Starting:
            // The CONNECT has not come yet; what follows it is ended as soon as it comes.
            m_mode = Mode::Idle;
            m_channel.Raw(
                Bytes({DLE, CAN, DLE, ETX, DLE, '!'}),
                [this](const QByteArray&, const QList<QByteArray>&) {
                    m_channel.Decoder().SetReceiving(false);
                    m_channel.Hold(false);
                },
                kEndTimeoutMs);
            return Finished(notify);
        case Mode::Draining:
            // The whole sound and its <DLE><ETX> are with the modem, which answers OK once it
            // has played what it holds (well under a second). An abort now could reach it
            // back in command mode, where nothing answers it and the hang-up behind it waits.
            return Finished(notify);
        case Mode::Playing:
            // Abort: drop what is queued, a NUL for a DLE cut in half, then cancel and end.
            m_pace.stop();
            m_channel.Port().DiscardOutput();
            m_channel.Raw(
                QByteArray(1, '\0') + Bytes({DLE, CAN, DLE, ETX}),
                [this](const QByteArray&, const QList<QByteArray>&) { m_channel.Hold(false); },
                kEndTimeoutMs);
            m_mode = Mode::Idle;
            return Finished(notify);
        case Mode::Receiving:
        case Mode::StoppingReceive:
            // Stop recording: the modem sends what it still has, then <DLE><ETX> and OK.
            m_mode = Mode::Idle;
            m_io = nullptr;
            m_channel.Raw(
                Bytes({DLE, '!'}),
                [this](const QByteArray&, const QList<QByteArray>&) {
                    m_channel.Decoder().SetReceiving(false);
                    m_channel.Hold(false);
                },
                kEndTimeoutMs);
            return Finished(notify);
    }
}

void TVoiceChannel::WatchRecording() {
    if (m_mode != Mode::Receiving) return;
    qWarning("The modem sent no voice data for %d ms: the recording ends", QuietMs);
    End(true);
}

void TVoiceChannel::Finished(bool notify) {
    m_pace.stop();
    m_watch.stop();
    m_channel.Port().SetReadInterval(0);
    if (m_mode == Mode::Draining || m_mode == Mode::Playing) m_channel.Hold(false);
    m_mode = Mode::Idle;
    m_io = nullptr;
    auto ended = std::exchange(m_ended, nullptr);
    if (notify && ended) ended();
}

void TVoiceChannel::Lost() {
    if (m_mode == Mode::Idle) return;
    m_channel.Decoder().SetReceiving(false);
    m_channel.Hold(false);
    m_mode = Mode::Idle;
    Finished(true);
}
