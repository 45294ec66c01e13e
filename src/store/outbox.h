#pragma once
// Mail waiting to go out: each mail is a file of its own in the folder "Outbox" of the data
// folder, written whole before the first try and removed only once a server has accepted it,
// so that neither a server that is down nor a kill or a crash loses one. Files are named by
// the time they were written, so the oldest goes first.

#include <QByteArray>
#include <QString>
#include <QStringList>

class TOutbox {
public:
    static QString Folder();

    // Writes a mail; its name, or empty (nothing written) with *error.
    QString Add(const QByteArray& mail, qint64 now, QString* error = nullptr);
    // The names of the waiting mails, oldest first.
    QStringList Names() const;
    // The mail of a name Names gave; empty when it is gone.
    QByteArray Read(const QString& name) const;
    bool Remove(const QString& name);
};
