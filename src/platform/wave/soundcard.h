#pragma once
// A sound card output or input through Qt Multimedia. Without a sound server there are no
// devices and opening fails at once with a clear code; nothing waits for a sound to end.

#include <QAudioDevice>
#include <QAudioSink>
#include <QAudioSource>
#include <memory>

#include "platform/wave/wavedevice.h"

class TSoundCard : public TWaveDevice {
public:
    TSoundCard(const QAudioDevice& device, bool output) : m_device(device), m_output(output) {}
    QString Name() const override { return m_device.description(); }
    bool IsOutput() const override { return m_output; }
    bool NativeFormat(const WAVEFORMATEX& requested, WAVEFORMATEX* native) const override;
    MMRESULT Start(QIODevice* io, const WAVEFORMATEX& native,
                   std::function<void()> drained) override;
    void Stop() override;
    qint64 Processed() const override;
    MMRESULT GetVolume(quint32* volume) override;
    MMRESULT SetVolume(quint32 volume) override;

private:
    QAudioDevice m_device;
    bool m_output;
    std::unique_ptr<QAudioSink> m_sink;
    std::unique_ptr<QAudioSource> m_source;
    WAVEFORMATEX m_native;
    float m_volume = 1.0f;
};
