#include "ui/main/busservice.h"

#include <QDBusMetaType>

#include "store/calllog.h"
#include "store/phonebook.h"

const QString TBusService::kName = QStringLiteral("org.ringvale.Ringvale");
const QString TBusService::kPath = QStringLiteral("/org/ringvale/Ringvale");

QDBusArgument& operator<<(QDBusArgument& argument, const TBusMessage& message) {
    argument.beginStructure();
    argument << message.File << message.Name << message.Number << message.Time;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, TBusMessage& message) {
    argument.beginStructure();
    argument >> message.File >> message.Name >> message.Number >> message.Time;
    argument.endStructure();
    return argument;
}

void TBusService::RegisterTypes() {
    qDBusRegisterMetaType<TBusMessage>();
    qDBusRegisterMetaType<QList<TBusMessage>>();
}

TBusService::TBusService(TCallLog& log, const TPhoneBook& phoneBook, QObject* parent)
    : QObject(parent), m_log(log), m_phoneBook(phoneBook) {
    RegisterTypes();
}

bool TBusService::Register(QDBusConnection bus) {
    if (!bus.isConnected() || !bus.registerService(kName)) return false;
    if (bus.registerObject(
            kPath, this,
            QDBusConnection::ExportScriptableSlots | QDBusConnection::ExportScriptableSignals))
        return true;
    bus.unregisterService(kName);
    return false;
}

QString TBusService::ShownName(const CallLogRecord& record) const {
    QString name;
    m_phoneBook.CallerDisplayName(record.Number, record.Name, &name);
    return TrimBlanks(name);
}

QString TBusService::PathOf(const CallLogRecord& record) {
    return TCallLog::MessagesFolder() + QLatin1Char('/') + record.MessageName();
}

void TBusService::ReportCall(const CallLogRecord& record) {
    emit CallArrived(ShownName(record), record.Number, record.Time);
}

void TBusService::ReportMessage(const QString& name) {
    for (const CallLogRecord& record : m_log.Records)
        if (!name.isEmpty() && record.MessageName() == name) {
            emit MessageRecorded(PathOf(record), ShownName(record), record.Number);
            return;
        }
}

void TBusService::ReportLineState(const QString& state) {
    if (state == m_lineState) return;
    m_lineState = state;
    emit LineStateChanged(state);
}

QList<TBusMessage> TBusService::NewMessages() const {
    QList<TBusMessage> messages;
    for (const CallLogRecord& record : m_log.Records)
        if (TCallLog::StateOf(record) == NewMessage)
            messages << TBusMessage{PathOf(record), ShownName(record), record.Number, record.Time};
    return messages;
}

// Only a file NewMessages gave counts: a name is compared whole, so no path leads elsewhere.
bool TBusService::MarkHeard(const QString& file) {
    for (CallLogRecord& record : m_log.Records) {
        if (TCallLog::StateOf(record) != NewMessage || PathOf(record) != file) continue;
        record.Heard = 1;
        if (!m_log.UpdateRecord(record)) {  // not on disk: it stays new
            record.Heard = 0;
            return false;
        }
        emit MessagesChanged();
        return true;
    }
    return false;
}
