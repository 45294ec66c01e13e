#pragma once
// A data folder of its own for a fuzz target: each input is written as one data file, read
// by the program's own loader, and the folder is emptied again (a loader keeps damaged files
// aside beside the original, which would pile up over a million runs).

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "platform/profile.h"

class TFuzzFolder {
public:
    TFuzzFolder() { TProfile::SetFolder(m_dir.path()); }
    // The input as the file name in the folder, which is emptied first.
    void Write(const QString& name, const uint8_t* data, size_t size) {
        Clear();
        QFile file(m_dir.filePath(name));
        if (file.open(QIODevice::WriteOnly))
            file.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    void Clear() {
        QDir dir(m_dir.path());
        for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden))
            dir.remove(name);
    }
    QString Path(const QString& name) const { return m_dir.filePath(name); }

private:
    QTemporaryDir m_dir;
};

// One folder for the whole run.
inline TFuzzFolder& FuzzFolder() {
    static TFuzzFolder folder;
    return folder;
}
