// The modem's voice channel end to end: CtWave plays greetings to and records callers from
// the simulated line, through the wave layer, the mapper and the V.253 driver.

#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>
#include <cmath>

#include "audio/ctwave.h"
#include "files.h"
#include "platform/telephony/portlock.h"
#include "platform/telephony/v253line.h"
#include "simulatedline.h"
#include "telephony/ttapi.h"
#include "wavefile.h"

class TestVoice : public QObject {
    Q_OBJECT
    QTemporaryDir m_home;
    QTemporaryDir m_records;
    TSimulatedLine m_modem{m_home.path()};
    QStringList& m_events = m_modem.Events;
    QStringList m_wave;
    CtWaveCallbacks m_callbacks;

    bool Saw(const QString& event, int ms = 5000) { return m_modem.Saw(event, ms); }

    // A call from the simulator, answered; returns the line's wave device of a direction.
    int AnsweredCall(const QString& direction) {
        m_modem.Sim()->Script("rings 10 0.3");
        if (!Saw("5011:Ringing")) return 0;
        m_modem.Tapi()->Answer();
        if (!Saw("5010:Connected")) return 0;
        m_modem.Tapi()->GetWaveId(direction);
        return int(m_modem.Tapi()->WaveId);
    }

private slots:
    void initTestCase() {
        qputenv("XDG_CONFIG_HOME", m_home.path().toUtf8());
        QDir().mkpath(m_home.filePath("locks"));
        TPortLock::SetFolder(m_home.filePath("locks"));
        TV253Line::CommandTimeoutMs = 1000;
        auto note = [this](const char* what) { return [this, what] { m_wave << what; }; };
        m_callbacks = {note("out-open"), note("out-done"), note("out-close"),
                       note("in-open"),  note("in-data"),  note("in-close")};
    }

    void init() {
        m_events.clear();
        m_wave.clear();
        QCOMPARE(m_modem.Connect({"--record-dir", m_records.path()}), 0);
    }

    void cleanup() {
        m_modem.Close();
        for (const QString& name : QDir(m_records.path()).entryList(QDir::Files))
            QFile::remove(m_records.filePath(name));
    }

    void greetingReachesTheLine() {
        const int device = AnsweredCall("wave/out");
        QVERIFY(device >= 1000);
        const QString greeting = m_home.filePath("greeting.wav");
        QFile file(greeting);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(Wave(11025, Tone(440, 2.0, 11025, 8, 1, 0.8)));
        file.close();

        CtWave wave(&m_callbacks);
        QVERIFY(wave.Load(greeting));
        QElapsedTimer clock;
        clock.start();
        QVERIFY(wave.Play(device, false));
        QTRY_VERIFY(wave.GetPosition() > 0);  // the greeting is under way
        m_modem.Sim()->Script("keys 4");      // the caller keys a digit during the greeting
        QVERIFY(QTest::qWaitFor([&] { return m_wave.contains("out-close"); }, 8000));
        const qint64 elapsed = clock.elapsed();
        QCOMPARE(m_wave, (QStringList{"out-open", "out-done", "out-close"}));
        QVERIFY2(elapsed > 1900 && elapsed < 3500,
                 qPrintable(QString::number(elapsed)));  // real time
        QVERIFY(m_events.contains("9:4"));

        const QByteArray played = ReadAll(m_records.filePath("vtx-1.wav")).mid(44);
        QVERIFY2(qAbs(played.size() - 16000) <= 160, qPrintable(QString::number(played.size())));
        QVERIFY(qAbs(Frequency(played, 8000) - 440) < 5);
        QVERIFY(m_modem.Sim()->Commands().contains("AT+VTX"));
    }

    void callerRecordedAsAWave() {
        const int device = AnsweredCall("wave/in");
        QVERIFY(device >= 1000);
        m_modem.Sim()->Script("tone 1000 3");
        QTest::qWait(400);  // the simulator takes script lines between its ring timer ticks
        CtWave wave(&m_callbacks);
        QVERIFY(wave.Record(device, 3));
        QTRY_VERIFY(m_modem.Sim()->Commands().contains("AT+VRX"));  // the recording runs
        m_modem.Sim()->Script("keys 7");  // and a digit while the recording runs
        QVERIFY(QTest::qWaitFor([&] { return m_wave.contains("in-close"); }, 8000));
        QCOMPARE(m_wave, (QStringList{"in-open", "in-data", "in-close"}));
        QCOMPARE(wave.RecordedSize(), 3u * 11025u);
        QVERIFY(m_events.contains("9:7"));
        const QString saved = m_home.filePath("message.wav");
        QVERIFY(wave.Save(saved));
        const QByteArray samples = ReadAll(saved).mid(46);  // the 46-byte header
        const double hz = Frequency(samples.left(2 * 11025), 11025);
        QVERIFY2(qAbs(hz - 1000) < 10, qPrintable(QString::number(hz)));

        // The line is in command state again: the call drops cleanly.
        QVERIFY(m_modem.Tapi()->Hangup());
        QVERIFY(Saw("1:Call State Idle"));
        QVERIFY(QTest::qWaitFor([&] { return m_events.count("5009:Opened Sim") == 2; }, 5000));
    }

    void callerHangsUpMidRecording() {
        const int device = AnsweredCall("wave/in");
        CtWave wave(&m_callbacks);
        QVERIFY(wave.Record(device, 20));
        QTRY_VERIFY(m_modem.Sim()->Commands().contains("AT+VRX"));
        QTest::qWait(1000);  // the caller speaks for a second before hanging up
        m_modem.Sim()->Script("hangup b");
        QVERIFY(Saw("16384:Call State Disconnected"));
        QVERIFY(QTest::qWaitFor([&] { return m_wave.contains("in-close"); }, 5000));
        QCOMPARE(m_wave, (QStringList{"in-open", "in-data", "in-close"}));
        const quint32 kept = wave.RecordedSize();
        QVERIFY2(kept > 11025 / 2 && kept < 3 * 11025, qPrintable(QString::number(kept)));
        QVERIFY(m_modem.Tapi()->Hangup());
        QVERIFY(Saw("1:Call State Idle"));
        QVERIFY(m_modem.Sim()->Commands().contains("ATH0"));
    }

    void stopDuringPlayback() {
        const int device = AnsweredCall("wave/out");
        const QString greeting = m_home.filePath("long.wav");
        QFile file(greeting);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(Wave(11025, Tone(300, 6.0, 11025, 8, 1, 0.8)));
        file.close();
        CtWave wave(&m_callbacks);
        QVERIFY(wave.Load(greeting));
        QVERIFY(wave.Play(device, false));
        QTRY_VERIFY(wave.GetPosition() > 11025 / 2);
        QVERIFY(wave.Stop());
        QVERIFY(QTest::qWaitFor([&] { return m_wave.contains("out-close"); }, 3000));
        QCOMPARE(m_wave, (QStringList{"out-open", "out-done", "out-close"}));
        // The modem took the abort: the next command works.
        QVERIFY(m_modem.Tapi()->Hangup());
        QVERIFY(Saw("1:Call State Idle"));
        QCOMPARE(m_events.filter("12:\tSuccess for Unknown:").size(), 1);  // the drop's reply
        QVERIFY(m_events.filter("12:\tFailed").isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestVoice)
#include "test_voice.moc"
