// The call log: record bytes, the texts of its columns, and "CALL.LOG" with its messages.

#include <sys/stat.h>

#include "platform/records.h"
#include "scriptedprompts.h"
#include "store/calllog.h"
#include "store/datafile.h"
#include "store/phonebook.h"
#include "storetest.h"

namespace {
constexpr qint32 kDay = 1796000000;  // a day in 2026

CallLogRecord Call(qint32 time, const QString& message = QString()) {
    CallLogRecord record;
    record.When = "Mon Dec 07 06:18 AM";
    record.Number = "404-555-1212";
    record.Name = "SMITH J";
    record.Time = time;
    record.MessageFile = message;
    return record;
}
}  // namespace

class TestCallLog : public QObject {
    Q_OBJECT
private slots:
    void recordBytes() {
        CallLogRecord record = Call(0x01020304, "msg123.wav");
        record.Heard = 1;
        record.Actions = LOG_HUNG_UP | LOG_PAGED;
        const QByteArray bytes = record.ToBytes();
        QCOMPARE(bytes.size(), 616);
        QCOMPARE(TextAt(bytes, 0, 32), QByteArray("Mon Dec 07 06:18 AM"));
        QCOMPARE(TextAt(bytes, 32, 32), QByteArray("404-555-1212"));
        QCOMPARE(TextAt(bytes, 64, 24), QByteArray("SMITH J"));
        QCOMPARE(bytes.mid(88, 12), QByteArray("\x01\0\0\0\x06\0\0\0\x04\x03\x02\x01", 12));
        QCOMPARE(TextAt(bytes, 100, 516), QByteArray("msg123.wav"));
        QCOMPARE(bytes.mid(64 + 7, 24 - 7), QByteArray(17, '\0'));  // zero behind the text
        const CallLogRecord back = CallLogRecord::FromBytes(bytes);
        QCOMPARE(back.ToBytes(), bytes);
    }

    void columnTexts() {
        QCOMPARE(FormatNumber("(404) 555-1212"), QString("404-555-1212"));
        QCOMPARE(FormatNumber("5551212"), QString("555-121-2"));
        QCOMPARE(FormatNumber(""), QString("000-000-0000"));
        QCOMPARE(FormatNumber("PRIVATE"), QString("000-000-0000"));
        // Longer numbers (international callers, extensions) are kept whole, ungrouped.
        QCOMPARE(FormatNumber("1-404-555-1212 ext 99"), QString("1404555121299"));
        QCOMPARE(FormatNumber("+44 20 7946 0958"), QString("442079460958"));
        QCOMPARE(FormatNumber(QString(40, '7')), QString(31, '7'));  // what the field holds

        qputenv("TZ", "UTC");
        const qint64 monday = LocalTime(2026, 12, 7, 0, 30);
        QCOMPARE(FormatCallTime(monday), QString("Mon Dec 07 12:30 AM"));
        QCOMPARE(FormatCallTime(LocalTime(2026, 12, 7, 12, 5)), QString("Mon Dec 07 12:05 PM"));
        QCOMPARE(FormatCallTime(LocalTime(2026, 12, 7, 13, 0)), QString("Mon Dec 07 01:00 PM"));
        QCOMPARE(FormatCallTime(LocalTime(2026, 1, 3, 6, 18)), QString("Sat Jan 03 06:18 AM"));

        const qint64 ago = 2 * 86400 + 5 * 3600 + 17 * 60 + 42;
        QCOMPARE(FormatTimeAgo(monday - ago, monday), QString("02:05:17"));
        QCOMPARE(FormatTimeAgo(monday - 100 * 86400, monday), QString("00:00:00"));
        QCOMPARE(FormatTimeAgo(monday - 99 * 86400, monday), QString("99:00:00"));

        QCOMPARE(LogActionText(0), QString());
        QCOMPARE(LogActionText(LOG_TOOK_MESSAGE), QString("Took message"));
        QCOMPARE(LogActionText(LOG_PAGED | LOG_TOOK_MESSAGE), QString("Paged , Took message"));
        QCOMPARE(LogActionText(LOG_HUNG_UP | LOG_PAGED), QString("Hung up , Paged "));
        QCOMPARE(LogActionText(LOG_DATABASE_OFF | LOG_FAILED_PAGE),
                 QString("database was off, FAILED PAGE "));

        TClock::Set(monday);
        CallLogRecord record;
        TCallLog::FillLogRecord(&record, "  JONES ROBERT ALLEN LONGNAME  ", "(770) 555 0000");
        QCOMPARE(record.Name, QString("JONES ROBERT ALLEN LO"));  // 23 characters, then trimmed
        QCOMPARE(record.Number, QString("770-555-0000"));
        QCOMPARE(record.When, QString("Mon Dec 07 12:30 AM"));
        TClock::UseSystem();
    }

    void loadTrimsAndPurges() {
        TScratchFolder folder;
        QByteArray file;
        for (int i = 0; i < 6; ++i) {
            CallLogRecord record = Call(kDay + i, QString("msg%1.wav").arg(i));
            if (i == 3) record.Number.clear();
            file += record.ToBytes();
            WriteAll(folder.Path("Messages/" + record.MessageFile), "RIFF");
        }
        WriteAll(folder.Path("CALL.LOG"), file);
        WriteAll(folder.Path("Messages/stray.wav"), "RIFF");
        WriteAll(folder.Path("Messages/msg.ndx"), "index");

        TCallLog log;
        QCOMPARE(log.LoadCallLog(5), 6);
        QCOMPARE(int(log.Records.size()), 5);
        QCOMPARE(log.Records.front().Time, kDay + 1);  // the oldest went, with its message file
        QCOMPARE(std::next(log.Records.begin(), 2)->Number, QString("000-000-0000"));
        QStringList files = QDir(folder.Path("Messages")).entryList(QDir::Files);
        files.sort();
        QCOMPARE(files, (QStringList{"msg.ndx", "msg1.wav", "msg2.wav", "msg3.wav", "msg4.wav",
                                     "msg5.wav"}));
        QVERIFY(log.SaveCallLog());
        QCOMPARE(ReadAll(folder.Path("CALL.LOG")).size(), 5 * 616);
    }

    // A crash mid-append leaves part of a record: the next call goes over it, and a log that
    // ends that way decides nothing about which messages stay.
    void appendAfterAPartialTail() {
        TScratchFolder folder;
        WriteAll(folder.Path("CALL.LOG"), Call(kDay).ToBytes() + QByteArray(100, 'x'));
        WriteAll(folder.Path("Messages/msg9.wav"), "RIFF");
        TCallLog log;
        QCOMPARE(log.LoadCallLog(200), 1);
        QVERIFY(QFile::exists(folder.Path("Messages/msg9.wav")));
        CallLogRecord* added = log.NewLogRecord();
        *added = Call(kDay + 60);
        QVERIFY(log.AppendCallLog(*added));
        QCOMPARE(added->Offset, qint64(616));
        QCOMPARE(ReadAll(folder.Path("CALL.LOG")).size(), 2 * 616);
        TCallLog again;
        QCOMPARE(again.LoadCallLog(200), 2);
        QCOMPARE(again.Records.back().Time, kDay + 60);
        QCOMPARE(again.Records.back().Name, QString("SMITH J"));
    }

    // The record of a call says on disk, at once, what happened to its message.
    void recordsAreUpdatedInPlace() {
        TScratchFolder folder;
        TCallLog log;
        for (int i = 0; i < 3; ++i) {
            CallLogRecord* record = log.NewLogRecord();
            *record = Call(kDay + i);
            QVERIFY(log.AppendCallLog(*record));
        }
        CallLogRecord& middle = *std::next(log.Records.begin());
        middle.MessageFile = "msg5.wav";
        middle.Actions |= LOG_TOOK_MESSAGE;
        QVERIFY(log.UpdateRecord(middle));
        QByteArray disk = ReadAll(folder.Path("CALL.LOG"));
        QCOMPARE(disk.size(), 3 * 616);
        QCOMPARE(disk.mid(616, 616), middle.ToBytes());
        QCOMPARE(disk.left(616), log.Records.front().ToBytes());

        log.Remove(&log.Records.front());  // a rewrite moves the records: they follow
        QVERIFY(log.SaveCallLog());
        WriteAll(folder.Path("Messages/msg5.wav"), "RIFF");
        QVERIFY(log.DeleteMessageFile(&log.Records.front()));
        QVERIFY(!QFile::exists(folder.Path("Messages/msg5.wav")));
        disk = ReadAll(folder.Path("CALL.LOG"));
        QCOMPARE(disk.size(), 2 * 616);
        QCOMPARE(TextAt(disk, 100, 516), QByteArray());
        QVERIFY(!log.DeleteMessageFile(&log.Records.front()));

        // A name from the file never reaches outside "Messages".
        WriteAll(folder.Path("victim.wav"), "RIFF");
        log.Records.back().MessageFile = "../victim.wav";
        QVERIFY(!log.DeleteMessageFile(&log.Records.back()));
        QVERIFY(QFile::exists(folder.Path("victim.wav")));
    }

    // The log replaced while the program runs (a sync tool, a restore) is never written at the
    // old records' offsets: the other file is kept aside whole and the log is written again
    // from the records held. One deleted with its folder is written again whole, not into an
    // empty file at an old offset.
    void aLogReplacedOrDeletedUnderTheProgram() {
        TScratchFolder folder;
        TCallLog log;
        for (int i = 0; i < 2; ++i) {
            CallLogRecord* record = log.NewLogRecord();
            *record = Call(kDay + i);
            QVERIFY(log.AppendCallLog(*record));
        }
        QByteArray other;
        for (int i = 0; i < 3; ++i)
            other += Call(kDay + 100 + i).ToBytes();
        WriteAll(folder.Path("CALL.LOG.new"), other);
        QVERIFY(::rename(QFile::encodeName(folder.Path("CALL.LOG.new")).constData(),
                         QFile::encodeName(folder.Path("CALL.LOG")).constData()) == 0);
        log.Records.back().MessageFile = "msg7.wav";
        QVERIFY(log.UpdateRecord(log.Records.back()));
        QCOMPARE(ReadAll(folder.Path("CALL.LOG.bad")), other);
        QByteArray disk = ReadAll(folder.Path("CALL.LOG"));
        QCOMPARE(disk.size(), 2 * 616);
        QCOMPARE(disk.mid(616), log.Records.back().ToBytes());

        QVERIFY(QDir(folder.Path("")).removeRecursively());
        CallLogRecord* next = log.NewLogRecord();
        *next = Call(kDay + 9);
        QVERIFY(log.AppendCallLog(*next));
        disk = ReadAll(folder.Path("CALL.LOG"));
        QCOMPARE(disk.size(), 3 * 616);
        QCOMPARE(disk.left(616), log.Records.front().ToBytes());
        QCOMPARE(disk.mid(2 * 616), next->ToBytes());
        QVERIFY(log.UpdateRecord(log.Records.front()));  // the new file is the one written now
        QCOMPARE(ReadAll(folder.Path("CALL.LOG")).size(), 3 * 616);
    }

    // A log that cannot be read whole is never used to delete messages, and never replaced
    // by what little could be read: it is kept aside and the user is told.
    void damagedLogsKeepEveryMessage() {
        const QList<QPair<QString, std::function<void(const QString&)>>> variants = {
            {"empty", [](const QString& p) { WriteAll(p, {}); }},
            {"cut", [](const QString& p) { WriteAll(p, Call(kDay).ToBytes().left(300)); }},
            {"garbage", [](const QString& p) { WriteAll(p, QByteArray(616 * 3, 'x')); }},
            {"folder", [](const QString& p) { QDir().mkdir(p); }},
            {"dangling link", [](const QString& p) { QFile::link(p + ".gone", p); }},
            {"fifo", [](const QString& p) { mkfifo(QFile::encodeName(p).constData(), 0600); }},
            {"endless", [](const QString& p) { QFile::link("/dev/zero", p); }},
        };
        for (const auto& [name, make] : variants) {
            TScratchFolder folder;
            WriteAll(folder.Path("Messages/msg1.wav"), "RIFF");
            make(folder.Path("CALL.LOG"));
            TCallLog log;
            QCOMPARE(log.LoadCallLog(200), 0);
            QVERIFY2(QFile::exists(folder.Path("Messages/msg1.wav")), qPrintable(name));
            const QStringList notices = TakeDataNotices();
            if (name == "empty" || name == "cut") {
                QVERIFY2(notices.isEmpty(), qPrintable(name));
                continue;
            }
            QCOMPARE(notices.size(), 1);
            QVERIFY2(notices[0].startsWith("\"CALL.LOG\""), qPrintable(notices[0]));
            QVERIFY2(PathPresent(folder.Path("CALL.LOG.bad")), qPrintable(name));
            CallLogRecord* record = log.NewLogRecord();
            *record = Call(kDay + 5);
            QVERIFY(log.AppendCallLog(*record));
            QVERIFY(log.SaveCallLog());
            QCOMPARE(ReadAll(folder.Path("CALL.LOG")), record->ToBytes());
            if (name == "garbage")  // copied aside whole
                QCOMPARE(ReadAll(folder.Path("CALL.LOG.bad")), QByteArray(616 * 3, 'x'));
        }
    }

    void aThousandByteFileHoldsOneRecord() {
        TScratchFolder folder;
        WriteAll(folder.Path("CALL.LOG"), Call(kDay).ToBytes() + QByteArray(384, '\xff'));
        TCallLog log;
        QCOMPARE(log.LoadCallLog(200), 1);
    }

    void saveFailureShowsMessage306() {
        TScratchFolder folder;
        TScriptedPrompts prompts;
        QDir(folder.Dir.path()).mkdir("CALL.LOG");  // a folder where the file should be
        TCallLog log;
        log.Records.push_back(Call(1));
        QVERIFY(!log.SaveCallLog());
        QCOMPARE(prompts.Count("message"), 1);
        QVERIFY(prompts.Texts("message").first().startsWith(
            "Can't open history file \"CALL.LOG\"\rReason: "));
    }

    void historyRowsAndSorting() {
        TScratchFolder folder;
        TPhoneBook book;
        PhoneBookEntry entry;
        entry.DisplayName = "Mom";
        entry.Number = "(404) 555 1212";
        PhoneBookEntry* mom = book.Add(entry);
        CallLogRecord record = Call(1000);
        record.Actions = LOG_TOOK_MESSAGE;
        const QStringList row = TCallLog::RowTexts(record, &book, 1000 + 3600);
        QCOMPARE(row, (QStringList{"Mom", "404-555-1212", "Mon Dec 07 06:18 AM", "00:01:00",
                                   "Took message"}));
        QCOMPARE(mom->RealName, QString("SMITH J"));  // the phone book learns the caller ID name

        const CallLogRecord older = Call(500), newer = Call(900);
        QCOMPARE(TCallLog::Compare(ColWhen, {}, &newer, {}, &older, true), -1);
        QCOMPARE(TCallLog::Compare(ColWhen, {}, &older, {}, &newer, true), 1);
        QCOMPARE(TCallLog::Compare(ColWhen, {}, &older, {}, &newer, false), -1);
        QCOMPARE(TCallLog::Compare(ColWhen, {}, nullptr, {}, &newer, true), -1);
        QVERIFY(TCallLog::Compare(ColName, {"Adam"}, &older, {"Zed"}, &newer, true) < 0);
        QVERIFY(TCallLog::Compare(ColName, {"Adam"}, &older, {"Zed"}, &newer, false) > 0);
        // Two calls in the same second are equal in both directions: a strict weak ordering.
        const CallLogRecord same = Call(900);
        QCOMPARE(TCallLog::Compare(ColWhen, {}, &newer, {}, &same, true), 0);
        QCOMPARE(TCallLog::Compare(ColWhen, {}, &same, {}, &newer, false), 0);
    }

    // Rows are sorted by the records' ids, stably, and a trimmed record is gone by its id;
    // reading a row's message state changes nothing.
    void sortingTrimmingAndMessageStates() {
        TScratchFolder folder;
        TCallLog log;
        QList<THistoryRow> rows;
        for (const qint32 time : {kDay + 5, kDay + 5, kDay + 1, kDay + 9}) {
            CallLogRecord* record = log.NewLogRecord();
            const quint64 id = record->Id;
            *record = Call(time);
            record->Id = id;
            rows << THistoryRow{id, {}};
        }
        const QList<quint64> ids = {rows[0].Id, rows[1].Id, rows[2].Id, rows[3].Id};
        log.SortHistory(rows, ColWhen, true);
        QList<quint64> sorted;
        for (const THistoryRow& row : rows)
            sorted << row.Id;
        QCOMPARE(sorted, (QList<quint64>{ids[3], ids[0], ids[1], ids[2]}));  // newest first
        QCOMPARE(log.TrimHistory(3), QList<quint64>{ids[0]});
        QVERIFY(!log.Find(ids[0]));
        QVERIFY(log.Find(ids[1]));

        CallLogRecord& record = *log.Find(ids[1]);
        record.MessageFile = "msg1.wav";
        record.Heard = 1;
        QCOMPARE(TCallLog::StateOf(record), NoMessage);  // its file is not there
        QCOMPARE(record.Heard, 1u);
        QCOMPARE(record.MessageFile, QString("msg1.wav"));
        WriteAll(folder.Path("Messages/msg1.wav"), "RIFF");
        QCOMPARE(TCallLog::StateOf(record), HeardMessage);
        record.Heard = 0;
        QCOMPARE(TCallLog::StateOf(record), NewMessage);
    }
};

QTEST_GUILESS_MAIN(TestCallLog)
#include "test_calllog.moc"
