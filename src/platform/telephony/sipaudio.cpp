#include "platform/telephony/sipaudio.h"

#include <mediastreamer2/msfactory.h>
#include <mediastreamer2/msfilter.h>
#include <mediastreamer2/mssndcard.h>
#include <mediastreamer2/msticker.h>

#include <QHash>
#include <cstring>

int TSipAudio::ServeMs = 100;
int TSipAudio::AheadMs = 300;

namespace {
constexpr char kDriver[] = "Ringvale";

// Which audio a card belongs to, looked up when the media engine (re)lists its cards.
std::mutex gCardsLock;
QHash<MSSndCardManager*, TSipAudio*> gCards;

TSipAudio* AudioOf(MSFilter* filter) {
    return static_cast<TSipAudio*>(filter->data);
}

// The capture side: every tick it sends as many samples as the tick's time is worth, counted
// from the first tick, so the far end gets exactly 8000 a second whatever the ticks' jitter.
struct TCapture {
    TSipAudio* Audio = nullptr;
    bool Started = false;
    uint64_t Start = 0;
    uint64_t Sent = 0;
};

void CaptureInit(MSFilter* f) {
    f->data = new TCapture;
}

void CaptureUninit(MSFilter* f) {
    delete static_cast<TCapture*>(f->data);
}

void CaptureProcess(MSFilter* f) {
    auto* capture = static_cast<TCapture*>(f->data);
    if (!capture->Started) {
        capture->Started = true;
        capture->Start = f->ticker->time;
    }
    const uint64_t due =
        (f->ticker->time - capture->Start + f->ticker->interval) * TSipAudio::Rate / 1000;
    const int samples = int(due - capture->Sent);
    if (samples <= 0) return;
    mblk_t* block = allocb(size_t(samples) * 2, 0);
    capture->Audio->Pull(reinterpret_cast<qint16*>(block->b_wptr), samples);
    block->b_wptr += samples * 2;
    capture->Sent = due;
    ms_queue_put(f->outputs[0], block);
}

void PlaybackProcess(MSFilter* f) {
    while (mblk_t* block = ms_queue_get(f->inputs[0])) {
        AudioOf(f)->Push(reinterpret_cast<const qint16*>(block->b_rptr),
                         int(block->b_wptr - block->b_rptr) / 2);
        freemsg(block);
    }
}

int GetRate(MSFilter*, void* arg) {
    *static_cast<int*>(arg) = TSipAudio::Rate;
    return 0;
}

int GetChannels(MSFilter*, void* arg) {
    *static_cast<int*>(arg) = 1;
    return 0;
}

// The engine may ask for another rate or channel count; it converts when the card keeps its own.
int Ignore(MSFilter*, void*) {
    return 0;
}

MSFilterMethod gMethods[] = {{MS_FILTER_SET_SAMPLE_RATE, Ignore},
                             {MS_FILTER_GET_SAMPLE_RATE, GetRate},
                             {MS_FILTER_SET_NCHANNELS, Ignore},
                             {MS_FILTER_GET_NCHANNELS, GetChannels},
                             {0, nullptr}};

MSFilterDesc FilterDesc(bool capture) {
    MSFilterDesc desc{};
    desc.id = MS_FILTER_PLUGIN_ID;
    desc.name = capture ? "RingvaleCapture" : "RingvalePlayback";
    desc.text = capture ? "sends a call's outgoing voice" : "takes a call's incoming voice";
    desc.category = MS_FILTER_OTHER;
    desc.ninputs = capture ? 0 : 1;
    desc.noutputs = capture ? 1 : 0;
    desc.init = capture ? CaptureInit : nullptr;
    desc.process = capture ? CaptureProcess : PlaybackProcess;
    desc.uninit = capture ? CaptureUninit : nullptr;
    desc.methods = gMethods;
    return desc;
}

MSFilterDesc gCaptureDesc = FilterDesc(true);
MSFilterDesc gPlaybackDesc = FilterDesc(false);

MSFilter* CreateReader(MSSndCard* card) {
    MSFilter* f = ms_factory_create_filter_from_desc(ms_snd_card_get_factory(card), &gCaptureDesc);
    static_cast<TCapture*>(f->data)->Audio = static_cast<TSipAudio*>(card->data);
    return f;
}

MSFilter* CreateWriter(MSSndCard* card) {
    MSFilter* f = ms_factory_create_filter_from_desc(ms_snd_card_get_factory(card), &gPlaybackDesc);
    f->data = card->data;
    return f;
}

void Detect(MSSndCardManager* cards);

MSSndCardDesc CardDesc() {
    MSSndCardDesc desc{};
    desc.driver_type = kDriver;
    desc.detect = Detect;
    desc.create_reader = CreateReader;
    desc.create_writer = CreateWriter;
    return desc;
}

MSSndCardDesc gCardDesc = CardDesc();

void Detect(MSSndCardManager* cards) {
    std::lock_guard lock(gCardsLock);
    TSipAudio* audio = gCards.value(cards);
    if (!audio) return;
    MSSndCard* card = ms_snd_card_new_with_name(&gCardDesc, audio->Name().toUtf8().constData());
    card->capabilities = MS_SND_CARD_CAP_CAPTURE | MS_SND_CARD_CAP_PLAYBACK;
    card->data = audio;
    ms_snd_card_manager_add_card(cards, card);
}
}  // namespace

class TSipAudio::Device : public TWaveDevice {
public:
    Device(TSipAudio* audio, bool output) : m_audio(audio), m_output(output) {}
    QString Name() const override { return m_audio->Name(); }
    bool IsOutput() const override { return m_output; }
    bool NativeFormat(const WAVEFORMATEX&, WAVEFORMATEX* native) const override {
        *native = WAVEFORMATEX::Pcm(Rate, 16, 1);
        return true;
    }
    MMRESULT Start(QIODevice* io, const WAVEFORMATEX&, std::function<void()> ended) override {
        return m_output ? m_audio->StartPlayback(io, std::move(ended))
                        : m_audio->StartRecording(io, std::move(ended));
    }
    void Stop() override {
        if (m_output)
            m_audio->StopPlayback(false);
        else
            m_audio->StopRecording(false);
    }
    qint64 Processed() const override { return m_audio->Processed(m_output); }

private:
    TSipAudio* m_audio;
    bool m_output;
};

TSipAudio::TSipAudio(const QString& name)
    : m_name(name),
      m_output(std::make_unique<Device>(this, true)),
      m_input(std::make_unique<Device>(this, false)) {
    connect(&m_serve, &QTimer::timeout, this, &TSipAudio::Serve);
}

TSipAudio::~TSipAudio() {
    End(false);
    if (m_outputId) TWaveDevices::Unregister(m_outputId);
    if (m_inputId) TWaveDevices::Unregister(m_inputId);
    std::lock_guard lock(gCardsLock);
    for (auto it = gCards.begin(); it != gCards.end();)
        it = it.value() == this ? gCards.erase(it) : std::next(it);
}

QByteArray TSipAudio::Install(MSSndCardManager* cards) {
    {
        std::lock_guard lock(gCardsLock);
        gCards.insert(cards, this);
    }
    ms_snd_card_manager_register_desc(cards, &gCardDesc);  // lists the card through Detect
    return QByteArray(kDriver) + ": " + m_name.toUtf8();
}

void TSipAudio::Register(int outputId, int inputId) {
    m_outputId = outputId;
    m_inputId = inputId;
    TWaveDevices::Register(outputId, m_output.get());
    TWaveDevices::Register(inputId, m_input.get());
}

MMRESULT TSipAudio::StartPlayback(QIODevice* source, std::function<void()> ended) {
    if (m_playing) return MMSYSERR_ALLOCATED;
    m_playing = true;
    m_sourceDone = false;
    m_source = source;
    m_playEnded = std::move(ended);
    m_sent = 0;
    Feed();
    m_serve.start(ServeMs);
    return MMSYSERR_NOERROR;
}

MMRESULT TSipAudio::StartRecording(QIODevice* sink, std::function<void()> ended) {
    if (m_recording) return MMSYSERR_ALLOCATED;
    m_recording = true;
    m_sink = sink;
    m_recordEnded = std::move(ended);
    m_received = 0;
    {
        std::lock_guard lock(m_lock);
        m_incoming.clear();
        m_accepting = true;
    }
    m_serve.start(ServeMs);
    return MMSYSERR_NOERROR;
}

void TSipAudio::StopPlayback(bool notify) {
    if (!m_playing) return;
    m_playing = false;
    m_source = nullptr;
    {
        std::lock_guard lock(m_lock);
        m_outgoing.clear();  // what was queued is not sent
    }
    if (!m_recording) m_serve.stop();
    auto ended = std::exchange(m_playEnded, nullptr);
    if (notify && ended) ended();
}

void TSipAudio::StopRecording(bool notify) {
    if (!m_recording) return;
    Collect();  // what came until now is kept
    m_recording = false;
    m_sink = nullptr;
    {
        std::lock_guard lock(m_lock);
        m_accepting = false;
        m_incoming.clear();
    }
    if (!m_playing) m_serve.stop();
    auto ended = std::exchange(m_recordEnded, nullptr);
    if (notify && ended) ended();
}

void TSipAudio::End(bool notify) {
    StopPlayback(notify);
    StopRecording(notify);
}

void TSipAudio::Serve() {
    if (m_recording) Collect();
    if (m_playing) Feed();
}

// Tops the queue up to AheadMs from the source; once the source is done and the media engine
// has taken the last sample, the sound has been sent and its owner hears so.
void TSipAudio::Feed() {
    const qint64 ahead = qint64(AheadMs) * Rate / 1000 * 2;
    qint64 queued;
    {
        std::lock_guard lock(m_lock);
        queued = m_outgoing.size();
    }
    if (!m_sourceDone && queued < ahead) {
        QByteArray more = m_source->read(ahead - queued);
        more.truncate(more.size() & ~1);
        if (m_source->atEnd()) m_sourceDone = true;
        std::lock_guard lock(m_lock);
        m_outgoing += more;
        queued = m_outgoing.size();
    }
    if (m_sourceDone && queued == 0) StopPlayback(true);
}

void TSipAudio::Collect() {
    QByteArray voice;
    {
        std::lock_guard lock(m_lock);
        voice.swap(m_incoming);
    }
    if (voice.isEmpty() || !m_sink) return;
    m_received += voice.size();
    m_sink->write(voice);
}

qint64 TSipAudio::Processed(bool output) const {
    return output ? m_sent.load() : m_received;
}

void TSipAudio::Pull(qint16* out, int samples) {
    std::lock_guard lock(m_lock);
    const int taken = std::min<int>(samples, int(m_outgoing.size() / 2));
    std::memcpy(out, m_outgoing.constData(), size_t(taken) * 2);
    std::memset(out + taken, 0, size_t(samples - taken) * 2);
    m_outgoing.remove(0, taken * 2);
    m_sent += taken * 2;
}

void TSipAudio::Push(const qint16* in, int samples) {
    for (const char key : m_keys.Feed(in, samples))
        QMetaObject::invokeMethod(
            this, [this, key] { emit KeyHeard(key); }, Qt::QueuedConnection);
    std::lock_guard lock(m_lock);
    if (m_accepting) m_incoming.append(reinterpret_cast<const char*>(in), samples * 2);
}
