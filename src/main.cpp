// Ringvale: a desktop telephone assistant for one line and one voice modem.

#include <QApplication>
#include <QDir>
#include <QSessionManager>

#include "audio/shippedsounds.h"
#include "platform/profile.h"
#include "platform/signalwatcher.h"
#include "platform/telephony/v253line.h"
#include "ui/dialogs/widgetprompts.h"
#include "ui/main/mainform.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ringvale"));
    QApplication::setApplicationDisplayName(QStringLiteral("Ringvale"));
    QApplication::setOrganizationName(QStringLiteral("Tarvex"));

    // The working folder at start-up holds every data file and the sound folders.
    TProfile::SetFolder(QDir::currentPath());
    InstallShippedSounds();

    TWidgetPrompts prompts;
    SetPrompts(&prompts);
    TV253Provider modems;  // every modem of lines.conf and /dev/serial/by-id

    TMainForm mainForm;
    // SIGTERM (session end, kill) and SIGINT save everything and quit through the loop, and
    // so does the end of the desktop session.
    TSignalWatcher signalWatcher;
    QObject::connect(&signalWatcher, &TSignalWatcher::Signalled, &app, [&] {
        mainForm.SaveAll();
        QApplication::quit();
    });
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &app,
                     [&](QSessionManager&) { mainForm.SaveAll(); });
    mainForm.show();
    const int result = QApplication::exec();
    SetPrompts(nullptr);
    return result;
}
