#include "platform/records.h"

#include <stdio.h>
#include <sys/stat.h>

#include <QFile>
#include <QtEndian>
#include <cstring>

#include "platform/tfile.h"

bool TRecordReader::Fits(int offset, int width) const {
    return offset >= 0 && width >= 0 && offset <= m_bytes.size() - width;
}

quint8 TRecordReader::U8(int offset) const {
    return Fits(offset, 1) ? static_cast<quint8>(m_bytes[offset]) : 0;
}

quint16 TRecordReader::U16(int offset) const {
    return Fits(offset, 2) ? qFromLittleEndian<quint16>(m_bytes.constData() + offset) : 0;
}

quint32 TRecordReader::U32(int offset) const {
    return Fits(offset, 4) ? qFromLittleEndian<quint32>(m_bytes.constData() + offset) : 0;
}

qint64 TRecordReader::I64(int offset) const {
    return Fits(offset, 8) ? qFromLittleEndian<qint64>(m_bytes.constData() + offset) : 0;
}

double TRecordReader::F64(int offset) const {
    const quint64 bits =
        Fits(offset, 8) ? qFromLittleEndian<quint64>(m_bytes.constData() + offset) : 0;
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

QString TRecordReader::Text(int offset, int width) const {
    if (!Fits(offset, width)) return {};
    return BoundedText(m_bytes.constData() + offset, width);
}

QByteArray TRecordReader::Bytes(int offset, int width) const {
    return Fits(offset, width) ? m_bytes.mid(offset, width) : QByteArray(qMax(width, 0), '\0');
}

char* TRecordWriter::At(int offset, int width) {
    Q_ASSERT(offset >= 0 && width >= 0);
    if (m_bytes.size() < offset + width) m_bytes.resize(offset + width, '\0');
    return m_bytes.data() + offset;
}

void TRecordWriter::U8(int offset, quint8 value) {
    *At(offset, 1) = static_cast<char>(value);
}

void TRecordWriter::U16(int offset, quint16 value) {
    qToLittleEndian(value, At(offset, 2));
}

void TRecordWriter::U32(int offset, quint32 value) {
    qToLittleEndian(value, At(offset, 4));
}

void TRecordWriter::I64(int offset, qint64 value) {
    qToLittleEndian(value, At(offset, 8));
}

void TRecordWriter::F64(int offset, double value) {
    quint64 bits;
    std::memcpy(&bits, &value, sizeof bits);
    qToLittleEndian(bits, At(offset, 8));
}

void TRecordWriter::Text(int offset, int width, const QString& text) {
    if (width <= 0) return;
    char* field = At(offset, width);
    std::memset(field, 0, width);
    const QByteArray latin = text.left(width - 1).toLatin1();
    std::memcpy(field, latin.constData(), latin.size());
}

void TRecordWriter::Bytes(int offset, int width, const QByteArray& bytes) {
    if (width <= 0) return;
    char* field = At(offset, width);
    std::memset(field, 0, width);
    std::memcpy(field, bytes.constData(), qMin<qsizetype>(bytes.size(), width));
}

QString BoundedText(const char* data, int width) {
    if (!data || width <= 0) return {};
    const void* nul = std::memchr(data, 0, width);
    const int length = nul ? static_cast<int>(static_cast<const char*>(nul) - data) : width;
    return QString::fromLatin1(data, length);
}

bool ForEachRecord(const QString& path, int size,
                   const std::function<void(const QByteArray&)>& visit) {
    TFile file;
    if (file.Open(path, TFile::ModeRead) < 0) return false;
    QByteArray bytes(size, '\0');
    while (file.Read(bytes.data(), size) == size)
        visit(bytes);
    return true;
}

bool PathPresent(const QString& path) {
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

TRecordsRead ReadRecords(const QString& path, int size, qint64 maxRecords) {
    TRecordsRead read;
    if (!PathPresent(path)) return read;
    TFile file;
    if (file.Open(path, TFile::ModeRead) < 0) {
        read.State = TReadState::Unreadable;
        read.Reason = file.ErrorText;
        return read;
    }
    const qint64 length = file.GetSize();
    if (length < 0) {
        read.State = TReadState::Unreadable;
        read.Reason = file.ErrorText;
        return read;
    }
    const qint64 whole = length / size;
    read.FirstOffset = qMax<qint64>(0, whole - maxRecords) * size;
    if (file.Seek(read.FirstOffset) < 0) {
        read.State = TReadState::Unreadable;
        read.Reason = file.ErrorText;
        return read;
    }
    QByteArray bytes(size, '\0');
    for (qint64 n = read.FirstOffset / size; n < whole; ++n) {
        const qint64 got = file.Read(bytes.data(), size);
        if (got < 0) {
            read.State = TReadState::Unreadable;
            read.Reason = file.ErrorText;
            read.Records.clear();
            return read;
        }
        if (got < size) break;  // the file shrank while being read
        read.Records << bytes;
    }
    read.State = length % size ? TReadState::PartialTail : TReadState::Whole;
    return read;
}

QString KeepAside(const QString& path, bool copy) {
    for (int n = 1; n < 100; ++n) {
        const QString target =
            path + QStringLiteral(".bad") + (n > 1 ? QString::number(n) : QString());
        if (PathPresent(target)) continue;
        if (copy) {
            TFile file;
            return file.Copy(path, target) ? target : QString();
        }
        return ::rename(QFile::encodeName(path).constData(),
                        QFile::encodeName(target).constData()) == 0
                   ? target
                   : QString();
    }
    return {};
}

QString CharactersOutsideLatin1(const QString& text) {
    QString outside;
    for (qsizetype i = 0; i < text.size(); ++i) {
        // A character beyond the first 65536 comes as two halves: both are one character.
        const qsizetype length = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QString character = text.mid(i, length);
        i += length - 1;
        if (character[0].unicode() > 0xFF && !outside.contains(character)) outside += character;
    }
    return outside;
}
