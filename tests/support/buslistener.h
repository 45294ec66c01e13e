#pragma once
// Another program on the session bus, writing down every signal Ringvale sends there as
// "Member|argument|argument...".

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QStringList>

class TBusListener : public QObject {
    Q_OBJECT
public:
    explicit TBusListener(QDBusConnection bus) {
        const QString name = QStringLiteral("org.ringvale.Ringvale");
        const QString path = QStringLiteral("/org/ringvale/Ringvale");
        for (const char* member : {"CallArrived", "MessageRecorded", "LineStateChanged"})
            bus.connect(QString(), path, name, QString::fromLatin1(member), this,
                        SLOT(Heard(QDBusMessage)));
    }
    QStringList Said;
    // What was said of one kind, in order.
    QStringList SaidOf(const QString& member) const { return Said.filter(member + '|'); }

public slots:
    void Heard(const QDBusMessage& message) {
        QStringList words{message.member()};
        for (const QVariant& argument : message.arguments())
            words << argument.toString();
        Said << words.join('|');
    }
};
