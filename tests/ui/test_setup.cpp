// The settings dialog offscreen: every tab's settings reach the settings file at their offsets,
// invalid input keeps the dialog open with nothing kept, Cancel keeps nothing, the paging hours
// of several days, the greetings list, and the main window's password guard around it.

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include "audio/shippedsounds.h"
#include "calls/session.h"
#include "controls.h"
#include "eventloop.h"
#include "mailserver.h"
#include "modal.h"
#include "platform/profile.h"
#include "platform/secretstore.h"
#include "platform/telephony/fakeline.h"
#include "recordingview.h"
#include "scriptedprompts.h"
#include "store/calllog.h"
#include "store/config.h"
#include "store/greetings.h"
#include "ui/dialogs/recordwaveform.h"
#include "ui/dialogs/setup.h"
#include "ui/main/historytab.h"
#include "ui/main/mainform.h"
#include "wavefile.h"

namespace {
QByteArray ConfigBytes(const QString& folder) {
    QFile file(folder + "/RINGVALE.CNF");
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
qint32 Int32At(const QByteArray& bytes, int offset) {
    return qFromLittleEndian<qint32>(bytes.constData() + offset);
}
double DoubleAt(const QByteArray& bytes, int offset) {
    return qFromLittleEndian<double>(bytes.constData() + offset);
}
QByteArray TextAt(const QByteArray& bytes, int offset) {
    return QByteArray(bytes.constData() + offset);  // up to its NUL
}
}  // namespace

// The dialog over the settings saved in the folder, shown.
struct TShownSetup {
    TConfig Live;
    TRecordingView View;
    TSession Session{View};
    TSetup Setup{Session.Mailer()};
    explicit TShownSetup(const std::function<void(TSetup&)>& before = {}) {
        TConfigFile().LoadConfig(Live);
        if (before) before(Setup);
        Setup.SetConfig(&Live);
        Setup.show();
    }
};

class TestSetup : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<TFakeLineProvider> m_provider;

    void SaveSettings(const std::function<void(TConfig&)>& change = {}) {
        TConfig config;
        config.SetFlashCaller(false);
        config.LocalAreaCodes = "404";
        if (change) change(config);
        TConfigFile().SaveConfig(config);
    }

private slots:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        TProfile::SetFolder(m_dir->path());
        InstallShippedSounds();  // the default greetings, as every start makes them
        m_provider = std::make_unique<TFakeLineProvider>();
        m_provider->AddLine("Kitchen modem");
        m_provider->AddLine("Desk modem");
    }
    void cleanup() { m_provider.reset(); }

    // Options, every tab changed, OK: the file holds each setting at its offset at once.
    void everyTabReachesTheFile() {
        SaveSettings();
        TScriptedPrompts prompts;
        TMainForm form;
        WhenShown<TSetup>([](TSetup& setup) {
            const QObject& ui = setup;
            QCOMPARE(ControlOf<QComboBox>(ui, "SelectPortBox")->count(), 2);
            ControlOf<QComboBox>(ui, "SelectPortBox")->setCurrentText("Desk modem");
            ControlOf<QCheckBox>(ui, "ConnectAtStartupButton")->setChecked(true);
            ControlOf<QCheckBox>(ui, "FlashCaller")->setChecked(true);
            ControlOf<QComboBox>(ui, "FlashTime")->setEditText("20");
            ControlOf<QLineEdit>(ui, "MaxItems")->setText("50");
            ControlOf<QCheckBox>(ui, "ShowHints")->setChecked(false);
            ControlOf<QLineEdit>(ui, "PagerNumber")->setText("555-0100,,,");
            ControlOf<QLineEdit>(ui, "PostPageNumber")->setText("77");
            ControlOf<QRadioButton>(ui, "PageAlways")->setChecked(true);
            ControlOf<QComboBox>(ui, "PageWait")->setEditText("2.5");
            ControlOf<QListWidget>(ui, "DayOfWeek")->setCurrentRow(1);  // Monday at 8 pm
            setup.findChild<QCheckBox*>("hourBox20")->setChecked(true);
            ControlOf<QListWidget>(ui, "DayOfWeek")->setCurrentRow(2);  // Tuesday: none
            ControlOf<QPushButton>(ui, "UnselectAll")->click();
            ControlOf<QLineEdit>(ui, "LocalAreaCodes")->setText("404,770");
            ControlOf<QLineEdit>(ui, "LongDistancePrefix")->setText("1");
            ControlOf<QCheckBox>(ui, "TenDigitDialing")->setChecked(true);
            ControlOf<QLineEdit>(ui, "FirstMinutesEdit")->setText("10");
            ControlOf<QLineEdit>(ui, "Cost1Edit")->setText("0.07");
            ControlOf<QLineEdit>(ui, "Cost2Edit")->setText("0.05");
            ControlOf<QLineEdit>(ui, "Password1")->setText("Secret");
            ControlOf<QLineEdit>(ui, "Password2")->setText("Secret");
            ControlOf<QCheckBox>(ui, "DialNumber")->setChecked(false);
            ControlOf<QLineEdit>(ui, "MessagePasswordEdit")->setText("1234");
            ControlOf<QLineEdit>(ui, "InternetLink")->setText("/usr/bin/true");
            ControlOf<QListWidget>(ui, "GreetingList")->item(1)->setSelected(true);
            ControlOf<QPushButton>(ui, "DeleteGreetingButton")->click();
            ControlOf<QComboBox>(ui, "RingsToAnswer")->setCurrentText("4");
            ControlOf<QComboBox>(ui, "MaximumRecordTimeComboBox")->setCurrentText("60");
            ControlOf<QCheckBox>(ui, "AllowRemotePage")->setChecked(true);
            ControlOf<QTabWidget>(ui, "setupPages")->setCurrentIndex(TSetup::Greetings);
            setup.OKBtnClick();
        });
        QVERIFY(form.SetupButtonClick());
        const QByteArray bytes = ConfigBytes(m_dir->path());
        QCOMPARE(bytes.size(), TConfig::kSize);
        QCOMPARE(quint8(bytes[4]), quint8(0x01 | 0x08 | 0x10 | 0x20 | 0x40 | 0x80));
        QCOMPARE(quint8(bytes[5]), quint8(0xFE & ~0x40 & ~0x20));
        QCOMPARE(Int32At(bytes, 8), 20);
        QCOMPARE(DoubleAt(bytes, 16), 2.5);
        QCOMPARE(Int32At(bytes, 28), 4);
        QCOMPARE(Int32At(bytes, 32), 50);
        QCOMPARE(Int32At(bytes, 76), int(TSetup::Greetings));
        QCOMPARE(TextAt(bytes, 112), QByteArray("/usr/bin/true"));
        QCOMPARE(TextAt(bytes, 888), QByteArray("404,770"));
        QCOMPARE(TextAt(bytes, 968), QByteArray("1"));
        QCOMPARE(TextAt(bytes, 1048), QByteArray("555-0100,,,"));
        QCOMPARE(TextAt(bytes, 1128), QByteArray("77"));
        QCOMPARE(TextAt(bytes, 1140), QByteArray("Desk modem"));
        QCOMPARE(TextAt(bytes, 1220), QByteArray("Secret"));
        QCOMPARE(int(bytes[1256 + 24 + 20]), 1);  // Monday 8 pm kept after moving to Tuesday
        QCOMPARE(int(bytes[1256 + 24 + 9]), 1);
        QCOMPARE(bytes.mid(1256 + 48, 24), QByteArray(24, '\0'));
        QCOMPARE(Int32At(bytes, 1548), 4);
        QCOMPARE(TextAt(bytes, 3450), QByteArray("1234"));
        QCOMPARE(bytes.mid(3458, 3), QByteArray("321"));
        QCOMPARE(Int32At(bytes, 3472), 10);
        QCOMPARE(DoubleAt(bytes, 3480), 0.07);
        QCOMPARE(DoubleAt(bytes, 3488), 0.05);
        QFile greetings(m_dir->filePath("Greetings.txt"));
        QVERIFY(greetings.open(QIODevice::ReadOnly));
        QCOMPARE(greetings.readAll(),
                 QByteArray("Default Greeting 1.wav\r\nDefault Greeting 3.wav\r\n"));
        QVERIFY(prompts.Messages.isEmpty());  // not connected: no "switched modems"
    }

    // The Email tab: a test message goes out with what the tab shows and reports the server's
    // own refusal; a tab with a server but no recipient keeps the dialog open; OK keeps the
    // settings in the per-user file and the password only in the private file.
    void theEmailTabSendsATestAndKeepsItsSettings() {
        SaveSettings();
        TScriptedPrompts prompts;
        TMailServer server;
        QVERIFY(server.Start({"--user", "ringvale", "--password", "right"}));
        TShownSetup shown;
        TSetup& setup = shown.Setup;
        const QObject& ui = setup;
        ControlOf<QTabWidget>(ui, "setupPages")->setCurrentIndex(TSetup::Email);
        ControlOf<QLineEdit>(ui, "emailServer")->setText("127.0.0.1");
        ControlOf<QComboBox>(ui, "emailSecurity")->setCurrentText("None");
        ControlOf<QSpinBox>(ui, "emailPort")->setValue(server.Port);
        ControlOf<QLineEdit>(ui, "emailUser")->setText("ringvale");
        ControlOf<QLineEdit>(ui, "emailPassword")->setText("wrong");
        ControlOf<QLineEdit>(ui, "emailFrom")->setText("ringvale@example.test");
        setup.OKBtnClick();
        QCOMPARE(prompts.Texts().last(),
                 QString("To mail your messages, enter the sender and at least one recipient."));
        QVERIFY(setup.isVisible());
        ControlOf<QLineEdit>(ui, "emailTo")->setText("me@example.test; you@example.test");

        QLabel* result = ControlOf<QLabel>(ui, "testResult");
        const auto sendTest = [&] {
            ControlOf<QPushButton>(ui, "sendTestButton")->click();
            return QTest::qWaitFor([&] { return result->text() != "Sending..."; }, 10000);
        };
        QVERIFY(sendTest());
        QVERIFY2(result->text().startsWith("Not sent: 535"), qPrintable(result->text()));
        ControlOf<QLineEdit>(ui, "emailPassword")->setText("right");
        QVERIFY(sendTest());
        QCOMPARE(result->text(), QString("The test message was sent."));
        QCOMPARE(server.Mails().size(), 1);
        QVERIFY(
            server.Mails().first().contains("X-Envelope-To: me@example.test, you@example.test"));

        setup.OKBtnClick();
        QVERIFY(!setup.isVisible());
        QVERIFY(QTest::qWaitFor([] { return QFile::exists(TSecretStore().FallbackPath()); }, 5000));
        QCOMPARE(TSecretStore().ReadFallback(), QString("right"));
        QCOMPARE(QFile::permissions(TSecretStore().FallbackPath()) &
                     (QFileDevice::ReadGroup | QFileDevice::ReadOther),
                 QFileDevice::Permissions());
        const TMailSettings kept = TMailSettings::Load();
        QCOMPARE(kept.Server, QString("127.0.0.1"));
        QCOMPARE(kept.Security, TMailSettings::None);
        QCOMPARE(kept.To, (QStringList{"me@example.test", "you@example.test"}));
        QSettings file("Tarvex", "Ringvale");
        QVERIFY(!file.allKeys().join(' ').contains("assword"));
    }

    // A refused field keeps the dialog open on its tab with its message; nothing is kept, the
    // greetings list included. Cancel keeps nothing either.
    void invalidInputKeepsTheDialogOpen() {
        SaveSettings();
        TScriptedPrompts prompts;
        TShownSetup shown;
        TConfig& live = shown.Live;
        TSetup& setup = shown.Setup;
        const QByteArray before = live.ToBytes();
        const QObject& ui = setup;
        ControlOf<QListWidget>(ui, "GreetingList")->clear();
        const struct {
            QLineEdit* Field;
            QString Text;
            QString Message;
        } cases[] = {
            {ControlOf<QLineEdit>(ui, "Cost1Edit"), "abc",
             "'abc' is not a valid floating point value"},
            {ControlOf<QLineEdit>(ui, "Cost2Edit"), "-1",
             "A cost per minute must be from 0 to 1000000."},
            {ControlOf<QLineEdit>(ui, "FirstMinutesEdit"), "1e3",
             "'1e3' is not a valid integer value"},
            {ControlOf<QLineEdit>(ui, "FirstMinutesEdit"), "-5",
             "The first minutes must be a number from 0 to 100000."},
        };
        for (const auto& c : cases) {
            setup.ShowSettings();
            ControlOf<QListWidget>(ui, "GreetingList")->clear();
            c.Field->setText(c.Text);
            setup.OKBtnClick();
            QCOMPARE(prompts.Texts().last(), c.Message);
            QVERIFY(setup.isVisible());
            QCOMPARE(ControlOf<QTabWidget>(ui, "setupPages")->currentIndex(), int(TSetup::Dialing));
        }
        setup.ShowSettings();
        ControlOf<QComboBox>(ui, "PageWait")->setEditText("20000");
        setup.OKBtnClick();
        QCOMPARE(ControlOf<QTabWidget>(ui, "setupPages")->currentIndex(), int(TSetup::Paging));
        setup.ShowSettings();
        ControlOf<QLineEdit>(ui, "Password1")->setText("one");
        ControlOf<QLineEdit>(ui, "Password2")->setText("two");
        setup.OKBtnClick();
        QCOMPARE(prompts.Texts().last(),
                 QString("Enter the same password in both password fields"));
        QCOMPARE(prompts.History.last().Caption, QString(" "));
        QCOMPARE(ControlOf<QTabWidget>(ui, "setupPages")->currentIndex(), int(TSetup::Security));
        QVERIFY(setup.isVisible());
        QCOMPARE(live.ToBytes(), before);
        QVERIFY(!QFile::exists(m_dir->filePath("Greetings.txt")) ||
                QFile(m_dir->filePath("Greetings.txt")).size() > 0);

        // The history length is brought into 5..200 when its field is left.
        ControlOf<QLineEdit>(ui, "MaxItems")->setText("999");
        emit ControlOf<QLineEdit>(ui, "MaxItems")->editingFinished();
        QCOMPARE(ControlOf<QLineEdit>(ui, "MaxItems")->text(), QString("200"));
        ControlOf<QLineEdit>(ui, "MaxItems")->setText("2");
        emit ControlOf<QLineEdit>(ui, "MaxItems")->editingFinished();
        QCOMPARE(ControlOf<QLineEdit>(ui, "MaxItems")->text(), QString("5"));

        ControlOf<QLineEdit>(ui, "Password2")->setText("one");
        ControlOf<QComboBox>(ui, "RingsToAnswer")->setCurrentIndex(0);
        ControlOf<QPushButton>(ui, "CancelBtn")->click();
        QCOMPARE(setup.result(), int(QDialog::Rejected));
        QCOMPARE(live.ToBytes(), before);
    }

    // No area code: message 210; OK goes back to the Dialing tab, Cancel saves all the same.
    // Text the settings file cannot hold is refused where it is typed, and at OK, with the
    // characters named: a password saved as "?"s would lock the user out after a restart. A
    // ring sound browsed to in a folder with such a name is copied among the personal sounds.
    void textTheFilesCannotHold() {
        const QString home = m_dir->filePath(QString::fromUtf8("Данные"));  // the data folder
        QVERIFY(QDir().mkpath(home));
        TProfile::SetFolder(home);
        InstallShippedSounds();
        SaveSettings();
        TScriptedPrompts prompts;
        TShownSetup shown;
        TSetup& setup = shown.Setup;
        const QObject& ui = setup;
        ControlOf<QTabWidget>(ui, "setupPages")->setCurrentIndex(TSetup::Security);
        ControlOf<QLineEdit>(ui, "Password1")->setFocus();
        for (const QString typed : {"p", "ä", "€", "s"}) {
            QKeyEvent key(QEvent::KeyPress, 0, Qt::NoModifier, typed);
            QApplication::sendEvent(ControlOf<QLineEdit>(ui, "Password1"), &key);
        }
        QCOMPARE(ControlOf<QLineEdit>(ui, "Password1")->text(), QString::fromUtf8("päs"));
        QVERIFY(prompts.Texts().last().startsWith(
            QString::fromUtf8("This field cannot hold these characters: €\r")));
        ControlOf<QLineEdit>(ui, "Password1")->setText(QString::fromUtf8("Пароль"));
        ControlOf<QLineEdit>(ui, "Password2")->setText(QString::fromUtf8("Пароль"));
        const QByteArray before = ConfigBytes(m_dir->path());
        setup.OKBtnClick();
        QVERIFY(setup.isVisible());
        QCOMPARE(prompts.Texts().last(),
                 QString::fromUtf8("These characters cannot be used: Пароль"));
        QCOMPARE(ConfigBytes(m_dir->path()), before);

        QTemporaryDir music(QDir::tempPath() + QString::fromUtf8("/Музыка-XXXXXX"));
        QFile ring(music.filePath(QString::fromUtf8("звонок.wav")));
        QVERIFY(ring.open(QIODevice::WriteOnly));
        ring.write(Wave(8000, QByteArray(400, char(60))));
        ring.close();
        prompts.FileAnswers.enqueue(ring.fileName());
        ControlOf<QPushButton>(ui, "BrowseSoundButton")->click();
        QCOMPARE(ControlOf<QLineEdit>(ui, "SoundToPlayWhenPhoneRings")->text(),
                 QString("Personal Sounds/______.wav"));
        ControlOf<QLineEdit>(ui, "Password1")->setText("pass");
        ControlOf<QLineEdit>(ui, "Password2")->setText("pass");
        setup.OKBtnClick();
        QVERIFY(!setup.isVisible());
        QCOMPARE(shown.Live.SoundToPlayWhenPhoneRings, QString("Personal Sounds/______.wav"));
        QVERIFY(QFileInfo(home + "/Personal Sounds/______.wav").size() > 400);
        // A sound already among the personal sounds is taken as it is, by its own name.
        setup.show();
        prompts.FileAnswers.enqueue(home + "/Personal Sounds/ring.wav");
        ControlOf<QPushButton>(ui, "BrowseSoundButton")->click();
        QCOMPARE(ControlOf<QLineEdit>(ui, "SoundToPlayWhenPhoneRings")->text(),
                 QString("Personal Sounds/ring.wav"));
        TProfile::SetFolder(m_dir->path());
    }

    void missingAreaCodeAsksFirst() {
        SaveSettings([](TConfig& c) { c.LocalAreaCodes.clear(); });
        TScriptedPrompts prompts;
        TShownSetup shown;
        TSetup& setup = shown.Setup;
        prompts.BoxAnswers.enqueue(prompt::IDOK);
        setup.OKBtnClick();
        QCOMPARE(prompts.Messages.last().Id, 210);
        QCOMPARE(ControlOf<QTabWidget>(setup, "setupPages")->currentIndex(), int(TSetup::Dialing));
        QVERIFY(setup.isVisible());
        prompts.BoxAnswers.enqueue(prompt::IDCANCEL);
        setup.OKBtnClick();
        QCOMPARE(setup.result(), int(QDialog::Accepted));
    }

    // Stored values select their items and come back unchanged: rings, keys, the modem.
    void storedChoicesRoundTrip() {
        SaveSettings([](TConfig& c) {
            c.RingsToAnswer = 5;
            c.NextMessageComboBox = '*';
            c.SelectPortBox = "Desk modem";
            c.PageWait = 3.0;
        });
        TShownSetup shown;
        TConfig& live = shown.Live;
        TSetup& setup = shown.Setup;
        const QByteArray before = live.ToBytes();
        const QObject& ui = setup;
        QCOMPARE(ControlOf<QComboBox>(ui, "RingsToAnswer")->currentText(), QString("5"));
        QCOMPARE(ControlOf<QComboBox>(ui, "NextMessageComboBox")->currentText(), QString("*"));
        QVERIFY(!ControlOf<QComboBox>(ui, "NextMessageComboBox")->isEnabled());
        QCOMPARE(ControlOf<QComboBox>(ui, "SelectPortBox")->currentText(), QString("Desk modem"));
        QCOMPARE(ControlOf<QComboBox>(ui, "PageWait")->currentText(), QString("3"));
        QCOMPARE(ControlOf<QListWidget>(ui, "DayOfWeek")->item(3)->text(), QString("Wednesday "));
        ControlOf<QTabWidget>(ui, "setupPages")->setCurrentIndex(int(live.SetupPageIndex));
        setup.OKBtnClick();
        QCOMPARE(live.ToBytes(), before);
        ControlOf<QComboBox>(ui, "RingsToAnswer")->setCurrentText("Never Answer");
        setup.OKBtnClick();
        QCOMPARE(live.RingsToAnswer, 0);
    }

    // Without any modem: message 312, one item, everything about the modem disabled, and OK
    // stores no modem.
    void noModemPluggedIn() {
        m_provider.reset();
        SaveSettings([](TConfig& c) { c.SelectPortBox = "Gone modem"; });
        TScriptedPrompts prompts;
        TShownSetup shown;
        TConfig& live = shown.Live;
        TSetup& setup = shown.Setup;
        const QObject& ui = setup;
        QCOMPARE(prompts.Messages.last().Id, 312);
        // The chosen modem stays chosen while it is unplugged, so that the program takes it
        // up again by itself once it is back.
        QCOMPARE(ControlOf<QComboBox>(ui, "SelectPortBox")->count(), 2);
        QCOMPARE(ControlOf<QComboBox>(ui, "SelectPortBox")->itemText(0),
                 QString("No modems installed"));
        QCOMPARE(ControlOf<QComboBox>(ui, "SelectPortBox")->currentText(),
                 QString("Gone modem (not plugged in)"));
        QVERIFY(!ControlOf<QPushButton>(ui, "ModemInfoButton")->isEnabled());
        QVERIFY(!ControlOf<QCheckBox>(ui, "ConnectAtStartupButton")->isEnabled());
        setup.OKBtnClick();
        QCOMPARE(live.SelectPortBox, QString("Gone modem"));
        // Choosing "no modem" on purpose is kept too.
        setup.show();
        ControlOf<QComboBox>(ui, "SelectPortBox")->setCurrentIndex(0);
        setup.OKBtnClick();
        QCOMPARE(live.SelectPortBox, QString());
    }

    // "Add SIP account..." writes the account into lines.conf and keeps its password apart;
    // "Edit..." renames it (its password moves with it) and refuses a name in use; the direct
    // line is written and chosen by its check box, and taken out again.
    void sipLinesFromTheGeneralTab() {
        SaveSettings();
        const QByteArray xdg = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", m_dir->filePath("config").toUtf8());
        const auto restore = qScopeGuard([&] { qputenv("XDG_CONFIG_HOME", xdg); });
        const QString conf = m_dir->filePath("config/Tarvex/lines.conf");
        QVERIFY(QDir().mkpath(m_dir->filePath("config/Tarvex")));
        QFile mine(conf);
        QVERIFY(mine.open(QIODevice::WriteOnly));
        mine.write("# kept as it is\nAttic = /dev/ttyS1\n");
        mine.close();

        QStringList problems;
        std::function<void(QObject&)> fill;
        TShownSetup shown([&](TSetup& dialog) {
            dialog.RunDialog = [&](QDialog& opened) {
                fill(opened);
                ControlOf<QDialogButtonBox>(opened, "buttons")
                    ->button(QDialogButtonBox::Ok)
                    ->click();
                (void)QTest::qWaitFor([&] { return opened.result() == QDialog::Accepted; }, 5000);
                problems << ControlOf<QLabel>(opened, "problem")->text();
                return opened.result();
            };
        });
        const QObject& ui = shown.Setup;
        auto type = [](QObject& form, const char* field, const QString& text) {
            ControlOf<QLineEdit>(form, field)->setText(text);
        };
        auto lines = [&] {
            QFile f(conf);
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        };
        fill = [&](QObject& form) {
            type(form, "lineName", "Home phone");
            type(form, "server", "sip.example.net:5070");
            type(form, "user", "alice");
            type(form, "displayName", "Alice Smith");
            ControlOf<QComboBox>(form, "transport")->setCurrentIndex(1);
            QCOMPARE(ControlOf<QDialogButtonBox>(form, "buttons")->isEnabled(), true);
            // No password yet: refused with a word, and nothing written.
            ControlOf<QDialogButtonBox>(form, "buttons")->button(QDialogButtonBox::Ok)->click();
            QCOMPARE(ControlOf<QLabel>(form, "problem")->text(),
                     QString("Enter the account's password."));
            type(form, "password", "s3cret");
        };
        ControlOf<QPushButton>(ui, "addSipAccountButton")->click();
        QCOMPARE(problems.last(), QString());
        QCOMPARE(lines(), QByteArray("# kept as it is\nAttic = /dev/ttyS1\nHome phone = "
                                     "sip:alice@sip.example.net:5070;transport=tcp;"
                                     "display=Alice Smith\n"));
        QCOMPARE(TSecretStore("SIP Home phone", "sip-password-Home_phone").ReadFallback(),
                 QString("s3cret"));
        QCOMPARE(shown.Setup.ChosenModem(), QString("Home phone"));
        QVERIFY(ControlOf<QPushButton>(ui, "editSipAccountButton")->isEnabled());

        fill = [&](QObject& form) {
            QCOMPARE(ControlOf<QLineEdit>(form, "server")->text(), QString("sip.example.net:5070"));
            QCOMPARE(ControlOf<QLineEdit>(form, "password")->text(), QString());
            type(form, "lineName", "Attic");
            ControlOf<QDialogButtonBox>(form, "buttons")->button(QDialogButtonBox::Ok)->click();
            QCOMPARE(ControlOf<QLabel>(form, "problem")->text(),
                     QString("There is a line named \"Attic\" already."));
            type(form, "lineName", "Office");
            type(form, "password", "n3w");
        };
        ControlOf<QPushButton>(ui, "editSipAccountButton")->click();
        QVERIFY(
            lines().endsWith("Office = sip:alice@sip.example.net:5070;transport=tcp;"
                             "display=Alice Smith\n"));
        QVERIFY(!lines().contains("Home phone"));
        QVERIFY(!QFile::exists(m_dir->filePath("sip-password-Home_phone")));
        QCOMPARE(TSecretStore("SIP Office", "sip-password-Office").ReadFallback(), QString("n3w"));

        ControlOf<QSpinBox>(ui, "directPort")->setValue(5072);
        ControlOf<QCheckBox>(ui, "listenDirectBox")->click();
        QVERIFY(lines().endsWith("Direct SIP calls = sip:ringvale@0.0.0.0:5072\n"));
        QVERIFY(!ControlOf<QPushButton>(ui, "editSipAccountButton")->isEnabled());
        shown.Setup.OKBtnClick();
        QCOMPARE(shown.Live.SelectPortBox, QString("Direct SIP calls"));
        shown.Setup.show();
        QVERIFY(ControlOf<QCheckBox>(ui, "listenDirectBox")->isChecked());
        QCOMPARE(ControlOf<QSpinBox>(ui, "directPort")->value(), 5072);
        ControlOf<QCheckBox>(ui, "listenDirectBox")->click();
        QVERIFY(!lines().contains("Direct SIP calls"));
        QVERIFY(lines().startsWith("# kept as it is\nAttic = /dev/ttyS1\n"));
        QVERIFY(shown.Setup.ChosenModem() != "Direct SIP calls");
    }

    // New proposes the first free name and adds the greeting once recorded (and only then);
    // Browse copies a playable wave file into the greetings folder under a name the list can
    // hold, and refuses anything else; Play/Edit opens the recorder for each selected
    // greeting; the Delete key removes the selected ones; a listed name without its file is
    // not shown.
    void editsTheGreetingsList() {
        SaveSettings();
        for (const char* name : {"Default Greeting.wav", "Default Greeting1.wav"})
            QFile(m_dir->filePath(QString("Greetings/") + name)).open(QIODevice::WriteOnly);
        SaveGreetingList(DefaultGreetings() << "Lost.wav");
        QTemporaryDir elsewhere;
        auto file = [&](const QString& name, const QByteArray& bytes) {
            QFile out(elsewhere.filePath(name));
            out.open(QIODevice::WriteOnly);
            out.write(bytes);
            return out.fileName();
        };
        TScriptedPrompts prompts;
        QStringList recorded;
        bool microphone = true;
        TShownSetup shown([&](TSetup& dialog) {
            dialog.RunDialog = [&](QDialog& opened) {
                if (qobject_cast<TRecordWaveForm*>(&opened)) {
                    recorded << opened.findChild<QLabel*>("WaveFile")->text();
                    QFile greeting(recorded.last());
                    if (microphone && greeting.open(QIODevice::WriteOnly))
                        greeting.write(Wave(8000, QByteArray(800, char(128))));
                }
                return int(QDialog::Accepted);
            };
        });
        TSetup& setup = shown.Setup;
        const QObject& ui = setup;
        QCOMPARE(ControlOf<QListWidget>(ui, "GreetingList")->count(), 3);  // "Lost.wav" has no file
        QVERIFY(!ControlOf<QPushButton>(ui, "DeleteGreetingButton")->isEnabled());
        prompts.FileAnswers.enqueue("/elsewhere/Default Greeting2.wav");
        ControlOf<QPushButton>(ui, "NewGreetingButton")->click();
        QCOMPARE(recorded, QStringList{m_dir->filePath("Greetings/Default Greeting2.wav")});
        QCOMPARE(ControlOf<QListWidget>(ui, "GreetingList")->count(), 4);
        QCOMPARE(ControlOf<QListWidget>(ui, "GreetingList")->item(3)->text(),
                 QString("Default Greeting2.wav"));
        microphone = false;
        prompts.FileAnswers.enqueue("/elsewhere/Default Greeting3.wav");
        ControlOf<QPushButton>(ui, "NewGreetingButton")->click();
        QCOMPARE(ControlOf<QListWidget>(ui, "GreetingList")->count(), 4);
        QCOMPARE(prompts.Texts().last(),
                 QString("Nothing was recorded, so no greeting was added."));

        prompts.FileAnswers.enqueue(file("Hello.wav", Wave(8000, QByteArray(8000, char(100)))));
        ControlOf<QPushButton>(ui, "AddGreetingButton")->click();
        QCOMPARE(ControlOf<QListWidget>(ui, "GreetingList")->item(4)->text(), QString("Hello.wav"));
        QVERIFY(QFile::exists(m_dir->filePath("Greetings/Hello.wav")));
        prompts.FileAnswers.enqueue(file("Grüße ☎.wav", Wave(8000, QByteArray(80, char(90)))));
        ControlOf<QPushButton>(ui, "AddGreetingButton")->click();
        QCOMPARE(ControlOf<QListWidget>(ui, "GreetingList")->item(5)->text(),
                 QString("Grüße _.wav"));
        QVERIFY(QFile::exists(m_dir->filePath("Greetings/Grüße _.wav")));
        const int boxes = prompts.Count("box");
        prompts.FileAnswers.enqueue(file("Notes.wav", "this is no sound at all"));
        ControlOf<QPushButton>(ui, "AddGreetingButton")->click();
        QCOMPARE(ControlOf<QListWidget>(ui, "GreetingList")->count(), 6);
        QCOMPARE(prompts.Count("box"), boxes + 1);
        QCOMPARE(prompts.Texts().last(),
                 QString("\"Notes.wav\" can't be used as a sound.\rIt is not a wave file."));
        QVERIFY(!QFile::exists(m_dir->filePath("Greetings/Notes.wav")));

        ControlOf<QListWidget>(ui, "GreetingList")->item(1)->setSelected(true);
        ControlOf<QListWidget>(ui, "GreetingList")->item(2)->setSelected(true);
        QVERIFY(ControlOf<QPushButton>(ui, "EditGreetingButton")->isEnabled());
        recorded.clear();
        ControlOf<QPushButton>(ui, "EditGreetingButton")->click();
        QCOMPARE(recorded.size(), 2);
        QTest::keyClick(ControlOf<QListWidget>(ui, "GreetingList"), Qt::Key_Delete);
        QStringList left;
        for (int row = 0; row < ControlOf<QListWidget>(ui, "GreetingList")->count(); ++row)
            left << ControlOf<QListWidget>(ui, "GreetingList")->item(row)->text();
        QCOMPARE(left, QStringList({"Default Greeting 1.wav", "Default Greeting2.wav", "Hello.wav",
                                    "Grüße _.wav"}));
        QVERIFY(QFile::exists(m_dir->filePath("Greetings/Default Greeting 2.wav")));
        setup.OKBtnClick();
        QCOMPARE(LoadGreetingList(), left);  // the saved list reads back as it was shown
    }

    // Choosing another modem while listening says so (212) and keeps listening on the old one.
    void switchingModemsWhileListening() {
        SaveSettings([](TConfig& c) { c.SelectPortBox = "Kitchen modem"; });
        TScriptedPrompts prompts;
        TMainForm form;
        form.ConnectButtonClick();
        QVERIFY(form.Session().Line() != nullptr);
        WhenShown<TSetup>([](TSetup& setup) {
            ControlOf<QComboBox>(setup, "SelectPortBox")->setCurrentText("Desk modem");
            setup.OKBtnClick();
        });
        QVERIFY(form.SetupButtonClick());
        QCOMPARE(prompts.Messages.last().Id, 212);
        QCOMPARE(form.Session().Line()->LineName, QString("Kitchen modem"));
        TConfig saved;
        QVERIFY(TConfigFile().LoadConfig(saved));
        QCOMPARE(saved.SelectPortBox, QString("Desk modem"));
        form.SaveAll();
    }

    // The password guards the settings: wrong or cancelled refuses and opens nothing, the
    // right one in any letter case opens them; no password asks nothing.
    void passwordGuardsTheSettings() {
        SaveSettings([](TConfig& c) { c.Password1 = "Secret"; });
        TScriptedPrompts prompts;
        TMainForm form;
        prompts.PasswordAnswers << "wrong" << QString();
        QVERIFY(!form.SetupButtonClick());
        QVERIFY(!form.SetupButtonClick());
        QVERIFY(form.SetupDialog() == nullptr);
        QCOMPARE(prompts.Count("password"), 2);
        QCOMPARE(prompts.Texts("password").first(), QString("Password"));
        prompts.PasswordAnswers << "SECRET";
        WhenShown<TSetup>(
            [](TSetup& setup) { ControlOf<QPushButton>(setup, "CancelBtn")->click(); });
        QVERIFY(!form.SetupButtonClick());
        QVERIFY(form.SetupDialog() != nullptr);
        QCOMPARE(form.Session().Config().Password1, QString("Secret"));

        form.Session().Config().Password1.clear();
        WhenShown<TSetup>(
            [](TSetup& setup) { ControlOf<QPushButton>(setup, "CancelBtn")->click(); });
        form.SetupButtonClick();
        QCOMPARE(prompts.Count("password"), 3);
    }

    // A cleared history length is refused, not taken for 5. Lowering it asks before it deletes
    // new messages, with their count; keeping them keeps the old length. The selected row among
    // those that go is no harm.
    void aShorterHistoryAsksBeforeItDeletesNewMessages() {
        SaveSettings([](TConfig& c) { c.MaxItems = 50; });
        TScriptedPrompts prompts;
        TMainForm form;
        QDir().mkpath(m_dir->filePath("Messages"));
        for (int call = 0; call < 8; ++call) {
            CallLogRecord* record = form.Session().CallLog().NewLogRecord();
            TCallLog::FillLogRecord(record, QString("CALLER %1").arg(call), "7705550000");
            record->Time = 1765000000 + call;
            record->MessageFile = QString("msg%1.wav").arg(call);
            QFile message(m_dir->filePath("Messages/" + record->MessageFile));
            QVERIFY(message.open(QIODevice::WriteOnly));
            QTreeWidgetItem* row = form.History()->AddHistoryRow(record);
            if (call == 0) form.History()->SelectOnly(row);  // the oldest, focused
        }
        const auto shorten = [&](int answer) {
            prompts.BoxAnswers << prompt::IDOK << answer;
            WhenShown<TSetup>([](TSetup& setup) {
                ControlOf<QLineEdit>(setup, "MaxItems")->setText("");
                setup.OKBtnClick();  // refused: the dialog stays
                QVERIFY(setup.isVisible());
                ControlOf<QLineEdit>(setup, "MaxItems")->setText("5");
                setup.OKBtnClick();
            });
            QVERIFY(form.SetupButtonClick());
        };
        shorten(prompt::IDNO);
        QVERIFY(prompts.Texts("box").contains("Keep from 5 to 200 callers in the history list."));
        QVERIFY(prompts.Texts("box").last().contains("deletes 3 new message(s)"));
        QCOMPARE(form.Session().CallLog().Records.size(), size_t(8));
        QCOMPARE(form.Session().Config().MaxItems, 50);
        QVERIFY(QFile::exists(m_dir->filePath("Messages/msg0.wav")));

        shorten(prompt::IDYES);
        QCOMPARE(form.Session().CallLog().Records.size(), size_t(5));
        QCOMPARE(form.Session().Config().MaxItems, 5);
        QVERIFY(!QFile::exists(m_dir->filePath("Messages/msg0.wav")));
        QVERIFY(QFile::exists(m_dir->filePath("Messages/msg3.wav")));
        form.History()->RefreshHistory();
        form.SaveAll();
    }

    // The first settings ask for an access code when none is chosen; a code with keys a
    // phone lacks is refused, a short one is taken with a warning.
    void theAccessCode() {
        SaveSettings();
        TScriptedPrompts prompts;
        TShownSetup shown([](TSetup& setup) { setup.FirstRun = true; });
        const QObject& ui = shown.Setup;
        QVERIFY(ControlOf<QLineEdit>(ui, "MessagePasswordEdit")->text().isEmpty());
        prompts.BoxAnswers << prompt::IDYES;
        shown.Setup.OKBtnClick();
        QVERIFY(shown.Setup.isVisible());
        QCOMPARE(ControlOf<QTabWidget>(ui, "setupPages")->currentIndex(), int(TSetup::Security));
        QVERIFY(prompts.Texts().last().startsWith("Without an access code"));
        ControlOf<QLineEdit>(ui, "MessagePasswordEdit")->setText("12#");
        shown.Setup.OKBtnClick();
        QVERIFY(shown.Setup.isVisible());
        QVERIFY(prompts.Texts().last().contains("only hold the digits"));
        ControlOf<QLineEdit>(ui, "MessagePasswordEdit")->setText("12");
        shown.Setup.OKBtnClick();
        QVERIFY(!shown.Setup.isVisible());
        QVERIFY(prompts.Texts().last().contains("fewer than 4 digits"));
        QCOMPARE(shown.Live.MessagePasswordEdit, QString("12"));
    }
};

QTEST_MAIN(TestSetup)
#include "test_setup.moc"
