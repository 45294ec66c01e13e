// TTapi over the fake line provider: the exact notification sequences of calls, replies,
// caller IDs, reopening after a call, and the call operations.

#include <QtTest>

#include "eventloop.h"
#include "platform/telephony/fakeline.h"
#include "telephony/ttapi.h"

class TestTTapi : public QObject {
    Q_OBJECT

    std::unique_ptr<TFakeLineProvider> m_provider;
    TFakeLine* m_line = nullptr;
    std::unique_ptr<TTapi> m_tapi;
    TTapiEvents m_table;
    QStringList m_events;  // "code:text"
    QStringList m_traces;
    QStringList m_callerIds;  // "flags|name|number"

    QStringList Take() {
        Pump();
        QStringList taken = m_events;
        m_events.clear();
        return taken;
    }

    HCALL OfferedCall() {
        const HCALL call = m_line->Offer();
        Pump();
        m_events.clear();
        return call;
    }

private slots:
    void init() {
        m_provider = std::make_unique<TFakeLineProvider>();
        m_provider->AddLine("Other Modem");
        m_line = m_provider->AddLine("Fake Modem");
        m_events.clear();
        m_traces.clear();
        m_callerIds.clear();
        m_table.OnLineEvent = [this](int code, const QString& text) {
            m_events << QString::number(code) + ":" + text;
        };
        m_table.OnTrace = [this](int code, const QString& text) {
            m_traces << QString::number(code) + ":" + text;
        };
        m_table.OnCallerId = [this](quint32 flags, const QString& name, const QString& number) {
            m_callerIds << QString::number(flags) + "|" + name + "|" + number;
        };
        m_tapi = std::make_unique<TTapi>(1);
        m_tapi->Events = &m_table;
        QCOMPARE(m_tapi->LastError, QString("Unknown"));
        QCOMPARE(m_tapi->InitLine(), 0);
        m_tapi->InitPhone();
        const int id = m_tapi->FindLineDevice("Fake Modem");
        QCOMPARE(id, 1);
        QCOMPARE(m_tapi->OpenLine(quint32(id), nullptr), 0);
        QCOMPARE(m_tapi->IsVoiceLine(quint32(id)), 1);
    }

    void cleanup() {
        m_tapi.reset();
        m_provider.reset();
        Pump();
    }

    void openingTracesAndCaseSensitiveNames() {
        QCOMPARE(Take(), (QStringList{"0:Init Line OK # Modems=2", "0:Negotiated API to 1.4",
                                      "5009:Opened Fake Modem", "0:lineSetStatusMessages OK"}));
        QCOMPARE(m_tapi->LineName, QString("Fake Modem"));
        QCOMPARE(m_line->Ops.first(), QString("lineGetDevCaps"));
        QVERIFY(m_line->Ops.contains("lineOpen media=0x1e"));
        QCOMPARE(m_tapi->FindLineDevice("fake modem"), -1);
        QCOMPARE(m_tapi->FindLineDevice("Other Modem"), 0);
        QCOMPARE(m_tapi->InitLine(), 1);  // already initialised

        // A data-only modem is opened for data alone; a busy one gives its error text.
        TFakeLine* data = m_provider->AddLine("Data Modem");
        data->MediaModes = LINEMEDIAMODE_DATAMODEM;
        {
            TTapi second(2);
            second.InitLine();
            // The device list stays as it was while another program holds it.
            QCOMPARE(second.FindLineDevice("Data Modem"), -1);
            m_tapi.reset();
        }
        TTapi third(3);
        third.InitLine();
        QCOMPARE(third.FindLineDevice("Data Modem"), 2);
        QCOMPARE(third.OpenLine(2, nullptr), 0);
        QVERIFY(data->Ops.contains("lineOpen media=0x10"));
        QCOMPARE(third.IsVoiceLine(2), 0);
        m_line->Results["lineOpen"] = LINEERR_RESOURCEUNAVAIL;
        QString text;
        QCOMPARE(third.OpenLine(1, &text), LINEERR_RESOURCEUNAVAIL);
        QCOMPARE(text, QString("Error calling TAPI function lineOpen\rReason: Resource (modem) "
                               "unavailable\rCode: -2147483573"));
        QCOMPARE(third.LastError, QString("Resource (modem) unavailable"));
    }

    void ringsWithoutCallerId() {
        Take();
        const HCALL call = m_line->Offer();
        m_line->Ring();
        m_line->Ring();
        QVERIFY(m_events.isEmpty());  // nothing arrives from inside the operation
        const qint32 accept = m_line->Requests.value(0, -1);
        Pump();
        QCOMPARE(m_line->Requests.size(), 1);
        QCOMPARE(
            Take(),
            (QStringList{"2:Call State Offering - we own this call",
                         "0:hCall is " + QString::number(call),
                         "0:PutRequest " + QString::number(m_line->Requests[0]) + " Line Accept",
                         "2:lineAccept OK", "5011:Ringing", "5011:Ringing",
                         "12:\tSuccess for Line Accept:" + QString::number(m_line->Requests[0])}));
        Q_UNUSED(accept);
        QVERIFY(m_callerIds.isEmpty());
        QCOMPARE(m_tapi->hCall, call);
        QCOMPARE(m_tapi->Incoming, 1);
    }

    void callerIdVariants_data() {
        QTest::addColumn<quint32>("flags");
        QTest::addColumn<bool>("withName");
        QTest::addColumn<QString>("reported");
        const quint32 both = LINECALLPARTYID_NAME | LINECALLPARTYID_ADDRESS;
        QTest::newRow("name and number")
            << both << true << QString::number(both) + "|JOHN Q|5551212";
        QTest::newRow("number only, empty name")
            << quint32(LINECALLPARTYID_ADDRESS) << true
            << QString::number(LINECALLPARTYID_ADDRESS) + "||5551212";
        QTest::newRow("no name string") << quint32(LINECALLPARTYID_ADDRESS) << false << QString();
        QTest::newRow("blocked") << quint32(LINECALLPARTYID_BLOCKED) << true
                                 << "1|Private|0000000000";
        QTest::newRow("out of area")
            << quint32(LINECALLPARTYID_OUTOFAREA) << true << "2|Out Of Area|0000000000";
        QTest::newRow("unavailable")
            << quint32(LINECALLPARTYID_UNAVAIL) << true << "64|Unavailable|0000000000";
    }
    void callerIdVariants() {
        QFETCH(quint32, flags);
        QFETCH(bool, withName);
        QFETCH(QString, reported);
        const HCALL call = OfferedCall();
        const QByteArray name = (flags & LINECALLPARTYID_NAME) ? "JOHN Q" : "";
        m_line->CallerId(call, flags, "5551212", withName ? &name : nullptr);
        const QStringList events = Take();
        QCOMPARE(events.first(), QString("1:Call Info Current State is 2"));
        QCOMPARE(m_callerIds, reported.isEmpty() ? QStringList() : QStringList{reported});
        if (!reported.isEmpty())
            QCOMPARE(events.mid(1), (QStringList{"1:" + reported.section('|', 1, 1),
                                                 "1:" + reported.section('|', 2, 2)}));
    }

    void offeringsTheProgramDoesNotOwn() {
        Take();
        const HCALL monitored = m_line->Offer(LINECALLPRIVILEGE_MONITOR);
        m_line->State(monitored, LINECALLSTATE_CONNECTED, 0);  // no hCall, no privilege
        QCOMPARE(Take(), QStringList{"2:Call State Offering - we don't own this call"});
        QCOMPARE(m_line->Count("lineAccept"), 0);
        QCOMPARE(m_tapi->Incoming, 1);
        QCOMPARE(m_tapi->hCall, HCALL(0));

        const HCALL first = m_line->Offer();
        const HCALL second = m_line->Offer();
        Pump();
        QCOMPARE(m_tapi->hCall, first);
        QCOMPARE(m_line->Count("lineAccept"), 1);
        QVERIFY(Take().contains("2:Call State Offering - we own this call"));
        m_line->State(second, LINECALLSTATE_CONNECTED, 0);
        QCOMPARE(Take(),
                 QStringList{"5010:Connected"});  // connected is reported while a call is held

        // A failed accept is traced and leaves the call offered.
        m_line->State(first, LINECALLSTATE_IDLE);
        Take();
        m_line->Results["lineAccept"] = LINEERR_OPERATIONFAILED;
        const HCALL third = m_line->Offer();
        QCOMPARE(Take(),
                 (QStringList{"2:Call State Offering - we own this call",
                              "0:hCall is " + QString::number(third), "2:lineAccept failed"}));
        QCOMPARE(m_tapi->hCall, third);
    }

    void replies() {
        Take();
        m_line->Reply(999, 0);
        m_line->Reply(998, LINEERR_OPERATIONFAILED);
        QCOMPARE(Take(),
                 (QStringList{"12:\tSuccess for Unknown:999", "12:\tFailed to Unknown:998"}));

        for (int id = 1; id <= 10; ++id)
            m_tapi->PutRequest(100 + id, 2, "Slot");
        QCOMPARE(Take().size(), 10);
        m_tapi->PutRequest(111, 2, "Eleventh");
        QVERIFY(Take().isEmpty());
        QString text;
        QCOMPARE(m_tapi->FindRequest(111, &text), -1);
        QCOMPARE(text, QString("Unknown"));
        QCOMPARE(m_tapi->FindRequest(105, &text), 2);
        QCOMPARE(text, QString("Slot"));
        m_line->Reply(105, 0);
        QCOMPARE(Take(), QStringList{"12:\tSuccess for Slot:105"});
        QCOMPARE(m_tapi->FindRequest(105, &text), -1);
        m_tapi->PutRequest(112, EV_ANSWERED, QString(80, 'x'));
        QCOMPARE(Take(), QStringList{"0:PutRequest 112 " + QString(63, 'x')});
        m_line->Reply(112, 0);
        QCOMPARE(Take(), QStringList{"5013:\tSuccess for " + QString(63, 'x') + ":112"});
    }

    void idleClosesAndReopensTheLine() {
        const HCALL call = OfferedCall();
        const HLINE before = m_tapi->hLine;
        m_line->SetId("tapi/phone", 1, STRINGFORMAT_ASCII);
        QVERIFY(m_tapi->SetSpeakerPhone(SPK_ON));
        QVERIFY(m_line->IsPhoneOpen());
        Take();
        m_line->State(call, LINECALLSTATE_IDLE);
        QCOMPARE(Take(),
                 (QStringList{"1:Call State Idle", "0:Closed line", "0:Negotiated API to 1.4",
                              "5009:Opened Fake Modem", "0:lineSetStatusMessages OK"}));
        QCOMPARE(m_tapi->hCall, HCALL(0));
        QCOMPARE(m_tapi->Incoming, 0);
        QVERIFY(m_tapi->hLine != before && m_tapi->hLine != 0);
        QVERIFY(!m_line->IsPhoneOpen());
        for (const PendingRequest& slot : m_tapi->Requests)
            QVERIFY(slot.RequestId <= 0);
        // A message for the closed line is dropped.
        m_line->Digit(call, '5');
        QCOMPARE(Take(), QStringList{"9:5"});
    }

    void hangupAnswerAndDial() {
        QVERIFY(!m_tapi->Hangup());
        QCOMPARE(Take().last(), QString("0:Hangup failed"));
        const int dialed = m_tapi->MakeCall("555,1234");
        QCOMPARE(m_line->Requests.size(), 1);
        QCOMPARE(dialed, m_line->Requests.last());
        QCOMPARE(m_line->LastNumber, QByteArray("555,1234"));
        QCOMPARE(m_line->LastParams.dwTotalSize, 112u);
        QCOMPARE(m_line->LastParams.dwMinRate, 9600u);
        QCOMPARE(m_line->LastParams.dwMaxRate, 9600u);
        QCOMPARE(m_line->LastParams.dwMediaMode, quint32(LINEMEDIAMODE_INTERACTIVEVOICE));
        QVERIFY(m_tapi->hCall != 0);
        QCOMPARE(m_tapi->MakeCall("5551234"), -1);  // a call is in progress
        QCOMPARE(m_line->Count("lineMakeCall"), 1);
        const QString id = QString::number(dialed);
        QCOMPARE(Take(), (QStringList{"0:PutRequest " + id + " Line Make Call",
                                      "12:\tSuccess for Line Make Call:" + id}));
        QVERIFY(m_tapi->Hangup());
        QVERIFY(!m_tapi->Hangup());
        // The drop is not a recorded request: its reply is traced as Unknown.
        QCOMPARE(Take(),
                 (QStringList{"5014:Hangup success", "0:Hangup failed",
                              "12:\tSuccess for Unknown:" + QString::number(m_line->Requests[1])}));

        m_line->Results["lineMakeCall"] = LINEERR_CALLUNAVAIL;
        QCOMPARE(m_tapi->MakeCall("5551234"), LINEERR_CALLUNAVAIL);
        QCOMPARE(m_tapi->LastError, QString("Call unavailble"));
        QCOMPARE(m_tapi->hCall, HCALL(0));

        const HCALL call = OfferedCall();
        m_line->Status(call).dwCallFeatures = LINECALLFEATURE_DROP;
        QCOMPARE(m_tapi->Answer(), -1);
        QCOMPARE(Take(), (QStringList{"0:Line provides no answer", "0:Answer async failed"}));
        m_line->Status(call).dwCallFeatures = LINECALLFEATURE_ANSWER;
        m_line->Ops.clear();
        const int request = m_tapi->Answer();
        QVERIFY(request > 0);
        QCOMPARE(m_line->Ops,
                 (QStringList{"lineGetCallStatus", "lineMonitorDigits 0x2", "lineAnswer"}));
        QVERIFY(m_tapi->IsCallOwner());
        QCOMPARE(Take(),
                 (QStringList{"0:We can answer",
                              "0:PutRequest " + QString::number(request) + " Answer Line",
                              "0:Should answer soon",
                              "5013:\tSuccess for Answer Line:" + QString::number(request)}));
    }

    void waveAndPhoneIds() {
        m_line->SetId("wave/out", 1001, STRINGFORMAT_ASCII);
        m_line->SetId("wave/in", 1002, STRINGFORMAT_BINARY);
        Take();
        QCOMPARE(m_tapi->GetWaveId("wave/out"), 1);
        QCOMPARE(m_tapi->WaveId, 1001u);
        QVERIFY(m_line->Ops.contains("lineGetID wave/out select=1"));
        QCOMPARE(m_tapi->GetWaveId("wave/in"), 1);
        QCOMPARE(m_tapi->WaveId, 1002u);
        QCOMPARE(Take(), QStringList{"0:Line ID = 1002 hCall = 0"});
        OfferedCall();
        QCOMPARE(m_tapi->GetWaveId("wave/in"), 1);
        QVERIFY(m_line->Ops.contains("lineGetID wave/in select=4 call"));
        Take();
        QCOMPARE(m_tapi->GetWaveId("wave/midi"), 0);  // a class the modem lacks
        QCOMPARE(m_tapi->WaveId, 0u);
        QCOMPARE(Take(),
                 QStringList{"0:Error calling TAPI function lineGetID\rReason: Unknown\rCode: " +
                             QString::number(LINEERR_INVALDEVICECLASS)});

        QCOMPARE(m_tapi->GetPhoneId(), -1);
        QCOMPARE(Take(), QStringList{"0:Failed to get ID for phone"});
        m_line->SetId("tapi/phone", 1, STRINGFORMAT_BINARY);
        QCOMPARE(m_tapi->GetPhoneId(), 1);
        QCOMPARE(Take(), QStringList{"0:Got ID for phone"});
    }

    void speakerPhone() {
        m_line->SetId("tapi/phone", 1, STRINGFORMAT_ASCII);
        m_line->SpeakerHookSwitchModes = PHONEHOOKSWITCHMODE_ONHOOK;
        Take();
        QVERIFY(!m_tapi->SetSpeakerPhone(SPK_TEST));
        QCOMPARE(Take(),
                 (QStringList{"0:Got ID for phone", "0:phone does not support speaker phone",
                              "0:set speaker phone failed", "0:this was a test"}));

        m_line->SpeakerHookSwitchModes = PHONEHOOKSWITCHMODE_MICSPEAKER;
        QVERIFY(m_tapi->SetSpeakerPhone(SPK_TEST));
        QVERIFY(!m_line->IsPhoneOpen());
        Take();
        QVERIFY(m_tapi->SetSpeakerPhone(SPK_ON));
        QVERIFY(m_line->Ops.contains("phoneSetHookSwitch 0x2 0x8"));
        const QStringList on = Take();
        QCOMPARE(on.mid(0, 3), (QStringList{"0:Got ID for phone", "0:phone supports speaker phone",
                                            "0:Opened phone"}));
        QVERIFY(on[3].startsWith("0:PutRequest ") && on[3].endsWith(" Phone set hook"));
        QCOMPARE(on[4], QString("8:set speaker phone success"));
        QCOMPARE(m_traces, QStringList{"17:Phone Reply Success"});
        QVERIFY(m_tapi->SetSpeakerPhone(SPK_OFF));
        QVERIFY(m_line->Ops.contains("phoneSetHookSwitch 0x2 0x1"));
        QVERIFY(!m_tapi->SetSpeakerPhone(7));

        m_traces.clear();
        m_line->PhonePost(PHONE_STATE, PHONESTATE_SPEAKERHOOKSWITCH);
        m_line->PhonePost(PHONE_STATE, 0x100);
        m_line->PhonePost(PHONE_STATE, 0x3);  // not one state: ignored
        m_line->PhonePost(PHONE_BUTTON, 2);
        m_line->PhonePost(PHONE_REPLY, 5, 1);
        m_line->PhonePost(PHONE_CREATE, 0);
        Pump();
        QCOMPARE(m_traces, (QStringList{"4096:State Speaker Hook Switch", "256:State Ringvolumn",
                                        "2:Ringing", "17:Phone Reply Failed", "20:Line Close"}));

        m_line->HasPhone = false;
        Take();
        QVERIFY(!m_tapi->SetSpeakerPhone(SPK_TEST));
        QCOMPARE(m_tapi->LastError,
                 QString("Phone failed. Function: Speaker phone Reason: no device"));
        QVERIFY(Take().contains("0:Phone failed. Function: Speaker phone Reason: no device"));
    }

    void otherLineMessages() {
        Take();
        m_line->Post(m_line->Line(), LINE_ADDRESSSTATE, 0);
        m_line->Post(m_line->Line(), LINE_LINEDEVSTATE, LINEDEVSTATE_REINIT);
        m_line->Post(m_line->Line(), LINE_LINEDEVSTATE, LINEDEVSTATE_OTHER);
        m_line->Post(m_line->Line(), LINE_MONITORTONE, 0);
        m_line->Post(m_line->Line(), 77, 0);
        m_line->SendLineClose();
        QCOMPARE(Take(), (QStringList{"0:Address State", "262144:Reinit", "11:Line Monitor Tone",
                                      "3:Line Close"}));
        const HCALL call = OfferedCall();
        m_line->State(call, LINECALLSTATE_RINGBACK);
        m_line->State(call, LINECALLSTATE_PROCEEDING, 0);
        m_line->State(call, LINECALLSTATE_DISCONNECTED);
        m_line->Digit(call, '#');
        QCOMPARE(Take(),
                 (QStringList{"0:Unknown Call State", "16384:Call State Disconnected", "9:#"}));
        QCOMPARE(m_tapi->hCall, call);  // a disconnected call is dropped by the owner, not here
    }

    void errorTexts() {
        QString text;
        m_tapi->LineErrorText(TTapi::OP_LINE_INIT, LINEERR_NOMEM, &text);
        QCOMPARE(m_tapi->LastError, QString("lineinit error"));
        m_tapi->LineErrorText(TTapi::OP_LINE_INIT, LINEERR_ALLOCATED, nullptr);
        QCOMPARE(m_tapi->LastError, QString("unknown lineinit error"));
        m_tapi->LineErrorText(TTapi::OP_CALLER_ID, LINEERR_NOMEM, &text);
        QCOMPARE(text, QString("Error calling TAPI function Get Caller ID Failed Reason:\rReason: "
                               "No memory\rCode: -2147483580"));
        m_tapi->LineErrorText(9, LINEERR_NOMEM, &text);
        QCOMPARE(text,
                 QString("Error calling TAPI function Unknown\rReason: Unprocessed error\rCode: "
                         "-2147483580"));
        QString reason;
        m_tapi->PhoneErrorText(PHONEERR_ALLOCATED, &reason);
        QCOMPARE(reason, QString("unknown"));
        QCOMPARE(m_tapi->LastError,
                 QString("Phone failed. Function: Speaker phone Reason: unknown"));
    }

    void shutdownStopsDelivery() {
        const HCALL call = OfferedCall();
        m_line->Digit(call, '1');
        m_tapi->ShutdownLine();
        m_tapi->ShutdownPhone();
        QVERIFY(!m_line->IsOpen());
        QVERIFY(Take().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestTTapi)
#include "test_ttapi.moc"
