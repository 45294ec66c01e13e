// Placed calls: the record bytes, the tree by name, the file, the row texts.

#include "store/outgoinghistory.h"
#include "storetest.h"

namespace {
TOCALL Placed(const QString& name, double when, double start = 0, double end = 0) {
    TOCALL call;
    call.Name = name;
    call.NumberToDial = "555-1212";
    call.When = when;
    call.StartTime = start;
    call.EndTime = end;
    return call;
}
}  // namespace

class TestOutgoingHistory : public QObject {
    Q_OBJECT
private slots:
    void recordBytes() {
        TOCALL call = Placed("To Pager", 46000.25, 46000.5, 46000.75);
        call.ToPager = "404555121288";
        call.RetryCount = 4;
        call.CallState = 1;
        call.CostFirst = 2.0;
        call.CostMore = 0.25;
        call.CallFlags = 1;
        const QByteArray bytes = call.ToBytes();
        QCOMPARE(bytes.size(), 456);
        QCOMPARE(TextAt(bytes, 0, 64), QByteArray("To Pager"));
        QCOMPARE(TextAt(bytes, 64, 64), QByteArray("555-1212"));
        QCOMPARE(TextAt(bytes, 128, 260), QByteArray("404555121288"));
        QCOMPARE(Int32At(bytes, 388), 4);
        QCOMPARE(Int32At(bytes, 400), 1);
        QCOMPARE(DoubleAt(bytes, 404), 46000.25);
        QCOMPARE(DoubleAt(bytes, 412), 46000.5);
        QCOMPARE(DoubleAt(bytes, 420), 46000.75);
        QCOMPARE(DoubleAt(bytes, 432), 2.0);
        QCOMPARE(DoubleAt(bytes, 440), 0.25);
        QCOMPARE(bytes.mid(448), QByteArray("\x01\0\0\0\0\0\0\0", 8));
        QCOMPARE(TOCALL::FromBytes(bytes).ToBytes(), bytes);
    }

    void treeByName() {
        TScratchFolder folder;
        TOutgoingHistory history;
        history.AddPlacedCall(Placed("Smith", 46000));
        history.AddPlacedCall(Placed("Jones", 46001));
        history.AddPlacedCall(Placed("Smith", 46002));
        history.AddPlacedCall(Placed("Smith", 46003));
        history.AddPlacedCall(Placed("", 46004));
        TOutgoingNode* root = history.Root();
        QCOMPARE(root->Text, QString("Calls"));
        QCOMPARE(int(root->Children.size()), 3);
        QCOMPARE(root->Children[0]->Text, QString("Smith"));
        QCOMPARE(root->Children[2]->Text, QString("Unknown"));
        QCOMPARE(TOutgoingHistory::CallsUnder(root).size(), 5);
        QCOMPARE(TOutgoingHistory::CallsUnder(root->Children[0].get()).size(), 3);
        TOutgoingNode* callNode = root->Children[1]->Children[0].get();
        QCOMPARE(TOutgoingHistory::CallsUnder(callNode).size(), 1);

        // The file holds every call once a new name saves it, and at shutdown.
        QVERIFY(history.SaveOutgoingHistory());
        QCOMPARE(ReadAll(TOutgoingHistory::FileName()).size(), 5 * 456);
        TOutgoingHistory loaded;
        QCOMPARE(loaded.LoadOutgoingHistory(), 5);
        QCOMPARE(TOutgoingHistory::CallsUnder(loaded.Root()).size(), 5);
        QCOMPARE(loaded.Root()->Children[2]->Text, QString("Unknown"));

        // Deleting a name removes its calls; deleting the last leaves the root.
        TOutgoingNode* selected = loaded.Delete(loaded.Root()->Children[0].get());
        QCOMPARE(selected, loaded.Root());
        QCOMPARE(TOutgoingHistory::CallsUnder(loaded.Root()).size(), 2);
        loaded.Delete(loaded.Root()->Children[0].get());
        QCOMPARE(loaded.Delete(loaded.Root()->Children[0].get()), loaded.Root());
        QVERIFY(loaded.Root()->Children.empty());
        QCOMPARE(loaded.Delete(loaded.Root())->Text, QString("Calls"));
    }

    void partialAndNamelessRecords() {
        TScratchFolder folder;
        const QByteArray two = Placed("A", 1).ToBytes() + Placed("", 2).ToBytes();
        WriteAll(TOutgoingHistory::FileName(), two + QByteArray(1000 - 912, '\x7f'));
        TOutgoingHistory history;
        QCOMPARE(history.LoadOutgoingHistory(), 2);
        QCOMPARE(TOutgoingHistory::CallsUnder(history.Root()).size(),
                 1);  // the nameless one is dropped
    }

    void rowsAndSorting() {
        TOCALL call = Placed("Smith", 46000, 46000.5, 46002.0);
        call.CostFirst = 2.0;
        call.CostMore = 0.25;
        QStringList row = TOutgoingHistory::RowTexts(call);
        QCOMPARE(row[4], QString("1 days 12:00:00"));
        QCOMPARE(row[5], QString("$2.25"));
        call.EndTime = 0;
        row = TOutgoingHistory::RowTexts(call);
        QCOMPARE(row[4], QString("0"));
        call.StartTime = 0;  // never got through
        row = TOutgoingHistory::RowTexts(call);
        QCOMPARE(row[4], QString("Not connected"));
        qint64 seconds = 0;
        QCOMPARE(ElapsedText(90.0 / 86400, &seconds), QString("00:01:30"));
        QCOMPARE(seconds, 90);
        QCOMPARE(ElapsedText(1.0, &seconds), QString("1 days 00:00:00"));
        QCOMPARE(seconds, 86400);  // beyond 16 bits
        QCOMPARE(ElapsedText(qQNaN()), QString("00:00:00"));
        QCOMPARE(DollarText(0), QString("$0.00"));
        QCOMPARE(DollarText(0.155), QString("$0.15"));

        TOCALL a = Placed("B", 3), b = Placed("A", 1), c = Placed("C", 2);
        QList<TOCALL*> calls{&a, &b, &c};
        TOutgoingHistory::Sort(calls, 0, true);
        QCOMPARE(calls, (QList<TOCALL*>{&b, &a, &c}));
        TOutgoingHistory::Sort(calls, 3, false);
        QCOMPARE(calls, (QList<TOCALL*>{&a, &c, &b}));
        TOutgoingHistory::Sort(calls, 4, true);
        QCOMPARE(calls, (QList<TOCALL*>{&a, &c, &b}));
    }
};

QTEST_GUILESS_MAIN(TestOutgoingHistory)
#include "test_outgoinghistory.moc"
