// CtWave over the wave layer on test devices: loading, playing, recording and saving, the
// notification orders, the mapper's conversion, volume, hostile files, shipped sounds.

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>
#include <cmath>

#include "audio/ctwave.h"
#include "audio/shippedsounds.h"
#include "eventloop.h"
#include "files.h"
#include "platform/profile.h"
#include "platform/wave/converter.h"
#include "platform/wave/sounds.h"
#include "platform/wave/testdevice.h"
#include "scriptedprompts.h"
#include "wavefile.h"

namespace {
constexpr int kOut = 2000, kIn = 2001;
}  // namespace

class TestTWave : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QStringList m_seen;
    CtWaveCallbacks m_callbacks;
    std::unique_ptr<TTestWaveDevice> m_out, m_in;

    void Use(bool realTime) {
        m_out = std::make_unique<TTestWaveDevice>(true, realTime);
        m_in = std::make_unique<TTestWaveDevice>(false, realTime);
        TWaveDevices::Register(kOut, m_out.get());
        TWaveDevices::Register(kIn, m_in.get());
    }
    QString File(const char* name, const QByteArray& bytes) {
        const QString path = m_dir.filePath(name);
        if (!WriteAll(path, bytes))
            QTest::qFail("the test file cannot be written", __FILE__, __LINE__);
        return path;
    }

    // What the output device got from playing a file once through a new player (empty when
    // it did not play).
    QByteArray PlayedOnce(const QString& file) {
        CtWave wave(&m_callbacks);
        m_out->Played.clear();
        m_seen.clear();
        if (!wave.Load(file) || !wave.Play(kOut, false) ||
            !QTest::qWaitFor([&] { return m_seen.contains("out-close"); }, 5000))
            return {};
        return m_out->Played;
    }

private slots:
    void init() {
        m_seen.clear();
        auto note = [this](const char* what) { return [this, what] { m_seen << what; }; };
        m_callbacks = {note("out-open"), note("out-done"), note("out-close"),
                       note("in-open"),  note("in-data"),  note("in-close")};
        Use(false);
    }
    void cleanup() {
        TWaveDevices::Unregister(kOut);
        TWaveDevices::Unregister(kIn);
    }

    void playsWholeFilesInOrder() {
        const QByteArray samples = Tone(440, 0.5, 11025, 8, 1);
        CtWave wave(&m_callbacks);
        QVERIFY(wave.Load(File("tone.wav", WaveFile(11025, 8, 1, samples))));
        QCOMPARE(wave.RecordedSize(), quint32(samples.size()));
        QCOMPARE(wave.Format().size(), 16);
        QVERIFY(wave.Play(kOut, false));
        QVERIFY(m_seen.isEmpty());  // notifications come through the event loop
        QVERIFY(QTest::qWaitFor([&] { return m_seen.size() == 3; }, 3000));
        QCOMPARE(m_seen, (QStringList{"out-open", "out-done", "out-close"}));
        QCOMPARE(m_out->Played, samples);
        QVERIFY(!wave.IsPlaying());

        // A stopped playback plays again without reloading; Stop twice does nothing more.
        m_seen.clear();
        m_out->Played.clear();
        QVERIFY(wave.PlayFrom(kOut, 1000));
        QVERIFY(wave.Stop());
        QVERIFY(wave.Stop());
        QVERIFY(QTest::qWaitFor([&] { return m_seen.size() == 3; }, 3000));
        QCOMPARE(m_seen, (QStringList{"out-open", "out-done", "out-close"}));
        QVERIFY(NothingWithin(50, [&] { return m_seen.size() > 3; }));

        // Stop from the done notification.
        m_seen.clear();
        m_callbacks.OnWaveOutDone = [&] {
            m_seen << "out-done";
            wave.Stop();
        };
        m_out->Played.clear();
        QVERIFY(wave.PlayFrom(kOut, 0));  // offset 0 is a plain play
        QVERIFY(QTest::qWaitFor([&] { return m_seen.size() == 3; }, 3000));
        QCOMPARE(m_out->Played, samples);
    }

    void positionsAndLoops() {
        Use(true);
        const QByteArray samples = Tone(440, 1.0, 11025, 8, 1);
        CtWave wave(&m_callbacks);
        QVERIFY(wave.Load(File("pos.wav", WaveFile(11025, 8, 1, samples))));
        QVERIFY(wave.PlayFrom(kOut, 5000));
        QCOMPARE(wave.GetPosition(), 5000);
        QTest::qWait(200);
        const int position = wave.GetPosition();
        QVERIFY2(position > 5000 + 1000 && position < 5000 + 4000,
                 qPrintable(QString::number(position)));
        wave.Stop();
        QCOMPARE(wave.GetPosition(), 0);

        // Played again at once: the done notice of the stopped playback, still on its way,
        // must not stop this one.
        QVERIFY(wave.Play(kOut, true));  // loops until stopped
        QTest::qWait(1300);
        QVERIFY(wave.IsPlaying());
        QVERIFY(m_out->Played.size() > samples.size());
        wave.Stop();
    }

    void theMapperConvertsForTheDevice() {
        // A 44.1 kHz 16-bit stereo file for a device that takes 8 kHz 8-bit mono.
        m_out->Native = WAVEFORMATEX::Pcm(8000, 8, 1);
        CtWave wave(&m_callbacks);
        QVERIFY(wave.Load(File("cd.wav", WaveFile(44100, 16, 2, Tone(700, 2.0, 44100, 16, 2)))));
        QVERIFY(wave.Play(kOut, false));
        QVERIFY(QTest::qWaitFor([&] { return m_seen.contains("out-close"); }, 5000));
        QVERIFY(qAbs(m_out->Played.size() - 16000) < 160);  // within 1% of two seconds
        QVERIFY(qAbs(Frequency(m_out->Played, 8000) - 700) < 7);

        // A device opened without the mapper takes only its own format.
        HWAVEOUT handle = 0;
        const WAVEFORMATEX cd = WAVEFORMATEX::Pcm(44100, 16, 2);
        QCOMPARE(waveOutOpen(&handle, kOut, &cd, nullptr, WAVE_FORMAT_QUERY),
                 MMRESULT(WAVERR_BADFORMAT));
        QCOMPARE(waveOutOpen(&handle, kOut, &cd, nullptr, WAVE_FORMAT_QUERY | WAVE_MAPPED),
                 MMRESULT(MMSYSERR_NOERROR));

        // G.711 both ways keeps the signal.
        for (qint16 s : {qint16(0), qint16(1000), qint16(-1000), qint16(32000), qint16(-32000)}) {
            QVERIFY(qAbs(MuLawToLinear(LinearToMuLaw(s)) - s) <= qMax(64, qAbs(s) / 16));
            QVERIFY(qAbs(ALawToLinear(LinearToALaw(s)) - s) <= qMax(64, qAbs(s) / 16));
        }
    }

    // A greeting played to every caller is converted once and comes out the same each time;
    // one edited in place (same name, same length) is heard as it is now, never as it was.
    void aSoundPlayedAgainAndEdited() {
        m_out->Native = WAVEFORMATEX::Pcm(8000, 8, 1);
        const QString greeting =
            File("greeting.wav", WaveFile(11025, 8, 1, Tone(500, 1.0, 11025, 8, 1)));
        const QByteArray first = PlayedOnce(greeting);
        QVERIFY(qAbs(first.size() - 8000) < 80);
        QCOMPARE(PlayedOnce(greeting), first);

        QVERIFY(WriteAll(greeting, WaveFile(11025, 8, 1, Tone(900, 1.0, 11025, 8, 1))));
        PlayedOnce(greeting);
        QVERIFY(qAbs(Frequency(m_out->Played, 8000) - 900) < 9);
    }

    void recordsAndSaves() {
        m_in->ToneHz = 1000;
        CtWave wave(&m_callbacks);
        QVERIFY(wave.Record(kIn, 1));  // left to run (at once)
        QVERIFY(QTest::qWaitFor([&] { return m_seen.contains("in-close"); }, 3000));
        QCOMPARE(m_seen, (QStringList{"in-open", "in-data", "in-close"}));
        QCOMPARE(wave.RecordedSize(), 11025u);
        QVERIFY(qAbs(Frequency(wave.Data().left(11025), 11025) - 1000) < 10);

        Use(true);
        m_seen.clear();
        QVERIFY(wave.Record(kIn, 3));
        QTest::qWait(1000);
        wave.Stop();
        QVERIFY(QTest::qWaitFor([&] { return m_seen.contains("in-close"); }, 3000));
        const quint32 n = wave.RecordedSize();
        QVERIFY2(n > 11025 * 8 / 10 && n < 11025 * 12 / 10, qPrintable(QString::number(n)));
        const QString saved = m_dir.filePath("message.wav");
        QVERIFY(wave.Save(saved));
        QFile file(saved);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QCOMPARE(bytes.size(), qsizetype(46 + n));
        QCOMPARE(qFromLittleEndian<quint32>(bytes.constData() + 4), 38 + n);
        QCOMPARE(bytes.mid(12, 8), QByteArray("fmt \x12\0\0\0", 8));
        QCOMPARE(bytes.mid(20, 18), CtWave::RecordingFormat());
        QCOMPARE(bytes.mid(38, 4), QByteArray("data"));
        CtWave back(nullptr);
        QVERIFY(back.Load(saved));
        QCOMPARE(back.RecordedSize(), n);

        // A phone line's 8000 Hz, converted as it comes: stopped after the caller's last
        // second, every moment of that second is in the recording (what the resampler held too).
        // The next caller, recorded the same way, gets a recording of their own: the same
        // length, with nothing of the one before.
        m_in->Native = WAVEFORMATEX::Pcm(8000, 8, 1);
        m_in->ToneHz = 1000;
        for (int caller = 0; caller < 2; ++caller) {
            m_in->StallAfter = 8000;
            m_seen.clear();
            QVERIFY(wave.Record(kIn, 3));
            QTest::qWait(1300);
            wave.Stop();
            QVERIFY(QTest::qWaitFor([&] { return m_seen.contains("in-close"); }, 3000));
            QVERIFY2(qAbs(int(wave.RecordedSize()) - 11025) <= 110,
                     qPrintable(QString::number(wave.RecordedSize())));
            QVERIFY(qAbs(Frequency(wave.Data().mid(1000, 9000), 11025) - 1000) < 10);
        }

        CtWave empty(nullptr);
        QVERIFY(!empty.Save(m_dir.filePath("nothing.wav")));
        QVERIFY(!QFile::exists(m_dir.filePath("nothing.wav")));
    }

    void volume() {
        CtWave wave(&m_callbacks);
        m_out->Volume = 0xFFFFu << 16;
        QCOMPARE(wave.GetVolume(kOut), 100);
        m_out->Volume = 0x8000u << 16;
        QCOMPARE(wave.GetVolume(kOut), 50);
        QVERIFY(wave.Load(File("v.wav", WaveFile(11025, 8, 1, Tone(300, 1, 11025, 8, 1)))));
        Use(true);
        QVERIFY(wave.Play(kOut, false));
        QVERIFY(wave.SetVolume(2, 50));
        QCOMPARE(m_out->Volume, 0x7FFF7FFFu);
        QVERIFY(!wave.SetVolume(1, 10));
        QCOMPARE(m_out->Volume, 0x7FFF7FFFu);
        wave.Stop();
        QCOMPARE(wave.GetVolume(3999), -1);
        QCOMPARE(wave.ErrorText(), QString("Sound error during Get Volume\rReason:No Driver"));
    }

    void failuresAndHostileFiles() {
        TScriptedPrompts prompts;
        CtWave wave(&m_callbacks);
        QVERIFY(!wave.Load(m_dir.filePath("missing.wav")));
        QCOMPARE(wave.ErrorText(),
                 QString("Sound error during mmioOpen()\rReason:Failed to open file: "));
        QVERIFY(prompts.History.isEmpty());
        QObject owner;
        wave.m_owner = &owner;
        QVERIFY(!wave.Load(m_dir.filePath("missing.wav")));
        QCOMPARE(prompts.Texts(),
                 QStringList{"Sound error during mmioOpen()\rReason:Failed to open file: "});
        QCOMPARE(prompts.History.last().Caption, QString("CtWave Error"));

        QVERIFY(!wave.Load(File("empty.wav", WaveFile(11025, 8, 1, {}))));
        QCOMPARE(wave.LastLog(), QString("Data chunk actually has no data\n"));
        QCOMPARE(prompts.History.size(), 1);  // logged only
        QVERIFY(!wave.Play(kOut, false));

        // A data chunk that claims more than the file holds: a short read, logged only.
        const QByteArray whole = WaveFile(11025, 8, 1, Tone(300, 0.1, 11025, 8, 1));
        QVERIFY(!wave.Load(File("short.wav", whole.left(whole.size() - 10))));
        QCOMPARE(wave.LastLog(), QString("mmioRead() -- Failed to read waveform data subchunk\n"));
        QCOMPARE(prompts.History.size(), 1);
        QVERIFY(!wave.Load(File("nofmt.wav", QByteArray("RIFF\x04\0\0\0WAVE", 12))));
        QCOMPARE(prompts.Texts().last(),
                 QString("Sound error during mmioDescend\rReason:The chunk was not found."));

        QVERIFY(wave.Load(File("ok.wav", whole)));
        QVERIFY(!wave.Play(3000, false));  // no such device
        QCOMPARE(wave.ErrorText(), QString("Sound error during Open sound device\rReason:There is "
                                           "no sound device with that number."));

        // Mangled files: truncated, lying sizes, random bytes. None may crash or overrun.
        const QByteArray good = WaveFile(11025, 8, 1, Tone(300, 0.2, 11025, 8, 1));
        QRandomGenerator random(7);
        wave.m_owner = nullptr;
        for (int round = 0; round < 300; ++round) {
            QByteArray bad = good.left(int(random.bounded(good.size())));
            if (round % 3 == 1) {
                bad = good;
                for (int k = 0; k < 6; ++k)
                    bad[int(random.bounded(48))] = char(random.bounded(256));
            }
            if (round % 3 == 2) {
                bad = good;
                qToLittleEndian<quint32>(random.generate(), bad.data() + 40);  // the data size
            }
            if (wave.Load(File("bad.wav", bad))) {
                QVERIFY(wave.RecordedSize() <= quint32(bad.size()));
                wave.Play(kOut, false);
                wave.Stop();
            }
        }
    }

    void soundCardWithoutSoundServer() {
        if (!TWaveDevices::SoundCardNames(true).isEmpty()) QSKIP("this machine has a sound card");
        CtWave wave(&m_callbacks);
        QVERIFY(wave.Load(File("card.wav", WaveFile(11025, 8, 1, Tone(300, 0.1, 11025, 8, 1)))));
        QVERIFY(!wave.Play(0, false));
        QCOMPARE(wave.ErrorText(), QString("Sound error during Open sound device\rReason:There is "
                                           "no sound device with that number."));
        QVERIFY(!wave.Record(WAVE_MAPPER, 1));
        QVERIFY(!PlaySoundAsync(m_dir.filePath("card.wav")));
        QVERIFY(!PlaySoundNoStop(m_dir.filePath("missing.wav")));
    }

    void shippedSounds() {
        QTemporaryDir folder;
        TProfile::SetFolder(folder.path());
        const QStringList names = ShippedSoundNames();
        QVERIFY(names.contains("System Sounds/beep.wav"));
        QVERIFY(names.contains("System Sounds/msg9.wav"));
        QVERIFY(names.contains("Greetings/Default Greeting 3.wav"));
        QVERIFY(names.contains("Personal Sounds/ring.wav"));
        QDir().mkpath(folder.filePath("System Sounds"));
        QVERIFY(WriteAll(folder.filePath("System Sounds/beep.wav"), "mine"));
        const QStringList copied = InstallShippedSounds();
        QCOMPARE(copied.size(), names.size() - 1);  // the user's own beep stays
        QVERIFY(InstallShippedSounds().isEmpty());
        QFile beep(folder.filePath("System Sounds/beep.wav"));
        QVERIFY(beep.open(QIODevice::ReadOnly));
        QCOMPARE(beep.readAll(), QByteArray("mine"));
        for (const QString& name : copied) {
            CtWave sound(nullptr);
            QVERIFY2(sound.Load(folder.filePath(name)), qPrintable(name));
            WAVEFORMATEX format;
            QVERIFY(WAVEFORMATEX::FromBlock(sound.Format(), &format));
            QCOMPARE(format.nSamplesPerSec, 11025u);
            QCOMPARE(format.wBitsPerSample, quint16(8));
            QCOMPARE(format.nChannels, quint16(1));
        }
    }
};

QTEST_GUILESS_MAIN(TestTWave)
#include "test_twave.moc"
