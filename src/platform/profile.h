#pragma once
// Where the program's data lives: one folder holds every data file and the four sound
// folders; by default the per-user data folder ($XDG_DATA_HOME/Ringvale), never the shell's
// current folder by accident. Stores ask here for their paths, so tests point them at a
// temporary folder.

#include <QString>

class TProfile {
public:
    // The start-up folder; until set, the current folder at the first call.
    static QString Folder();
    static void SetFolder(const QString& folder);
    // A file or folder inside the start-up folder.
    static QString Path(const QString& name);
    // The per-user data folder.
    static QString DefaultFolder();
    // Makes the folder when it is missing, readable by the user only; false with *error.
    static bool Prepare(const QString& folder, QString* error);
};
