#pragma once
// Reads a RIFF file the careful way: the whole file is read once (up to a limit), and every
// chunk size is checked against what the file holds before anything is taken from it.

#include <QByteArray>
#include <QString>

constexpr int MMIOERR_CANNOTOPEN = 259;
constexpr int MMIOERR_CANNOTREAD = 261;
constexpr int MMIOERR_CHUNKNOTFOUND = 265;

struct WAVEFORMATEX;

class TRiffReader {
public:
    static constexpr qint64 kMaxFile = 256LL * 1024 * 1024;

    bool Open(const QString& path);
    // Enters the RIFF form of the given type; 0 or an MMIOERR code.
    int DescendRiff(const char form[4]);
    // Finds a chunk inside the form (searching from the form's start); 0 or an MMIOERR code.
    // A chunk that claims more bytes than the file holds gives MMIOERR_CANNOTREAD.
    int FindChunk(const char id[4], qint64* offset, quint32* size) const;
    QByteArray Read(qint64 offset, quint32 size) const;
    static QString ErrorText(int code);

private:
    QByteArray m_file;
    qint64 m_formStart = -1;
    qint64 m_formEnd = -1;
};

// A wave file's format and samples; false when it is not a wave file that can be read.
bool ReadWaveFile(const QString& path, WAVEFORMATEX* format, QByteArray* samples);
