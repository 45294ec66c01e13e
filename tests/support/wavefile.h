#pragma once
// The wave files tests hand to the program and the simulator: a builder for any PCM format,
// a tone generator, and the frequency of what came back.

#include <QByteArray>
#include <QtEndian>
#include <cmath>

// A PCM wave file: its 44-byte header and the samples.
inline QByteArray WaveFile(quint32 rate, quint16 bits, quint16 channels,
                           const QByteArray& samples) {
    const quint16 align = quint16(channels * bits / 8);
    QByteArray fmt(16, '\0');
    qToLittleEndian<quint16>(1, fmt.data());
    qToLittleEndian<quint16>(channels, fmt.data() + 2);
    qToLittleEndian<quint32>(rate, fmt.data() + 4);
    qToLittleEndian<quint32>(rate * align, fmt.data() + 8);
    qToLittleEndian<quint16>(align, fmt.data() + 12);
    qToLittleEndian<quint16>(bits, fmt.data() + 14);
    auto le32 = [](quint32 v) {
        QByteArray b(4, '\0');
        qToLittleEndian(v, b.data());
        return b;
    };
    return "RIFF" + le32(quint32(4 + 8 + fmt.size() + 8 + samples.size())) + "WAVE" + "fmt " +
           le32(quint32(fmt.size())) + fmt + "data" + le32(quint32(samples.size())) + samples;
}

// An 8-bit mono PCM wave file.
inline QByteArray Wave(quint32 rate, const QByteArray& samples) {
    return WaveFile(rate, 8, 1, samples);
}

// A sine of hz at the rate, as 8-bit unsigned (bits 8) or 16-bit signed samples per channel,
// at `level` of full scale.
inline QByteArray Tone(double hz, double seconds, quint32 rate, quint16 bits = 8,
                       quint16 channels = 1, double level = 0.5) {
    QByteArray out;
    const int frames = int(seconds * rate);
    for (int i = 0; i < frames; ++i) {
        const double v = level * std::sin(2 * M_PI * hz * i / rate);
        for (int c = 0; c < channels; ++c) {
            if (bits == 8) {
                out += char(uchar(std::lround(v * 127) + 128));
            } else {
                char b[2];
                qToLittleEndian(qint16(std::lround(v * 32767)), b);
                out += QByteArray(b, 2);
            }
        }
    }
    return out;
}

// The frequency of an 8-bit unsigned mono signal, by its zero crossings.
inline double Frequency(const QByteArray& samples, quint32 rate) {
    int crossings = 0;
    for (qsizetype i = 1; i < samples.size(); ++i)
        if ((uchar(samples[i - 1]) < 128) != (uchar(samples[i]) < 128)) ++crossings;
    return crossings / 2.0 / (double(samples.size()) / rate);
}
