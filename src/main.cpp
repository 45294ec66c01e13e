// Ringvale: a desktop telephone assistant for one line and one voice modem.

#include <QApplication>

#include "audio/shippedsounds.h"
#include "platform/signalwatcher.h"
#include "ui/dialogs/widgetprompts.h"
#include "ui/main/mainform.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ringvale"));
    QApplication::setApplicationDisplayName(QStringLiteral("Ringvale"));
    QApplication::setOrganizationName(QStringLiteral("Tarvex"));

    // The program's own sounds go into their folders of the working folder when missing.
    InstallShippedSounds();

    TWidgetPrompts prompts;
    SetPrompts(&prompts);

    // SIGTERM (session end, kill) and SIGINT quit through the loop so that shut-down saves.
    TSignalWatcher signalWatcher;
    QObject::connect(&signalWatcher, &TSignalWatcher::Signalled, &app, &QApplication::quit);

    TMainForm mainForm;
    mainForm.show();
    const int result = QApplication::exec();
    SetPrompts(nullptr);
    return result;
}
