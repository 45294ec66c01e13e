// The built program against the modem simulator: it connects at start-up, logs a caller with
// its phone book name, tells other programs on the session bus (a private one) of the call and
// the message, and saves the call log when it is told to stop.

#include <signal.h>

#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "buslistener.h"
#include "platform/profile.h"
#include "program.h"
#include "simulator.h"
#include "store/calllog.h"
#include "store/config.h"
#include "store/phonebook.h"

class TestProgram : public QObject {
    Q_OBJECT
private slots:
    void logsACallerAndSavesOnSigterm() {
        QTemporaryDir work;
        const QString data = work.filePath("data");
        QDir().mkpath(data);
        TSimulator sim;
        QVERIFY(!sim.Device.isEmpty());
        QVERIFY(sim.WriteLinesConf(work.filePath("config"), "Sim modem"));

        TProfile::SetFolder(data);
        TConfig config;
        config.SelectPortBox = "Sim modem";
        config.SetConnectAtStartupButton(true);
        config.SetFlashCaller(false);
        config.RingsToAnswer = 0;
        QVERIFY(TConfigFile().SaveConfig(config));
        TPhoneBook book;
        PhoneBookEntry mom;
        mom.DisplayName = "Mom";
        mom.Number = "(404) 555 1212";
        book.Add(mom);
        QVERIFY(book.SavePhoneBook());

        QProcess program;
        const QString picture = work.filePath("window.png");
        QVERIFY(StartProgram(program, work.filePath("config"), data,
                             {"--print-calls", "--screenshot", picture}));

        // The first tick connects; then a caller rings with caller ID.
        QVERIFY(QTest::qWaitFor([&] { return sim.Commands().contains("AT+VCID=1"); }, 10000));
        sim.Script("ring");
        sim.Script("cid 4045551212 MOM CELL");
        sim.Script("rings 2 0.5");
        const QString log = data + "/CALL.LOG";
        QVERIFY(QTest::qWaitFor([&] { return QFileInfo(log).size() == 616; }, 10000));

        ::kill(pid_t(program.processId()), SIGTERM);
        QVERIFY(program.waitForFinished(10000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
        // Printed as it was logged, and the window's picture written at the end.
        const QByteArray printed = program.readAllStandardOutput();
        QVERIFY2(printed.contains("  Mom  404-555-1212  logged\n"), printed.constData());
        QVERIFY(printed.contains("A picture of the window: " + picture.toUtf8()));
        QVERIFY(QImage(picture).width() > 100);

        QFile file(log);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QCOMPARE(bytes.size(), 616);
        const CallLogRecord record = CallLogRecord::FromBytes(bytes);
        QCOMPARE(record.Name, QString("MOM CELL"));
        QCOMPARE(record.Number, QString("404-555-1212"));
        QVERIFY(qAbs(record.Time - QDateTime::currentSecsSinceEpoch()) < 60);
        QCOMPARE(record.Actions, 0u);
        // Shut-down saved the rest too; the shipped sounds were installed.
        TPhoneBook saved;
        QCOMPARE(saved.LoadPhoneBook(), 1);
        QCOMPARE(saved.Entries[0]->TimesCalled, 1);
        QVERIFY(QFile::exists(data + "/System Sounds/beep.wav"));
        QVERIFY(QFile::exists(data + "/Greetings/Default Greeting 1.wav"));
    }

    // A caller answered at the second ring hears a short greeting and the beep, says a tone
    // for two seconds and hangs up: the message is kept as an 11025 Hz wave file, tied to its
    // call on disk at once, so a kill right after it loses nothing. A second program on the
    // folder is refused while the first runs; the lock the killed one left is taken over.
    void recordsACallerWhoHangsUp() {
        QTemporaryDir work;
        const QString data = work.filePath("data");
        QDir().mkpath(data + "/Greetings");
        TSimulator sim;
        QVERIFY(sim.WriteLinesConf(work.filePath("config"), "Sim modem"));
        TProfile::SetFolder(data);
        TConfig config;
        config.SelectPortBox = "Sim modem";
        config.SetConnectAtStartupButton(true);
        config.SetFlashCaller(false);
        config.RingsToAnswer = 2;
        config.MaximumRecordTimeComboBox = 2;  // 30 seconds at most
        QVERIFY(TConfigFile().SaveConfig(config));
        QFile list(data + "/Greetings.txt");
        QVERIFY(list.open(QIODevice::WriteOnly));
        list.write("short.wav\r\n");
        list.close();
        QFile greeting(data + "/Greetings/short.wav");
        QVERIFY(greeting.open(QIODevice::WriteOnly));
        greeting.write(Wave(11025, QByteArray(5000, char(0x80))));
        greeting.close();

        TBusListener bus(QDBusConnection::sessionBus());
        QProcess program;
        QVERIFY(StartProgram(program, work.filePath("config"), data));
        QVERIFY(QTest::qWaitFor([&] { return sim.Commands().contains("AT+VCID=1"); }, 10000));
        sim.Script("ring");
        sim.Script("cid 3125550199 GARCIA MARIA");
        sim.Script("rings 5 1");
        sim.Script("waitfor +VRX");
        sim.Script("tone 1000 3");
        sim.Script("wait 2");
        sim.Script("hangup b");
        QVERIFY2(QTest::qWaitFor([&] { return sim.Commands().contains("ATH0"); }, 20000),
                 qPrintable(sim.Commands().join(" | ") + " || " +
                            QString::fromLocal8Bit(program.readAllStandardError().right(2000))));
        // Other programs heard of the call, its message once it was whole, and the line.
        QVERIFY2(QTest::qWaitFor(
                     [&] {
                         return !bus.SaidOf("MessageRecorded").isEmpty() &&
                                bus.SaidOf("LineStateChanged").size() >= 5;
                     },
                     5000),
                 qPrintable(bus.Said.join(" / ")));
        QCOMPARE(bus.SaidOf("CallArrived").size(), 1);
        QVERIFY(bus.SaidOf("CallArrived")[0].startsWith("CallArrived|GARCIA MARIA|312-555-0199|"));
        QVERIFY(bus.SaidOf("MessageRecorded")[0].startsWith("MessageRecorded|" + data +
                                                            "/Messages/msg"));
        QVERIFY(bus.SaidOf("MessageRecorded")[0].endsWith("|GARCIA MARIA|312-555-0199"));
        QCOMPARE(bus.SaidOf("LineStateChanged"),
                 (QStringList{"LineStateChanged|closed", "LineStateChanged|listening",
                              "LineStateChanged|ringing", "LineStateChanged|in call",
                              "LineStateChanged|listening"}));
        QProcess second;
        QVERIFY(StartProgram(second, work.filePath("config"), data));
        QVERIFY(second.waitForFinished(10000));
        QCOMPARE(second.exitCode(), 1);
        QVERIFY(second.readAllStandardError().contains("already running in this folder"));
        // ... and the first brought its window to the front.
        QByteArray told;
        QVERIFY(QTest::qWaitFor(
            [&] { return (told += program.readAllStandardError()).contains("showing the window"); },
            5000));

        ::kill(pid_t(program.processId()), SIGKILL);
        QVERIFY(program.waitForFinished(10000));
        QProcess again;
        QVERIFY(StartProgram(again, work.filePath("config"), data));
        QVERIFY(QTest::qWaitFor([&] { return sim.Commands().count("AT+VCID=1") >= 3; }, 10000));
        ::kill(pid_t(again.processId()), SIGTERM);
        QVERIFY(again.waitForFinished(10000));
        QCOMPARE(again.exitCode(), 0);

        QFile file(data + "/CALL.LOG");
        QVERIFY(file.open(QIODevice::ReadOnly));
        const CallLogRecord record = CallLogRecord::FromBytes(file.readAll());
        QCOMPARE(record.Name, QString("GARCIA MARIA"));
        QVERIFY(record.MessageFile.startsWith("msg"));
        QCOMPARE(record.Actions, quint32(LOG_TOOK_MESSAGE));
        QFile message(data + "/Messages/" + record.MessageFile);
        QVERIFY(message.open(QIODevice::ReadOnly));
        const QByteArray bytes = message.readAll();
        QCOMPARE(bytes.mid(24, 4), QByteArray("\x11\x2b\0\0", 4));  // 11025 Hz
        const QByteArray samples = bytes.mid(46);
        QVERIFY2(samples.size() > 11025 && samples.size() < 4 * 11025,
                 qPrintable(QString::number(samples.size())));
        const double hz = Frequency(samples.mid(samples.size() / 4, samples.size() / 2), 11025);
        QVERIFY2(qAbs(hz - 1000) < 15, qPrintable(QString::number(hz)));
        QFile index(data + "/msg.ndx");
        QCOMPARE(index.size(), 628);
    }

    // The command line: the version, the usage for a wrong option (exit code 2), the per-user
    // data folder by default (made private), and a folder that cannot be used (exit code 1).
    void theCommandLineAndTheDataFolder() {
        QProcess program;
        program.start(QStringLiteral(RINGVALE_PROGRAM), {"--version"});
        QVERIFY(program.waitForFinished(5000));
        QCOMPARE(program.exitCode(), 0);
        QVERIFY(program.readAllStandardOutput().startsWith("Ringvale "));
        program.start(QStringLiteral(RINGVALE_PROGRAM), {"--help"});
        QVERIFY(program.waitForFinished(5000));
        QCOMPARE(program.exitCode(), 0);
        const QByteArray usage = program.readAllStandardOutput();
        for (const char* option : {"--folder <DIR>", "--minimized", "--print-calls", "--version"})
            QVERIFY2(usage.contains(option), option);
        program.start(QStringLiteral(RINGVALE_PROGRAM), {"--no-such-option"});
        QVERIFY(program.waitForFinished(5000));
        QCOMPARE(program.exitCode(), 2);
        QVERIFY(program.readAllStandardError().contains("Usage: ringvale [options]"));

        QTemporaryDir home;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("XDG_DATA_HOME", home.filePath("data"));
        env.insert("XDG_CONFIG_HOME", home.filePath("config"));
        program.setProcessEnvironment(env);
        program.setWorkingDirectory(home.path());
        program.start(QStringLiteral(RINGVALE_PROGRAM), {});
        const QString folder = home.filePath("data/Ringvale");
        QVERIFY(QTest::qWaitFor([&] { return QFile::exists(folder + "/RINGVALE.CNF"); }, 10000));
        QCOMPARE(QFile::permissions(folder) & (QFile::ReadGroup | QFile::ReadOther),
                 QFile::Permissions());
        QVERIFY(!QFile::exists(home.filePath("RINGVALE.CNF")));  // not the current folder
        ::kill(pid_t(program.processId()), SIGTERM);
        QVERIFY(program.waitForFinished(10000));
        QCOMPARE(program.exitCode(), 0);

        QFile plain(home.filePath("a file"));
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.close();
        program.start(QStringLiteral(RINGVALE_PROGRAM), {"--folder", plain.fileName()});
        QVERIFY(program.waitForFinished(5000));
        QCOMPARE(program.exitCode(), 1);
        QVERIFY(program.readAllStandardError().contains("cannot be used: it is not a folder"));
    }

    // The end of the session never waits for a person: not for the password that guards
    // stopping, not for a box.
    void sigtermDoesNotAskForThePassword() {
        QTemporaryDir work;
        const QString data = work.filePath("data");
        QDir().mkpath(data);
        TSimulator sim;
        QVERIFY(sim.WriteLinesConf(work.filePath("config"), "Sim modem"));
        TProfile::SetFolder(data);
        TConfig config;
        config.SelectPortBox = "Sim modem";
        config.SetConnectAtStartupButton(true);
        config.Password1 = "secret";
        config.SetStopListening(true);
        QVERIFY(TConfigFile().SaveConfig(config));
        QProcess program;
        QVERIFY(StartProgram(program, work.filePath("config"), data));
        QVERIFY(QTest::qWaitFor([&] { return sim.Commands().contains("AT+VCID=1"); }, 10000));
        ::kill(pid_t(program.processId()), SIGTERM);
        QVERIFY(program.waitForFinished(5000));
        QCOMPARE(program.exitCode(), 0);
        QVERIFY(!QFile::exists(data + "/ringvale.lock"));
    }
};

QTEST_GUILESS_MAIN(TestProgram)
#include "test_program.moc"
