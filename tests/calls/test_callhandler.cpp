// The incoming call handler over the fake line and the clock: ring counting, "Unknown" at the
// third ring, the caller's phone book rule, answering, paging, digits and the end of the call.

#include <QTemporaryDir>
#include <QtTest>

#include "calls/callhandler.h"
#include "eventloop.h"
#include "fakelinefixture.h"
#include "outgoing/outgoingqueue.h"
#include "platform/clock.h"
#include "platform/profile.h"
#include "platform/telephony/fakeline.h"
#include "recordingview.h"
#include "store/calllog.h"
#include "store/config.h"
#include "store/outgoinghistory.h"
#include "store/phonebook.h"

class TestCallHandler : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    TConfig m_config;
    std::unique_ptr<TCallLog> m_log;
    std::unique_ptr<TPhoneBook> m_book;
    std::unique_ptr<TOutgoingHistory> m_history;
    std::unique_ptr<TOutgoingQueue> m_queue;
    std::unique_ptr<TCallHandler> m_handler;
    TFakeLineFixture m_fake;
    TFakeLine* m_line = nullptr;  // the fixture's
    TTapi* m_tapi = nullptr;
    TTapiEvents m_events;
    TRecordingView m_view;
    std::unique_ptr<TTestLines> m_lines;
    QStringList& m_hooks = m_view.Asked;
    HCALL m_call = 0;

    void Ring(int times) {
        for (int i = 0; i < times; ++i) {
            m_line->Ring();
            Pump();
        }
    }
    void Tick(int seconds) {
        TClock::Advance(seconds);
        m_queue->Tick();
        Pump();
    }

private slots:
    void init() {
        TProfile::SetFolder(m_dir.path());
        QDir(m_dir.path()).mkpath("Greetings");
        TClock::Set(1765000000);
        m_config = TConfig();
        m_config.SoundToPlayWhenPhoneRings.clear();
        m_config.SetFlashCaller(false);
        m_log = std::make_unique<TCallLog>();
        m_book = std::make_unique<TPhoneBook>();
        m_history = std::make_unique<TOutgoingHistory>();
        m_view = TRecordingView();
        m_lines = std::make_unique<TTestLines>(m_view);
        m_queue = std::make_unique<TOutgoingQueue>(m_config, *m_history, *m_lines);
        m_handler =
            std::make_unique<TCallHandler>(m_config, *m_log, *m_book, *m_queue, *m_lines, m_view);
        m_events = m_handler->Events();
        m_tapi = m_lines->Line = m_fake.Prepare(&m_events, {{"tapi/phone", 0}});
        m_line = m_fake.Line();
        QCOMPARE(m_fake.OpenLine(), 0);
        Pump();
        m_call = m_line->Offer();
        Pump();
    }
    void cleanup() {
        m_fake.Close();
        TClock::UseSystem();
    }

    void resetShowsTheSpeakerPhone() {
        QCOMPARE(m_handler->Controls().AnswerHangupCaption, QString("Answer"));
        QVERIFY(!m_handler->Controls().AnswerHangupEnabled);
        QVERIFY(m_handler->Controls().SpeakerPhoneEnabled);
        QCOMPARE(m_handler->Controls().SpeakerPhoneHint, QString("Turn speaker phone on or off"));
        QVERIFY(m_line->Ops.contains("phoneSetHookSwitch 0x2 0x1"));  // switched off
        m_line->SpeakerHookSwitchModes = PHONEHOOKSWITCHMODE_ONHOOK;
        m_handler->CallEventHandler(EV_LINE_OPENED, "Opened Fake");
        QVERIFY(!m_handler->Controls().SpeakerPhoneEnabled);
        QCOMPARE(m_handler->Controls().SpeakerPhoneHint,
                 QString("Your modem does not support speaker phone"));
    }

    void neverAnswerLogsUnknownAtTheThirdRing() {
        m_config.RingsToAnswer = 0;
        Ring(2);
        QVERIFY(m_log->Records.empty());
        QCOMPARE(m_handler->Controls().StatusText, QString("Ringing 2"));
        QCOMPARE(m_handler->Controls().AnswerHangupHint, QString("Answer this incoming call"));
        Ring(1);
        QCOMPARE(m_log->Records.size(), size_t(1));
        QCOMPARE(m_log->Records.front().Name, QString("Unknown"));
        QCOMPARE(m_log->Records.front().Number, QString("000-000-0000"));
        QVERIFY(!m_handler->Controls().TakeMessageVisible);
        Ring(5);
        QCOMPARE(m_line->Count("lineAnswer"), 0);
        // A caller ID after the third ring logs the call a second time.
        const QByteArray name = "SMITH J";
        m_line->CallerId(m_call, LINECALLPARTYID_NAME | LINECALLPARTYID_ADDRESS, "4045551212",
                         &name);
        Pump();
        QCOMPARE(m_log->Records.size(), size_t(2));
        QCOMPARE(m_log->Records.back().Number, QString("404-555-1212"));
        QCOMPARE(m_hooks.filter("row ").size(), 2);
        QCOMPARE(QFileInfo(TCallLog::FileName()).size(), 2 * 616);
    }

    void takesAMessageAtTheChosenRing() {
        m_config.RingsToAnswer = 2;
        Ring(1);
        QVERIFY(m_handler->Controls().TakeMessageVisible);
        Ring(1);
        QCOMPARE(m_log->Records.size(), size_t(1));
        QCOMPARE(m_log->Records.front().Name, QString("Unknown"));
        QCOMPARE(m_handler->CallMode(), quint32(CM_TAKE_MESSAGE | CM_LISTEN_IN));
        QCOMPARE(m_line->Count("lineAnswer"), 1);
        QVERIFY(m_line->Ops.indexOf("lineMonitorDigits 0x2") < m_line->Ops.indexOf("lineAnswer"));
        QCOMPARE(m_handler->Controls().AnswerHangupCaption, QString("Hangup"));
        Ring(1);
        QCOMPARE(m_log->Records.size(), size_t(1));  // ring 3 finds the name set
        m_line->State(m_call, LINECALLSTATE_CONNECTED, LINECALLPRIVILEGE_OWNER);
        Pump();
        QCOMPARE(m_hooks.filter("Take"), QStringList{"TakeMessage"});
        QVERIFY(!m_handler->Controls().TakeMessageVisible);

        // Digits: '#' empties the buffer, the 81st is dropped.
        m_line->Digit(m_call, '1');
        m_line->Digit(m_call, '#');
        for (int i = 0; i < 85; ++i)
            m_line->Digit(m_call, char('0' + i % 10));
        Pump();
        QCOMPARE(m_handler->DigitBuffer().size(), 80);

        // The message is recorded: marked, new, hung up; the digits keyed are paged.
        m_config.SetAllowRemotePage(true);
        m_config.PagerNumber = "555-1111";
        m_handler->MessageSaved("msg1796000000.wav");
        CallLogRecord& record = m_log->Records.front();
        // On disk the moment the recording is saved, before the last beep and the hang-up.
        QFile log(TCallLog::FileName());
        QVERIFY(log.open(QIODevice::ReadOnly));
        QVERIFY(record.Offset >= 0);
        QCOMPARE(log.readAll().mid(record.Offset, 616), record.ToBytes());
        QCOMPARE(record.MessageFile, QString("msg1796000000.wav"));
        m_handler->Completion(OUTCOME_MESSAGE);
        QCOMPARE(record.Actions & LOG_TOOK_MESSAGE, quint32(LOG_TOOK_MESSAGE));
        QCOMPARE(record.Heard, 0u);
        QCOMPARE(m_queue->Actions().size(), size_t(1));
        QCOMPARE(m_queue->Rows().size(), size_t(1));
        QCOMPARE(m_queue->Rows()[0]->Call->ToPager,
                 QString(m_handler->DigitBuffer().left(23) + "-88"));
        Tick(1);
        QCOMPARE(m_line->Count("lineDrop"), 1);
    }

    void hangUpCallersArePlayedAGreeting() {
        PhoneBookEntry entry;
        entry.DisplayName = "Sales";
        entry.Number = "(770) 555 0000";
        entry.ActionFlags = ActionHangUp | ActionPageMe;
        entry.PersonalGreeting = "go away.wav";
        m_book->Add(entry);
        m_config.RingsToAnswer = 0;
        m_config.PagerNumber = "555-1111";
        m_config.SetPageMode(TConfig::PageAlways);
        m_config.SetFlashCaller(true);
        Ring(1);
        m_handler->CallerIdHandler(0, "SALES DEPT", "7705550000");
        const CallLogRecord& record = m_log->Records.front();
        QCOMPARE(record.Actions, quint32(LOG_HUNG_UP | LOG_PAGED));
        QCOMPARE(m_book->Entries[0]->TimesCalled, 1);
        QCOMPARE(m_handler->GreetingPath(), QString("Greetings/go away.wav"));
        QCOMPARE(m_hooks.filter("popup "), QStringList{"popup Sales\r770-555-0000"});
        QCOMPARE(m_handler->CallMode(), quint32(CM_GREETING_ONLY));
        QCOMPARE(m_queue->Rows().size(), size_t(1));  // the page
        Tick(1);
        QCOMPARE(m_line->Count("lineAnswer"), 1);  // answered at once, whatever the ring count
        m_line->State(m_call, LINECALLSTATE_CONNECTED, LINECALLPRIVILEGE_OWNER);
        Pump();
        QCOMPARE(m_hooks.filter("Play"), QStringList{"PlayGreeting"});
        m_handler->Completion(OUTCOME_NO_MESSAGE);
        QCOMPARE(m_queue->Actions().size(), size_t(1));
    }

    void unknownCallersGetARandomGreeting() {
        QFile list(m_dir.filePath("Greetings.txt"));
        QVERIFY(list.open(QIODevice::WriteOnly));
        list.write("mine.wav\r\n");
        list.close();
        m_handler->CallerIdHandler(0, "NOBODY", "1");
        QCOMPARE(m_handler->GreetingPath(), QString("Greetings/mine.wav"));
        QCOMPARE(m_log->Records.front().Actions, 0u);  // paging is off by default (no pager)
        // The list is kept between calls but read again once it has changed.
        QVERIFY(list.open(QIODevice::WriteOnly));
        list.write("the new one.wav\r\n");
        list.close();
        m_handler->CallerIdHandler(0, "NOBODY", "1");
        QCOMPARE(m_handler->GreetingPath(), QString("Greetings/the new one.wav"));
    }

    void theEndOfACall() {
        m_line->State(m_call, LINECALLSTATE_DISCONNECTED);
        Pump();
        QVERIFY(m_hooks.contains("CallerGone"));
        QCOMPARE(m_line->Count("lineDrop"), 1);  // at once, with no tick
        // The answering window ending afterwards hangs up no second time: the next caller's
        // call would be the one dropped.
        m_handler->Completion(OUTCOME_NO_MESSAGE);
        Pump();
        QCOMPARE(m_line->Count("lineDrop"), 1);
        m_line->SendLineClose();
        Pump();
        QVERIFY(m_hooks.contains("LineClosedTimer"));
        // The line reopens after the call: everything is reset.
        m_line->State(m_call, LINECALLSTATE_IDLE);
        Pump();
        QVERIFY(!m_handler->RemoteRetrievalActive());
        QCOMPARE(m_handler->RingCount(), 0u);
        QVERIFY(!m_handler->CurrentLogRecord());
    }

    void outgoingCallsConnectAndEnd() {
        m_line->State(m_call, LINECALLSTATE_IDLE);
        Pump();
        TOCALL call;
        call.Name = "Mom";
        call.NumberToDial = "5551212";
        call.When = TClock::NowDays();
        m_queue->AddToCallList(call);
        Tick(1);
        QCOMPARE(m_handler->Controls().AnswerHangupCaption, QString("Answer"));
        m_line->State(m_tapi->hCall, LINECALLSTATE_DIALING, LINECALLPRIVILEGE_OWNER);
        Pump();
        QCOMPARE(m_handler->Controls().AnswerHangupCaption, QString("Hangup"));
        QVERIFY(m_handler->Controls().AnswerHangupEnabled);
        m_line->State(m_tapi->hCall, LINECALLSTATE_CONNECTED, LINECALLPRIVILEGE_OWNER);
        Pump();
        QVERIFY(m_handler->Controls().ThisCallGroupVisible);
        QVERIFY(m_queue->CurrentOutgoing()->Call->StartTime != 0);
        m_handler->AnswerHangupButtonClick();  // "Hangup"
        Pump();
        QVERIFY(!m_queue->CurrentOutgoing());
        QCOMPARE(TOutgoingHistory::CallsUnder(m_history->Root()).size(), 1);
    }

    // A page cut off by the line closing ends like any call: its row leaves the queue for the
    // history, and the next voice call is not hung up three seconds after it connects.
    void aPageCutOffByTheLineClosing() {
        m_line->State(m_call, LINECALLSTATE_IDLE);
        Pump();
        TOCALL page;
        page.Name = "Pager";
        page.NumberToDial = "5550000";
        page.ToPager = "4045551212";
        page.When = TClock::NowDays();
        m_queue->AddToCallList(page);
        Tick(1);
        m_line->State(m_tapi->hCall, LINECALLSTATE_CONNECTED, LINECALLPRIVILEGE_OWNER);
        Pump();
        QVERIFY(m_queue->HangUpAfterConnect());
        m_line->SendLineClose();
        Pump();
        QVERIFY(!m_queue->CurrentOutgoing());
        QVERIFY(!m_queue->HangUpAfterConnect());
        QVERIFY(m_queue->Rows().empty());
        QCOMPARE(TOutgoingHistory::CallsUnder(m_history->Root()).size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestCallHandler)
#include "test_callhandler.moc"
