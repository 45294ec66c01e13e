// The built program started on a data folder that has been damaged or tampered with: it
// starts, answers and logs the next caller, keeps aside what it cannot use, and writes
// nothing outside its folder, whatever links point there.

#include <signal.h>
#include <unistd.h>

#include <QDirIterator>
#include <QProcess>
#include <QtTest>

#include "files.h"
#include "program.h"
#include "simulator.h"
#include "store/calllog.h"

namespace {
// Every file under a folder with its contents and time of change.
QMap<QString, QString> Snapshot(const QString& folder) {
    QMap<QString, QString> files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files[path] = QString::number(qHash(ReadAll(path))) + " " +
                      QString::number(QFileInfo(path).lastModified().toMSecsSinceEpoch());
    }
    return files;
}

// A caller with caller ID who leaves a short message.
void LeaveMessage(TSimulator& sim, const QString& number, const QString& name) {
    sim.Script("ring");
    sim.Script(QStringLiteral("cid %1 %2").arg(number, name));
    sim.Script("rings 5 0.5");
    sim.Script("waitfor +VRX");
    sim.Script("tone 600 1");
    sim.Script("wait 1");
    sim.Script("hangup b");
}
}  // namespace

class TestHostileFiles : public QObject {
    Q_OBJECT
private slots:
    // Garbage for a call log, a folder in place of the phone book, and the placed calls and
    // the remembered answers as links to files elsewhere: the program keeps the garbage aside,
    // logs the caller in a new log, and the files elsewhere stay exactly as they were.
    void damagedFilesAndLinksOutOfTheFolder() {
        TSimulator sim;
        TAnsweringFolder folder(sim, 0.5);
        const QString outside = folder.Work.filePath("outside");
        QVERIFY(QDir().mkpath(outside));
        QVERIFY(WriteAll(outside + "/history.och", QByteArray()));  // no calls placed yet
        QVERIFY(WriteAll(outside + "/answers.msg", QByteArray(12, 'A')));
        QVERIFY(QFile::link(outside + "/history.och", folder.Data + "/Outgoing call history.och"));
        QVERIFY(QFile::link(outside + "/answers.msg", folder.Data + "/MESSAGES.MSG"));
        QByteArray garbage(5000, '\0');
        for (int i = 0; i < garbage.size(); ++i)
            garbage[i] = char((i * 37) & 0xFF);
        QVERIFY(WriteAll(folder.Data + "/CALL.LOG", garbage));
        QVERIFY(QDir().mkpath(folder.Data + "/Ringvale Phonebook.pb12"));
        const QMap<QString, QString> before = Snapshot(outside);

        QProcess program;
        QVERIFY(StartProgram(program, folder.Work.filePath("config"), folder.Data));
        QVERIFY(QTest::qWaitFor([&] { return sim.Commands().contains("AT+VCID=1"); }, 10000));
        LeaveMessage(sim, "3125550101", "AFTER DAMAGE");
        QVERIFY2(HungUpAndReady(sim, 1, 20000), qPrintable(sim.Commands().join(" | ")));
        Stop(program);
        QCOMPARE(program.exitCode(), 0);

        QCOMPARE(Snapshot(outside), before);
        QCOMPARE(ReadAll(folder.Data + "/CALL.LOG.bad"), garbage);
        const QList<CallLogRecord> records = folder.Records();
        QCOMPARE(records.size(), 1);
        QCOMPARE(records[0].Name, QString("AFTER DAMAGE"));
        QVERIFY(QFile::exists(folder.Data + "/Messages/" + records[0].MessageFile));
        QVERIFY(QFileInfo(folder.Data + "/Ringvale Phonebook.pb12.bad").isDir());
        QVERIFY(QFileInfo(folder.Data + "/Ringvale Phonebook.pb12").isFile());
        // Nothing new beside the data folder.
        QCOMPARE(QDir(folder.Work.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 (QStringList{"config", "data", "outside"}));
    }

    // A call log of 200 MB: the program starts and listens (only the newest calls are read),
    // and the next caller follows the newest of the old calls, the log being trimmed to the
    // history's length when the program ends.
    void aHugeCallLog() {
        TSimulator sim;
        TAnsweringFolder folder(sim, 0.5);
        CallLogRecord old;
        old.When = "Mon 12/07/26 9:00 AM";
        old.Number = "404-555-1212";
        old.Name = "OLD CALLER";
        old.Time = 1796630400;
        const QByteArray record = old.ToBytes();
        const qint64 count = 200LL * 1024 * 1024 / record.size();
        {
            QFile log(folder.Data + "/CALL.LOG");
            QVERIFY(log.open(QIODevice::WriteOnly));
            const QByteArray block = record.repeated(1024);
            for (qint64 written = 0; written < count; written += 1024)
                QCOMPARE(log.write(block), block.size());
        }
        const qint64 size = QFileInfo(folder.Data + "/CALL.LOG").size();

        QProcess program;
        QVERIFY(StartProgram(program, folder.Work.filePath("config"), folder.Data));
        QVERIFY(QTest::qWaitFor([&] { return sim.Commands().contains("AT+VCID=1"); }, 10000));
        LeaveMessage(sim, "3125550102", "NEWEST CALLER");
        QVERIFY2(HungUpAndReady(sim, 1, 20000), qPrintable(sim.Commands().join(" | ")));
        Stop(program);
        QCOMPARE(program.exitCode(), 0);

        const QList<CallLogRecord> records = folder.Records();
        QCOMPARE(QFileInfo(folder.Data + "/CALL.LOG").size(), records.size() * record.size());
        QVERIFY(records.size() >= 2 && records.size() < size / record.size());
        QCOMPARE(records.last().Name, QString("NEWEST CALLER"));
        QCOMPARE(records[records.size() - 2].ToBytes(), record);
    }

    // A call log nobody may read (a file of another user restored from a backup): it is kept
    // aside, and calls go to a new log.
    void anUnreadableCallLog() {
        if (::geteuid() == 0) QSKIP("root reads every file");
        TSimulator sim;
        TAnsweringFolder folder(sim, 0.5);
        QVERIFY(WriteAll(folder.Data + "/CALL.LOG", QByteArray(616, 'x')));
        QVERIFY(QFile::setPermissions(folder.Data + "/CALL.LOG", {}));
        QProcess program;
        QVERIFY(StartProgram(program, folder.Work.filePath("config"), folder.Data));
        QVERIFY(QTest::qWaitFor([&] { return sim.Commands().contains("AT+VCID=1"); }, 10000));
        LeaveMessage(sim, "3125550103", "AFTER LOCKOUT");
        QVERIFY2(HungUpAndReady(sim, 1, 20000), qPrintable(sim.Commands().join(" | ")));
        Stop(program);
        QCOMPARE(program.exitCode(), 0);
        QVERIFY(QFile::exists(folder.Data + "/CALL.LOG.bad"));
        QCOMPARE(folder.Records().size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestHostileFiles)
#include "test_hostilefiles.moc"
