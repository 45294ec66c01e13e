// The message player on test wave devices, and listening from the call history: heard
// afterwards, erased on request, the walk through the new messages and its Quit.

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

#include "controls.h"
#include "platform/profile.h"
#include "platform/wave/testdevice.h"
#include "scriptedprompts.h"
#include "store/config.h"
#include "ui/dialogs/gettextfileform.h"
#include "ui/dialogs/playwaveform.h"
#include "ui/main/historytab.h"
#include "ui/main/mainform.h"
#include "wavefile.h"

namespace {
constexpr int kDevice = 2400;
}  // namespace

class TestPlayWave : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<TTestWaveDevice> m_out;

    void Device(bool realTime) {
        m_out = std::make_unique<TTestWaveDevice>(true, realTime);
        TWaveDevices::Register(kDevice, m_out.get());
    }
    QString WriteWave(const QString& name, int samples) {
        const QString path = m_dir->filePath(name);
        QFile file(path);
        if (file.open(QIODevice::WriteOnly)) file.write(Wave(11025, QByteArray(samples, '\x90')));
        return path;
    }

private slots:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        TProfile::SetFolder(m_dir->path());
        QDir(m_dir->path()).mkdir("Messages");
        Device(false);
    }
    void cleanup() { TWaveDevices::Unregister(kDevice); }

    // Shown, it starts by itself; the bar at 50 starts half way into the file.
    void playsByItselfAndFromTheBar() {
        TPlayWaveForm player;
        player.Device = kDevice;
        player.SetCaller("Mom", "404-555-1212", "Tue Dec 08 09:21 AM");
        player.SetCurrentFile(WriteWave("msg1.wav", 10000));
        player.show();
        QTRY_COMPARE(player.Status(), QString("Done playing"));  // about a second later
        QCOMPARE(m_out->Played.size(), 10000);
        m_out->Played.clear();
        player.SetPosition(50);
        player.PlayButtonClick();
        const int offset = int(QFileInfo(m_dir->filePath("msg1.wav")).size() * 0.5);
        QTRY_COMPARE(m_out->Played.size(), 10000 - offset);
    }

    void stopsAndSurvivesABadFile() {
        Device(true);
        TScriptedPrompts prompts;
        TPlayWaveForm player;
        player.Device = kDevice;
        player.SetCurrentFile(WriteWave("msg2.wav", 5 * 11025));
        player.PlayButtonClick();
        QTRY_VERIFY(player.Playing());
        player.StopButtonClick();
        QTRY_VERIFY(!player.Playing());
        QVERIFY(m_out->Played.size() < 5 * 11025);
        QFile bad(m_dir->filePath("bad.wav"));
        QVERIFY(bad.open(QIODevice::WriteOnly));
        bad.write("RIFF\xff\xff\xff\x7fWAVEfmt \x10\0\0\0garbage");
        bad.close();
        player.SetCurrentFile(bad.fileName());
        player.PlayButtonClick();
        QCOMPARE(player.Status(), QString("Can't play this message"));
        QCOMPARE(prompts.History.last().Caption, QString("CtWave Error"));
    }

    // From the history: the message counts as heard afterwards (on disk too); Erase deletes
    // its file and its tie; the walk plays the new messages oldest first and Quit ends it;
    // a refused password plays nothing.
    void listeningFromTheHistory() {
        TScriptedPrompts prompts;
        TMainForm form;
        THistoryTab* history = form.History();
        TCallLog& log = form.Session().CallLog();
        QStringList played;
        QList<int> answers;
        bool soundCard = true;
        history->RunPlayer = [&](TPlayWaveForm& player) -> int {
            played << player.findChild<QLabel*>("CallerLabel")->text();
            player.Device = soundCard ? kDevice : kDevice + 1;
            player.PlayButtonClick();
            if (soundCard && !QTest::qWaitFor([&] { return player.Played(); }, 5000))
                qWarning("the message did not play");
            return answers.isEmpty() ? int(PLAYER_KEEP) : answers.takeFirst();
        };
        for (const char* name : {"OLDEST", "MIDDLE", "NEWEST"}) {
            CallLogRecord* record = log.NewLogRecord();
            TCallLog::FillLogRecord(record, name, "7705550000");
            record->Time = 1796000000 + int(log.Records.size());
            record->MessageFile = QString("%1.wav").arg(name);
            WriteWave("Messages/" + record->MessageFile, 100);
            QVERIFY(log.AppendCallLog(*record));
        }
        history->LoadRows();
        QCOMPARE(history->NewMessages(), 3);

        // The listening password guards the walk; a wrong one plays nothing.
        TConfig& config = form.Session().Config();
        config.Password1 = "secret";
        config.SetListenToMessages(true);
        prompts.PasswordAnswers << "wrong";
        history->NewMessagesButtonClick();
        QVERIFY(played.isEmpty());
        prompts.PasswordAnswers << "secret"
                                << "secret";  // the walk, then one message

        answers = {PLAYER_CLOSED, PLAYER_QUIT};
        history->NewMessagesButtonClick();
        QCOMPARE(played, (QStringList{"OLDEST", "MIDDLE"}));
        QCOMPARE(history->NewMessages(), 1);
        QCOMPARE(ControlOf<QLabel>(form, "NumMessages")->text(), QString("1"));
        QFile disk(TCallLog::FileName());
        QVERIFY(disk.open(QIODevice::ReadOnly));
        QCOMPARE(CallLogRecord::FromBytes(disk.read(616)).Heard, 1u);  // heard, on disk at once

        // A message that could not be played (no sound card) stays new.
        played.clear();
        soundCard = false;
        prompts.PasswordAnswers << "secret";
        history->SelectOnly(
            ControlOf<QTreeWidget>(form, "historyList")->topLevelItem(0));  // NEWEST
        history->ListenToMessage();
        QCOMPARE(played, QStringList{"NEWEST"});
        QCOMPARE(history->NewMessages(), 1);
        soundCard = true;

        played.clear();
        answers = {PLAYER_ERASE};
        history->SelectOnly(
            ControlOf<QTreeWidget>(form, "historyList")->topLevelItem(0));  // NEWEST
        history->ListenToMessage();
        QCOMPARE(played, QStringList{"NEWEST"});
        QVERIFY(!QFile::exists(m_dir->filePath("Messages/NEWEST.wav")));
        QVERIFY(log.Records.back().MessageFile.isEmpty());
        QCOMPARE(history->NewMessages(), 0);

        // A call without a message has nothing to play: no password is asked for it.
        played.clear();
        const int asked = prompts.Count("password");
        history->ListenToMessage();
        QCOMPARE(prompts.Count("password"), asked);
        QVERIFY(played.isEmpty());
    }

    // Save copies the message's bytes where the user chose and remembers the folder; export
    // writes the chosen columns with the chosen delimiter; an empty list is refused.
    void saveAndExport() {
        TScriptedPrompts prompts;
        TMainForm form;
        THistoryTab* history = form.History();
        history->ExportToText();
        QCOMPARE(prompts.Texts().last(), QString("Nothing in the list"));
        TCallLog& log = form.Session().CallLog();
        for (const char* name : {"SMITH J", "JONES R"}) {
            CallLogRecord* record = log.NewLogRecord();
            TCallLog::FillLogRecord(record, name, "4045551212");
            record->Time = 1796000000 + int(log.Records.size());
        }
        log.Records.front().MessageFile = "msg1.wav";
        const QString message = WriteWave("Messages/msg1.wav", 300);
        history->LoadRows();
        history->SelectOnly(
            ControlOf<QTreeWidget>(form, "historyList")->topLevelItem(1));  // SMITH J, the oldest
        QDir().mkpath(m_dir->filePath("saved"));
        prompts.FileAnswers << m_dir->filePath("saved/smith.wav");
        history->SaveWaveButtonClick();
        QCOMPARE(prompts.History.last().Caption, QString("Save Message"));
        QFile copy(m_dir->filePath("saved/smith.wav")), original(message);
        QVERIFY(copy.open(QIODevice::ReadOnly) && original.open(QIODevice::ReadOnly));
        QCOMPARE(copy.readAll(), original.readAll());
        QCOMPARE(RegistrySetting("LastWaveDir", QString(), false), m_dir->filePath("saved"));

        for (const bool tab : {false, true}) {
            const QString target = m_dir->filePath(tab ? "tab.txt" : "comma.txt");
            history->RunTextFileForm = [&](TGetTextFileForm& chooser) {
                chooser.findChild<QLineEdit*>("ExportFileName")->setText(target);
                chooser.findChild<QRadioButton*>(tab ? "TabDelimitOption" : "CommaDelimitOption")
                    ->setChecked(true);
                chooser.findChild<QCheckBox*>("Column3")->setChecked(false);  // no "When"
                chooser.findChild<QCheckBox*>("Column4")->setChecked(false);
                chooser.OKButtonClick();
                return int(QDialog::Accepted);
            };
            prompts.BoxAnswers << prompt::IDNO;
            history->ExportToText();
            QFile text(target);
            QVERIFY(text.open(QIODevice::ReadOnly));
            const char d = tab ? '\t' : ',';
            QCOMPARE(text.readAll(), QByteArray("JONES R") + d + "404-555-1212" + d + "\r\n" +
                                         "SMITH J" + d + "404-555-1212" + d + "\r\n");
            QVERIFY(prompts.Texts().last().startsWith("Success\r\n\"" + target));
        }

        // The name proposed is in the documents folder, never the program's working folder,
        // and the message gives its whole path.
        const QByteArray home = qgetenv("HOME"), config = qgetenv("XDG_CONFIG_HOME");
        qputenv("HOME", m_dir->filePath("home").toUtf8());
        qputenv("XDG_CONFIG_HOME", m_dir->filePath("home/.config").toUtf8());
        QVERIFY(QDir().mkpath(m_dir->filePath("home/Documents")));
        QString proposed;
        history->RunTextFileForm = [&](TGetTextFileForm& chooser) {
            proposed = chooser.findChild<QLineEdit*>("ExportFileName")->text();
            chooser.OKButtonClick();
            return int(QDialog::Accepted);
        };
        prompts.BoxAnswers << prompt::IDNO;
        history->ExportToText();
        qputenv("HOME", home);
        qputenv("XDG_CONFIG_HOME", config);
        QVERIFY2(proposed.startsWith(m_dir->filePath("home/Documents/History List ")),
                 qPrintable(proposed));
        QVERIFY(QFile::exists(proposed));
        QVERIFY(prompts.Texts().last().startsWith("Success\r\n\"" + proposed + "\""));
    }

    // The history's columns are wide enough for their texts in the font in use, until the
    // user sets widths of their own, which are kept.
    void columnsFitTheirTexts() {
        TMainForm form;
        QTreeWidget* list = ControlOf<QTreeWidget>(form, "historyList");
        const QFontMetrics metrics(list->font());
        QVERIFY(list->columnWidth(2) > metrics.horizontalAdvance("Tue Dec 08 09:21 AM"));
        QVERIFY(list->columnWidth(0) > metrics.horizontalAdvance("JONES ROBERT AL"));
        form.Session().Config().HistoryColumnWidths[2] = 77;
        form.History()->LoadRows();
        QCOMPARE(list->columnWidth(2), 77);
    }
};

QTEST_MAIN(TestPlayWave)
#include "test_playwave.moc"
