// Block lists from files: the column that holds the numbers is found in a CSV with a header,
// numbers already there or listed twice are skipped, and a file of no numbers (a picture, an
// empty file, a list of names) changes nothing.

#include "scriptedprompts.h"
#include "store/blocklist.h"
#include "store/phonebook.h"
#include "storetest.h"

class TestBlockList : public QObject {
    Q_OBJECT
private slots:
    void theColumnOfNumbers() {
        QCOMPARE(TBlockList::Numbers(
                     "404-555-1212\n\n(770) 555 0000\r\nnot a number\n+1 800 555 1234\n"),
                 (QStringList{"404-555-1212", "(770) 555 0000", "+1 800 555 1234"}));
        QCOMPARE(TBlockList::Numbers("Name,Number,Note\n\"Car warranty\",\"800-555-0001\",411\n"
                                     "Survey;8005550002;x\nPoll\t800.555.0003\t\n"),
                 (QStringList{"800-555-0001", "8005550002", "800.555.0003"}));
        QVERIFY(TBlockList::Numbers("12\n1-2\nabc123456\n" + QByteArray(40, '5')).isEmpty());
    }

    void importsOnceAndRefusesWhatHoldsNoNumbers() {
        TScratchFolder folder;
        TPhoneBook book;
        PhoneBookEntry mom;
        mom.DisplayName = "Mom";
        mom.Number = "404-555-1212";
        book.Add(mom);
        const QString list = folder.Path("Robocallers 2026.csv");
        QVERIFY(WriteAll(list, "number\n4045551212\n800-555-0001\n(800) 555-0001\n800-555-0002\n"));
        const TBlockList::TResult result = TBlockList::Import(book, list);
        QVERIFY(result.Error.isEmpty());
        QCOMPARE(result.Added, 2);
        QCOMPARE(result.Skipped, 2);
        QCOMPARE(book.Entries.size(), size_t(3));
        const PhoneBookEntry& added = *book.Entries[1];
        QCOMPARE(added.DisplayName, QString("Robocallers 2026"));
        QCOMPARE(added.Number, QString("800-555-0001"));
        QCOMPARE(added.ActionFlags, quint32(ActionHangUp));
        QCOMPARE(book.FindCaller("8005550002", "")->DisplayName, QString("Robocallers 2026"));
        QCOMPARE(TBlockList::Import(book, list).Added, 0);  // all there now

        QByteArray picture("\x89PNG\r\n\x1a\n", 8);
        for (int i = 0; i < 5000; ++i)
            picture += char(i * 7);
        for (const QByteArray& damaged : {picture, QByteArray(), QByteArray("Mom\nDad\n")}) {
            QVERIFY(WriteAll(folder.Path("damaged.txt"), damaged));
            const TBlockList::TResult refused =
                TBlockList::Import(book, folder.Path("damaged.txt"));
            QVERIFY(refused.Error.contains("holds no phone numbers"));
            QCOMPARE(book.Entries.size(), size_t(3));
        }
        QVERIFY(!TBlockList::Import(book, folder.Path(".")).Error.isEmpty());  // a folder
    }
};

QTEST_GUILESS_MAIN(TestBlockList)
#include "test_blocklist.moc"
