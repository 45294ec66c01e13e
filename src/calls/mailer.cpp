#include "calls/mailer.h"

#include <QDateTime>
#include <QFileInfo>

#include "calls/callhandler.h"
#include "platform/clock.h"
#include "platform/mail/mailmessage.h"
#include "platform/wave/riff.h"
#include "platform/wave/wave.h"
#include "store/calllog.h"
#include "store/phonebook.h"

namespace {
enum { kOutboxTag = 1, kTestTag = 2 };

QString LengthText(double seconds) {
    const int whole = int(seconds + 0.5);
    return whole >= 60 ? QStringLiteral("%1 min %2 s").arg(whole / 60).arg(whole % 60)
                       : QStringLiteral("%1 s").arg(whole);
}
}  // namespace

TMailer::TMailer(TCallLog& log, const TPhoneBook& phoneBook, const TCallHandler& calls)
    : m_log(log), m_phoneBook(phoneBook), m_calls(calls) {
    connect(&m_secrets, &TSecretStore::Fetched, this, [this](const QString& password) {
        m_password = password;
        m_passwordRead = true;
        Pump();
    });
    connect(&m_secrets, &TSecretStore::Stored, this, [this](bool, const QString& error) {
        if (!error.isEmpty())
            emit Status(QStringLiteral("The mail password was not kept: ") + error);
    });
    connect(&m_sender, &TSmtpSender::Finished, this,
            [this](int, const TSmtpResult& result) { Sent(result); });
    connect(&m_testSender, &TSmtpSender::Finished, this, [this](int, const TSmtpResult& result) {
        emit TestFinished(result.Sent, result.Sent ? QStringLiteral("The test message was sent.")
                                                   : QStringLiteral("Not sent: ") + result.Reason);
    });
}

void TMailer::Start() {
    m_settings = TMailSettings::Load();
    if (m_settings.Complete())
        m_secrets.Fetch();
    else
        m_passwordRead = true;  // nothing can be sent; the keyring need not be asked
}

QString TMailer::Subject(const CallLogRecord& record) const {
    QString name;
    m_phoneBook.CallerDisplayName(record.Number, record.Name, &name);
    const QString caller =
        QStringLiteral("%1 (%2)").arg(TrimBlanks(name), FormatNumber(record.Number));
    return record.MessageFile.isEmpty() ? QStringLiteral("Call from ") + caller
                                        : QStringLiteral("New message from ") + caller;
}

QString TMailer::Body(const CallLogRecord& record, double seconds) const {
    const QString when = QDateTime::fromSecsSinceEpoch(record.Time)
                             .toString(QStringLiteral("dddd d MMMM yyyy, HH:mm:ss"));
    QString body = Subject(record) + QStringLiteral("\n\nTime: ") + when + QLatin1Char('\n');
    if (record.MessageFile.isEmpty())
        body += QStringLiteral("No message was left.\n");
    else if (seconds >= 0)
        body += QStringLiteral("Length: ") + LengthText(seconds) + QLatin1Char('\n');
    return body;
}

double TMailer::WaveSeconds(const QString& path) {
    WAVEFORMATEX format;
    QByteArray samples;
    if (!ReadWaveFile(path, &format, &samples) || !format.nAvgBytesPerSec) return -1;
    return double(samples.size()) / format.nAvgBytesPerSec;
}

void TMailer::MessageRecorded(const QString& name) {
    if (name.isEmpty()) return;
    for (const CallLogRecord& record : m_log.Records)
        if (record.MessageName() == name) return Queue(record, true);
}

void TMailer::CallLogged(const CallLogRecord& record) {
    if (m_settings.AllCalls && m_settings.Complete())
        m_pendingCalls.append({record.Id, TClock::Now()});
}

// A call is mailed on its own once it is over and left no message; its message, if any,
// is mailed when it is complete.
void TMailer::MailPendingCalls(qint64 now) {
    for (qsizetype i = 0; i < m_pendingCalls.size();) {
        const TPendingCall pending = m_pendingCalls.at(i);
        const CallLogRecord* record = m_log.Find(pending.Id);
        const bool current = m_calls.CurrentLogRecord() == record && m_calls.OffHook();
        if (record && (current || now - pending.Logged < kCallOverSeconds)) {
            ++i;
            continue;
        }
        m_pendingCalls.removeAt(i);
        if (record && record->MessageFile.isEmpty()) Queue(*record, false);
    }
}

void TMailer::Queue(const CallLogRecord& record, bool withMessage) {
    if (!m_settings.Complete()) return;
    const QString path = TCallLog::MessagesFolder() + QLatin1Char('/') + record.MessageName();
    const double seconds = withMessage ? WaveSeconds(path) : -1;
    TMailAttachment attachment;
    if (withMessage && m_settings.Attach) {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly))
            attachment = {record.MessageName(), "audio/wav", file.readAll()};
    }
    const QByteArray mail =
        ComposeMail(Subject(record), Body(record, seconds), QDateTime::currentDateTime(),
                    attachment.Data.isEmpty() ? nullptr : &attachment);
    QString error;
    if (m_outbox.Add(mail, TClock::Now(), &error).isEmpty())
        emit Status(QStringLiteral("The mail for a call could not be kept: ") + error);
    Pump();
}

void TMailer::Tick(qint64 now) {
    MailPendingCalls(now);
    if (m_retryAt && now >= m_retryAt) {
        m_retryAt = 0;
        Pump();
    }
}

// One mail at a time, oldest first, with the settings of now.
void TMailer::Pump() {
    if (!m_passwordRead || m_held || m_retryAt || m_sender.Busy() || !m_settings.Complete()) return;
    const QStringList names = m_outbox.Names();
    if (names.isEmpty()) return;
    m_sending = names.first();
    const QByteArray mail = m_outbox.Read(m_sending);
    if (mail.isEmpty()) {  // gone or unreadable: nothing to send
        m_outbox.Remove(m_sending);
        return Pump();
    }
    m_sender.Send({m_settings, m_password, AddressMail(mail, m_settings.From, m_settings.To)},
                  kOutboxTag);
}

void TMailer::Sent(const TSmtpResult& result) {
    if (result.Sent) {
        m_outbox.Remove(m_sending);
        m_retryDelay = kFirstRetrySeconds;
        if (m_toldUnreachable) emit Status(QStringLiteral("Mail is going out again"));
        m_toldUnreachable = false;
        return Pump();
    }
    if (result.Lasting) {
        m_held = true;
        emit Status(QStringLiteral("Mail not sent; it waits in the outbox until the email "
                                   "settings are fixed: ") +
                    result.Reason);
        return;
    }
    if (!m_toldUnreachable)
        emit Status(QStringLiteral("Mail not sent yet; it will be tried again: ") + result.Reason);
    m_toldUnreachable = true;
    m_retryAt = TClock::Now() + m_retryDelay;
    m_retryDelay = std::min(m_retryDelay * 2, kLastRetrySeconds);
}

void TMailer::Apply(const TMailSettings& settings, const QString& password) {
    settings.Save();
    if (password != m_password) m_secrets.Store(password);
    m_settings = settings;
    m_password = password;
    m_passwordRead = true;
    m_held = false;
    m_retryAt = 0;
    m_retryDelay = kFirstRetrySeconds;
    Pump();
}

void TMailer::SendTest(const TMailSettings& settings, const QString& password) {
    const QByteArray mail = ComposeMail(
        QStringLiteral("Ringvale test message"),
        QStringLiteral(
            "This is a test message from Ringvale. New messages will be mailed like this."),
        QDateTime::currentDateTime());
    if (!m_testSender.Send({settings, password, AddressMail(mail, settings.From, settings.To)},
                           kTestTag))
        emit TestFinished(false, QStringLiteral("A test message is still on its way."));
}
