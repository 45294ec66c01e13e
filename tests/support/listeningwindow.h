#pragma once
// The main window in the test's own process, connecting to the modem simulator from an
// answering folder (answers at ring 2 with a two-second greeting).

#include <QtTest>

#include "platform/telephony/v253line.h"
#include "program.h"
#include "ui/main/mainform.h"

struct TListeningWindow {
    TSimulator Sim;
    TAnsweringFolder Folder{Sim};
    bool ConfigHome = [this] {
        qputenv("XDG_CONFIG_HOME", Folder.Work.filePath("config").toUtf8());
        return true;
    }();
    TV253Provider Modems;
    TMainForm Form;
};
