// The built program against the modem simulator: it connects at start-up, logs a caller with
// its phone book name, and saves the call log when it is told to stop.

#include <signal.h>

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "platform/profile.h"
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
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("XDG_CONFIG_HOME", work.filePath("config"));
        program.setProcessEnvironment(env);
        program.setWorkingDirectory(data);
        program.start(QStringLiteral(RINGVALE_PROGRAM), {});
        QVERIFY(program.waitForStarted(5000));

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
};

QTEST_GUILESS_MAIN(TestProgram)
#include "test_program.moc"
