// Every record reader over random, truncated and hostile files: no crash, no overrun (run
// under AddressSanitizer with -DRINGVALE_SANITIZE=ON), every text within its field.

#include <QRandomGenerator>

#include "store/calllog.h"
#include "store/config.h"
#include "store/datafile.h"
#include "store/greetings.h"
#include "store/message.h"
#include "store/outgoinghistory.h"
#include "store/phonebook.h"
#include "storetest.h"

class TestRecordFuzz : public QObject {
    Q_OBJECT
private slots:
    void randomFiles() {
        TScratchFolder folder;
        QRandomGenerator random(20261208);
        for (int round = 0; round < 200; ++round) {
            const int size = int(random.bounded(4000));
            QByteArray bytes(size, '\0');
            for (char& b : bytes)
                b = char(random.bounded(256));
            if (round % 3 == 0) bytes.replace('\0', 'A');  // no terminators at all
            for (const QString& name :
                 {TCallLog::FileName(), TPhoneBook::FileName(), TOutgoingHistory::FileName(),
                  TConfigFile::FileName(), TMessageStore::FileName(), GreetingsListFile()})
                WriteAll(name, bytes);

            // Records that are plainly garbage are skipped; the rest are read within bounds.
            TCallLog log;
            QVERIFY(log.LoadCallLog(200) <= size / 616);
            for (const CallLogRecord& r : log.Records) {
                QVERIFY(r.When.size() <= 32 && r.Number.size() <= 32 && r.Name.size() <= 24);
                QVERIFY(r.MessageFile.size() <= 516);
                TCallLog::RowTexts(r, nullptr, 0);
            }
            TPhoneBook book;
            QVERIFY(book.LoadPhoneBook() <= size / 668);
            for (const auto& e : book.Entries) {
                QVERIFY(e->DisplayName.size() <= 32 && e->PersonalGreeting.size() <= 260);
                TPhoneBook::RowTexts(*e);
            }
            book.FindCaller("404-555-1212", "SMITH");
            book.CheckDuplicateEntries();
            TOutgoingHistory history;
            QVERIFY(history.LoadOutgoingHistory() <= size / 456);
            for (TOCALL* call : TOutgoingHistory::CallsUnder(history.Root()))
                TOutgoingHistory::RowTexts(*call);
            TConfig config;
            TConfigFile().LoadConfig(config);
            QVERIFY(config.SelectPortBox.size() <= 80 && config.Password1.size() <= 16);
            TMessageStore::LookUpResponse(206);
            for (const QString& greeting : LoadGreetingList())
                QVERIFY(greeting.size() < 260);
            PickRandomGreeting();
            TakeDataNotices();
        }
    }
};

QTEST_GUILESS_MAIN(TestRecordFuzz)
#include "test_recordfuzz.moc"
