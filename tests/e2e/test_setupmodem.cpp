// Setting Ringvale up against the modem simulator: a first start leads through the welcome to
// the settings and connects to the modem chosen there; the modem check tells each kind of
// modem apart and never takes a modem that is in use.

#include <QComboBox>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QUdpSocket>
#include <QtTest>

#include "controls.h"
#include "listeningwindow.h"
#include "modal.h"
#include "platform/profile.h"
#include "platform/telephony/sipline.h"
#include "platform/telephony/v253line.h"
#include "sippregistrar.h"
#include "ui/dialogs/modeminfoform.h"
#include "ui/dialogs/setup.h"
#include "ui/dialogs/welcomedialog.h"
#include "ui/main/mainform.h"

namespace {
const QString kCallerId = QStringLiteral(
    "Assuming you have caller ID service, provided by your phone company, it is likely Ringvale "
    "will be able to show caller ID info.");
}  // namespace

class TestSetupModem : public QObject {
    Q_OBJECT

    // The modem check of a modem named in lines.conf, run to its end.
    TModemAnswers Check(const QString& modem, QString* summary = nullptr) {
        TModemInfoForm info;
        info.SetModem(modem);
        info.Probe();
        if (!QTest::qWaitFor([&] { return info.Done(); }, 15000)) return {};
        if (summary) *summary = info.SummaryText();
        return info.Answers();
    }

private slots:
    void initTestCase() { TV253Line::CommandTimeoutMs = 1500; }

    // No settings file: the welcome, then the settings with the simulator's modem to choose;
    // OK writes a valid file and the main window listens on that modem.
    void firstStartLeadsToAConnectedModem() {
        TSimulator sim;
        QTemporaryDir work;
        sim.WriteLinesConf(work.filePath("config"), "Sim modem");
        qputenv("XDG_CONFIG_HOME", work.filePath("config").toUtf8());
        TProfile::SetFolder(work.path());
        TV253Provider modems;
        TMainForm form;
        QVERIFY(!form.ConfigValid);
        bool welcomed = false, chosen = false;
        WhenShown<TWelcomeDialog>([&](TWelcomeDialog& welcome) {
            welcomed = welcome.windowTitle() == "Welcome";
            WhenShown<TSetup>([&](TSetup& setup) {
                const QObject& ui = setup;
                chosen = ControlOf<QComboBox>(ui, "SelectPortBox")->findText("Sim modem") >= 0;
                ControlOf<QComboBox>(ui, "SelectPortBox")->setCurrentText("Sim modem");
                ControlOf<QLineEdit>(ui, "LocalAreaCodes")->setText("404");
                setup.OKBtnClick();
            });
            welcome.findChild<QPushButton*>("OKButton")->click();
        });
        QVERIFY(QTest::qWaitFor([&] { return form.Session().Line() != nullptr; }, 15000));
        QVERIFY(welcomed);
        QVERIFY(chosen);
        QCOMPARE(form.Session().Line()->LineName, QString("Sim modem"));
        TConfig saved;
        QVERIFY(TConfigFile().LoadConfig(saved));
        QCOMPARE(saved.SelectPortBox, QString("Sim modem"));
        QVERIFY(QTest::qWaitFor([&] { return sim.Commands().contains("AT+VCID=1"); }, 10000));
        form.SaveAll();
    }

    // A voice modem with everything, one without a speaker phone, a data-only modem and one
    // that never answers; and a name no modem has.
    void tellsEachKindOfModemApart() {
        QTemporaryDir work;
        qputenv("XDG_CONFIG_HOME", work.filePath("config").toUtf8());
        QDir().mkpath(work.filePath("config/Tarvex"));
        const QList<QStringList> options = {{}, {"--no-speaker"}, {"--no-voice"}, {"--silent"}};
        std::vector<std::unique_ptr<TSimulator>> sims;
        QFile conf(work.filePath("config/Tarvex/lines.conf"));
        QVERIFY(conf.open(QIODevice::WriteOnly));
        for (int i = 0; i < options.size(); ++i) {
            sims.push_back(std::make_unique<TSimulator>(options[i]));
            conf.write(QByteArray("Modem ") + QByteArray::number(i) + " = " +
                       sims.back()->Device.toUtf8() + "\n");
        }
        conf.close();
        TV253Provider modems;

        QString summary;
        TModemAnswers full = Check("Modem 0", &summary);
        QCOMPARE(full.Result, TModemAnswers::Probed);
        QVERIFY(full.Voice && full.PlayRecord && full.SpeakerPhone);
        QCOMPARE(summary,
                 "You will be able to use Ringvale as your answering machine and speaker "
                 "phone.  " +
                     kCallerId);
        TModemAnswers noSpeaker = Check("Modem 1", &summary);
        QVERIFY(noSpeaker.Voice && noSpeaker.PlayRecord && !noSpeaker.SpeakerPhone);
        QCOMPARE(summary,
                 "You will be able to use Ringvale as your answering machine.  " + kCallerId);
        TModemAnswers data = Check("Modem 2", &summary);
        QCOMPARE(data.Result, TModemAnswers::Probed);
        QVERIFY(!data.Voice && !data.PlayRecord);
        QVERIFY(
            summary.startsWith("You will not be able to use Ringvale as an answering machine "
                               "or speaker phone"));
        TModemAnswers silent = Check("Modem 3", &summary);
        QCOMPARE(silent.Result, TModemAnswers::NoAnswer);
        QVERIFY(summary.contains("did not answer"));
        TModemAnswers none = Check("No such modem", &summary);
        QCOMPARE(none.Result, TModemAnswers::NotFound);
        QVERIFY(!none.Voice && !none.PlayRecord && !none.SpeakerPhone);
        QVERIFY(summary.startsWith("You will not be able to use"));
    }

    // A SIP line is checked as a modem is, and told for what it is: a direct address that
    // listens, with its codecs, and an account the registrar refuses, with the reason.
    void tellsASipLineForWhatItIs() {
        QTemporaryDir work;
        TProfile::SetFolder(work.path());
        qputenv("XDG_CONFIG_HOME", work.filePath("config").toUtf8());
        QDir().mkpath(work.filePath("config/Tarvex"));
        QUdpSocket probe;
        probe.bind(QHostAddress::LocalHost, 0);
        const int port = probe.localPort();
        probe.close();
        QProcess registrar;
        QVERIFY(StartSippRegistrar(registrar, port + 1));
        QFile conf(work.filePath("config/Tarvex/lines.conf"));
        QVERIFY(conf.open(QIODevice::WriteOnly));
        conf.write(QStringLiteral("Sip line = sip:ringvale@127.0.0.1:%1\n"
                                  "Sip account = sip:alice@127.0.0.1:%2\n")
                       .arg(port)
                       .arg(port + 1)
                       .toUtf8());
        conf.close();
        QFile password(TProfile::Path(SipPasswordFileName("Sip account")));
        QVERIFY(password.open(QIODevice::WriteOnly));
        password.write("wrong");
        password.close();
        TSipProvider sipLines;

        QString summary;
        const TModemAnswers direct = Check("Sip line", &summary);
        QCOMPARE(direct.Result, TModemAnswers::Probed);
        QVERIFY(direct.Voice && direct.PlayRecord && !direct.SpeakerPhone);
        QVERIFY2(
            direct.Sip.startsWith(
                QString("SIP address ringvale@127.0.0.1: listening on port %1; codecs PCMU, PCMA")
                    .arg(port)),
            qPrintable(direct.Sip));
        QVERIFY2(summary.startsWith("\"Sip line\" is a SIP line (listening on port"),
                 qPrintable(summary));
        QVERIFY(summary.contains("A SIP line has no speaker phone"));
        const TModemAnswers refused = Check("Sip account", &summary);
        QCOMPARE(refused.Result, TModemAnswers::NoAnswer);
        QVERIFY2(summary.startsWith("The SIP line \"Sip account\" is not listening: registration "
                                    "refused: 403 Forbidden."),
                 qPrintable(summary));
        registrar.kill();
        registrar.waitForFinished(5000);
    }

    // The modem the main window listens on is reported in use and keeps listening.
    void aModemInUseIsLeftAlone() {
        TListeningWindow window;
        TSimulator& sim = window.Sim;
        TMainForm& form = window.Form;
        QVERIFY(QTest::qWaitFor([&] { return form.Session().Line() != nullptr; }, 10000));
        QVERIFY(QTest::qWaitFor([&] { return sim.Commands().contains("AT+VCID=1"); }, 10000));
        const qsizetype commands = sim.Commands().size();
        QString summary;
        QCOMPARE(Check("Sim modem", &summary).Result, TModemAnswers::InUse);
        QVERIFY(summary.contains("is in use"));
        QVERIFY(form.Session().Line() != nullptr);
        QCOMPARE(sim.Commands().size(), commands);  // nothing was sent to it
        form.SaveAll();
    }
};

QTEST_MAIN(TestSetupModem)
#include "test_setupmodem.moc"
