// Remote retrieval: the access code and the keys in the call handler, and the remote player
// on a test wave device with the program's own announcement sounds.

#include <QTemporaryDir>
#include <QtTest>

#include "audio/shippedsounds.h"
#include "calls/callhandler.h"
#include "calls/remoteplayform.h"
#include "eventloop.h"
#include "fakelinefixture.h"
#include "outgoing/outgoingqueue.h"
#include "platform/clock.h"
#include "platform/profile.h"
#include "platform/telephony/fakeline.h"
#include "platform/wave/testdevice.h"
#include "recordingview.h"
#include "store/calllog.h"
#include "store/config.h"
#include "store/outgoinghistory.h"
#include "store/phonebook.h"
#include "wavefile.h"

namespace {
constexpr int kOut = 2200;
}  // namespace

// Counts the player's closings.
struct TClosings : TRemotePlayerListener {
    int Count = 0;
    void RemotePlayerClosed() override { ++Count; }
};

class TestRemotePlay : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_dir;
    TConfig m_config;
    TCallLog m_log;
    TPhoneBook m_book;
    TOutgoingHistory m_history;
    TRecordingView m_view;
    std::unique_ptr<TTestLines> m_lines;
    std::unique_ptr<TOutgoingQueue> m_queue;
    std::unique_ptr<TCallHandler> m_handler;
    TFakeLineFixture m_fake;
    TFakeLine* m_line = nullptr;  // the fixture's
    TTapi* m_tapi = nullptr;
    TTapiEvents m_events;
    HCALL m_call = 0;
    std::unique_ptr<TTestWaveDevice> m_out;

    void Keys(const char* keys) {
        for (const char* k = keys; *k; ++k)
            m_line->Digit(m_call, *k);
        Pump();
    }
    QStringList Remote() const {
        return m_view.Asked.filter(QRegularExpression("^(remote|Start)"));
    }
    // A new message of the given caller, as the answering machine leaves it.
    void Message(const QString& name, const QString& file, bool heard = false) {
        CallLogRecord* record = m_log.NewLogRecord();
        record->Name = name;
        record->Number = "404-555-1212";
        record->When = "Tue Dec 08 09:21 AM";
        record->Time = 1796000000;
        record->MessageFile = file;
        record->Heard = heard;
        QFile wave(m_dir->filePath("Messages/" + file));
        QVERIFY(wave.open(QIODevice::WriteOnly));
        wave.write(Wave(11025, QByteArray(11025, char(0x90))));
    }

private slots:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        TProfile::SetFolder(m_dir->path());
        InstallShippedSounds();
        QDir(m_dir->path()).mkdir("Messages");
        m_config = TConfig();  // keys 1 again, 2 previous, 3 next
        m_config.MessagePasswordEdit = "824";
        m_config.SoundToPlayWhenPhoneRings.clear();
        m_config.SetFlashCaller(false);
        m_log.Records.clear();
        m_view = TRecordingView();
        m_lines = std::make_unique<TTestLines>(m_view);
        m_queue = std::make_unique<TOutgoingQueue>(m_config, m_history, *m_lines);
        m_handler =
            std::make_unique<TCallHandler>(m_config, m_log, m_book, *m_queue, *m_lines, m_view);
        m_events = m_handler->Events();
        m_tapi = m_lines->Line = m_fake.Prepare(&m_events);
        m_line = m_fake.Line();
        QCOMPARE(m_fake.OpenLine(), 0);
        Pump();
        m_call = m_line->Offer();
        Pump();
        m_line->State(m_call, LINECALLSTATE_CONNECTED, LINECALLPRIVILEGE_OWNER);
        Pump();
        m_out = std::make_unique<TTestWaveDevice>(true, false);
        TWaveDevices::Register(kOut, m_out.get());
        TRemotePlayForm::WaitMs = 10000;
    }
    void cleanup() {
        TWaveDevices::Unregister(kOut);
        m_fake.Close();
    }

    // "#" and the code start retrieval; the code after other keys does not; the keys then
    // steer it, the first of equal settings winning; the port data never shows a key.
    void theAccessCodeAndTheKeys() {
        m_view.PortDataShown = true;
        Keys("5824");
        QVERIFY(Remote().isEmpty());
        Keys("#824");
        QCOMPARE(Remote(), (QStringList{"StartRemoteRetrieval", "remote 100"}));
        QVERIFY(m_handler->RemoteRetrievalActive());
        m_config.CurrentMessageComboBox = '3';  // the same key as Next
        Keys("3217");  // 3 is Next (and Rewind), 2 Previous; 1 and 7 are nothing now
        QCOMPARE(Remote().mid(2), (QStringList{"remote 105", "remote 106"}));
        Keys("#824");  // keyed again while it runs: one player only
        QCOMPARE(Remote().count("StartRemoteRetrieval"), 1);
        QVERIFY(m_view.PortData.filter(QRegularExpression("[0-9#]$")).isEmpty());
        // The caller hangs up: the player quits.
        m_line->State(m_call, LINECALLSTATE_DISCONNECTED);
        Pump();
        QCOMPARE(Remote().last(), QString("remote 107"));
    }

    // The call is hung up while the messages play: the player stops with the call,
    // and its closing hangs up nothing; the next caller's keys start a player of their own.
    void aHangUpAtTheDeskEndsRetrieval() {
        Keys("#824");
        QVERIFY(m_handler->RemoteRetrievalActive());
        QVERIFY(m_tapi->Hangup());  // "Hangup" at the desk
        QVERIFY(m_view.Asked.contains("CallEnded"));
        QVERIFY(!m_handler->RemoteRetrievalActive());
        m_queue->CancelActions();
        m_handler->RemotePlayerClosed();  // the window closing late
        QVERIFY(m_queue->Actions().empty());
        m_line->State(m_call, LINECALLSTATE_IDLE);
        Pump();
        m_call = m_line->Offer();
        Pump();
        m_line->State(m_call, LINECALLSTATE_CONNECTED, LINECALLPRIVILEGE_OWNER);
        Pump();
        Keys("#824");
        QCOMPARE(Remote().count("StartRemoteRetrieval"), 2);
    }

    // A new copy has no code: nothing keyed opens remote access.
    void withoutACodeRemoteAccessIsOff() {
        QVERIFY(TConfig().MessagePasswordEdit.isEmpty());
        m_config.MessagePasswordEdit = "   ";
        Keys("#   ");
        Keys("#");
        m_config.MessagePasswordEdit.clear();
        Keys("#824");
        QVERIFY(Remote().isEmpty());
        QVERIFY(m_view.Asked.filter("RemoteAccessChanged").isEmpty());
    }

    // Wrong codes count across calls: a caller who rings again and again gets ten tries an
    // hour. The tenth hangs up at once and locks remote access for an hour, even against the
    // right code; each call that tried is marked in the log.
    void tenWrongCodesAnHourLockRemoteAccess() {
        TClock::Set(1765000000);
        const auto nextCall = [&](const QByteArray& number) {
            m_line->State(m_call, LINECALLSTATE_IDLE);  // the line reopens: a new call
            Pump();
            m_call = m_line->Offer();
            m_line->CallerId(m_call, 0, number, nullptr);
            Pump();
            m_line->State(m_call, LINECALLSTATE_CONNECTED, LINECALLPRIVILEGE_OWNER);
            Pump();
        };
        for (int call = 0; call < 3; ++call) {
            nextCall("40455500" + QByteArray::number(call));
            Keys("#111#222#333");
            TClock::Advance(60);
        }
        QCOMPARE(m_line->Count("lineDrop"), 0);  // nine wrong codes: nothing yet
        for (const CallLogRecord& record : m_log.Records)
            QVERIFY(record.Actions & LOG_WRONG_CODE);
        QVERIFY(LogActionText(LOG_WRONG_CODE).contains("Wrong access code"));
        nextCall("4045550099");
        Keys("#444");
        QCOMPARE(m_line->Count("lineDrop"), 1);  // the tenth: the call ends now
        QVERIFY(m_view.Asked.contains("RemoteAccessChanged"));
        QVERIFY(m_handler->RemoteAccessLockedUntil() >= TClock::Now() + 3599);

        nextCall("4045550100");
        Keys("#824");  // locked: the right code opens nothing
        QVERIFY(Remote().isEmpty());
        QVERIFY(!m_handler->RemoteAccessLockEnded());
        TClock::Advance(3601);
        QVERIFY(m_handler->RemoteAccessLockEnded());  // the status line drops its notice
        QCOMPARE(m_handler->RemoteAccessLockedUntil(), 0);
        Keys("#824");
        QCOMPARE(Remote().first(), QString("StartRemoteRetrieval"));
        TClock::UseSystem();
    }

    // Wrong codes older than an hour no longer count.
    void wrongCodesAgeOut() {
        TAccessGuard guard;
        for (int n = 0; n < 9; ++n)
            QVERIFY(!guard.WrongCode(1000 + n));
        QVERIFY(!guard.WrongCode(1000 + 3600));  // the first has aged out: nine in the hour
        QVERIFY(guard.WrongCode(1001 + 3600 - 1));
        QVERIFY(guard.Locked(1000 + 3600 + 3599));
    }

    // Three new messages and one heard: four rows, oldest first, the closing entry last; the
    // player announces, plays and prompts, and leaves every message new.
    void theListAndItsStages() {
        Message("FIRST", "msg1.wav");
        Message("HEARD", "msg2.wav", true);
        Message("SECOND", "msg3.wav");
        Message("THIRD", "msg4.wav");
        QFile::remove(m_dir->filePath("System Sounds/msg2.wav"));
        const auto entries = TRemotePlayForm::NewMessages(m_log, m_book, "System Sounds/menu.wav");
        QCOMPARE(entries.size(), size_t(4));
        QCOMPARE(entries[0].Caller, QString("FIRST"));
        QCOMPARE(entries[0].AnnounceFile, QString("System Sounds/msg1.wav"));
        QCOMPARE(entries[1].AnnounceFile, QString("System Sounds/msg.wav"));  // no msg2.wav
        QCOMPARE(entries[1].MessageFile, QString("Messages/msg3.wav"));
        QCOMPARE(entries[3].Caller, QString("No more messages"));
        QCOMPARE(entries[3].MessageFile, QString("System Sounds/menu.wav"));
        QCOMPARE(entries[3].MenuFile, QString("0"));

        TClosings closings;
        TRemotePlayForm player(closings);
        player.Device = kOut;
        for (const RemoteMessageEntry& entry : entries)
            player.AddRemoteMessage(entry);
        player.RemoteCommand(RC_PLAY);
        // The test device plays at once: announcement, message, menu, then the wait.
        QTRY_COMPARE(player.Entry(0).Stage, 3);
        const QByteArray menu = [&] {
            QFile f(m_dir->filePath("System Sounds/menu.wav"));
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        }();
        QVERIFY(m_out->Played.size() > menu.size() + 11025);
        QCOMPARE(player.CurrentIndex(), 1);  // never moves on by itself
        for (const CallLogRecord& record : m_log.Records)
            QVERIFY(record.Name == "HEARD" || TCallLog::StateOf(record) == NewMessage);
    }

    // The menu names the keys that work: the shipped one for 1, 2 and 3, otherwise one put
    // together from the spoken pieces; a missing piece falls back to the shipped menu.
    void aMenuForTheChosenKeys() {
        QCOMPARE(TRemotePlayForm::MenuFor('1', '2', '3'), QString("System Sounds/menu.wav"));
        const QString composed = TRemotePlayForm::MenuFor('4', '*', '6');
        QCOMPARE(composed, QString("System Sounds/menu-keys.wav"));
        auto samples = [&](const QString& name) {  // the size its data chunk gives
            QFile f(m_dir->filePath(name));
            const QByteArray bytes = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
            const qsizetype data = bytes.indexOf("data");
            return data < 0 ? -1 : qint64(qFromLittleEndian<quint32>(bytes.constData() + data + 4));
        };
        qint64 expected = 0;
        for (const char* piece : {"menu-press", "key4", "menu-again", "menu-press", "keystar",
                                  "menu-previous", "menu-press", "key6", "menu-next"})
            expected += samples(QString("System Sounds/%1.wav").arg(piece));
        QCOMPARE(samples(composed), expected);
        QFile::remove(m_dir->filePath("System Sounds/key6.wav"));
        QCOMPARE(TRemotePlayForm::MenuFor('4', '*', '6'), QString("System Sounds/menu.wav"));
    }

    // Next during an announcement plays the next announcement, the interrupted entry starting
    // over; Previous on the first entry replays it; the wait after an entry closes the player.
    void stepsAndTheWait() {
        Message("FIRST", "msg1.wav");
        Message("SECOND", "msg2.wav");
        m_out = std::make_unique<TTestWaveDevice>(true, true);  // real time
        TWaveDevices::Register(kOut, m_out.get());
        TRemotePlayForm::WaitMs = 300;
        TClosings closings;
        int& closed = closings.Count;
        auto* player = new TRemotePlayForm(closings);
        player->setAttribute(Qt::WA_DeleteOnClose);
        QPointer<TRemotePlayForm> alive(player);
        player->Device = kOut;
        for (const RemoteMessageEntry& entry :
             TRemotePlayForm::NewMessages(m_log, m_book, "System Sounds/menu.wav"))
            player->AddRemoteMessage(entry);
        player->show();
        player->RemoteCommand(RC_PLAY);
        QTRY_COMPARE(player->Status(), QString("Playing"));
        QCOMPARE(player->CurrentFile(), QString("System Sounds/msg1.wav"));
        player->RemoteCommand(RC_NEXT);
        QTRY_COMPARE(player->CurrentFile(), QString("System Sounds/msg2.wav"));
        QCOMPARE(player->Entry(0).Stage, 0);
        QCOMPARE(player->CurrentIndex(), 2);
        player->RemoteCommand(RC_PREVIOUS);
        player->RemoteCommand(RC_PREVIOUS);  // on the first: stays, from its announcement
        QTRY_COMPARE(player->CurrentFile(), QString("System Sounds/msg1.wav"));
        QCOMPARE(player->CurrentIndex(), 1);
        // Played to the end of its menu, the entry waits; then the player closes.
        QTRY_VERIFY_WITH_TIMEOUT(alive.isNull(), 20000);
        QCOMPARE(closed, 1);
    }
};

QTEST_MAIN(TestRemotePlay)
#include "test_remoteplay.moc"
