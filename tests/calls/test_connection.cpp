// Connecting to the chosen modem over the fake line: start-up, the reconnect check, errors,
// a data-only modem, the password guard, the modem given to another program.

#include <QTemporaryDir>
#include <QtTest>

#include "calls/session.h"
#include "platform/clock.h"
#include "platform/profile.h"
#include "platform/telephony/fakeline.h"
#include "platform/tshell.h"
#include "recordingview.h"
#include "scriptedprompts.h"
#include "store/calllog.h"
#include "store/config.h"
#include "store/outgoinghistory.h"
#include "store/phonebook.h"

class TestConnection : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    TRecordingView m_view;
    std::unique_ptr<TSession> m_session;
    TConnection* m_connection = nullptr;
    TConfig& Config() { return m_session->Config(); }
    std::unique_ptr<TFakeLineProvider> m_provider;
    TFakeLine* m_line = nullptr;

private slots:
    void init() {
        TProfile::SetFolder(m_dir.path());
        TClock::Set(1765000000);
        m_view = TRecordingView();
        m_session = std::make_unique<TSession>(m_view);
        m_connection = &m_session->Connection();
        m_provider = std::make_unique<TFakeLineProvider>();
        m_line = m_provider->AddLine("USB Modem");
    }
    void cleanup() {
        m_session.reset();
        m_provider.reset();
        TClock::UseSystem();
    }

    void noModemChosen() {
        Config().SetConnectAtStartupButton(true);
        m_connection->StartUp();
        QVERIFY(!m_connection->Status().ConnectEnabled);
        QCOMPARE(m_connection->Status().StatusText, QString("Not connected"));
        QCOMPARE(m_connection->Status().ConnectHint, QString("Click to begin listening for calls"));
        QCOMPARE(m_connection->ReconnectDue(), 0);
    }

    void busyModemIsRetriedSilentlyAtStartUp() {
        TScriptedPrompts prompts;
        Config().SelectPortBox = "USB Modem";
        Config().SetConnectAtStartupButton(true);
        m_line->Results["lineOpen"] = LINEERR_RESOURCEUNAVAIL;
        m_connection->StartUp();  // the first attempt at once
        QCOMPARE(m_connection->Status().ConnectCaption, QString("Connect"));
        for (int tick = 0; tick < 3; ++tick) {
            TClock::Advance(2);
            m_connection->ReconnectCheck();
            QVERIFY(!m_connection->Line());
        }
        QCOMPARE(m_line->Count("lineOpen"), 4);
        QVERIFY(prompts.History.isEmpty());
        // The status says why, without a box.
        QCOMPARE(m_connection->Status().StatusText, QString("Waiting for modem"));
        QVERIFY2(m_connection->Status().StatusHint.startsWith(
                     "Can't open modem \"USB Modem\". Reason: "),
                 qPrintable(m_connection->Status().StatusHint));
        m_line->Results.clear();
        TClock::Advance(2);
        m_connection->ReconnectCheck();
        QVERIFY(m_connection->Line());
        QCOMPARE(m_connection->ReconnectDue(), 0);
        QCOMPARE(m_connection->Status().StatusText, QString("Listening for calls on USB Modem"));
        QCOMPARE(m_connection->Status().ConnectCaption, QString("Disconnect"));
        QCOMPARE(m_connection->Status().TrayTip,
                 QString("Ringvale Listening for calls on USB Modem"));
    }

    void interactiveErrors() {
        TScriptedPrompts prompts;
        Config().SelectPortBox = "usb modem";  // letter case differs
        m_connection->ConnectButtonClick();
        QVERIFY(!m_connection->Line());
        QCOMPARE(prompts.Texts(),
                 QStringList{"Can't get device # for modem \"usb modem\".\rReason: Unknown"});
        QCOMPARE(prompts.History.last().Caption, QString(" "));
        Config().SelectPortBox = "USB Modem";
        m_line->Results["lineOpen"] = LINEERR_ALLOCATED;
        m_connection->ConnectButtonClick();
        QCOMPARE(prompts.Texts().last(),
                 QString("Can't open modem \"USB Modem\".\rReason: Line already allocated"));
        QCOMPARE(m_connection->Status().StatusText, QString("Not connected"));

        // A data-only modem connects, and says so once.
        m_line->Results.clear();
        m_line->MediaModes = LINEMEDIAMODE_DATAMODEM;
        QVERIFY(m_connection->Connect(true));
        QVERIFY(prompts.Texts("message").last().startsWith(
            "The modem you have selected \"USB Modem\" is not a voice modem."));
        QVERIFY(m_connection->Line());
    }

    void passwordGuardAndClosing() {
        Config().SelectPortBox = "USB Modem";
        QVERIFY(m_connection->Connect(false));
        m_view.StopListeningPasses = false;
        m_connection->ConnectButtonClick();
        QVERIFY(m_connection->Line());  // a wrong password keeps the line
        QVERIFY(!m_connection->FormClose());
        m_view.StopListeningPasses = true;
        QVERIFY(m_connection->FormClose());
        QVERIFY(!m_connection->Line());
    }

    void modemGivenToAnotherProgram() {
        TScriptedPrompts prompts;
        Config().SelectPortBox = "USB Modem";
        QVERIFY(m_connection->Connect(false));
        Config().InternetLink = m_dir.filePath("no-such-dialer");
        QString error;
        QVERIFY(!m_connection->GiveModemAway(&error));
        QCOMPARE(error,
                 "Can't \"open\" " + Config().InternetLink + "\rReason: The file was not found.");

        struct Opener : TOpener {
            int Open(const QString&) override { return 42; }
        } opener;
        SetOpener(&opener);
        QVERIFY(m_connection->GiveModemAway(&error));
        SetOpener(nullptr);
        // The dialer takes the modem: the line closes and the program lets go a second later.
        m_line->SendLineClose();
        for (int i = 0; i < 10; ++i)
            QCoreApplication::processEvents();
        QVERIFY(m_view.Asked.contains("LineClosedTimer"));
        m_connection->OnLineClosed();
        QVERIFY(!m_connection->Line());
        QCOMPARE(m_connection->Status().StatusText, QString("Waiting for modem"));
        QCOMPARE(m_connection->Status().StatusHint,
                 QString("Waiting for your modem to become free"));
        m_line->Results["lineOpen"] = LINEERR_RESOURCEUNAVAIL;
        TClock::Advance(59);
        m_connection->ReconnectCheck();
        QCOMPARE(m_line->Count("lineOpen"), 1);  // not before 60 seconds
        TClock::Advance(1);
        m_connection->ReconnectCheck();
        QCOMPARE(m_line->Count("lineOpen"), 2);
        TClock::Advance(19);
        m_connection->ReconnectCheck();
        QCOMPARE(m_line->Count("lineOpen"), 2);
        m_line->Results.clear();
        TClock::Advance(1);
        m_connection->ReconnectCheck();
        QVERIFY(m_connection->Line());
        QCOMPARE(m_connection->Status().StatusText, QString("Listening for calls on USB Modem"));
        QVERIFY(prompts.History.isEmpty());
    }

    // A SIP account its server refuses: the status says why, and it is asked again ever less
    // often, up to every five minutes, until it listens again.
    void refusedLineIsAskedAgainLessOften() {
        Config().SelectPortBox = "USB Modem";
        QVERIFY(m_connection->Connect(false));
        m_line->Problem = "registration refused: 403 Forbidden";
        const QString waiting("Waiting for USB Modem: registration refused: 403 Forbidden");
        QList<qint64> delays;
        for (int refusal = 0; refusal < 6; ++refusal) {
            m_line->SendLineClose();
            QTRY_VERIFY(m_view.Asked.contains("LineClosedTimer"));
            m_view.Asked.clear();
            m_connection->OnLineClosed();
            QVERIFY(!m_connection->Line());
            QCOMPARE(m_connection->Status().StatusText, waiting);
            QCOMPARE(m_connection->Status().StatusHint, QString(m_line->Problem));
            delays << m_connection->ReconnectDue() - TClock::Now();
            TClock::Advance(delays.last() - 1);
            m_connection->ReconnectCheck();
            QVERIFY(!m_connection->Line());
            TClock::Advance(1);
            m_connection->ReconnectCheck();
            QVERIFY(m_connection->Line());
            // Open again but not yet registered: still waiting, not "Listening".
            QCOMPARE(m_connection->Status().StatusText, waiting);
            QCOMPARE(m_connection->Status().TrayTip, "Ringvale " + waiting);
        }
        QCOMPARE(delays, (QList<qint64>{20, 40, 80, 160, 300, 300}));

        m_line->Problem.clear();
        m_line->Post(m_line->Line(), LINE_LINEDEVSTATE, LINEDEVSTATE_CONNECTED);
        QTRY_COMPARE(m_connection->Status().StatusText,
                     QString("Listening for calls on USB Modem"));
        // Lost again later: the delays start over.
        m_line->Problem = "registration refused: 408 Request Timeout";
        m_line->SendLineClose();
        QTRY_VERIFY(m_view.Asked.contains("LineClosedTimer"));
        m_connection->OnLineClosed();
        QCOMPARE(m_connection->ReconnectDue() - TClock::Now(), 20);
    }
};

QTEST_GUILESS_MAIN(TestConnection)
#include "test_connection.moc"
