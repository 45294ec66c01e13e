#pragma once
// The modem's byte stream, decoded byte by byte with its state kept across reads: result
// text, <DLE> events (touch tones collapsed from their /d~ brackets) and, while the modem
// sends voice data, the audio with its shielded DLE bytes restored.

#include <QByteArray>
#include <functional>
#include <initializer_list>

constexpr char DLE = 0x10;
constexpr char ETX = 0x03;
constexpr char SUB = 0x1A;
constexpr char CAN = 0x18;

// A few bytes spelled out ({DLE, ETX}); QByteArray's own braces would read (count, byte).
inline QByteArray Bytes(std::initializer_list<char> bytes) {
    return QByteArray(bytes.begin(), qsizetype(bytes.size()));
}

// Every 0x10 of audio sent to the modem doubled.
QByteArray DleShield(const QByteArray& audio);

class TDleDecoder {
public:
    std::function<void(char)> OnText;                // a byte of result text (command state)
    std::function<void(char)> OnEvent;               // a <DLE> event code; DTMF as the digit
    std::function<void(const QByteArray&)> OnAudio;  // voice data (receive state)
    std::function<void()> OnEndOfData;               // <DLE><ETX> ended the voice data

    // While set, bytes other than events are voice data.
    void SetReceiving(bool receiving) { m_receiving = receiving; }
    bool Receiving() const { return m_receiving; }
    void Feed(const QByteArray& bytes);
    void Reset();

private:
    void Code(char code);
    void FlushAudio();
    static bool IsDigit(char code);

    bool m_receiving = false;
    bool m_afterDle = false;
    bool m_inBracket = false;  // between <DLE>/ and <DLE>~
    bool m_bracketDigit = false;
    QByteArray m_audio;
};
