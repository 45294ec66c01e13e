#pragma once
// Where the program's data lives: the working folder at start-up holds every data file and
// the four sound folders. Stores ask here for their paths, so tests point them at a
// temporary folder.

#include <QString>

class TProfile {
public:
    // The start-up folder; until set, the current folder at the first call.
    static QString Folder();
    static void SetFolder(const QString& folder);
    // A file or folder inside the start-up folder.
    static QString Path(const QString& name);
};
