// Ringvale on the desktop: the manual has every help topic and each Help button opens its
// own; callers and new messages reach a notification service (a stand-in on a private session
// bus) and its action brings the window back; other programs on the bus hear of callers,
// messages and the line, list the new messages and mark one heard; a second start raises the
// first; the autostart entry.

#include <QDBusConnection>
#include <QDBusPendingCall>
#include <QDBusReply>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

#include "buslistener.h"
#include "controls.h"
#include "eventloop.h"
#include "files.h"
#include "platform/autostart.h"
#include "platform/profile.h"
#include "platform/telephony/fakeline.h"
#include "scriptedprompts.h"
#include "store/calllog.h"
#include "store/config.h"
#include "store/phonebook.h"
#include "ui/dialogs/getnewname.h"
#include "ui/dialogs/helpwindow.h"
#include "ui/dialogs/setup.h"
#include "ui/main/busservice.h"
#include "ui/main/desktopnotifier.h"
#include "ui/main/firstinstance.h"
#include "ui/main/historytab.h"
#include "ui/main/mainform.h"
#include "wavefile.h"

// The notification service as a desktop offers it, recording what it is asked to show.
class TNotificationServer : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    QStringList Shown;
    uint LastId = 0;
public slots:
    uint Notify(const QString& app, uint, const QString&, const QString& summary,
                const QString& body, const QStringList& actions, const QVariantMap&, int) {
        Shown << app + "|" + summary + "|" + body + "|" + actions.join(',');
        return ++LastId;
    }
    QStringList GetCapabilities() { return {"actions", "body"}; }
signals:
    void ActionInvoked(uint id, const QString& action);
};

namespace {
THelpWindow* OpenHelp() {
    for (QWidget* window : QApplication::topLevelWidgets())
        if (auto* help = qobject_cast<THelpWindow*>(window); help && help->isVisible()) return help;
    return nullptr;
}
}  // namespace

class TestDesktop : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_dir;

private slots:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        TProfile::SetFolder(m_dir->path());
        TConfig config;
        config.SetFlashCaller(false);
        TConfigFile().SaveConfig(config);
    }

    void everyTopicIsInTheManualAndEachHelpButtonOpensItsOwn() {
        const QString manual = THelpWindow::Manual();
        for (const QString& topic : THelpWindow::Topics())
            QVERIFY2(manual.contains("<a name=\"" + topic + "\">"), qPrintable(topic));
        TMainForm form;
        ControlOf<QPushButton>(form, "HelpButton")->click();
        QVERIFY(OpenHelp());
        QCOMPARE(OpenHelp()->Topic(), QString("Contents"));
        TScriptedPrompts prompts;
        TConfig live;
        TSetup setup(form.Session().Mailer());
        setup.SetConfig(&live);
        setup.show();
        const QStringList tabs = {"General_Setup",  "Paging_Setup", "Dialing_Setup",
                                  "Security_Setup", "AOL_Users",    "Greeting_Setup",
                                  "Email_Setup"};
        for (int page = 0; page < tabs.size(); ++page) {
            ControlOf<QTabWidget>(setup, "setupPages")->setCurrentIndex(page);
            ControlOf<QPushButton>(setup, "HelpButton")->click();
            THelpWindow* help = OpenHelp();
            QVERIFY(help);
            QCOMPARE(help->Topic(), tabs[page]);
        }
        TGetNewName entry;
        entry.findChild<QPushButton*>("HelpButton")->click();
        QCOMPARE(OpenHelp()->Topic(), QString("Phone_book_entry"));
        QCOMPARE(THelpWindow::ShowTopic("No_such_topic")->Topic(), QString("Contents"));
    }

    // Help asked for from a modal dialog can be used while the dialog is open: a key reaches
    // it through the window system (Escape closes it), where the dialog would block it.
    void helpFromAModalDialog() {
        TScriptedPrompts prompts;
        TConfig live;
        TMainForm form;
        TSetup setup(form.Session().Mailer());
        setup.SetConfig(&live);
        bool closedByKey = false;
        QTimer::singleShot(200, &setup, [&] {
            ControlOf<QPushButton>(setup, "HelpButton")->click();
            QPointer<THelpWindow> help = OpenHelp();  // closed, it frees itself
            if (help && QTest::qWaitForWindowExposed(help)) {
                QTest::keyClick(help->windowHandle(), Qt::Key_Escape);
                closedByKey = !help || !help->isVisible();
            }
            setup.reject();
        });
        setup.exec();
        QVERIFY(closedByKey);
        // Asked for again from the main window, it is its own window once more.
        QVERIFY(!THelpWindow::ShowTopic("Contents")->parentWidget());
    }

    // A caller and a new message reach the service with their texts; its default action
    // brings the window back; switched off, nothing is sent.
    void notificationsReachTheService() {
        QDBusConnection bus = QDBusConnection::sessionBus();
        if (!bus.isConnected()) QSKIP("no session bus (dbus-run-session missing)");
        TNotificationServer server;
        QVERIFY(bus.registerObject(
            "/org/freedesktop/Notifications", &server,
            QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals));
        QVERIFY(bus.registerService("org.freedesktop.Notifications"));
        TDesktopNotifier notifier;
        QSignalSpy activated(&notifier, &TDesktopNotifier::Activated);
        notifier.Notify("Call from Mom", "404-555-1212");
        QTRY_COMPARE(server.Shown.size(), 1);
        QCOMPARE(server.Shown[0],
                 QString("Ringvale|Call from Mom|404-555-1212|default,Show Ringvale"));
        QTest::qWait(100);  // the reply with the id has come back
        emit server.ActionInvoked(server.LastId, "default");
        QTRY_COMPARE(activated.size(), 1);
        emit server.ActionInvoked(server.LastId + 7, "default");  // not ours
        QVERIFY(NothingWithin(100, [&] { return activated.size() > 1; }));
        notifier.Enabled = false;
        notifier.Notify("Call from Bob", "");
        QVERIFY(NothingWithin(200, [&] { return server.Shown.size() > 1; }));

        // The window sends one for a caller it logs.
        SetDesktopNotifications(true);
        TMainForm form;
        form.Session().Calls().CallerIdHandler(0, "GARCIA MARIA", "4045551212");
        QTRY_COMPARE(server.Shown.size(), 2);
        QVERIFY(server.Shown[1].startsWith("Ringvale|Call from GARCIA MARIA|404-555-1212"));
        bus.unregisterService("org.freedesktop.Notifications");
    }

    void otherProgramsHearOfCallsAndMessages() {
        TFakeLineProvider provider;
        TFakeLine* line = provider.AddLine("Fake");
        TConfig config;
        config.SelectPortBox = "Fake";
        config.SetFlashCaller(false);
        config.SoundToPlayWhenPhoneRings.clear();
        TConfigFile().SaveConfig(config);
        QDBusConnection other = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "other");
        QVERIFY(other.isConnected());
        TBusListener listener(other);
        TMainForm form;
        form.ConnectButtonClick();
        QTRY_COMPARE(listener.Said,
                     (QStringList{"LineStateChanged|closed", "LineStateChanged|listening"}));

        const HCALL ringing = line->Offer();
        line->Ring();
        QTRY_COMPARE(listener.Said.size(), 3);
        QCOMPARE(listener.Said[2], QString("LineStateChanged|ringing"));
        const QByteArray name = "GARCIA MARIA";
        line->CallerId(ringing, LINECALLPARTYID_NAME | LINECALLPARTYID_ADDRESS, "4045551212",
                       &name);
        QTRY_COMPARE(listener.Said.size(), 4);
        const CallLogRecord& call = form.Session().CallLog().Records.back();
        QCOMPARE(listener.Said[3],
                 "CallArrived|GARCIA MARIA|404-555-1212|" + QString::number(call.Time));

        // The message is complete: its file, and the caller as the history names him.
        const QString file = TCallLog::MessagesFolder() + "/msg1.wav";
        QVERIFY(WriteAll(file, Wave(11025, QByteArray(1000, char(128)))));
        form.Session().Calls().MessageSaved("msg1.wav");  // as the answering window does
        form.Bus()->ReportMessage("msg1.wav");
        form.History()->RefreshHistory();
        QTRY_COMPARE(listener.Said.size(), 5);
        QCOMPARE(listener.Said[4], "MessageRecorded|" + file + "|GARCIA MARIA|404-555-1212");

        // The other program asks without blocking: Ringvale answers from this same thread.
        auto ask = [&](const QString& method, const QVariantList& arguments = {}) {
            QDBusMessage request = QDBusMessage::createMethodCall(
                TBusService::kName, TBusService::kPath, TBusService::kName, method);
            request.setArguments(arguments);
            QDBusPendingCall pending = other.asyncCall(request);
            (void)QTest::qWaitFor([&] { return pending.isFinished(); }, 5000);
            return pending.reply();
        };
        QDBusReply<QList<TBusMessage>> listed = ask("NewMessages");
        QVERIFY2(listed.isValid(), qPrintable(listed.error().message()));
        QCOMPARE(listed.value().size(), 1);
        QCOMPARE(listed.value()[0].File, file);
        QCOMPARE(listed.value()[0].Name, QString("GARCIA MARIA"));
        QCOMPARE(listed.value()[0].Time, qint64(call.Time));
        QCOMPARE(ControlOf<QLabel>(form, "NumMessages")->text(), QString("1"));

        // Marked heard: on disk at once and in the window; only a listed file counts.
        QCOMPARE(QDBusReply<bool>(ask("MarkHeard", {file})).value(), true);
        QCOMPARE(ControlOf<QLabel>(form, "NumMessages")->text(), QString("0"));
        TCallLog reread;
        reread.LoadCallLog(100);
        QCOMPARE(TCallLog::StateOf(reread.Records.back()), HeardMessage);
        QCOMPARE(QDBusReply<bool>(ask("MarkHeard", {file})).value(), false);
        QCOMPARE(QDBusReply<bool>(ask("MarkHeard", {TCallLog::FileName()})).value(), false);
        QVERIFY(QDBusReply<QList<TBusMessage>>(ask("NewMessages")).value().isEmpty());

        // A second copy, on another data folder, leaves the name to the first.
        TCallLog otherLog;
        TPhoneBook otherBook;
        QVERIFY(!TBusService(otherLog, otherBook).Register());

        QDBusConnection::disconnectFromBus("other");
    }

    // A second start on the folder asks the first to show its window; on another folder
    // nobody answers.
    void aSecondStartRaisesTheFirst() {
        int raised = 0;
        TFirstInstance first(m_dir->path(), [&] { ++raised; });
        QVERIFY(TFirstInstance::AskToShow(m_dir->path()));
        QTRY_COMPARE(raised, 1);
        QVERIFY(!TFirstInstance::AskToShow(m_dir->filePath("elsewhere")));
    }

    void autostartEntry() {
        const QString text = TAutostart::EntryText("/opt/ring vale/ringvale", "/data/my \"calls\"");
        QVERIFY(
            text.contains("Exec=\"/opt/ring vale/ringvale\" --minimized --folder \"/data/my "
                          "\\\\\"calls\\\\\"\""));
        QVERIFY(!TAutostart::EntryText("/usr/bin/ringvale", TProfile::DefaultFolder())
                     .contains("--folder"));
        QVERIFY(TAutostart::SetEnabled(true, "/usr/bin/ringvale", TProfile::DefaultFolder()));
        QVERIFY(TAutostart::IsEnabled());
        QVERIFY(TAutostart::EntryPath().endsWith("/autostart/org.ringvale.Ringvale.desktop"));
        QVERIFY(TAutostart::SetEnabled(false, "/usr/bin/ringvale", TProfile::DefaultFolder()));
        QVERIFY(!TAutostart::IsEnabled());
    }
};

QTEST_MAIN(TestDesktop)
#include "test_desktop.moc"
