#pragma once
// One file handle for one short job: mode-bit opening, byte reads and writes, positioning,
// the text line reader, existence tests, delete, copy, folder creation and free names.
// Every failure leaves the system's reason in ErrorText and, with ReportErrors, shows the
// "File Error" box. Nothing throws.

#include <QString>
#include <QtGlobal>

class TFile {
public:
    // Mode bits of Open. Sharing has no meaning on Linux; the access and creation rules hold.
    enum Mode : int {
        ModeProbe = 0,      // no access; the file must exist
        ModeRead = 1,       // the file must exist
        ModeWrite = 2,      // created when missing, contents kept
        ModeReadWrite = 3,  // created when missing, contents kept
        ModeCreate = 4,     // with read or write: created anew, truncated
        ModeRewrite = 6,    // write, truncated
    };
    // Names of this many characters or more are refused.
    static constexpr int kMaxName = 260;

    TFile() = default;
    ~TFile();
    TFile(const TFile&) = delete;
    TFile& operator=(const TFile&) = delete;

    QString FileName;
    bool ReportErrors = false;
    int Handle = -1;
    bool OwnsHandle = true;
    QString ErrorText;

    // Returns the handle, or -1 after the error routine.
    int Open(const QString& name, int mode);
    bool IsOpen() const { return Handle >= 0; }
    void Close();
    // Takes an open descriptor, as if opened by name.
    void Attach(int handle, const QString& name);

    qint64 Read(void* buffer, qint64 count);
    qint64 Write(const void* buffer, qint64 count);
    qint64 Tell();
    qint64 Seek(qint64 position);
    qint64 SeekEnd();
    qint64 GetSize();
    // Writes what the system holds for the file to the disk.
    bool Flush();

    // One text line into buffer (NUL-terminated, at most maxLen - 1 characters); returns its
    // length, 0 for a chunk of only line breaks, -1 at the end of the file.
    int ReadLine(char* buffer, int maxLen);

    bool Exists(const QString& name);
    bool Delete(const QString& name);
    bool Copy(const QString& from, const QString& to);
    bool MakeDirectory(const QString& path);
    bool MakeUniqueName(const QString& base, const QString& extension, const QString& folder,
                        QString* out);

    // The error routine: the system's text for an errno code, or a reason text, into
    // ErrorText, and the "File Error" box when ReportErrors is set. Report returns false.
    void Fail(const char* operation, int error);
    bool Report(const char* operation, const QString& reason);

private:
    bool NameFits(const QString& name, const char* operation);
};

// True when path names an existing folder.
bool FolderExists(const QString& path);
