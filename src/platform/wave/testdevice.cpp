#include "platform/wave/testdevice.h"

#include <QtEndian>
#include <cmath>

namespace {
constexpr int kTickMs = 20;
}

bool TTestWaveDevice::NativeFormat(const WAVEFORMATEX& requested, WAVEFORMATEX* native) const {
    if (!Enabled) return false;
    *native = Native.value_or(requested);
    return true;
}

MMRESULT TTestWaveDevice::Start(QIODevice* io, const WAVEFORMATEX& native,
                                std::function<void()> drained) {
    Stop();
    m_io = io;
    m_format = native;
    m_drained = std::move(drained);
    m_processed = 0;
    m_timer.disconnect();
    QObject::connect(&m_timer, &QTimer::timeout, [this] { Tick(); });
    m_timer.start(m_realTime ? kTickMs : 0);
    return MMSYSERR_NOERROR;
}

void TTestWaveDevice::Stop() {
    m_timer.stop();
    m_io = nullptr;
}

QByteArray TTestWaveDevice::Generate(qint64 bytes) {
    const int width = m_format.wBitsPerSample / 8;
    const qint64 samples = bytes / width;
    QByteArray out(samples * width, '\0');
    for (qint64 i = 0; i < samples; ++i) {
        const double v = ToneHz > 0 ? 0.5 * std::sin(m_phase) : 0.0;
        m_phase += 2 * M_PI * ToneHz / m_format.nSamplesPerSec / m_format.nChannels;
        if (width == 1)
            out[i] = char(uchar(std::lround(v * 127) + 128));
        else
            qToLittleEndian(qint16(std::lround(v * 32767)), out.data() + 2 * i);
    }
    return out;
}

void TTestWaveDevice::Tick() {
    if (!m_io) return;
    // Real time: one tick's worth of bytes; at once: a second's worth per turn of the loop.
    const qint64 perTick =
        m_realTime ? qint64(m_format.nAvgBytesPerSec) * kTickMs / 1000 : m_format.nAvgBytesPerSec;
    const qint64 chunk =
        qMax<qint64>(perTick - perTick % qMax<quint16>(m_format.nBlockAlign, 1), 1);
    if (m_output) {
        const QByteArray data = m_io->read(chunk);
        Played += data;
        m_processed += data.size();
        if (data.isEmpty() && m_io->atEnd()) {
            m_timer.stop();
            m_io = nullptr;
            if (m_drained) m_drained();
        }
        return;
    }
    if (StallAfter >= 0 && m_processed >= StallAfter) return;
    m_io->write(Generate(chunk));
    m_processed += chunk;
}
