// Ringvale: a desktop telephone assistant for one line and one voice modem.

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QSessionManager>
#include <cstdio>

#include "audio/shippedsounds.h"
#include "platform/folderlock.h"
#include "platform/profile.h"
#include "platform/signalwatcher.h"
#include "platform/telephony/sipline.h"
#include "platform/telephony/v253line.h"
#include "ui/dialogs/widgetprompts.h"
#include "ui/main/firstinstance.h"
#include "ui/main/mainform.h"

namespace {
struct TOptions {
    QString Folder;
    bool Minimized = false;
    bool PrintCalls = false;
    QString Screenshot;
};

// --help and --version answer and end the program; an unknown option gives the usage and
// exit code 2.
// Read before the application starts, so that --help, --version and a wrong option need no
// display.
int ParseCommandLine(const QStringList& arguments, TOptions* options) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("A desktop telephone assistant: caller ID, call log and answering machine "
                       "for one line and a voice modem."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption folder(
        QStringLiteral("folder"),
        QStringLiteral("Keep the data in DIR instead of the per-user data folder."),
        QStringLiteral("DIR"));
    const QCommandLineOption minimized(QStringLiteral("minimized"),
                                       QStringLiteral("Start minimized (for starting at login)."));
    const QCommandLineOption printCalls(
        QStringLiteral("print-calls"),
        QStringLiteral("Print each call on standard output as it is logged."));
    const QCommandLineOption screenshot(
        QStringLiteral("screenshot"),
        QStringLiteral("Save a picture of the window to FILE when Ringvale ends."),
        QStringLiteral("FILE"));
    parser.addOptions({folder, minimized, printCalls, screenshot});
    const QString usage =
        parser.helpText().replace(QStringLiteral("<executable_name>"), QStringLiteral("ringvale"));
    if (!parser.parse(arguments)) {
        std::fprintf(stderr, "ringvale: %s\n\n%s", qPrintable(parser.errorText()),
                     qPrintable(usage));
        return 2;
    }
    if (parser.isSet(help)) {
        std::printf("%s", qPrintable(usage));
        return 0;
    }
    if (parser.isSet(version)) {
        std::printf("Ringvale %s\n", RINGVALE_VERSION);
        return 0;
    }
    options->Folder = parser.isSet(folder) ? parser.value(folder) : TProfile::DefaultFolder();
    options->Minimized = parser.isSet(minimized);
    options->PrintCalls = parser.isSet(printCalls);
    options->Screenshot = parser.value(screenshot);
    return -1;
}
}  // namespace

int main(int argc, char* argv[]) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    TOptions options;
    if (const int done = ParseCommandLine(arguments, &options); done >= 0) return done;

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ringvale"));
    QApplication::setApplicationDisplayName(QStringLiteral("Ringvale"));
    QApplication::setApplicationVersion(QStringLiteral(RINGVALE_VERSION));
    QApplication::setOrganizationName(QStringLiteral("Tarvex"));

    // One folder holds every data file and the sound folders, and only one program may use it:
    // two would overwrite each other's call log.
    QString error;
    if (!TProfile::Prepare(options.Folder, &error)) {
        std::fprintf(stderr, "ringvale: the data folder %s cannot be used: %s\n",
                     qPrintable(options.Folder), qPrintable(error));
        return 1;
    }
    TProfile::SetFolder(options.Folder);
    TFolderLock folderLock(TProfile::Folder());
    if (!folderLock.Acquire()) {
        TFirstInstance::AskToShow(TProfile::Folder());  // its window comes to the front
        std::fprintf(stderr, "ringvale: %s\n%s\n", qPrintable(folderLock.ErrorText),
                     qPrintable(TProfile::Folder()));
        return 1;
    }
    InstallShippedSounds();

    TWidgetPrompts prompts;
    SetPrompts(&prompts);
    TV253Provider modems;   // every modem of lines.conf and /dev/serial/by-id
    TSipProvider sipLines;  // every SIP address of lines.conf

    // SIGTERM (session end, kill), SIGINT and SIGHUP save everything and quit at once: no password,
    // no box, no open dialog holds the end up. The session manager's request to save (a
    // logout that may yet be cancelled) saves and keeps listening. The signals are caught
    // before the window loads the data files, so one that comes during start-up waits for it.
    TSignalWatcher signalWatcher;
    TMainForm mainForm;
    mainForm.PrintCalls = options.PrintCalls;
    TFirstInstance firstInstance(TProfile::Folder(), [&mainForm] { mainForm.BringToFront(); });
    QObject::connect(&signalWatcher, &TSignalWatcher::Signalled, &app,
                     [&] { mainForm.Shutdown(); });
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &app,
                     [&](QSessionManager&) { mainForm.SaveData(); });
    if (options.Minimized)
        mainForm.showMinimized();  // into the tray, where the desktop has one
    else
        mainForm.show();
    const int result = QApplication::exec();
    if (!options.Screenshot.isEmpty()) {
        const bool saved = mainForm.grab().save(options.Screenshot);
        std::fprintf(saved ? stdout : stderr, "%s %s\n",
                     saved ? "A picture of the window:" : "ringvale: cannot write",
                     qPrintable(options.Screenshot));
    }
    SetPrompts(nullptr);
    return result;
}
