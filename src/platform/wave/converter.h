#pragma once
// Converts a stream of PCM audio (8-bit unsigned or 16-bit signed, mu-law or A-law, mono or
// stereo, any rate) into another such format; the rate with libsoxr. Used by the mapper,
// so that a device takes any file the program plays and gives recordings in the file's format.

#include <QByteArray>
#include <vector>

#include "platform/wave/wave.h"

struct soxr;

class TWaveConverter {
public:
    TWaveConverter(const WAVEFORMATEX& from, const WAVEFORMATEX& to);
    ~TWaveConverter();
    TWaveConverter(const TWaveConverter&) = delete;
    TWaveConverter& operator=(const TWaveConverter&) = delete;

    static bool Supported(const WAVEFORMATEX& format);
    bool Valid() const { return m_valid; }
    bool Identity() const { return m_identity; }
    bool Converts(const WAVEFORMATEX& from, const WAVEFORMATEX& to) const {
        return m_from == from && m_to == to;
    }
    // Ready for a new stream. libsoxr sets part of its filter up again, but clearing costs a
    // third of what a new resampler does (0.3 against 0.9 ms from 8000 to 11025 Hz).
    void Reset();
    // Converts the next piece; with last set, what the resampler still holds comes out too.
    QByteArray Convert(const QByteArray& input, bool last = false);

private:
    void Decode(const QByteArray& input, std::vector<float>* frames);
    QByteArray Encode(const float* samples, size_t frames);
    bool CreateResampler();

    WAVEFORMATEX m_from;
    WAVEFORMATEX m_to;
    bool m_valid = false;
    bool m_identity = false;
    bool m_resamples = false;
    soxr* m_resampler = nullptr;
    std::vector<float> m_decoded;  // buffers kept between pieces: no allocation per piece
    std::vector<float> m_resampled;
    QByteArray m_partial;  // an incomplete frame kept for the next piece
};

// G.711 companding of one 16-bit sample.
quint8 LinearToMuLaw(qint16 sample);
qint16 MuLawToLinear(quint8 code);
quint8 LinearToALaw(qint16 sample);
qint16 ALawToLinear(quint8 code);
