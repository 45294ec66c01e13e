#pragma once
// Starting Ringvale at login: a desktop entry in the user's autostart folder
// ($XDG_CONFIG_HOME/autostart) that starts the program minimized on its data folder.

#include <QString>

class TAutostart {
public:
    static QString EntryPath();
    static bool IsEnabled();
    // Writes or removes the entry; false (with the reason) when that failed.
    static bool SetEnabled(bool on, const QString& program, const QString& folder,
                           QString* error = nullptr);
    // The entry's text; the folder is named only when it is not the default one.
    static QString EntryText(const QString& program, const QString& folder);
};
