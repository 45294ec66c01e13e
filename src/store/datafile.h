#pragma once
// Loading a data file at start-up without ever losing it: a file that cannot be read is moved
// aside under a new name and the program starts afresh; a file with damaged records is copied
// aside and only its good records are used. Either way the user is told once, and a file that
// could not be kept aside is never rewritten. Only a file read whole may decide what to delete.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

struct TDataFileLoad {
    QList<QByteArray> Records;  // the good whole records, in file order
    qint64 FirstOffset = 0;     // where the first record read lies in the file
    QList<qint64> Offsets;      // where each good record lies
    bool Whole = true;          // every byte of the file was a good record (or no file)
    bool Writable = true;       // false: the file is still there unread and must be left alone
};

// Reads at most maxRecords records of size bytes; valid tells a record from garbage.
TDataFileLoad LoadDataFile(const QString& path, int size, qint64 maxRecords,
                           const std::function<bool(const QByteArray&)>& valid);

// What went wrong with the data files since start-up, each said once; the window shows them.
QStringList TakeDataNotices();
void AddDataNotice(const QString& text);

// A text field of a record read from disk ends inside its width.
bool FieldTerminated(const QByteArray& record, int offset, int width);
