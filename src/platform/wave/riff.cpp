#include "platform/wave/riff.h"

#include <QFile>
#include <QtEndian>
#include <cstring>

#include "platform/wave/wave.h"

bool TRiffReader::Open(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxFile) return false;
    m_file = file.readAll();
    return true;
}

int TRiffReader::DescendRiff(const char form[4]) {
    if (m_file.size() < 12 || memcmp(m_file.constData(), "RIFF", 4) != 0 ||
        memcmp(m_file.constData() + 8, form, 4) != 0)
        return MMIOERR_CHUNKNOTFOUND;
    const quint32 size = qFromLittleEndian<quint32>(m_file.constData() + 4);
    m_formStart = 12;
    m_formEnd = qMin<qint64>(8 + qint64(size), m_file.size());  // a short file ends the form
    return 0;
}

int TRiffReader::FindChunk(const char id[4], qint64* offset, quint32* size) const {
    if (m_formStart < 0) return MMIOERR_CHUNKNOTFOUND;
    for (qint64 at = m_formStart; at + 8 <= m_formEnd;) {
        const quint32 chunkSize = qFromLittleEndian<quint32>(m_file.constData() + at + 4);
        if (memcmp(m_file.constData() + at, id, 4) == 0) {
            if (at + 8 + qint64(chunkSize) > m_file.size()) return MMIOERR_CANNOTREAD;
            *offset = at + 8;
            *size = chunkSize;
            return 0;
        }
        at += 8 + qint64(chunkSize) + (chunkSize & 1);  // chunks are word aligned
    }
    return MMIOERR_CHUNKNOTFOUND;
}

QByteArray TRiffReader::Read(qint64 offset, quint32 size) const {
    if (offset < 0 || offset + qint64(size) > m_file.size()) return {};
    return m_file.mid(offset, size);
}

QString TRiffReader::ErrorText(int code) {
    switch (code) {
        case MMIOERR_CANNOTOPEN:
            return QStringLiteral("The file could not be opened.");
        case MMIOERR_CANNOTREAD:
            return QStringLiteral("The file is shorter than its chunks say.");
        case MMIOERR_CHUNKNOTFOUND:
            return QStringLiteral("The chunk was not found.");
        default:
            return QStringLiteral("Unknown file error.");
    }
}

bool ReadWaveFile(const QString& path, WAVEFORMATEX* format, QByteArray* samples) {
    TRiffReader riff;
    qint64 formatAt = 0, dataAt = 0;
    quint32 formatSize = 0, dataSize = 0;
    if (!riff.Open(path) || riff.DescendRiff("WAVE") ||
        riff.FindChunk("fmt ", &formatAt, &formatSize) ||
        riff.FindChunk("data", &dataAt, &dataSize) ||
        !WAVEFORMATEX::FromBlock(riff.Read(formatAt, formatSize), format))
        return false;
    *samples = riff.Read(dataAt, dataSize);
    return true;
}
