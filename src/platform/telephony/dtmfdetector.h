#pragma once
// Touch tones heard in a call's audio (16-bit, 8000 samples a second), for a far end that sends
// its keys as sound rather than as events. The audio is cut into blocks of 102 samples; each is
// measured at the eight tone frequencies. A key counts once both of its tones stand well above
// the others and carry most of the block's energy (speech and music seldom do), in two blocks
// in a row (26 ms; a key lasts 40 ms at the least). It is reported once, however long it is
// held, and may repeat after two blocks without any of it (a pause of 40 ms).

#include <QByteArray>
#include <QtGlobal>

class TDtmfDetector {
public:
    // The keys whose tones began in these samples.
    QByteArray Feed(const qint16* samples, int count);
    void Reset();

private:
    static constexpr int kBlock = 102;
    char Classify() const;
    bool StillSounds(char key) const;
    void EndOfBlock(QByteArray* keys);

    float m_block[kBlock] = {};
    int m_filled = 0;
    char m_candidate = 0;  // what the last block held
    char m_held = 0;       // the key reported and still sounding
    int m_silentBlocks = 0;
};
