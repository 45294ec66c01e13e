// Ringvale: a desktop telephone assistant for one line and one voice modem.

#include <QApplication>
#include <QDir>
#include <QSessionManager>
#include <cstdio>

#include "audio/shippedsounds.h"
#include "platform/folderlock.h"
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

    // The working folder at start-up holds every data file and the sound folders, and only one
    // program may use them: two would overwrite each other's call log.
    TProfile::SetFolder(QDir::currentPath());
    TFolderLock folderLock(TProfile::Folder());
    if (!folderLock.Acquire()) {
        std::fprintf(stderr, "ringvale: %s\n%s\n", qPrintable(folderLock.ErrorText),
                     qPrintable(TProfile::Folder()));
        return 1;
    }
    InstallShippedSounds();

    TWidgetPrompts prompts;
    SetPrompts(&prompts);
    TV253Provider modems;  // every modem of lines.conf and /dev/serial/by-id

    TMainForm mainForm;
    // SIGTERM (session end, kill) and SIGINT save everything and quit at once: no password,
    // no box, no open dialog holds the end up. The session manager's request to save (a
    // logout that may yet be cancelled) saves and keeps listening.
    TSignalWatcher signalWatcher;
    QObject::connect(&signalWatcher, &TSignalWatcher::Signalled, &app,
                     [&] { mainForm.Shutdown(); });
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &app,
                     [&](QSessionManager&) { mainForm.SaveData(); });
    mainForm.show();
    const int result = QApplication::exec();
    SetPrompts(nullptr);
    return result;
}
