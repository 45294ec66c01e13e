// ringvale-screenshots FOLDER: draws the main window, every settings tab, the welcome and the
// modem check (against the modem simulator) into PNG files in FOLDER. Runs on any display,
// the offscreen one included, in a data folder of its own.

#include <QApplication>
#include <QCheckBox>
#include <QDeadlineTimer>
#include <QDir>
#include <QProcess>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QWidget>
#include <cstdio>

#include "audio/shippedsounds.h"
#include "calls/session.h"
#include "controls.h"
#include "platform/clock.h"
#include "platform/profile.h"
#include "platform/telephony/v253line.h"
#include "recordingview.h"
#include "store/config.h"
#include "ui/dialogs/getnewname.h"
#include "ui/dialogs/helpwindow.h"
#include "ui/dialogs/modeminfoform.h"
#include "ui/dialogs/playwaveform.h"
#include "ui/dialogs/setup.h"
#include "ui/dialogs/sipaccountform.h"
#include "ui/dialogs/welcomedialog.h"
#include "ui/dialogs/widgetprompts.h"
#include "ui/main/mainform.h"

namespace {
QString g_out;

PhoneBookEntry Entry(const QString& name, const QString& number, quint32 actions, int called,
                     const QString& realName = QString()) {
    PhoneBookEntry entry;
    entry.DisplayName = name;
    entry.Number = number;
    entry.ActionFlags = actions;
    entry.TimesCalled = called;
    entry.RealName = realName;
    entry.KeyType = realName.isEmpty() ? KeyNumber : KeyName;
    return entry;
}

bool Save(QWidget& widget, const QString& name) {
    widget.show();
    QCoreApplication::processEvents();
    const bool saved = widget.grab().save(g_out + QLatin1Char('/') + name + QStringLiteral(".png"));
    std::printf("%s %s\n", saved ? "wrote" : "could not write", qPrintable(name));
    return saved;
}

// The simulator on a pseudo-terminal, named in a lines.conf of its own.
QString StartSimulator(QProcess& sim, const QString& config) {
    sim.start(QStringLiteral(RINGVALE_MODEMSIM), {});
    if (!sim.waitForStarted(5000) || !sim.waitForReadyRead(5000)) return {};
    const QByteArray first = sim.readLine().trimmed();
    if (!first.startsWith("PTY ")) return {};
    QDir().mkpath(config + QStringLiteral("/Tarvex"));
    QFile conf(config + QStringLiteral("/Tarvex/lines.conf"));
    if (!conf.open(QIODevice::WriteOnly)) return {};
    conf.write("USB voice modem = " + first.mid(4) + "\n");
    return QStringLiteral("USB voice modem");
}
}  // namespace

int main(int argc, char* argv[]) {
    QTemporaryDir work;
    qputenv("XDG_CONFIG_HOME", work.filePath(QStringLiteral("config")).toUtf8());
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: ringvale-screenshots FOLDER\n");
        return 2;
    }
    g_out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(g_out);
    TProfile::SetFolder(work.filePath(QStringLiteral("data")));
    QDir().mkpath(TProfile::Folder());
    InstallShippedSounds();
    TWidgetPrompts prompts;
    SetPrompts(&prompts);
    QProcess sim;
    const QString modem = StartSimulator(sim, work.filePath(QStringLiteral("config")));
    TV253Provider modems;

    TConfig config;
    config.SelectPortBox = modem;
    config.LocalAreaCodes = QStringLiteral("404,770");
    config.PagerNumber = QStringLiteral("404-555-0188,,,");
    TConfigFile().SaveConfig(config);
    const PhoneBookEntry mom = Entry(QStringLiteral("Mom"), QStringLiteral("404-555-1212"), 0, 42);
    {
        TPhoneBook book;
        book.Add(mom);
        book.Add(Entry(QStringLiteral("Water Company"), QString(), ActionHangUp | ActionPageMe, 3,
                       QStringLiteral("WATER CPNY")));
        book.Add(
            Entry(QStringLiteral("Dr. Patel"), QStringLiteral("770-555-0143"), ActionPageMe, 5));
        book.Add(
            Entry(QStringLiteral("Pest Inc"), QStringLiteral("800-555-0199"), ActionHangUp, 12));
        book.SavePhoneBook();
    }

    bool ok = true;
    {
        TMainForm form;
        form.resize(720, 360);
        ok &= Save(form, QStringLiteral("main-window"));
        ControlOf<QTabWidget>(form, "pageTabs")
            ->setCurrentWidget(ControlOf<QWidget>(form, "PhoneBookTab"));
        ok &= Save(form, QStringLiteral("phone-book"));
        TOCALL later;
        later.Name = QStringLiteral("Dr. Patel");
        later.NumberToDial = QStringLiteral("770-555-0143");
        later.When = TClock::NowDays() + 0.5;
        form.Session().Outgoing().AddToCallList(later);
        TOCALL page;
        page.Name = QStringLiteral("To Pager");
        page.NumberToDial = config.PagerNumber;
        page.ToPager = QStringLiteral("4045551212");
        page.When = TClock::NowDays() + 3.0 / 1440;
        form.Session().Outgoing().AddToCallList(page);
        TOCALL placed = later;
        placed.When = placed.StartTime = TClock::NowDays() - 1;
        placed.EndTime = placed.StartTime + 4.5 / 1440;
        placed.CostFirst = 0.45;
        form.Session().OutgoingHistory().AddPlacedCall(placed);
        placed.Name = QStringLiteral("Mom");
        placed.NumberToDial = QStringLiteral("404-555-1212");
        placed.EndTime = placed.StartTime + 12.0 / 1440;
        placed.CostFirst = 0;
        placed.CallFlags = 1;
        form.Session().OutgoingHistory().AddPlacedCall(placed);
        ControlOf<QCheckBox>(form, "ShowOutgoingCallsButton")->click();
        ControlOf<QTabWidget>(form, "pageTabs")
            ->setCurrentWidget(ControlOf<QWidget>(form, "ToCallList"));
        form.resize(760, 520);
        form.OnTick();
        ok &= Save(form, QStringLiteral("outgoing-calls"));
        form.hide();
    }
    {
        TGetNewName entry;
        entry.SetEntry(mom, true);
        ok &= Save(entry, QStringLiteral("phone-book-entry"));
        entry.hide();
    }
    {
        TSipAccountForm account;
        TSipAddress address;
        TSipAddress::Parse(QStringLiteral("sip:alice@sip.example.net;transport=tls;srtp;"
                                          "display=Alice Smith"),
                           &address);
        account.SetAccount(QStringLiteral("Home phone"), address);
        account.show();
        ok &= Save(account, QStringLiteral("sip-account"));
        account.hide();
    }
    TRecordingView view;
    TSession session(view);
    TSetup setup(session.Mailer());
    setup.SetConfig(&config);
    setup.show();
    auto* pages = setup.findChild<QTabWidget*>(QStringLiteral("setupPages"));
    for (int page = 0; page < pages->count(); ++page) {
        pages->setCurrentIndex(page);
        const QString tab =
            pages->tabText(page).toLower().replace(QLatin1Char(' '), QLatin1Char('-'));
        ok &= Save(setup, QStringLiteral("settings-") + tab);
    }
    setup.hide();
    {
        TPlayWaveForm player;
        player.SetCaller(QStringLiteral("Mom"), QStringLiteral("404-555-1212"),
                         QStringLiteral("Tue Dec 08 09:21 AM"));
        ok &= Save(player, QStringLiteral("message-player"));
        player.hide();
    }
    {
        THelpWindow* help = THelpWindow::ShowTopic(QStringLiteral("General_Setup"));
        ok &= Save(*help, QStringLiteral("help"));
        help->close();
    }
    TWelcomeDialog welcome;
    ok &= Save(welcome, QStringLiteral("welcome"));
    welcome.hide();
    TModemInfoForm info;
    info.SetModem(modem);
    info.show();
    info.Probe();
    for (QDeadlineTimer deadline(20000); !info.Done() && !deadline.hasExpired();)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    ok &= Save(info, QStringLiteral("modem-check"));
    sim.kill();
    sim.waitForFinished(2000);
    return ok ? 0 : 1;
}
