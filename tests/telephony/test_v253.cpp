// TTapi over the V.253 modem driver over the modem simulator on a pseudo-terminal: the whole
// road of incoming and outgoing calls, as the program sees it.

#include <QTemporaryDir>
#include <QtTest>

#include "platform/telephony/portlock.h"
#include "platform/telephony/v253line.h"
#include "simulator.h"
#include "telephony/ttapi.h"

class TestV253 : public QObject {
    Q_OBJECT
    QTemporaryDir m_home;
    std::unique_ptr<TSimulator> m_sim;
    std::unique_ptr<TV253Provider> m_provider;
    std::unique_ptr<TTapi> m_tapi;
    TTapiEvents m_table;
    QStringList m_events;
    QStringList m_callerIds;

    // Starts a simulator named "Sim" in lines.conf and connects to it as the program does.
    int Connect(const QStringList& options = {}) {
        m_sim = std::make_unique<TSimulator>(options);
        if (m_sim->Device.isEmpty()) return -1000;
        m_sim->WriteLinesConf(m_home.path(), "Sim");
        m_provider = std::make_unique<TV253Provider>();
        m_provider->ByIdFolder = m_home.filePath("no-by-id");
        m_tapi = std::make_unique<TTapi>(1);
        m_tapi->Events = &m_table;
        m_tapi->InitLine();
        m_tapi->InitPhone();
        const int id = m_tapi->FindLineDevice("Sim");
        if (id < 0) return -2000;
        QString text;
        const int opened = m_tapi->OpenLine(quint32(id), &text);
        // The modem is set up after the open returns: ready once it has said what it can do.
        if (opened == 0)
            (void)QTest::qWaitFor(
                [&] { return Saw("5016:Modem capabilities known", 0) || Saw("3:Line Close", 0); },
                5000);
        return opened;
    }

    bool Saw(const QString& event, int ms = 5000) {
        return m_events.contains(event) ||
               (ms > 0 && QTest::qWaitFor([&] { return m_events.contains(event); }, ms));
    }

private slots:
    void initTestCase() {
        qputenv("XDG_CONFIG_HOME", m_home.path().toUtf8());
        QDir().mkpath(m_home.filePath("locks"));
        TPortLock::SetFolder(m_home.filePath("locks"));
        TV253Line::RingTimeoutMs = 1500;
        TV253Line::CommandTimeoutMs = 700;
        TV253Line::CallerIdQuietMs = 300;
        TV253Line::CallerIdExpiryMs = 1000;
        m_table.OnLineEvent = [this](int code, const QString& text) {
            m_events << QString::number(code) + ":" + text;
        };
        m_table.OnCallerId = [this](quint32 flags, const QString& name, const QString& number) {
            m_callerIds << QString::number(flags) + "|" + name + "|" + number;
        };
    }

    void init() {
        m_events.clear();
        m_callerIds.clear();
    }

    void cleanup() {
        m_tapi.reset();
        m_provider.reset();
        m_sim.reset();
        for (const QString& name : QDir(m_home.filePath("locks")).entryList(QDir::Files))
            QFile::remove(m_home.filePath("locks/" + name));
        QTest::qWait(20);
    }

    void callerIdCallAnsweredAndDropped() {
        QCOMPARE(Connect(), 0);
        QVERIFY(m_events.contains("5009:Opened Sim"));
        QCOMPARE(m_tapi->IsVoiceLine(m_tapi->DeviceId), 1);
        const QStringList init = m_sim->Commands();
        QCOMPARE(init.first(), QString("ATZ"));
        QVERIFY(init.contains("AT+VSM=1,8000"));  // unsigned 8-bit PCM from the Conexant list
        QVERIFY(init.contains("AT+VCID=1") && init.contains("AT+VIT=0") &&
                init.contains("AT+FCLASS=8"));

        m_sim->Script("ring");
        m_sim->Script("cid 4045551212 SMITH J");
        m_sim->Script("rings 3 0.4");
        QVERIFY(QTest::qWaitFor([&] { return !m_callerIds.isEmpty(); }, 5000));
        QCOMPARE(m_callerIds, QStringList{"12|SMITH J|4045551212"});
        QVERIFY(Saw("5011:Ringing"));
        QVERIFY(m_events.indexOf("2:Call State Offering - we own this call") <
                m_events.indexOf("5011:Ringing"));

        QVERIFY(m_tapi->Answer() > 0);
        QVERIFY(Saw("5010:Connected"));
        QCOMPARE(
            m_events.filter(QRegularExpression("^5013:\tSuccess for Answer Line:\\d+$")).size(), 1);
        QVERIFY(m_sim->Commands().contains("AT+VLS=1"));
        QCOMPARE(m_tapi->GetWaveId("wave/out"), 1);
        QVERIFY(m_tapi->WaveId >= 1000);

        QVERIFY(m_tapi->Hangup());
        QVERIFY(Saw("1:Call State Idle"));
        QVERIFY(QTest::qWaitFor([&] { return m_events.count("5009:Opened Sim") == 2; }, 5000));
        QVERIFY(m_sim->Commands().contains("ATH0"));
    }

    void ringsWithoutCallerIdAndTheCallerGivingUp() {
        QCOMPARE(Connect({"--compact-cid"}), 0);
        m_sim->Script("rings 2 0.3");
        QVERIFY(QTest::qWaitFor([&] { return m_events.count("5011:Ringing") == 2; }, 5000));
        QVERIFY(m_callerIds.isEmpty());
        // No ring within the time-out: the caller has hung up.
        QVERIFY(Saw("16384:Call State Disconnected", 4000));
        QVERIFY(Saw("1:Call State Idle"));
        QVERIFY(m_callerIds.isEmpty());

        // A private caller, the caller ID before the first ring, compact form.
        m_events.clear();
        m_sim->Script("cid P");
        m_sim->Script("rings 2 0.3");
        QVERIFY(Saw("5011:Ringing"));
        QVERIFY(QTest::qWaitFor(
            [&] { return m_events.filter("1:Call Info Current State is").size() == 1; }, 5000));
        QVERIFY(m_callerIds.isEmpty());  // blocked: nothing reported
    }

    void touchTonesAndFarEndHangUp() {
        QCOMPARE(Connect({"--bracket-dtmf", "--dtmf-end-7f"}), 0);
        m_sim->Script("rings 5 0.3");
        QVERIFY(Saw("5011:Ringing"));
        m_tapi->Answer();
        QVERIFY(Saw("5010:Connected"));
        m_sim->Script("keys 7#");
        QVERIFY(Saw("9:#"));
        QCOMPARE(m_events.count("9:7"), 1);  // one press, one digit
        m_sim->Script("hangup l");
        QVERIFY(Saw("16384:Call State Disconnected"));
        QVERIFY(m_tapi->Hangup());
        QVERIFY(Saw("1:Call State Idle"));
    }

    void outgoingCalls() {
        QCOMPARE(Connect({"--usr"}), 0);
        QVERIFY(m_sim->Commands().contains("AT+VSM=128,8000"));
        QVERIFY(m_tapi->MakeCall("(555) 123-4567,1;\rH") >
                0);  // nothing but dial characters is sent
        QVERIFY(Saw("5012:Call State Dialing"));
        QVERIFY(Saw("5010:Connected"));
        QVERIFY(m_sim->Commands().contains("ATD5551234567,1"));
        m_tapi->Hangup();
        QVERIFY(Saw("1:Call State Idle"));

        m_events.clear();
        m_sim->Script("dialresult busy");
        QTest::qWait(100);
        QVERIFY(m_tapi->MakeCall("5551234") > 0);
        QVERIFY(Saw("64:Call State Busy"));
        QVERIFY(Saw("16384:Call State Disconnected"));
        QVERIFY(!m_events.contains("5010:Connected"));
    }

    void speakerPhone() {
        QCOMPARE(Connect(), 0);
        m_sim->Script("rings 5 0.3");
        QVERIFY(Saw("5011:Ringing"));
        m_tapi->Answer();
        QVERIFY(Saw("5010:Connected"));
        QVERIFY(m_tapi->SetSpeakerPhone(SPK_ON));
        QVERIFY(QTest::qWaitFor([&] { return m_sim->Commands().contains("AT+VLS=7"); }, 3000));
        m_tapi->Hangup();

        cleanup();
        init();
        QCOMPARE(Connect({"--no-speaker"}), 0);
        QVERIFY(!m_tapi->SetSpeakerPhone(SPK_TEST));
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
        QCOMPARE(m_tapi->IsVoiceLine(m_tapi->DeviceId), 0);
        QCOMPARE(m_tapi->GetWaveId("wave/in"), 0);
        cleanup();

        // Unplugged mid-call: the line closes.
        init();
        QCOMPARE(Connect(), 0);
        m_sim->Script("rings 5 0.3");
        QVERIFY(Saw("5011:Ringing"));
        m_tapi->Answer();
        QVERIFY(Saw("5010:Connected"));
        m_sim->Script("close");
        QVERIFY(Saw("3:Line Close"));
    }

    void lockedPortAndTakeOver() {
        m_sim = std::make_unique<TSimulator>();
        const QString lockPath = TPortLock(m_sim->Device).Path();
        QFile lock(lockPath);
        QVERIFY(lock.open(QIODevice::WriteOnly));
        lock.write(QByteArray::number(qint64(getppid())).rightJustified(10, ' ') + "\n");  // alive
        lock.close();
        // Connect to this very simulator.
        QVERIFY(m_sim->WriteLinesConf(m_home.path(), "Sim"));
        m_provider = std::make_unique<TV253Provider>();
        m_provider->ByIdFolder = m_home.filePath("no-by-id");
        m_tapi = std::make_unique<TTapi>(1);
        m_tapi->Events = &m_table;
        m_tapi->InitLine();
        const int id = m_tapi->FindLineDevice("Sim");
        QVERIFY(id >= 0);
        QString text;
        QCOMPARE(m_tapi->OpenLine(quint32(id), &text), LINEERR_RESOURCEUNAVAIL);
        QCOMPARE(text, QString("Error calling TAPI function lineOpen\rReason: Resource (modem) "
                               "unavailable\rCode: -2147483573"));

        // A stale lock of a process that is gone is taken over, in the HDB form.
        QVERIFY(lock.open(QIODevice::WriteOnly | QIODevice::Truncate));
        lock.write("    999999\n");
        lock.close();
        QCOMPARE(m_tapi->OpenLine(quint32(id), &text), 0);
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
        m_tapi->ShutdownLine();
        QCOMPARE(TPortLock::OwnerOf(lockPath), qint64(getppid()));  // theirs, left alone
    }

    // A caller ID block that no ring follows (line noise, a late block after a missed call)
    // is dropped, so the next real caller keeps his own; a block of only a date and a time
    // is no caller ID at all.
    void staleAndEmptyCallerIdBlocks() {
        QCOMPARE(Connect(), 0);
        m_sim->Script("cid 1111111111 STALE BLOCK");
        QTest::qWait(TV253Line::CallerIdExpiryMs + 500);
        m_sim->Script("ring");  // the real caller ID comes between the first and second ring
        m_sim->Script("cid 2222222222 REAL CALLER");
        m_sim->Script("rings 2 0.3");
        QVERIFY(QTest::qWaitFor([&] { return !m_callerIds.isEmpty(); }, 5000));
        QCOMPARE(m_callerIds, QStringList{"12|REAL CALLER|2222222222"});
        QVERIFY(Saw("1:Call State Idle"));

        m_callerIds.clear();
        m_events.clear();
        m_sim->Script("send DATE=1208\\r\\nTIME=0921\\r\\n");
        m_sim->Script("rings 2 0.3");
        QVERIFY(QTest::qWaitFor([&] { return m_events.count("5011:Ringing") == 2; }, 5000));
        QTest::qWait(TV253Line::CallerIdQuietMs);
        QVERIFY(m_callerIds.isEmpty());
    }

    // A block the modem repeats while the same caller rings is that caller's: one call. Another
    // caller's block while it rings ends the call and waits for the new caller's ring.
    void repeatedAndNewBlocksWhileRinging() {
        QCOMPARE(Connect(), 0);
        QVERIFY(QTest::qWaitFor([&] { return m_sim->Commands().contains("AT+VCID=1"); }, 5000));
        m_sim->Script("ring");
        m_sim->Script("cid 4045551212 SMITH J");
        m_sim->Script("ring");
        m_sim->Script("cid 4045551212 SMITH J");
        m_sim->Script("rings 1 0.3");
        QVERIFY(QTest::qWaitFor([&] { return m_events.count("5011:Ringing") == 3; }, 5000));
        QTest::qWait(TV253Line::CallerIdQuietMs + 100);
        QCOMPARE(m_callerIds, QStringList{"12|SMITH J|4045551212"});
        QCOMPARE(m_events.count("2:Call State Offering - we own this call"), 1);

        m_sim->Script("ring");
        m_sim->Script("cid 7705550123 JONES R");
        QVERIFY(Saw("16384:Call State Disconnected"));  // the first caller has gone
        QVERIFY(QTest::qWaitFor([&] { return m_events.count("5009:Opened Sim") == 2; }, 5000));
        m_sim->Script("rings 1 0.3");
        QVERIFY(QTest::qWaitFor([&] { return m_callerIds.size() == 2; }, 5000));
        QCOMPARE(m_callerIds.last(), QString("12|JONES R|7705550123"));
    }

    void garbageFromTheModem() {
        QCOMPARE(Connect(), 0);
        m_sim->Script("send \\0\\0garbage\\r\\nXYZZY = 12\\r\\n+++\\r\\n");
        m_sim->Script("rings 2 0.3");
        QVERIFY(Saw("5011:Ringing"));
        QVERIFY(m_callerIds.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestV253)
#include "test_v253.moc"
