#pragma once
// Shared helpers of the store tests: a scratch start-up folder and raw file access.

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "files.h"
#include "platform/clock.h"
#include "platform/profile.h"

struct TScratchFolder {
    QTemporaryDir Dir;
    TScratchFolder() {
        TProfile::SetFolder(Dir.path());
        QDir(Dir.path()).mkdir("Messages");
        QDir(Dir.path()).mkdir("Greetings");
    }
    ~TScratchFolder() { TClock::UseSystem(); }
    QString Path(const QString& name) const { return Dir.filePath(name); }
};

inline qint32 Int32At(const QByteArray& bytes, int offset) {
    return qFromLittleEndian<qint32>(bytes.constData() + offset);
}

inline double DoubleAt(const QByteArray& bytes, int offset) {
    const quint64 bits = qFromLittleEndian<quint64>(bytes.constData() + offset);
    double value;
    memcpy(&value, &bits, sizeof value);
    return value;
}

inline QByteArray TextAt(const QByteArray& bytes, int offset, int width) {
    const QByteArray field = bytes.mid(offset, width);
    const qsizetype nul = field.indexOf('\0');
    return nul < 0 ? field : field.left(nul);
}

inline qint64 LocalTime(int year, int month, int day, int hour, int minute) {
    return QDateTime(QDate(year, month, day), QTime(hour, minute), Qt::LocalTime)
        .toSecsSinceEpoch();
}
