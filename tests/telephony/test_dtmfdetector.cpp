// Touch tones heard in a call's voice: every key, how long a key must sound and how often it is
// reported, keys too weak or too lopsided, and speech and noise that must never sound like one.

#include <QDir>
#include <QtTest>
#include <cmath>
#include <random>

#include "platform/telephony/dtmfdetector.h"
#include "platform/wave/converter.h"

namespace {
constexpr double kRate = 8000;

struct TKeyTones {
    double Low, High;
};

TKeyTones TonesOf(char key) {
    static const QByteArray keys = "123A456B789C*0#D";
    const int at = int(keys.indexOf(key));
    static const double rows[] = {697, 770, 852, 941}, columns[] = {1209, 1336, 1477, 1633};
    return {rows[at / 4], columns[at % 4]};
}

// A call's audio, built up piece by piece and passed through the line's G.711 coding.
struct TAudio {
    QVector<qint16> Samples;
    double Phase = 0;
    void Key(char key, int ms, double lowAmplitude = 6000, double highAmplitude = 6000) {
        const TKeyTones tones = TonesOf(key);
        for (int i = 0; i < ms * 8; ++i, Phase += 1 / kRate)
            Add(lowAmplitude * std::sin(2 * M_PI * tones.Low * Phase) +
                highAmplitude * std::sin(2 * M_PI * tones.High * Phase));
    }
    void Silence(int ms) {
        for (int i = 0; i < ms * 8; ++i)
            Add(0);
    }
    void Add(double sample) {
        Samples << MuLawToLinear(LinearToMuLaw(qint16(qBound(-32768.0, sample, 32767.0))));
    }
    // Heard in the 10 ms pieces the media engine hands over.
    QByteArray Heard() const {
        TDtmfDetector detector;
        QByteArray keys;
        for (qsizetype at = 0; at < Samples.size(); at += 80)
            keys += detector.Feed(Samples.constData() + at,
                                  int(qMin<qsizetype>(80, Samples.size() - at)));
        return keys;
    }
};
}  // namespace

class TestDtmfDetector : public QObject {
    Q_OBJECT
private slots:
    void everyKeyOnceHoweverLongItSounds() {
        TAudio audio;
        audio.Silence(13);  // keys fall anywhere in the blocks
        for (const char key : QByteArray("123A456B789C*0#D")) {
            audio.Key(key, 45);  // the shortest a phone sends
            audio.Silence(40);
        }
        audio.Key('5', 2000);  // held
        audio.Silence(10);     // a break on the line is one press, not two; a pause is two
        audio.Key('5', 60);
        audio.Silence(60);
        audio.Key('5', 60);
        audio.Key('9', 60);  // straight from one key to the next
        QCOMPARE(audio.Heard(), QByteArray("123A456B789C*0#D559"));
    }

    void tooShortWeakOrLopsidedIsNoKey() {
        TAudio audio;
        audio.Key('1', 15);  // a click
        audio.Silence(100);
        audio.Key('2', 100, 150, 150);  // far below a phone's level
        audio.Silence(100);
        audio.Key('3', 100, 6000, 600);  // 20 dB apart
        audio.Silence(100);
        audio.Key('4', 100, 2000, 6000);  // 9.5 dB apart: still too much twist
        audio.Silence(100);
        audio.Key('6', 100, 6000, 2500);  // 7.6 dB apart: a tired line, still heard
        QCOMPARE(audio.Heard(), QByteArray("6"));
    }

    // Talk-off: the shipped spoken prompts, a tone of one frequency, and loud noise.
    void speechAndNoiseAreNoKeys() {
        const WAVEFORMATEX line = WAVEFORMATEX::Pcm(8000, 16, 1);
        int files = 0;
        TAudio audio;
        for (const char* folder : {"Greetings", "System Sounds"}) {
            const QDir dir(QStringLiteral(RINGVALE_SOUNDS "/") + QLatin1String(folder));
            for (const QString& name : dir.entryList({"*.wav"})) {
                QFile file(dir.filePath(name));
                QVERIFY(file.open(QIODevice::ReadOnly));
                const QByteArray wave = file.readAll();
                QCOMPARE(wave.mid(22, 2), QByteArray("\1\0", 2));  // mono, 8-bit, 11025 Hz
                TWaveConverter convert(WAVEFORMATEX::Pcm(11025, 8, 1), line);
                const QByteArray pcm = convert.Convert(wave.mid(44), true);
                for (qsizetype at = 0; at + 1 < pcm.size(); at += 2)
                    audio.Add(4 * qFromLittleEndian<qint16>(pcm.constData() + at));  // shouted
                ++files;
            }
        }
        QVERIFY(files > 30);
        QVERIFY(audio.Samples.size() > 8000 * 60);
        for (int i = 0; i < 8000; ++i)
            audio.Add(8000 * std::sin(2 * M_PI * 1000 * i / kRate));
        std::mt19937 random(7);
        std::normal_distribution<double> noise(0, 6000);
        for (int i = 0; i < 8000 * 10; ++i)
            audio.Add(noise(random));
        QCOMPARE(audio.Heard(), QByteArray());
    }
};

QTEST_GUILESS_MAIN(TestDtmfDetector)
#include "test_dtmfdetector.moc"
