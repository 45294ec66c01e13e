// The session with no window at all: it loads the data folder, connects at the first tick,
// takes a whole call with a message over the fake line, and saves everything at the end.

#include <QTemporaryDir>
#include <QtTest>

#include "calls/session.h"
#include "eventloop.h"
#include "files.h"
#include "platform/clock.h"
#include "platform/profile.h"
#include "platform/telephony/fakeline.h"
#include "recordingview.h"

class TestSession : public QObject {
    Q_OBJECT
private slots:
    void aWholeCallWithNoWindow() {
        QTemporaryDir dir;
        TProfile::SetFolder(dir.path());
        TClock::Set(1796000000);
        {
            TConfig config;
            config.SelectPortBox = "Fake";
            config.SetConnectAtStartupButton(true);
            config.SetFlashCaller(false);
            config.SoundToPlayWhenPhoneRings.clear();
            config.RingsToAnswer = 2;
            QVERIFY(TConfigFile().SaveConfig(config));
        }
        TFakeLineProvider provider;
        TFakeLine* line = provider.AddLine("Fake");
        TRecordingView view;
        TSession session(view);
        QVERIFY(session.Load());
        QVERIFY(QFileInfo(dir.filePath("Messages")).isDir());
        session.Connection().StartUp();  // at once, not at the first tick
        QVERIFY(session.Line());
        Pump();
        QCOMPARE(session.Connection().Status().StatusText, QString("Listening for calls on Fake"));

        // A caller rings twice with caller ID and is answered to leave a message.
        const HCALL call = line->Offer();
        Pump();
        line->Ring();
        const QByteArray name = "SMITH J";
        line->CallerId(call, LINECALLPARTYID_ADDRESS | LINECALLPARTYID_NAME, "4045551212", &name);
        Pump();
        line->Ring();
        Pump();
        QVERIFY(view.Asked.contains("row SMITH J"));
        QCOMPARE(line->Count("lineAnswer"), 1);
        line->State(call, LINECALLSTATE_CONNECTED, LINECALLPRIVILEGE_OWNER);
        Pump();
        QVERIFY(view.Asked.contains("TakeMessage"));
        session.Calls().MessageSaved("msg1796000000.wav");
        session.Calls().Completion(OUTCOME_MESSAGE);
        Pump();  // the hang-up waits for no tick
        QCOMPARE(line->Count("lineDrop"), 1);
        QVERIFY(view.Asked.contains("HangingUp"));

        // The end of the session saves everything and lets the line go.
        session.SaveAll();
        QVERIFY(!session.Line());
        const CallLogRecord saved = CallLogRecord::FromBytes(ReadAll(dir.filePath("CALL.LOG")));
        QCOMPARE(saved.Name, QString("SMITH J"));
        QCOMPARE(saved.Actions, quint32(LOG_TOOK_MESSAGE));
        QCOMPARE(saved.MessageFile, QString("msg1796000000.wav"));
        QCOMPARE(ReadAll(dir.filePath("RINGVALE.CNF")).size(), 3560);
        TClock::UseSystem();
    }
};

QTEST_GUILESS_MAIN(TestSession)
#include "test_session.moc"
