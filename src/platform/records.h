#pragma once
// Fixed-size records are read and written field by field at their offsets, little-endian,
// never by copying a C++ struct. Text fields are single-byte Latin-1, NUL-terminated inside
// their width; a field of width n holds at most n - 1 characters. Reading is bounded by the
// field's width whatever bytes the field holds, and by the buffer's size.

#include <QByteArray>
#include <QList>
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

// How reading a data file went. Only a file read whole may be rewritten from what was read or
// used to decide what to delete.
enum class TReadState {
    Missing,      // no file of that name: a fresh start
    Whole,        // every byte read as whole records
    PartialTail,  // whole records, then a piece of one (an append cut short)
    Unreadable,   // there but not readable: a folder, a FIFO, a link to nowhere, no permission
};

struct TRecordsRead {
    TReadState State = TReadState::Missing;
    QString Reason;             // why an unreadable file could not be read
    QList<QByteArray> Records;  // the whole records, in file order
    qint64 FirstOffset = 0;     // where the first of them lies (a file over the limit: its tail)
};

// The whole records of a file of fixed-size records, at most maxRecords of them (the newest,
// at the end, when the file holds more).
TRecordsRead ReadRecords(const QString& path, int size, qint64 maxRecords);

// The state of a file that is there or not, without reading it.
bool PathPresent(const QString& path);

// Keeps a file that could not be used under a free name beside it ("CALL.LOG.bad",
// "CALL.LOG.bad2", ...): moved away, or copied when copy is set. The new name, or empty.
QString KeepAside(const QString& path, bool copy);

// The Latin-1 text of a NUL-terminated buffer of at most width bytes.
QString BoundedText(const char* data, int width);

// The characters of text that a single-byte field cannot hold, each once, in order.
QString CharactersOutsideLatin1(const QString& text);
