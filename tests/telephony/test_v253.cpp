// TTapi over the V.253 modem driver over the modem simulator on a pseudo-terminal: the whole
// road of incoming and outgoing calls, as the program sees it.

#include <QTemporaryDir>
#include <QtTest>

#include "eventloop.h"
#include "platform/telephony/portlock.h"
#include "platform/telephony/v253line.h"
#include "simulatedline.h"
#include "telephony/ttapi.h"

class TestV253 : public QObject {
    Q_OBJECT
    QTemporaryDir m_home;
    TSimulatedLine m_modem{m_home.path()};
    QStringList& m_events = m_modem.Events;
    QStringList& m_callerIds = m_modem.CallerIds;

    int Connect(const QStringList& options = {}) { return m_modem.Connect(options); }
    bool Saw(const QString& event, int ms = 5000) { return m_modem.Saw(event, ms); }

private slots:
    void initTestCase() {
        qputenv("XDG_CONFIG_HOME", m_home.path().toUtf8());
        QDir().mkpath(m_home.filePath("locks"));
        TPortLock::SetFolder(m_home.filePath("locks"));
        TV253Line::RingTimeoutMs = 1500;
        TV253Line::CommandTimeoutMs = 700;
        TV253Line::CallerIdQuietMs = 300;
        TV253Line::CallerIdExpiryMs = 1000;
    }

    void init() {
        m_events.clear();
        m_callerIds.clear();
    }

    void cleanup() { m_modem.Close(); }

    void callerIdCallAnsweredAndDropped() {
        QCOMPARE(Connect(), 0);
        QVERIFY(m_events.contains("5009:Opened Sim"));
        QCOMPARE(m_modem.Tapi()->IsVoiceLine(m_modem.Tapi()->DeviceId), 1);
        const QStringList init = m_modem.Sim()->Commands();
        QCOMPARE(init.first(), QString("ATZ"));
        QVERIFY(init.contains("AT+VSM=1,8000"));  // unsigned 8-bit PCM from the Conexant list
        QVERIFY(init.contains("AT+VCID=1") && init.contains("AT+VIT=0") &&
                init.contains("AT+FCLASS=8"));

        m_modem.Sim()->Script("ring");
        m_modem.Sim()->Script("cid 4045551212 SMITH J");
        m_modem.Sim()->Script("rings 3 0.4");
        QVERIFY(QTest::qWaitFor([&] { return !m_callerIds.isEmpty(); }, 5000));
        QCOMPARE(m_callerIds, QStringList{"12|SMITH J|4045551212"});
        QVERIFY(Saw("5011:Ringing"));
        QVERIFY(m_events.indexOf("2:Call State Offering - we own this call") <
                m_events.indexOf("5011:Ringing"));

        QVERIFY(m_modem.Tapi()->Answer() > 0);
        QVERIFY(Saw("5010:Connected"));
        QCOMPARE(
            m_events.filter(QRegularExpression("^5013:\tSuccess for Answer Line:\\d+$")).size(), 1);
        QVERIFY(m_modem.Sim()->Commands().contains("AT+VLS=1"));
        QCOMPARE(m_modem.Tapi()->GetWaveId("wave/out"), 1);
        QVERIFY(m_modem.Tapi()->WaveId >= 1000);

        QVERIFY(m_modem.Tapi()->Hangup());
        QVERIFY(Saw("1:Call State Idle"));
        QVERIFY(QTest::qWaitFor([&] { return m_events.count("5009:Opened Sim") == 2; }, 5000));
        QVERIFY(m_modem.Sim()->Commands().contains("ATH0"));
    }

    void ringsWithoutCallerIdAndTheCallerGivingUp() {
        QCOMPARE(Connect({"--compact-cid"}), 0);
        m_modem.Sim()->Script("rings 2 0.3");
        QVERIFY(QTest::qWaitFor([&] { return m_events.count("5011:Ringing") == 2; }, 5000));
        QVERIFY(m_callerIds.isEmpty());
        // No ring within the time-out: the caller has hung up.
        QVERIFY(Saw("16384:Call State Disconnected", 4000));
        QVERIFY(Saw("1:Call State Idle"));
        QVERIFY(m_callerIds.isEmpty());

        // A private caller, the caller ID before the first ring, compact form.
        m_events.clear();
        m_modem.Sim()->Script("cid P");
        m_modem.Sim()->Script("rings 2 0.3");
        QVERIFY(Saw("5011:Ringing"));
        QVERIFY(QTest::qWaitFor(
            [&] { return m_events.filter("1:Call Info Current State is").size() == 1; }, 5000));
        QCOMPARE(m_callerIds, QStringList{"1|Private|0000000000"});  // withheld: a kind of its own
    }

    void touchTonesAndFarEndHangUp() {
        QCOMPARE(Connect({"--bracket-dtmf", "--dtmf-end-7f"}), 0);
        m_modem.Sim()->Script("rings 5 0.3");
        QVERIFY(Saw("5011:Ringing"));
        m_modem.Tapi()->Answer();
        QVERIFY(Saw("5010:Connected"));
        m_modem.Sim()->Script("keys 7#");
        QVERIFY(Saw("9:#"));
        QCOMPARE(m_events.count("9:7"), 1);  // one press, one digit
        m_modem.Sim()->Script("hangup l");
        QVERIFY(Saw("16384:Call State Disconnected"));
        QVERIFY(m_modem.Tapi()->Hangup());
        QVERIFY(Saw("1:Call State Idle"));
    }

    void outgoingCalls() {
        QCOMPARE(Connect({"--usr"}), 0);
        QVERIFY(m_modem.Sim()->Commands().contains("AT+VSM=128,8000"));
        QVERIFY(m_modem.Tapi()->MakeCall("(555) 123-4567,1;\rH") >
                0);  // nothing but dial characters is sent
        QVERIFY(Saw("5012:Call State Dialing"));
        QVERIFY(Saw("5010:Connected"));
        QVERIFY(m_modem.Sim()->Commands().contains("ATD5551234567,1"));
        m_modem.Tapi()->Hangup();
        QVERIFY(Saw("1:Call State Idle"));

        m_events.clear();
        m_modem.Sim()->Script("dialresult busy");
        QTest::qWait(100);
        QVERIFY(m_modem.Tapi()->MakeCall("5551234") > 0);
        QVERIFY(Saw("64:Call State Busy"));
        QVERIFY(Saw("16384:Call State Disconnected"));
        QVERIFY(!m_events.contains("5010:Connected"));
    }

    void speakerPhone() {
        QCOMPARE(Connect(), 0);
        m_modem.Sim()->Script("rings 5 0.3");
        QVERIFY(Saw("5011:Ringing"));
        m_modem.Tapi()->Answer();
        QVERIFY(Saw("5010:Connected"));
        QVERIFY(m_modem.Tapi()->SetSpeakerPhone(SPK_ON));
        QVERIFY(
            QTest::qWaitFor([&] { return m_modem.Sim()->Commands().contains("AT+VLS=7"); }, 3000));
        m_modem.Tapi()->Hangup();

        cleanup();
        init();
        QCOMPARE(Connect({"--no-speaker"}), 0);
        QVERIFY(!m_modem.Tapi()->SetSpeakerPhone(SPK_TEST));
        QVERIFY(m_events.contains("0:phone does not support speaker phone"));
    }

    void refusedAndLostModems() {
        // A modem that never answers closes its line again, without holding the program up.
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(Connect({"--silent"}), 0);
        QVERIFY(Saw("3:Line Close"));
        QVERIFY(timer.elapsed() < 5000);
        cleanup();
        init();

        // A data-only modem opens, and says so.
        QCOMPARE(Connect({"--no-voice"}), 0);
        QCOMPARE(m_modem.Tapi()->IsVoiceLine(m_modem.Tapi()->DeviceId), 0);
        QCOMPARE(m_modem.Tapi()->GetWaveId("wave/in"), 0);
        cleanup();

        // Unplugged mid-call: the line closes.
        init();
        QCOMPARE(Connect(), 0);
        m_modem.Sim()->Script("rings 5 0.3");
        QVERIFY(Saw("5011:Ringing"));
        m_modem.Tapi()->Answer();
        QVERIFY(Saw("5010:Connected"));
        m_modem.Sim()->Script("close");
        QVERIFY(Saw("3:Line Close"));
    }

    void lockedPortAndTakeOver() {
        QVERIFY(m_modem.Start() >= 0);
        const QString lockPath = TPortLock(m_modem.Sim()->Device).Path();
        QFile lock(lockPath);
        QVERIFY(lock.open(QIODevice::WriteOnly));
        lock.write(QByteArray::number(qint64(getppid())).rightJustified(10, ' ') + "\n");  // alive
        lock.close();
        // Connect to this very simulator.
        const int id = m_modem.Tapi()->FindLineDevice("Sim");
        QString text;
        QCOMPARE(m_modem.Tapi()->OpenLine(quint32(id), &text), LINEERR_RESOURCEUNAVAIL);
        QCOMPARE(text, QString("Error calling TAPI function lineOpen\rReason: Resource (modem) "
                               "unavailable\rCode: -2147483573"));

        // A stale lock of a process that is gone is taken over, in the HDB form.
        QVERIFY(lock.open(QIODevice::WriteOnly | QIODevice::Truncate));
        lock.write("    999999\n");
        lock.close();
        QCOMPARE(m_modem.Tapi()->OpenLine(quint32(id), &text), 0);
        QCOMPARE(TPortLock::OwnerOf(lockPath), qint64(getpid()));
        lock.open(QIODevice::ReadOnly);
        QCOMPARE(lock.readAll(),
                 QByteArray::number(qint64(getpid())).rightJustified(10, ' ') + "\n");
        lock.close();

        // Another program takes the modem: the line lets it go.
        QVERIFY(lock.open(QIODevice::WriteOnly | QIODevice::Truncate));
        lock.write(QByteArray::number(qint64(getppid())).rightJustified(10, ' ') + "\n");
        lock.close();
        QVERIFY(Saw("3:Line Close"));
        m_modem.Tapi()->ShutdownLine();
        QCOMPARE(TPortLock::OwnerOf(lockPath), qint64(getppid()));  // theirs, left alone
    }

    // A caller ID block that no ring follows (line noise, a late block after a missed call)
    // is dropped, so the next real caller keeps his own; a block of only a date and a time
    // is no caller ID at all.
    void staleAndEmptyCallerIdBlocks() {
        QCOMPARE(Connect(), 0);
        m_modem.Sim()->Script("cid 1111111111 STALE BLOCK");
        QTest::qWait(TV253Line::CallerIdExpiryMs + 500);
        m_modem.Sim()->Script(
            "ring");  // the real caller ID comes between the first and second ring
        m_modem.Sim()->Script("cid 2222222222 REAL CALLER");
        m_modem.Sim()->Script("rings 2 0.3");
        QVERIFY(QTest::qWaitFor([&] { return !m_callerIds.isEmpty(); }, 5000));
        QCOMPARE(m_callerIds, QStringList{"12|REAL CALLER|2222222222"});
        QVERIFY(Saw("1:Call State Idle"));

        m_callerIds.clear();
        m_events.clear();
        m_modem.Sim()->Script("send DATE=1208\\r\\nTIME=0921\\r\\n");
        m_modem.Sim()->Script("rings 2 0.3");
        QVERIFY(QTest::qWaitFor([&] { return m_events.count("5011:Ringing") == 2; }, 5000));
        QVERIFY(NothingWithin(TV253Line::CallerIdQuietMs, [&] { return !m_callerIds.isEmpty(); }));
    }

    // A block the modem repeats while the same caller rings is that caller's: one call. Another
    // caller's block while it rings ends the call and waits for the new caller's ring.
    void repeatedAndNewBlocksWhileRinging() {
        QCOMPARE(Connect(), 0);
        QVERIFY(
            QTest::qWaitFor([&] { return m_modem.Sim()->Commands().contains("AT+VCID=1"); }, 5000));
        m_modem.Sim()->Script("ring");
        m_modem.Sim()->Script("cid 4045551212 SMITH J");
        m_modem.Sim()->Script("ring");
        m_modem.Sim()->Script("cid 4045551212 SMITH J");
        m_modem.Sim()->Script("rings 1 0.3");
        QVERIFY(QTest::qWaitFor([&] { return m_events.count("5011:Ringing") == 3; }, 5000));
        QVERIFY(NothingWithin(TV253Line::CallerIdQuietMs + 100,
                              [&] { return m_callerIds.size() > 1; }));
        QCOMPARE(m_callerIds, QStringList{"12|SMITH J|4045551212"});
        QCOMPARE(m_events.count("2:Call State Offering - we own this call"), 1);

        m_modem.Sim()->Script("ring");
        m_modem.Sim()->Script("cid 7705550123 JONES R");
        QVERIFY(Saw("16384:Call State Disconnected"));  // the first caller has gone
        QVERIFY(QTest::qWaitFor([&] { return m_events.count("5009:Opened Sim") == 2; }, 5000));
        m_modem.Sim()->Script("rings 1 0.3");
        QVERIFY(QTest::qWaitFor([&] { return m_callerIds.size() == 2; }, 5000));
        QCOMPARE(m_callerIds.last(), QString("12|JONES R|7705550123"));
    }

    void garbageFromTheModem() {
        QCOMPARE(Connect(), 0);
        m_modem.Sim()->Script("send \\0\\0garbage\\r\\nXYZZY = 12\\r\\n+++\\r\\n");
        m_modem.Sim()->Script("rings 2 0.3");
        QVERIFY(Saw("5011:Ringing"));
        QVERIFY(m_callerIds.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestV253)
#include "test_v253.moc"
