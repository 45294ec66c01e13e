#include "platform/telephony/dtmfdetector.h"

#include <cmath>

namespace {
constexpr float kRows[4] = {697, 770, 852, 941};
constexpr float kColumns[4] = {1209, 1336, 1477, 1633};
constexpr char kKeys[4][5] = {"123A", "456B", "789C", "*0#D"};
constexpr float kRate = 8000;
// Each tone at least about -40 dB below full scale (an amplitude of 300 in 32768).
constexpr float kMinToneAmplitude = 300;
constexpr float kMaxTwist = 6.3f;         // 8 dB, either tone stronger than the other
constexpr float kOtherToneMargin = 6.3f;  // 8 dB above every other tone of its group
constexpr float kToneShare = 0.6f;        // of the block's energy in the two tones

// The power of one frequency in the block, scaled so that a pure tone of amplitude A reads
// about A * A.
float Power(const float* block, int count, float hz) {
    const float coefficient = 2 * std::cos(2 * float(M_PI) * hz / kRate);
    float previous = 0, earlier = 0;
    for (int i = 0; i < count; ++i) {
        const float current = block[i] + coefficient * previous - earlier;
        earlier = previous;
        previous = current;
    }
    const float power = previous * previous + earlier * earlier - coefficient * previous * earlier;
    return power * 4 / (float(count) * float(count));
}

// The strongest of a group, or -1 when it does not stand out from the others.
int Strongest(const float (&powers)[4]) {
    int best = 0;
    for (int i = 1; i < 4; ++i)
        if (powers[i] > powers[best]) best = i;
    for (int i = 0; i < 4; ++i)
        if (i != best && powers[i] * kOtherToneMargin > powers[best]) return -1;
    return best;
}
}  // namespace

void TDtmfDetector::Reset() {
    *this = TDtmfDetector();
}

QByteArray TDtmfDetector::Feed(const qint16* samples, int count) {
    QByteArray keys;
    for (int i = 0; i < count; ++i) {
        m_block[m_filled++] = samples[i];
        if (m_filled == kBlock) EndOfBlock(&keys);
    }
    return keys;
}

void TDtmfDetector::EndOfBlock(QByteArray* keys) {
    m_filled = 0;
    const char key = Classify();
    if (key && key == m_candidate && key != m_held) {
        m_held = key;
        keys->append(key);
    }
    m_candidate = key;
    m_silentBlocks = key == m_held || StillSounds(m_held) ? 0 : m_silentBlocks + 1;
    if (m_silentBlocks >= 2) m_held = 0;
}

// A block that holds only a moment of the key's tones (a break on the line) does not end it.
bool TDtmfDetector::StillSounds(char key) const {
    if (!key) return false;
    const QByteArray keys = QByteArray::fromRawData(&kKeys[0][0], sizeof kKeys);
    const int at = int(keys.indexOf(key));
    const float floor = kMinToneAmplitude * kMinToneAmplitude / 4;
    return Power(m_block, kBlock, kRows[at / 5]) > floor &&
           Power(m_block, kBlock, kColumns[at % 5]) > floor;
}

char TDtmfDetector::Classify() const {
    float energy = 0;
    for (const float sample : m_block)
        energy += sample * sample;
    const float meanSquare = energy / kBlock;  // a tone of amplitude A: A * A / 2
    const float floor = kMinToneAmplitude * kMinToneAmplitude;
    if (meanSquare < floor) return 0;
    float rows[4], columns[4];
    for (int i = 0; i < 4; ++i) {
        rows[i] = Power(m_block, kBlock, kRows[i]);
        columns[i] = Power(m_block, kBlock, kColumns[i]);
    }
    const int row = Strongest(rows);
    const int column = Strongest(columns);
    if (row < 0 || column < 0) return 0;
    const float low = rows[row], high = columns[column];
    if (low < floor || high < floor) return 0;
    if (low > high * kMaxTwist || high > low * kMaxTwist) return 0;
    // Two tones of amplitudes a and b hold (a * a + b * b) / 2 of the mean square.
    if ((low + high) / 2 < kToneShare * meanSquare) return 0;
    return kKeys[row][column];
}
