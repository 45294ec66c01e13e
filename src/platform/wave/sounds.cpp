#include "platform/wave/sounds.h"

#include <QObject>
#include <memory>

#include "platform/wave/riff.h"
#include "platform/wave/wave.h"

namespace {
// Plays one file at a time through the wave layer on the default output.
class TSpeakerPlayer : public TSoundPlayer {
public:
    bool Play(const QString& file, bool cutCurrent) override {
        if (m_handle && !cutCurrent) return false;
        Stop();
        WAVEFORMATEX format;
        if (!ReadWaveFile(file, &format, &m_data) || m_data.isEmpty()) return false;
        m_target = std::make_unique<QObject>();
        TWaveCallback callback{m_target.get(), [this](quint32 message, quint32 handle) {
                                   if (message == MM_WOM_DONE && handle == m_handle) Stop();
                               }};
        if (waveOutOpen(&m_handle, WAVE_MAPPER, &format, &callback, 0) != MMSYSERR_NOERROR) {
            m_handle = 0;
            return false;
        }
        m_header = WAVEHDR{};
        m_header.lpData = m_data.data();
        m_header.dwBufferLength = quint32(m_data.size());
        if (waveOutPrepareHeader(m_handle, &m_header) || waveOutWrite(m_handle, &m_header)) {
            Stop();
            return false;
        }
        return true;
    }

private:
    void Stop() {
        if (!m_handle) return;
        waveOutReset(m_handle);
        waveOutUnprepareHeader(m_handle, &m_header);
        waveOutClose(m_handle);
        m_handle = 0;
    }

    HWAVEOUT m_handle = 0;
    WAVEHDR m_header;
    QByteArray m_data;
    std::unique_ptr<QObject> m_target;
};

TSpeakerPlayer* g_speaker = nullptr;
TSoundPlayer* g_player = nullptr;
}  // namespace

TSoundPlayer& Sounds() {
    if (g_player) return *g_player;
    if (!g_speaker) g_speaker = new TSpeakerPlayer;  // lives for the program's run
    return *g_speaker;
}

void SetSounds(TSoundPlayer* player) {
    g_player = player;
}

bool PlaySoundAsync(const QString& file) {
    return Sounds().Play(file, true);
}

bool PlaySoundNoStop(const QString& file) {
    return Sounds().Play(file, false);
}
