#pragma once
// Mails each new message (and, when wanted, each call that left none) to the user. A mail is
// written to the outbox before the first try and leaves it only once a server took it: a
// server that cannot be reached is tried again with a growing delay, also after a restart; one
// that refuses for good holds the outbox until the settings change. The two-second tick
// drives the retries; the sending itself runs on a thread of its own.

#include <QObject>
#include <QSet>

#include "platform/mail/mailsettings.h"
#include "platform/mail/smtpsender.h"
#include "platform/secretstore.h"
#include "store/outbox.h"

class TCallLog;
class TPhoneBook;
class TCallHandler;
struct CallLogRecord;

class TMailer : public QObject {
    Q_OBJECT
public:
    TMailer(TCallLog& log, const TPhoneBook& phoneBook, const TCallHandler& calls);

    // Reads the settings and the password, then sends what the outbox still holds.
    void Start();
    const TMailSettings& Settings() const { return m_settings; }
    const QString& Password() const { return m_password; }

    // A call's message is complete on disk (its file name).
    void MessageRecorded(const QString& name);
    // A call was logged; it is mailed once it is over if it left no message.
    void CallLogged(const CallLogRecord& record);
    void Tick(qint64 now);

    // New settings and password from the settings window: kept, and mail held back by a
    // refusal is tried again with them.
    void Apply(const TMailSettings& settings, const QString& password);
    // Sends a test mail with settings not yet kept; TestFinished follows.
    void SendTest(const TMailSettings& settings, const QString& password);

    // The texts of the mail for a call: "New message from NAME (NUMBER)" or "Call from ...".
    QString Subject(const CallLogRecord& record) const;
    QString Body(const CallLogRecord& record, double seconds) const;
    // The length of a wave file in seconds; negative when it cannot be read.
    static double WaveSeconds(const QString& path);

    static constexpr int kFirstRetrySeconds = 30;
    static constexpr int kLastRetrySeconds = 3600;
    static constexpr int kCallOverSeconds = 30;

signals:
    void Status(const QString& text);
    void TestFinished(bool sent, const QString& text);

private:
    struct TPendingCall {
        quint64 Id;
        qint64 Logged;
    };
    void Queue(const CallLogRecord& record, bool withMessage);
    void Pump();
    void Sent(const TSmtpResult& result);
    void MailPendingCalls(qint64 now);

    TCallLog& m_log;
    const TPhoneBook& m_phoneBook;
    const TCallHandler& m_calls;
    TMailSettings m_settings;
    QString m_password;
    TSecretStore m_secrets;
    TSmtpSender m_sender;
    TSmtpSender m_testSender;
    TOutbox m_outbox;
    QList<TPendingCall> m_pendingCalls;
    QString m_sending;  // the outbox file on its way
    bool m_passwordRead = false;
    bool m_held = false;   // refused for good: waits for new settings
    qint64 m_retryAt = 0;  // 0: no wait
    int m_retryDelay = kFirstRetrySeconds;
    bool m_toldUnreachable = false;
};
