#pragma once
// Ringvale on the session bus, for other programs (a panel applet, a script that forwards
// messages): it says when a call arrives, when a message has been recorded and when the line's
// state changes, lists the new messages and marks one heard. The name and the object path
// follow the desktop id: org.ringvale.Ringvale at /org/ringvale/Ringvale.

#include <QDBusArgument>
#include <QDBusConnection>
#include <QList>
#include <QObject>
#include <QString>

class TCallLog;
class TPhoneBook;
struct CallLogRecord;

// A new message as the bus lists it: its wave file (full path), the caller's name as the
// history shows it, the number and the time of the call (seconds since 1970).
struct TBusMessage {
    QString File;
    QString Name;
    QString Number;
    qint64 Time = 0;
};
Q_DECLARE_METATYPE(TBusMessage)
QDBusArgument& operator<<(QDBusArgument& argument, const TBusMessage& message);
const QDBusArgument& operator>>(const QDBusArgument& argument, TBusMessage& message);

class TBusService : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.ringvale.Ringvale")
public:
    static const QString kName;
    static const QString kPath;
    // The bus types, known to Qt before any is sent or read.
    static void RegisterTypes();

    TBusService(TCallLog& log, const TPhoneBook& phoneBook, QObject* parent = nullptr);
    // Offers the service; false, and nothing offered, without a bus or when another copy (on
    // another data folder) already offers it.
    bool Register(QDBusConnection bus = QDBusConnection::sessionBus());

    // What the program tells the bus.
    void ReportCall(const CallLogRecord& record);
    // The message "Messages/" + name is complete.
    void ReportMessage(const QString& name);
    // "closed", "listening", "ringing" or "in call"; said once per change.
    void ReportLineState(const QString& state);

public slots:
    Q_SCRIPTABLE QList<TBusMessage> NewMessages() const;
    // Marks the new message in this file (as NewMessages names it) heard; false when no call
    // of the history has it as a new message.
    Q_SCRIPTABLE bool MarkHeard(const QString& file);

signals:
    Q_SCRIPTABLE void CallArrived(const QString& name, const QString& number, qlonglong time);
    Q_SCRIPTABLE void MessageRecorded(const QString& file, const QString& name,
                                      const QString& number);
    Q_SCRIPTABLE void LineStateChanged(const QString& state);
    // A message was marked heard from the bus: the window shows it (not on the bus).
    void MessagesChanged();

private:
    QString ShownName(const CallLogRecord& record) const;
    static QString PathOf(const CallLogRecord& record);

    TCallLog& m_log;
    const TPhoneBook& m_phoneBook;
    QString m_lineState;
};
