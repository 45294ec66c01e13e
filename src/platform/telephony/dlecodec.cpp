#include "platform/telephony/dlecodec.h"

#include <cstring>
#include <utility>

QByteArray DleShield(const QByteArray& audio) {
    QByteArray out;
    out.reserve(audio.size() + audio.size() / 64 + 4);
    const char* p = audio.constData();
    const char* const end = p + audio.size();
    while (p < end) {
        const auto* dle = static_cast<const char*>(std::memchr(p, DLE, size_t(end - p)));
        const char* const runEnd = dle ? dle + 1 : end;
        out.append(p, runEnd - p);
        if (dle) out.append(DLE);  // a DLE in the samples goes out doubled
        p = runEnd;
    }
    return out;
}

void TDleDecoder::Reset() {
    m_afterDle = false;
    m_inBracket = false;
    m_bracketDigit = false;
    m_audio.clear();
}

bool TDleDecoder::IsDigit(char code) {
    return (code >= '0' && code <= '9') || code == '*' || code == '#' ||
           (code >= 'A' && code <= 'D');
}

void TDleDecoder::Feed(const QByteArray& bytes) {
    const char* p = bytes.constData();
    const char* const end = p + bytes.size();
    while (p < end) {
        if (m_afterDle) {
            m_afterDle = false;
            Code(*p++);
        } else if (*p == DLE) {
            m_afterDle = true;
            ++p;
        } else if (m_receiving) {
            // Voice comes in runs between shielded DLEs: a run is taken whole.
            const auto* dle = static_cast<const char*>(std::memchr(p, DLE, size_t(end - p)));
            const char* const runEnd = dle ? dle : end;
            m_audio.append(p, runEnd - p);
            p = runEnd;
        } else {
            if (OnText) OnText(*p);
            ++p;
        }
    }
    FlushAudio();
}

void TDleDecoder::FlushAudio() {
    if (m_audio.isEmpty()) return;
    const QByteArray audio = std::exchange(m_audio, QByteArray());
    if (OnAudio) OnAudio(audio);
}

void TDleDecoder::Code(char code) {
    if (m_receiving && (code == DLE || code == SUB)) {
        m_audio += code == DLE ? QByteArray(1, DLE) : QByteArray(2, DLE);
        return;
    }
    if (code == ETX) {
        FlushAudio();
        if (OnEndOfData) OnEndOfData();
        return;
    }
    // Touch tones: a bracket /d d d~ reports its digit once; a lone digit code is one press.
    if (code == '/') {
        m_inBracket = true;
        m_bracketDigit = false;
        return;
    }
    if (code == '~' || code == 0x7F) {
        m_inBracket = false;
        return;
    }
    if (IsDigit(code) && m_inBracket) {
        if (m_bracketDigit) return;
        m_bracketDigit = true;
    }
    if (code == '\0') return;  // <DLE><NUL> is a no-op
    FlushAudio();              // audio before an event reaches its owner first
    if (OnEvent) OnEvent(code);
}
