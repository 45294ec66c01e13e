#pragma once
// Rewrites a file whole without ever leaving it half written: the new contents go to a
// temporary file in the same folder, are flushed to disk, and replace the old file by
// rename. A crash, a full disk or a failed write leaves the previous file as it was. The
// new file is readable by the user only.

#include <QByteArray>
#include <QString>

#include "platform/tfile.h"

class TAtomicFile {
public:
    explicit TAtomicFile(const QString& path);
    ~TAtomicFile();  // an uncommitted temporary file is removed
    TAtomicFile(const TAtomicFile&) = delete;
    TAtomicFile& operator=(const TAtomicFile&) = delete;

    bool Open();
    bool Write(const void* data, qint64 count);
    bool Write(const QByteArray& bytes) { return Write(bytes.constData(), bytes.size()); }
    // Flush, close and rename over the target. False (old file intact) on any failure.
    bool Commit();
    void Discard();

    QString ErrorText;

private:
    bool Fail(const QString& reason);
    QString m_path;
    QString m_temp;
    TFile m_file;
};

// The file a rewrite of path replaces: the file a link leads to while it stays inside the
// link's own folder (or below), else the path itself.
QString LinkTarget(const QString& path);
// A link whose file lies outside the folder that holds the link.
bool LeadsOutside(const QString& path);

// The whole of contents as the new file at path. On failure *error gets the reason.
bool RewriteFile(const QString& path, const QByteArray& contents, QString* error = nullptr);

// Removes what rewrites cut short by a crash or a kill left in a folder: private files named
// after a file of the folder (or a wave file) plus a six-character suffix, "CALL.LOG.Xa3bQ9".
// The file each was to replace is whole, old or new. The number removed.
int RemoveStaleTemporaries(const QString& folder);
