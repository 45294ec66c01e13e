// The play/record window on test wave devices behind the fake line: greeting-only runs, a
// whole message with its file and index line, Stop, missing sounds, a modem without sound,
// and the call handler's answer at the chosen ring.

#include <QTemporaryDir>
#include <QtTest>

#include "audio/shippedsounds.h"
#include "calls/callhandler.h"
#include "calls/prmessageform.h"
#include "eventloop.h"
#include "fakelinefixture.h"
#include "files.h"
#include "outgoing/outgoingqueue.h"
#include "platform/clock.h"
#include "platform/profile.h"
#include "platform/telephony/fakeline.h"
#include "platform/wave/testdevice.h"
#include "recordingview.h"
#include "scriptedprompts.h"
#include "store/calllog.h"
#include "store/config.h"
#include "store/outgoinghistory.h"
#include "store/phonebook.h"

namespace {
constexpr int kOut = 2100, kIn = 2101;
}  // namespace

// The call handler with this form as its answering window, as the main window wires them: the
// handler's request to take a message runs the form, and the call's end stops it.
// Hears the answering window: each report goes to the function the test set for it.
struct TRunListener : TAnsweringListener {
    std::function<void(int)> OnCompleted = [](int) {};
    std::function<void(const QString&)> OnSaved = [](const QString&) {};
    std::function<void(const QString&)> OnStatus = [](const QString&) {};
    void Completed(int outcome) override { OnCompleted(outcome); }
    void MessageSaved(const QString& name) override { OnSaved(name); }
    void MainStatus(const QString& text) override { OnStatus(text); }
};

struct TAnswering {
    struct TView : TRecordingView {
        TAnswering* Owner = nullptr;
        void TakeMessage() override { Owner->Take(); }
        void CallEnded() override { Owner->Form.EndRun(); }
    };
    TTapi& Line;
    TConfig& Config;
    TPhoneBook& Book;
    TCallLog Log;
    TOutgoingHistory History;
    TRunListener Run;
    TPRMessageForm Form{Run};
    TView View;
    TTestLines Lines{View};
    TOutgoingQueue Queue{Config, History, Lines};
    TCallHandler Calls{Config, Log, Book, Queue, Lines, View};
    TTapiEvents Events = Calls.Events();

    TAnswering(TTapi& line, TConfig& config, TPhoneBook& book)
        : Line(line), Config(config), Book(book) {
        View.Owner = this;
        Lines.Line = &line;
        Run.OnCompleted = [this](int outcome) { Calls.Completion(outcome); };
        line.Events = &Events;
    }
    void Take() {
        QString greeting = Calls.GreetingPath();
        Form.TakeMessage(Line, greeting, Calls.CurrentLogRecord(), Book, Config);
    }
};

class TestPRMessage : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_dir;
    TFakeLineFixture m_fake;
    TFakeLine* m_line = nullptr;  // the fixture's
    TTapi* m_tapi = nullptr;
    std::unique_ptr<TTestWaveDevice> m_out, m_in;
    TConfig m_config;
    TPhoneBook m_book;
    QList<int> m_outcomes;
    CallLogRecord m_record;
    TRunListener m_run;

    void Devices(bool realTime) {
        m_out = std::make_unique<TTestWaveDevice>(true, false);
        m_in = std::make_unique<TTestWaveDevice>(false, realTime);
        m_in->ToneHz = 700;
        TWaveDevices::Register(kOut, m_out.get());
        TWaveDevices::Register(kIn, m_in.get());
    }

    // A message taken after a greeting as short as the beep; the names it is saved under go to
    // saved, the outcomes to m_outcomes.
    bool TakeAfterABeep(TPRMessageForm& form, QStringList& saved) {
        m_run.OnSaved = [&saved](const QString& name) { saved << name; };
        m_run.OnCompleted = [this](int outcome) { m_outcomes << outcome; };
        QString greeting = "Greetings/short.wav";
        QFile::copy(m_dir->filePath("System Sounds/beep.wav"), m_dir->filePath(greeting));
        return form.TakeMessage(*m_tapi, greeting, &m_record, m_book, m_config);
    }

private slots:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        TProfile::SetFolder(m_dir->path());
        InstallShippedSounds();
        QDir(m_dir->path()).mkdir("Messages");
        QCOMPARE(m_fake.Open(nullptr, {{"wave/out", kOut}, {"wave/in", kIn}}), 0);
        m_line = m_fake.Line();
        m_tapi = m_fake.Tapi();
        Devices(false);
        m_config = TConfig();
        m_outcomes.clear();
        m_run = TRunListener();
        TClock::Set(1765000000);
    }
    void cleanup() {
        TWaveDevices::Unregister(kOut);
        TWaveDevices::Unregister(kIn);
        m_fake.Close();
        TClock::UseSystem();
    }

    void greetingOnly() {
        TPRMessageForm form(m_run);
        m_run.OnCompleted = [this](int outcome) { m_outcomes << outcome; };
        QString greeting = "Greetings/none such.wav";  // missing: the default greeting plays
        form.PlayGreeting(*m_tapi, greeting);
        QCOMPARE(greeting, QString("Greetings/Default Greeting 1.wav"));
        QVERIFY(form.isVisible());
        QCOMPARE(form.Status(), QString("Setting up"));
        QVERIFY(QTest::qWaitFor([&] { return !m_outcomes.isEmpty(); }, 5000));
        QCOMPARE(m_outcomes, QList<int>{2});
        QVERIFY(!form.isVisible());
        QCOMPARE(form.Status(), QString("Done playing greeting only"));
        QFile greetingFile(m_dir->filePath("Greetings/Default Greeting 1.wav"));
        QVERIFY(greetingFile.open(QIODevice::ReadOnly));
        QCOMPARE(m_out->Played.size(), greetingFile.size() - 44);  // the samples, once
    }

    // A link in "Greetings" that leads elsewhere (to another caller's message) is never played
    // to a caller: the default greeting is.
    void aGreetingThatLeadsOutside() {
        QFile message(m_dir->filePath("Messages/msg1.wav"));
        QVERIFY(QFile::copy(m_dir->filePath("System Sounds/beep.wav"), message.fileName()));
        QVERIFY(QFile::link(message.fileName(), m_dir->filePath("Greetings/planted.wav")));
        TPRMessageForm form(m_run);
        QString greeting = "Greetings/planted.wav";
        form.PlayGreeting(*m_tapi, greeting);
        QCOMPARE(greeting, QString("Greetings/Default Greeting 1.wav"));
        form.StopButtonClick();
    }

    void aWholeMessage() {
        CallLogRecord record;
        record.Name = "SMITH J";
        record.Number = "404-555-1212";
        PhoneBookEntry mom;
        mom.DisplayName = "Mom";
        mom.Number = "4045551212";
        m_book.Add(mom);
        m_config.MaximumRecordTimeComboBox = 1;  // 15 seconds
        TPRMessageForm form(m_run);
        m_run.OnCompleted = [this](int outcome) { m_outcomes << outcome; };
        QString status;
        m_run.OnStatus = [&](const QString& text) { status = text; };
        QString greeting = "Greetings/Default Greeting 2.wav";
        QVERIFY(form.TakeMessage(*m_tapi, greeting, &record, m_book, m_config));
        QCOMPARE(status, QString("Taking Message"));
        QVERIFY(record.MessageFile.isEmpty());  // named once its file is there
        QStringList saved;
        m_run.OnSaved = [&](const QString& name) {
            saved << name;
            QVERIFY(m_outcomes.isEmpty());  // told before the last beep
        };
        QVERIFY(QTest::qWaitFor([&] { return !m_outcomes.isEmpty(); }, 10000));
        // Told when it is complete (and with its first second, when it takes that long).
        QCOMPARE(saved.last(), QString("msg1765000000.wav"));
        QCOMPARE(saved.count("msg1765000000.wav"), saved.size());
        QCOMPARE(m_outcomes, QList<int>{1});
        QVERIFY(form.isVisible());  // until the hang-up closes it

        QFile message(m_dir->filePath("Messages/msg1765000000.wav"));
        QVERIFY(message.open(QIODevice::ReadOnly));
        QCOMPARE(message.size(), 46 + 15 * 11025);
        QFile index(TPRMessageForm::IndexFile());
        QVERIFY(index.open(QIODevice::ReadOnly));
        const QByteArray line = index.readAll();
        QCOMPARE(line.size(), 628);
        QCOMPARE(line.left(4), QByteArray("Mom\0", 4));
        QCOMPARE(line.mid(32, 13), QByteArray("404-555-1212\0", 13));
        QCOMPARE(line.mid(96, 33), QByteArray("Greetings/Default Greeting 2.wav\0", 33));
        QCOMPARE(line.mid(356, 28), QByteArray("Messages/msg1765000000.wav\0", 28));
        // The greeting and two beeps went to the line.
        QFile beep(m_dir->filePath("System Sounds/beep.wav"));
        QVERIFY(beep.open(QIODevice::ReadOnly));
        QFile played(m_dir->filePath("Greetings/Default Greeting 2.wav"));
        QVERIFY(played.open(QIODevice::ReadOnly));
        QCOMPARE(m_out->Played.size(), played.size() - 44 + 2 * (beep.size() - 44));
    }

    // "Messages" gone, or a file in its place: the folder is made again (the file kept aside)
    // and the message is taken there and tied to its call as usual. A message file name that
    // is taken (a link planted there) is never written through: the next name is used.
    void theMessagesFolderIsMadeAgain() {
        for (const bool replaced : {false, true}) {
            QDir(m_dir->filePath("Messages")).removeRecursively();
            if (replaced) {
                QFile blocker(m_dir->filePath("Messages"));
                QVERIFY(blocker.open(QIODevice::WriteOnly));
                blocker.write("not a folder");
            }
            m_config.MaximumRecordTimeComboBox = 1;
            CallLogRecord record;
            TPRMessageForm form(m_run);
            QStringList saved;
            m_run.OnSaved = [&](const QString& name) { saved << name; };
            m_outcomes.clear();
            m_run.OnCompleted = [this](int outcome) { m_outcomes << outcome; };
            QString greeting = "Greetings/Default Greeting 2.wav";
            QVERIFY(form.TakeMessage(*m_tapi, greeting, &record, m_book, m_config));
            QVERIFY(QTest::qWaitFor([&] { return !m_outcomes.isEmpty(); }, 10000));
            QCOMPARE(saved.last(), QString("msg1765000000.wav"));
            QCOMPARE(saved.count("msg1765000000.wav"), saved.size());
            QCOMPARE(QFileInfo(m_dir->filePath("Messages/msg1765000000.wav")).size(),
                     46 + 15 * 11025);
            if (replaced) {
                QFile aside(m_dir->filePath("Messages.bad"));
                QVERIFY(aside.open(QIODevice::ReadOnly));
                QCOMPARE(aside.readAll(), QByteArray("not a folder"));
            }
        }
        // A link under the next message's name: the message goes beside it, the link's file
        // is untouched.
        QFile victim(m_dir->filePath("older.wav"));
        QVERIFY(victim.open(QIODevice::WriteOnly));
        victim.write("an older caller's message");
        victim.close();
        QVERIFY(QFile::remove(m_dir->filePath("Messages/msg1765000000.wav")));
        QVERIFY(QFile::link(victim.fileName(), m_dir->filePath("Messages/msg1765000000.wav")));
        TPRMessageForm form(m_run);
        QStringList saved;
        m_run.OnSaved = [&](const QString& name) { saved << name; };
        m_outcomes.clear();
        m_run.OnCompleted = [this](int outcome) { m_outcomes << outcome; };
        QString greeting = "Greetings/Default Greeting 2.wav";
        QVERIFY(form.TakeMessage(*m_tapi, greeting, nullptr, m_book, m_config));
        QVERIFY(QTest::qWaitFor([&] { return !m_outcomes.isEmpty(); }, 10000));
        QCOMPARE(saved.last(), QString("msg1765000001.wav"));
        QVERIFY(victim.open(QIODevice::ReadOnly));
        QCOMPARE(victim.readAll(), QByteArray("an older caller's message"));
    }

    // The call ends under the recording (a hang-up at the desk, the line reset, the program
    // closing): what was said so far is kept, complete, tied to its call, and no completion
    // is told. While it records, the file on disk is already a whole wave file.
    void theCallEndsDuringTheRecording() {
        Devices(true);
        m_config.MaximumRecordTimeComboBox = 4;
        TPRMessageForm form(m_run);
        QStringList saved;
        QVERIFY(TakeAfterABeep(form, saved));
        QVERIFY(QTest::qWaitFor([&] { return saved.size() == 1; }, 5000));
        const QString path = m_dir->filePath("Messages/" + saved.first());
        // The recording so far reaches the disk every second, the file's header with it.
        QVERIFY(QTest::qWaitFor([&] { return ReadAll(path).size() >= 46 + 2 * 11025; }, 5000));
        QByteArray bytes = ReadAll(path);
        QCOMPARE(qFromLittleEndian<quint32>(bytes.constData() + 42), quint32(bytes.size() - 46));
        QCOMPARE(qFromLittleEndian<quint32>(bytes.constData() + 4), quint32(bytes.size() - 8));
        form.EndRun();
        QVERIFY(!form.isVisible());
        QCOMPARE(saved.size(), 2);
        QCOMPARE(saved.last(), saved.first());
        bytes = ReadAll(path);
        QVERIFY(bytes.size() >= 46 + 2 * 11025);
        QCOMPARE(qFromLittleEndian<quint32>(bytes.constData() + 42), quint32(bytes.size() - 46));
        QVERIFY(NothingWithin(300, [&] { return !m_outcomes.isEmpty(); }));
    }

    // A modem that stops sending in the middle of a message (it reset itself): the recording
    // ends at its time limit, what came is kept, and the call ends.
    void aRecordingThatNeverEnds() {
        Devices(true);
        m_in->StallAfter = 11025;
        m_config.MaximumRecordTimeComboBox = 1;
        TPRMessageForm::TransferMarginMs = 500;
        TPRMessageForm form(m_run);
        QStringList saved;
        QVERIFY(TakeAfterABeep(form, saved));
        const bool ended = QTest::qWaitFor([&] { return !m_outcomes.isEmpty(); }, 20000);
        TPRMessageForm::TransferMarginMs = 10000;
        QVERIFY(ended);
        QCOMPARE(m_outcomes, QList<int>{1});
        QCOMPARE(saved.size(), 2);
        QVERIFY(ReadAll(m_dir->filePath("Messages/" + saved.last())).size() >= 46 + 11025);
    }

    // The pause after a sound that could not be played belongs to its run: stopped, it must
    // not cut the next run's greeting short two seconds later.
    void aFailurePauseDoesNotReachTheNextRun() {
        m_out = std::make_unique<TTestWaveDevice>(true, true);
        TWaveDevices::Register(kOut, m_out.get());
        QFile bad(m_dir->filePath("Greetings/bad.wav"));
        QVERIFY(bad.open(QIODevice::WriteOnly));
        bad.write("not a wave file");
        bad.close();
        TPRMessageForm form(m_run);
        m_run.OnCompleted = [this](int outcome) { m_outcomes << outcome; };
        QString greeting = "Greetings/bad.wav";
        form.PlayGreeting(*m_tapi, greeting);
        QTRY_VERIFY(form.Status() == "Can't play beep");
        form.StopButtonClick();
        QCOMPARE(m_outcomes, QList<int>{2});
        greeting = "Greetings/Default Greeting 1.wav";  // several seconds long
        form.PlayGreeting(*m_tapi, greeting);
        // The second run still plays its greeting.
        QVERIFY(NothingWithin(2500, [&] { return m_outcomes.size() > 1; }));
        form.StopButtonClick();
    }

    void stopDuringTheRecording() {
        Devices(true);
        m_config.MaximumRecordTimeComboBox = 4;
        CallLogRecord record;
        TPRMessageForm form(m_run);
        m_run.OnCompleted = [this](int outcome) { m_outcomes << outcome; };
        QString greeting = "Greetings/Default Greeting 3.wav";
        QVERIFY(form.TakeMessage(*m_tapi, greeting, &record, m_book, m_config));
        QVERIFY(QTest::qWaitFor([&] { return form.Status() == "Recording Message"; }, 5000));
        form.StopButtonClick();
        QCOMPARE(m_outcomes, QList<int>{2});
        QVERIFY(!form.isVisible());
        QVERIFY(NothingWithin(100, [] { return QFile::exists(TPRMessageForm::IndexFile()); }));
        QVERIFY(QDir(m_dir->filePath("Messages")).entryList(QDir::Files).isEmpty());
        QVERIFY(record.MessageFile.isEmpty());
    }

    void missingBeepPausesAndGoesOn() {
        QFile::remove(m_dir->filePath("System Sounds/beep.wav"));
        m_config.MaximumRecordTimeComboBox = 1;
        CallLogRecord record;
        TPRMessageForm form(m_run);
        m_run.OnCompleted = [this](int outcome) { m_outcomes << outcome; };
        QString saved;
        m_run.OnSaved = [&](const QString& name) { saved = name; };
        QString greeting = "Greetings/Default Greeting 1.wav";
        QVERIFY(form.TakeMessage(*m_tapi, greeting, &record, m_book, m_config));
        QVERIFY(QTest::qWaitFor([&] { return form.Status() == "Can't play beep"; }, 5000));
        QElapsedTimer pause;
        pause.start();
        QVERIFY(QTest::qWaitFor([&] { return !m_outcomes.isEmpty(); }, 10000));
        QVERIFY(pause.elapsed() >= 1900);  // the two-second pause for each missing beep
        QCOMPARE(m_outcomes, QList<int>{1});
        QVERIFY(QFileInfo(m_dir->filePath("Messages/" + saved)).isFile());
    }

    void modemWithoutSound() {
        TScriptedPrompts prompts;
        m_line->Ids.clear();
        TPRMessageForm form(m_run);
        QString status;
        m_run.OnStatus = [&](const QString& text) { status = text; };
        QString greeting = "Greetings/Default Greeting 1.wav";
        CallLogRecord record;
        QVERIFY(!form.TakeMessage(*m_tapi, greeting, &record, m_book, m_config));
        QCOMPARE(status, QString("Can't take message modem does not support sound"));
        QVERIFY(prompts.Texts("message").first().startsWith(
            "Ringvale cannot play the greeting because your modem say's"));
        QVERIFY(!form.isVisible());
    }

    void neverTakeAMessageAtTheThirdRing() {
        // An empty greetings list: the default greeting.
        QFile list(m_dir->filePath("Greetings.txt"));
        QVERIFY(list.open(QIODevice::WriteOnly));
        list.close();
        m_config.RingsToAnswer = 3;
        m_config.MaximumRecordTimeComboBox = 0;
        m_config.SoundToPlayWhenPhoneRings.clear();
        m_config.SetFlashCaller(false);
        TAnswering answering(*m_tapi, m_config, m_book);
        TCallLog& log = answering.Log;
        TPRMessageForm& form = answering.Form;
        TOutgoingQueue& queue = answering.Queue;
        const HCALL call = m_line->Offer();
        for (int ring = 0; ring < 3; ++ring)
            m_line->Ring();
        Pump();
        QCOMPARE(m_line->Count("lineAnswer"), 1);
        m_line->State(call, LINECALLSTATE_CONNECTED, LINECALLPRIVILEGE_OWNER);
        Pump();
        QCOMPARE(form.CurrentFile(), QString("Greetings/Default Greeting 1.wav"));
        QVERIFY(QTest::qWaitFor([&] { return !queue.Actions().empty(); },
                                5000));  // greeting over: hang up
        QVERIFY(!form.isVisible());
        QCOMPARE(log.Records.front().Actions & LOG_TOOK_MESSAGE, 0u);
        QVERIFY(log.Records.front().MessageFile.isEmpty());
        TClock::Advance(1);
        queue.Tick();
        QCOMPARE(m_line->Count("lineDrop"), 1);
    }

    // The user hangs up at the desk during the greeting: the answering window stops with the
    // call, and nothing it would have reported later reaches the next caller, who rings on.
    void aHangUpAtTheDeskEndsTheRun() {
        Devices(true);
        m_config.RingsToAnswer = 2;
        m_config.MaximumRecordTimeComboBox = 1;
        m_config.SoundToPlayWhenPhoneRings.clear();
        m_config.SetFlashCaller(false);
        TAnswering answering(*m_tapi, m_config, m_book);
        TPRMessageForm& form = answering.Form;
        TOutgoingQueue& queue = answering.Queue;
        TCallHandler& calls = answering.Calls;
        HCALL call = m_line->Offer();
        m_line->Ring();
        m_line->Ring();
        Pump();
        m_line->State(call, LINECALLSTATE_CONNECTED, LINECALLPRIVILEGE_OWNER);
        Pump();
        QVERIFY(QTest::qWaitFor([&] { return form.Status() == "Playing Greeting"; }, 5000));
        calls.AnswerHangupButtonClick();  // "Hangup"
        QCOMPARE(m_line->Count("lineDrop"), 1);
        QVERIFY(!form.Running());
        QVERIFY(!form.isVisible());
        m_line->State(call, LINECALLSTATE_IDLE);  // the line reopens for the next caller
        Pump();
        call = m_line->Offer();
        m_line->Ring();
        Pump();
        QVERIFY(NothingWithin(3000,
                              [&] { return !queue.Actions().empty(); }));  // the greeting's length
        TClock::Advance(5);
        queue.Tick();
        QCOMPARE(m_line->Count("lineDrop"), 1);  // the new caller still rings
        calls.Completion(OUTCOME_NO_MESSAGE);    // a late word from the old run: not heard
        QVERIFY(queue.Actions().empty());
    }
};

QTEST_MAIN(TestPRMessage)
#include "test_prmessage.moc"
