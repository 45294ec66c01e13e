// Dial strings, the to-call list and action queue driven by the tick over the fake line,
// call timing and cost, and paging.

#include <QTemporaryDir>
#include <QtTest>

#include "eventloop.h"
#include "fakelinefixture.h"
#include "outgoing/dialable.h"
#include "outgoing/outgoingqueue.h"
#include "platform/clock.h"
#include "platform/profile.h"
#include "platform/telephony/fakeline.h"
#include "store/config.h"
#include "store/outgoinghistory.h"
#include "store/phonebook.h"
#include "telephony/ttapi.h"

namespace {

TOCALL Voice(const QString& name, const QString& number, double when) {
    TOCALL call;
    call.Name = name;
    call.NumberToDial = number;
    call.When = when;
    return call;
}
}  // namespace

// The program around the queue: the line while it is open, and what the queue reports.
struct TRecordingHost : TOutgoingHost {
    TTapi* Line = nullptr;
    QStringList Log;
    QStringList Statuses;
    int HangUps = 0;
    TTapi* CurrentLine() override { return Line; }
    void CallStatus(const QString& text) override { Statuses << text; }
    void PortDataLine(const QString& text) override { Log << text; }
    void HangingUp() override { ++HangUps; }
};

class TestOutgoing : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    TConfig m_config;
    std::unique_ptr<TOutgoingHistory> m_history;
    std::unique_ptr<TOutgoingQueue> m_queue;
    TFakeLineFixture m_fake;
    TFakeLine* m_line = nullptr;  // the fixture's
    TTapi* m_tapi = nullptr;
    TRecordingHost m_host;
    QStringList& m_log = m_host.Log;

    void Advance(int seconds) {
        TClock::Advance(seconds);
        m_queue->Tick();
        Pump();
    }
    QStringList Dialled() const { return m_line->Ops.filter("lineMakeCall"); }

private slots:
    void init() {
        qputenv("TZ", "UTC");
        TProfile::SetFolder(m_dir.path());
        TClock::Set(
            QDateTime(QDate(2026, 12, 6), QTime(9, 30), Qt::UTC).toSecsSinceEpoch());  // a Sunday
        m_config = TConfig();
        m_config.LocalAreaCodes = "404,678";
        m_history = std::make_unique<TOutgoingHistory>();
        m_queue = std::make_unique<TOutgoingQueue>(m_config, *m_history, m_host);
        QCOMPARE(m_fake.Open(nullptr), 0);
        m_line = m_fake.Line();
        m_tapi = m_fake.Tapi();
        m_host = TRecordingHost();
        m_host.Line = m_tapi;
    }
    void cleanup() {
        m_queue.reset();
        m_fake.Close();
        TClock::UseSystem();
    }

    void dialStrings_data() {
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("dial");
        QTest::addColumn<bool>("local");
        QTest::newRow("local") << "404-555-1212"
                               << "555-1212" << true;
        QTest::newRow("blanks") << "678 555 1212"
                                << "5551212" << true;
        QTest::newRow("long distance") << "303-555-7000"
                                       << "1 303 555-7000" << false;
        QTest::newRow("toll free") << "800-555-0000"
                                   << "1 800 555-0000" << false;
        QTest::newRow("leading 1") << "  1 303 555 7000"
                                   << "1 303 555 7000" << true;
        QTest::newRow("percent") << "1-800-%s%d"
                                 << "1-800-%s%d" << true;
        QTest::newRow("no area code") << "555-1212"
                                      << "1 555 1212" << false;
        // The area code is read from the digits, however the number was typed.
        QTest::newRow("parentheses") << "(404) 555-1212"
                                     << "555-1212" << true;
        QTest::newRow("as stored") << "(404)555-1212"
                                   << "555-1212" << true;
        QTest::newRow("dots") << "303.555.7000"
                              << "1 303 555.7000" << false;
        QTest::newRow("international") << "442071234567"
                                       << "442071234567" << true;
        QTest::newRow("blanks only") << "   "
                                     << "" << false;
        QTest::newRow("empty") << ""
                               << "" << false;
    }
    void dialStrings() {
        QFETCH(QString, number);
        QFETCH(QString, dial);
        QFETCH(bool, local);
        bool isLocal = !local;
        QCOMPARE(DialableNumber(number, m_config, &isLocal), dial);
        QCOMPARE(isLocal, local);
    }

    void dialStringSettings() {
        bool local = false;
        m_config.SetTenDigitDialing(true);
        QCOMPARE(DialableNumber("404-555-1212", m_config, &local), QString("404-555-1212"));
        m_config.SetTenDigitDialing(false);
        m_config.LongDistancePrefix = "1010321";
        QCOMPARE(DialableNumber("303-555-7000", m_config, &local),
                 QString("1010321, 1 303 555-7000"));
        QCOMPARE(DialableNumber("888-555-0000", m_config, &local), QString("1 888 555-0000"));
        // "1" is the long distance digit itself, not a carrier: it is not dialled twice.
        m_config.LongDistancePrefix = " 1 ";
        QCOMPARE(DialableNumber("303-555-7000", m_config, &local), QString("1 303 555-7000"));
        QCOMPARE(LocalAreaCodeTable("404;678 & 770"), (QStringList{"404", "678", "770"}));
        QCOMPARE(LocalAreaCodeTable("4045"), QStringList{"4045"});
        m_config.LocalAreaCodes = "4045";
        DialableNumber("404-555-1212", m_config, &local);
        QVERIFY(!local);  // a code of four characters never matches
        QCOMPARE(LocalAreaCodeTable("1,2,3,4,5,6,7,8,9,10,303").size(), 10);
        m_config.LocalAreaCodes =
            QString(78, ' ') + "303";  // only what lies in the first 80 counts
        QCOMPARE(LocalAreaCodeTable(m_config.LocalAreaCodes), QStringList{"30"});
        m_config.LocalAreaCodes = "abc";
        DialableNumber("ABC-555-1212", m_config, &local);
        QVERIFY(local);  // letter case does not matter
    }

    void oneCallPerTickAndRetries() {
        const double now = TClock::NowDays();
        m_queue->AddToCallList(Voice("Smith", "303-555-7000", now));
        m_queue->AddToCallList(Voice("", "404-555-1212", now));
        m_queue->AddToCallList(Voice("Later", "404-555-0000", now + 1.5));
        QCOMPARE(m_queue->Rows()[0]->Status, QString("Waiting"));
        Advance(1);
        QCOMPARE(Dialled(),
                 QStringList{"lineMakeCall 555-1212"});  // the walk starts from the last due row
        QCOMPARE(m_queue->CurrentOutgoing()->Status, QString("Calling 555-1212"));
        QCOMPARE(m_queue->Rows()[2]->TimeRemaining, QString("1 days 11:59:59"));

        // The other due row fails while the line is busy and is retried 30 seconds later.
        Advance(2);
        QCOMPARE(Dialled().size(), 1);
        QCOMPARE(m_queue->Rows()[0]->Status, QString("Retry 1"));
        m_queue->OnOutgoingConnected();
        Advance(90);
        QCOMPARE(m_queue->CallDisplay().CallTime, QString("00:01:30"));
        QVERIFY(!m_queue->CallDisplay().ShowCost);  // local
        m_tapi->Hangup();
        m_queue->OnOutgoingEnded(0);
        Pump();
        QCOMPARE(m_queue->Rows().size(), size_t(2));
        QCOMPARE(TOutgoingHistory::CallsUnder(m_history->Root()).size(), 1);
        Advance(31);  // its retry time
        QCOMPARE(Dialled().last(), QString("lineMakeCall 1 303 555-7000"));
        QCOMPARE(m_queue->CurrentOutgoing()->Status, QString("Calling Smith @ 1 303 555-7000"));
    }

    void closedLineAndFiveFailures() {
        m_host.Line = nullptr;
        m_queue->AddToCallList(Voice("Smith", "303-555-7000", TClock::NowDays()));
        Advance(2);
        QCOMPARE(m_queue->Rows()[0]->Status, QString("Waiting for connect"));
        QVERIFY(Dialled().isEmpty());

        m_host.Line = m_tapi;
        m_line->Results["lineMakeCall"] = LINEERR_CALLUNAVAIL;
        for (int attempt = 0; attempt < 8; ++attempt)
            Advance(31);
        QCOMPARE(Dialled().size(), 5);
        QCOMPARE(m_queue->Rows()[0]->Status, QString("Retry 4"));
        QCOMPARE(m_queue->Rows()[0]->Call->CallState, 1);
    }

    void pagesHangUpAfterConnect() {
        m_config.PagerNumber = "555-1111;555-2222;";
        m_config.SetPageMode(TConfig::PageAlways);
        m_config.PageWait = 0.5;
        QVERIFY(m_queue->ShouldPage(nullptr, "404-555-1212"));  // mode 1 pages an unknown caller
        QCOMPARE(m_queue->Rows().size(), size_t(3));
        for (const auto& row : m_queue->Rows()) {
            QCOMPARE(row->Call->Name, QString("To Pager"));
            QCOMPARE(row->Call->ToPager, QString("404-555-1212-88"));
            QCOMPARE(qint64(TClock::TimeFromDays(row->Call->When)), TClock::Now() + 30);
        }
        QCOMPARE(m_queue->Rows()[2]->Call->NumberToDial, QString());

        Advance(31);
        QCOMPARE(Dialled().size(), 1);
        QVERIFY(Dialled().first().endsWith(",,,,,404-555-1212-88"));
        QVERIFY(m_queue->CurrentOutgoing()->Status.startsWith("Paging with 404-555-1212-88"));
        m_queue->OnOutgoingConnected();
        QCOMPARE(m_log, QStringList{"Qued to hangup in 3 seconds"});
        Advance(2);
        QCOMPARE(m_line->Count("lineDrop"), 0);
        Advance(2);
        QCOMPARE(m_line->Count("lineDrop"), 1);

        m_config.PostPageNumber.clear();
        m_config.PagerNumber = "555-1111";
        m_queue = std::make_unique<TOutgoingQueue>(m_config, *m_history, m_host);  // empty
        QCOMPARE(m_queue->QueuePage("404-555-1212", -5), 0);
        QCOMPARE(m_queue->Rows()[0]->Call->ToPager, QString("404-555-1212-"));
    }

    void pagingModesAndHours() {
        QString text = "waiting";
        QVERIFY(!m_queue->PagingStatus(true, &text));  // no pager number: hidden
        m_config.PagerNumber = "555-1111";
        m_config.SetPageMode(TConfig::PageNormal);
        PhoneBookEntry pageMe;
        pageMe.ActionFlags = ActionPageMe;
        m_config.PagingHours[0 * 24 + 9] = 0;  // Sunday 09:00-09:59 off
        QVERIFY(!m_queue->ShouldPage(&pageMe, "404-555-1212"));
        QVERIFY(m_queue->PagingStatus(true, &text));
        QCOMPARE(text, QString("Paging is not active this hour"));
        m_config.PagingHours[9] = 1;
        QVERIFY(!m_queue->ShouldPage(nullptr, "404-555-1212"));  // not in the phone book
        QVERIFY(m_queue->ShouldPage(&pageMe, "404-555-1212"));
        m_queue->PagingStatus(true, &text);
        QCOMPARE(text, QString("Selected calls will be sent to your pager"));
        text = "waiting";
        m_queue->PagingStatus(false, &text);
        QCOMPARE(text, QString("waiting"));  // unchanged while the line is closed
        m_config.SetPageMode(TConfig::PageNever);
        QVERIFY(!m_queue->ShouldPage(&pageMe, "1"));
        m_queue->PagingStatus(true, &text);
        QCOMPARE(text, QString("No calls will be sent to your pager"));
        m_config.SetPageMode(TConfig::PageAlways);
        m_queue->PagingStatus(true, &text);
        QCOMPARE(text, QString("All calls will be sent to your pager"));
    }

    void tariff() {
        m_config.FirstMinutesEdit = 20;
        m_config.Cost1Edit = 0.10;
        m_config.Cost2Edit = 0.05;
        m_queue->AddToCallList(Voice("Far", "303-555-7000", TClock::NowDays()));
        Advance(1);
        m_queue->OnOutgoingConnected();
        QVERIFY(m_queue->CallDisplay().ShowCost);
        for (int s = 0; s < 90; s += 2)
            Advance(2);
        QCOMPARE(m_queue->CallDisplay().CallCost, QString("$0.15"));
        QCOMPARE(m_queue->CallDisplay().PerMinute, QString("$0.10"));
        for (int s = 90; s < 1500; s += 2)
            Advance(2);
        QCOMPARE(m_queue->CallDisplay().CallTime, QString("00:25:00"));
        QCOMPARE(m_queue->CallDisplay().CallCost, QString("$2.25"));
        QCOMPARE(m_queue->CallDisplay().PerMinute, QString("$0.05"));

        // Deleting the row of the call in progress keeps its record until the call ends.
        m_queue->DeleteRow(m_queue->CurrentOutgoing());
        QVERIFY(m_queue->CurrentOutgoing());
        m_queue->OnOutgoingEnded(0);
        QVERIFY(m_queue->Rows().empty());
        const QList<TOCALL*> history = TOutgoingHistory::CallsUnder(m_history->Root());
        QCOMPARE(history.size(), 1);
        QCOMPARE(TOutgoingHistory::RowTexts(*history[0])[5], QString("$2.25"));

        TOCALL never = Voice("Nobody", "1", 46000);
        never.CostFirst = 0.75;
        const TTotals totals = TOutgoingQueue::UpdateTotals({history[0], &never});
        QCOMPARE(totals.TotalCost, QString("$3.00"));
        QCOMPARE(totals.MeanCost, QString("$1.50"));
        QCOMPARE(totals.TotalLength, QString("00:25:00"));
        QCOMPARE(totals.MeanLength, QString("00:12:30"));  // the unconnected call counts
        QCOMPARE(TOutgoingQueue::UpdateTotals({}).MeanCost, QString("$0.00"));
    }

    void actionQueue() {
        m_line->Offer();
        Pump();
        m_queue->QueueAction(ACTION_ANSWER, 0);
        m_queue->QueueAction(ACTION_HANG_UP, 0);
        QCOMPARE(m_log,
                 (QStringList{"Qued to answer in 0 seconds", "Qued to hangup in 0 seconds"}));
        QCOMPARE(m_line->Count("lineAnswer"), 0);  // not inside whatever queued it
        Pump();  // then at once, one after the other, with no tick
        QCOMPARE(m_line->Count("lineAnswer"), 1);
        QCOMPARE(m_line->Count("lineDrop"), 1);
        QCOMPARE(m_host.HangUps, 1);
        // A delayed action waits for a tick strictly after its time.
        m_queue->QueueAction(ACTION_HANG_UP, 2);
        Pump();
        Advance(2);
        QCOMPARE(m_queue->Actions().size(), size_t(1));
        Advance(1);
        QVERIFY(m_queue->Actions().empty());
        m_host.Line = nullptr;
        m_queue->QueueAction(ACTION_HANG_UP, 0);
        Advance(2);
        QCOMPARE(m_queue->Actions().size(), size_t(1));  // waits for an open line
    }
};

QTEST_GUILESS_MAIN(TestOutgoing)
#include "test_outgoing.moc"
