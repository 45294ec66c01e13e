// The small dialogs offscreen: the greeting recorder on test sound devices, the message window
// and its remembered answers, the password dialog, and the about box's figures.

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QtTest>

#include "calls/prmessageform.h"
#include "calls/remoteplayform.h"
#include "eventloop.h"
#include "modal.h"
#include "platform/profile.h"
#include "platform/wave/testdevice.h"
#include "scriptedprompts.h"
#include "store/message.h"
#include "ui/dialogs/aboutdialog.h"
#include "ui/dialogs/getnewname.h"
#include "ui/dialogs/getpassword.h"
#include "ui/dialogs/getquickdialform.h"
#include "ui/dialogs/gettextfileform.h"
#include "ui/dialogs/modeminfoform.h"
#include "ui/dialogs/plaintext.h"
#include "ui/dialogs/playwaveform.h"
#include "ui/dialogs/recordwaveform.h"
#include "ui/dialogs/setup.h"
#include "ui/dialogs/showappmessage.h"
#include "ui/dialogs/showcalleridform.h"
#include "ui/dialogs/widgetprompts.h"
#include "ui/main/mainform.h"
#include "wavefile.h"

namespace {
constexpr int kMicrophone = 2600;
constexpr int kSpeaker = 2601;
}  // namespace

class TestDialogs : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<TTestWaveDevice> m_in;
    std::unique_ptr<TTestWaveDevice> m_out;

    void Recorder(TRecordWaveForm& recorder, const QString& file) {
        recorder.InputDevice = kMicrophone;
        recorder.OutputDevice = kSpeaker;
        recorder.SetRecordFile(file);
    }

private slots:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        TProfile::SetFolder(m_dir->path());
        m_in = std::make_unique<TTestWaveDevice>(false, true);
        m_in->ToneHz = 440;
        m_out = std::make_unique<TTestWaveDevice>(true, false);
        TWaveDevices::Register(kMicrophone, m_in.get());
        TWaveDevices::Register(kSpeaker, m_out.get());
    }

    // Every label of every window shows its text as the characters it is: a caller ID name,
    // a number or a file name is never read as markup. Only the about box's two links are.
    void everyLabelIsPlainText() {
        TScriptedPrompts prompts;
        TMainForm form;
        TSetup setup(form.Session().Mailer());
        TGetNewName entry;
        TAboutDialog about;
        TPlayWaveForm player;
        TRecordWaveForm recorder;
        TGetQuickDialForm quickDial;
        TModemInfoForm modemInfo;
        TGetTextFileForm exportList;
        TGetPassword password;
        struct : TRemotePlayerListener {
            void RemotePlayerClosed() override {}
        } nobody;
        TRemotePlayForm remote(nobody);
        TShowAppMessage notice;
        int labels = 0;
        for (QWidget* widget : QApplication::allWidgets()) {
            auto* label = qobject_cast<QLabel*>(widget);
            if (!label || label->objectName().isEmpty()) continue;
            ++labels;
            const bool link =
                label->objectName() == "ConnectTarvex" || label->objectName() == "MailToLabel";
            QVERIFY2(label->textFormat() == (link ? Qt::RichText : Qt::PlainText),
                     qPrintable(label->objectName()));
        }
        QVERIFY(labels > 80);
        const QString caller = "<img src=/dev/zero>";
        QCOMPARE(PlainTip(caller), "<p style='white-space:pre'>&lt;img src=/dev/zero&gt;</p>");
        QCOMPARE(PlainTip("Call SMITH J"), QString("Call SMITH J"));
        QCOMPARE(EscapedMarkup("<b>Bob</b> & Co"), QString("&lt;b&gt;Bob&lt;/b&gt; &amp; Co"));
    }
    void cleanup() {
        TWaveDevices::Unregister(kMicrophone);
        TWaveDevices::Unregister(kSpeaker);
    }

    // Two seconds recorded, stopped, played back in full, accepted: an 11025 Hz 8-bit mono file.
    void recordsPlaysBackAndKeeps() {
        const QString file = m_dir->filePath("greeting.wav");
        TRecordWaveForm recorder;
        Recorder(recorder, file);
        QVERIFY(!recorder.findChild<QPushButton*>("PlayButton")->isEnabled());
        QCOMPARE(recorder.Status(), QString("Click the Record button to begin"));
        recorder.RecordButtonClick();
        QTRY_COMPARE(recorder.Status(), QString("Recording Message"));
        QVERIFY(!recorder.findChild<QPushButton*>("CloseButton")->isEnabled());
        QTest::qWait(2000);
        recorder.StopButtonClick();
        QTRY_COMPARE(recorder.Status(), QString("Done Recording Message"));
        QFile saved(file);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        const QByteArray bytes = saved.readAll();
        QCOMPARE(bytes.left(4), QByteArray("RIFF"));
        const QByteArray samples = bytes.mid(46);
        QVERIFY2(qAbs(samples.size() - 22050) < 2500, QByteArray::number(samples.size()));
        QVERIFY(qAbs(Frequency(samples, 11025) - 440) < 10);
        recorder.PlayButtonClick();
        QTRY_COMPARE(recorder.Status(), QString("Done Playing"));
        QCOMPARE(m_out->Played, samples);
        QVERIFY(recorder.findChild<QPushButton*>("CloseButton")->isEnabled());
    }

    // Closing while recording keeps what the file held; no microphone is said, not hung on.
    void closingOrNoDeviceKeepsTheOldFile() {
        const QString file = m_dir->filePath("old.wav");
        const QByteArray old = Wave(11025, QByteArray(1000, '\x90'));
        {
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(old);
        }
        {
            TRecordWaveForm recorder;
            Recorder(recorder, file);
            recorder.RecordButtonClick();
            QTRY_COMPARE(recorder.Status(), QString("Recording Message"));
            QTest::qWait(300);
            recorder.reject();  // the close box
            Pump();
        }
        Pump();
        QFile kept(file);
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), old);

        TScriptedPrompts prompts;
        TRecordWaveForm recorder;
        Recorder(recorder, m_dir->filePath("none.wav"));
        recorder.InputDevice = 2999;  // nothing there
        recorder.RecordButtonClick();
        QCOMPARE(recorder.Status(), QString("Can't record"));
        QVERIFY(prompts.Texts().last().startsWith("Can't record\rReason: no sound input"));
        QVERIFY(!QFile::exists(m_dir->filePath("none.wav")));
    }

    // OK with the box ticked is remembered and not shown again; 213 can never be remembered;
    // Cancel stores nothing; a long text makes the window larger.
    void messageWindowRemembers() {
        TWidgetPrompts widgets;
        SetPrompts(&widgets);
        WhenShown<TShowAppMessage>([](TShowAppMessage& box) {
            QVERIFY(box.findChild<QCheckBox*>("DontShowAgain")->isEnabled());
            box.findChild<QCheckBox*>("DontShowAgain")->setChecked(true);
            box.findChild<QPushButton*>("OKButton")->click();
        });
        QCOMPARE(ShowManagedMessage(206, QString(), MSG_OK_CANCEL), 1);
        QCOMPARE(TMessageStore::LookUpResponse(206), 1);
        QCOMPARE(ShowManagedMessage(206, QString(), MSG_OK_CANCEL), 1);  // nothing shown

        WhenShown<TShowAppMessage>([](TShowAppMessage& box) {
            QVERIFY(!box.findChild<QCheckBox*>("DontShowAgain")->isEnabled());
            box.findChild<QPushButton*>("CancelButton")->click();
        });
        QCOMPARE(ShowManagedMessage(213, QString(), MSG_OK_CANCEL), 2);
        QCOMPARE(TMessageStore::LookUpResponse(213), -1);

        int shortWidth = 0;
        WhenShown<TShowAppMessage>([&](TShowAppMessage& box) {
            QVERIFY(!box.findChild<QPushButton*>("CancelButton")->isVisible());
            QVERIFY(!box.findChild<QCheckBox*>("DontShowAgain")->isVisible());
            shortWidth = box.width();
            box.accept();
        });
        ShowPlainMessage(102);
        WhenShown<TShowAppMessage>([&](TShowAppMessage& box) {
            QCOMPARE(box.width(), int(shortWidth * 1.35));
            QVERIFY(box.findChild<QTextEdit*>("MessageMemoBox")->toPlainText().startsWith("xx"));
            box.accept();
        });
        ShowPlainMessage(1, QString(600, 'x'));
        SetPrompts(nullptr);
    }

    // The typed password is the result after OK; closed any other way it is empty.
    void passwordDialog() {
        TGetPassword dialog;
        QCOMPARE(dialog.findChild<QLineEdit*>("PasswordBox")->maxLength(), 31);
        dialog.findChild<QLineEdit*>("PasswordBox")->setText("Secret");
        dialog.findChild<QPushButton*>("OKButton")->click();
        QCOMPARE(dialog.Result(), QString("Secret"));
        dialog.reject();
        QCOMPARE(dialog.Result(), QString());
    }

    void aboutFigures() {
        QCOMPARE(TAboutDialog::GroupedNumber(1234567), QString("1,234,567"));
        QCOMPARE(TAboutDialog::GroupedNumber(999), QString("999"));
        QCOMPARE(TAboutDialog::GroupedNumber(1000), QString("1,000"));
        QFile meminfo(m_dir->filePath("meminfo"));
        QVERIFY(meminfo.open(QIODevice::WriteOnly));
        meminfo.write("MemTotal: 100 kB\nMemAvailable:    2000 kB\nSwapFree: 1000 kB\n");
        meminfo.close();
        QCOMPARE(TAboutDialog::AvailableMemory(meminfo.fileName()), quint64(3000 * 1024));
        TAboutDialog about;
        QCOMPARE(about.windowTitle(), QString("About "));
        QVERIFY(about.findChild<QLabel*>("AboutMemory")->text().startsWith("Available Memory: "));
    }
};

QTEST_MAIN(TestDialogs)
#include "test_dialogs.moc"
