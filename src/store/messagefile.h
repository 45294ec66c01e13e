#pragma once
// A caller's message on disk while it is being recorded. The file is made new and only for
// this message (never through a link, never over another file), and every second's audio is
// appended and flushed with the header's sizes set to what the file holds: whatever stops the
// program, the disk or the power, the words said so far are a playable wave file. A message
// with no audio leaves no file.

#include <QByteArray>
#include <QString>

class TMessageFile {
public:
    static constexpr int kHeaderSize = 46;  // RIFF, an 18-byte format block, the data chunk

    TMessageFile() = default;
    ~TMessageFile();
    TMessageFile(const TMessageFile&) = delete;
    TMessageFile& operator=(const TMessageFile&) = delete;

    // Makes a new file "msg<stamp>.wav" in folder (the next stamp while a name is taken: a
    // file or a link planted there is never written), with the header of an empty recording
    // in format.
    bool Create(const QString& folder, qint64 stamp, const QByteArray& format);
    // Appends samples and puts them on the disk. On a full disk the part that fit stays, the
    // header is set for it and nothing more is written.
    bool Append(const QByteArray& samples);
    // Closes the file; one that holds no audio is removed. True when a message is left.
    bool Finish();
    // Removes the file (the user stopped the recording to throw it away).
    void Discard();

    bool IsOpen() const { return m_fd >= 0; }
    QString Name() const { return m_name; }  // the file name alone
    QString Path() const { return m_path; }
    qint64 DataSize() const { return m_data; }
    bool Failed() const { return !m_error.isEmpty(); }
    QString ErrorText() const { return m_error; }

private:
    bool WriteSizes();
    void Close();

    int m_fd = -1;
    QString m_name;
    QString m_path;
    qint64 m_data = 0;
    QString m_error;
};

// A message file that a kill or a power cut left with a header that does not match what the
// file holds gets the sizes of the audio it has; one with no audio is removed. Other files
// are left alone. Returns the number repaired or removed.
int RecoverMessageFiles(const QString& folder);
