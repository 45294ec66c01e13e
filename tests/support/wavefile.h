#pragma once
// The little wave files tests hand to the program and the simulator.

#include <QByteArray>

// An 8-bit mono PCM wave file.
inline QByteArray Wave(quint32 rate, const QByteArray& samples) {
    auto le = [](quint32 v, int n) {
        QByteArray b(n, '\0');
        for (int i = 0; i < n; ++i)
            b[i] = char((v >> (8 * i)) & 0xFF);
        return b;
    };
    return "RIFF" + le(quint32(36 + samples.size()), 4) + "WAVEfmt " + le(16, 4) + le(1, 2) +
           le(1, 2) + le(rate, 4) + le(rate, 4) + le(1, 2) + le(8, 2) + "data" +
           le(quint32(samples.size()), 4) + samples;
}

// The frequency of an 8-bit unsigned mono signal, by its zero crossings.
inline double Frequency(const QByteArray& samples, quint32 rate) {
    int crossings = 0;
    for (qsizetype i = 1; i < samples.size(); ++i)
        if ((uchar(samples[i - 1]) < 128) != (uchar(samples[i]) < 128)) ++crossings;
    return crossings / 2.0 / (double(samples.size()) / rate);
}
