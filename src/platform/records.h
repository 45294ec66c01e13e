#pragma once
// Fixed-size records are read and written field by field at their offsets, little-endian,
// never by copying a C++ struct. Text fields are single-byte Latin-1, NUL-terminated inside
// their width; a field of width n holds at most n - 1 characters. Reading is bounded by the
// field's width whatever bytes the field holds, and by the buffer's size.

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <functional>

class TRecordReader {
public:
    explicit TRecordReader(const QByteArray& bytes) : m_bytes(bytes) {}
    quint8 U8(int offset) const;
    quint16 U16(int offset) const;
    quint32 U32(int offset) const;
    qint16 I16(int offset) const { return static_cast<qint16>(U16(offset)); }
    qint32 I32(int offset) const { return static_cast<qint32>(U32(offset)); }
    qint64 I64(int offset) const;
    double F64(int offset) const;
    QString Text(int offset, int width) const;
    QByteArray Bytes(int offset, int width) const;

private:
    bool Fits(int offset, int width) const;
    const QByteArray& m_bytes;
};

class TRecordWriter {
public:
    explicit TRecordWriter(QByteArray& bytes) : m_bytes(bytes) {}
    void U8(int offset, quint8 value);
    void U16(int offset, quint16 value);
    void U32(int offset, quint32 value);
    void I16(int offset, qint16 value) { U16(offset, static_cast<quint16>(value)); }
    void I32(int offset, qint32 value) { U32(offset, static_cast<quint32>(value)); }
    void I64(int offset, qint64 value);
    void F64(int offset, double value);
    // Truncated to width - 1 characters; the rest of the field is zero-filled. Characters
    // outside Latin-1 become '?'.
    void Text(int offset, int width, const QString& text);
    void Bytes(int offset, int width, const QByteArray& bytes);

private:
    char* At(int offset, int width);
    QByteArray& m_bytes;
};

// Calls visit with each whole record of a file of fixed-size records, in file order; a
// trailing partial record is ignored. False when the file cannot be opened.
bool ForEachRecord(const QString& path, int size,
                   const std::function<void(const QByteArray&)>& visit);

// The Latin-1 text of a NUL-terminated buffer of at most width bytes.
QString BoundedText(const char* data, int width);
