#include "sipcaller.h"

#include <linphone/core.h>
#include <linphone/factory.h>

#include <cmath>

namespace {
constexpr int kOutputId = 1900;  // far above the lines' voice channels
constexpr int kInputId = 1901;
}  // namespace

qint64 TToneSource::readData(char* data, qint64 size) {
    const qint64 samples = size / 2;
    for (qint64 i = 0; i < samples; ++i, ++m_sample) {
        const double value = 8000 * std::sin(2 * M_PI * m_hz * double(m_sample) / 8000);
        const qint16 sample = qint16(std::lround(value));
        std::memcpy(data + 2 * i, &sample, 2);
    }
    return samples * 2;
}

TSipCaller::TSipCaller(const QString& folder, double toneHz, Voice voice)
    : m_audio(QStringLiteral("test caller")), m_stack(m_audio, *this), m_tone(toneHz) {
    m_heard.open(QIODevice::WriteOnly);
    m_audio.Register(kOutputId, kInputId);
    TSipCore::Options options;
    options.Folder = folder;
    options.Host = "127.0.0.1";
    options.Port = -1;
    options.Srtp = voice == Voice::Encrypted;
    m_stack.Start(options, &m_error);
}

bool TSipCaller::Encrypted() const {
    const LinphoneCallParams* params = m_call ? linphone_call_get_current_params(m_call) : nullptr;
    return params &&
           linphone_call_params_get_media_encryption(params) == LinphoneMediaEncryptionSRTP;
}

TSipCaller::~TSipCaller() {
    m_audio.End(false);
    if (m_call) linphone_call_unref(m_call);
}

bool TSipCaller::Call(const QByteArray& uri, const QByteArray& from, const Headers& headers) {
    LinphoneCore* core = m_stack.Core();
    if (!core || m_call) return false;
    linphone_core_set_primary_contact(core, from.constData());
    LinphoneCallParams* params = linphone_core_create_call_params(core, nullptr);
    for (const auto& [name, value] : headers)
        linphone_call_params_add_custom_header(params, name.constData(), value.constData());
    LinphoneAddress* to = linphone_factory_create_address(linphone_factory_get(), uri.constData());
    LinphoneCall* call = to ? linphone_core_invite_address_with_params(core, to, params) : nullptr;
    if (to) linphone_address_unref(to);
    linphone_call_params_unref(params);
    if (!call) return false;
    m_call = linphone_call_ref(call);
    m_stack.SetInCall(true);
    return true;
}

void TSipCaller::SetVoice(const QByteArray& samples) {
    m_voice.setData(samples);
    m_voice.open(QIODevice::ReadOnly);
}

void TSipCaller::Keys(const QByteArray& digits) {
    if (m_call) linphone_call_send_dtmfs(m_call, digits.constData());
}

void TSipCaller::HangUp() {
    if (m_call && !m_ended) linphone_call_terminate(m_call);
}

void TSipCaller::OnCallState(_LinphoneCall* call, int state) {
    if (state == LinphoneCallStateIncomingReceived && !m_call) {
        m_call = linphone_call_ref(call);
        m_stack.SetInCall(true);
        const char* user = linphone_address_get_username(linphone_call_get_to_address(call));
        m_called = user ? QByteArray(user) : QByteArray();
        if (m_taking == Taking::Busy)
            linphone_call_decline(call, LinphoneReasonBusy);
        else
            linphone_call_accept(call);
        return;
    }
    if (call != m_call) return;
    if (state == LinphoneCallStateStreamsRunning && !m_answered) {
        m_answered = true;
        const WAVEFORMATEX format = WAVEFORMATEX::Pcm(TSipAudio::Rate, 16, 1);
        QIODevice* voice = m_voice.isOpen() ? static_cast<QIODevice*>(&m_voice) : &m_tone;
        TWaveDevices::Find(kOutputId, true)->Start(voice, format, {});
        TWaveDevices::Find(kInputId, false)->Start(&m_heard, format, {});
    }
    if (state == LinphoneCallStateEnd || state == LinphoneCallStateError ||
        state == LinphoneCallStateReleased) {
        m_ended = true;
        m_audio.End(false);
    }
}

double TSipCaller::ToneHz(const QByteArray& samples) {
    const auto* data = reinterpret_cast<const qint16*>(samples.constData());
    const qsizetype count = samples.size() / 2;
    if (count < 2) return 0;
    qsizetype crossings = 0;
    for (qsizetype i = 1; i < count; ++i)
        if ((data[i - 1] < 0) != (data[i] < 0)) ++crossings;
    return double(crossings) / 2 * TSipAudio::Rate / double(count);
}
