#pragma once
// A wave device without sound hardware, for tests and measurements: an output that consumes
// samples (at real-time pace or at once) and keeps them; an input that produces a tone or
// silence (at real-time pace or at once).

#include <QTimer>

#include "platform/wave/wavedevice.h"

class TTestWaveDevice : public TWaveDevice {
public:
    TTestWaveDevice(bool output, bool realTime) : m_output(output), m_realTime(realTime) {}
    ~TTestWaveDevice() override { Stop(); }

    // The format the device takes; by default whatever is asked.
    std::optional<WAVEFORMATEX> Native;
    bool Enabled = true;
    double ToneHz = 0;       // input: a sine of this frequency, 0 = silence
    qint64 StallAfter = -1;  // input: delivers nothing more after this many bytes (a modem reset)
    QByteArray Played;       // output: everything consumed, in the native format
    quint32 Volume = 0xFFFFFFFF;

    QString Name() const override { return QStringLiteral("Test device"); }
    bool IsOutput() const override { return m_output; }
    bool NativeFormat(const WAVEFORMATEX& requested, WAVEFORMATEX* native) const override;
    MMRESULT Start(QIODevice* io, const WAVEFORMATEX& native,
                   std::function<void()> drained) override;
    void Stop() override;
    qint64 Processed() const override { return m_processed; }
    MMRESULT GetVolume(quint32* volume) override {
        *volume = Volume;
        return MMSYSERR_NOERROR;
    }
    MMRESULT SetVolume(quint32 volume) override {
        Volume = volume;
        return MMSYSERR_NOERROR;
    }

private:
    void Tick();
    QByteArray Generate(qint64 bytes);

    bool m_output;
    bool m_realTime;
    QTimer m_timer;
    QIODevice* m_io = nullptr;
    WAVEFORMATEX m_format;
    std::function<void()> m_drained;
    qint64 m_processed = 0;
    qint64 m_elapsedTicks = 0;
    double m_phase = 0;
};
