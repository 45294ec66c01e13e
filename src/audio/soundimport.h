#pragma once
// A sound the user picks from anywhere (a greeting, a ring or notify sound) is played from the
// data folder's own sound folders, by a name kept in single-byte text files. It is checked to
// be a wave file that Ringvale can play, and copied into its folder under such a name.

#include <QString>

class TSoundImport {
public:
    // What is wrong with the file as a sound to play; empty when it can be played.
    static QString Problem(const QString& path);
    // The file checked and copied into folder; *name is its bare name there. A file already
    // in that folder under a name the files can hold is taken as it is. False, with *error
    // saying why, when it cannot be played or copied.
    static bool Import(const QString& source, const QString& folder, QString* name, QString* error);
    // Import, or a message box that says why the file cannot be used.
    static bool ImportOrSay(const QString& source, const QString& folder, QString* name);
    // The file's name with every character that the files cannot hold replaced.
    static QString StorableName(const QString& fileName);
};
