#pragma once
// Hands one mail at a time to an SMTP server, with libcurl on a thread of its own so that a
// slow or silent server never holds up the window or the line. The result comes back on the
// thread that asked, as a signal. Destroying the sender stops a transfer under way.

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <atomic>
#include <memory>

#include "platform/mail/mailsettings.h"

class QThread;

struct TSmtpResult {
    bool Sent = false;
    // The server refused for good (a wrong password, a refused recipient, a bad certificate):
    // trying the same again is no use until a setting changes.
    bool Lasting = false;
    // Why not, in the server's own words where it gave any.
    QString Reason;
};

struct TSmtpJob {
    TMailSettings Settings;
    QString Password;
    QByteArray Mail;  // with its From and To headers
};

class TSmtpSender : public QObject {
    Q_OBJECT
public:
    explicit TSmtpSender(QObject* parent = nullptr);
    ~TSmtpSender() override;

    // False while a mail is still on its way: one at a time.
    bool Send(const TSmtpJob& job, int tag);
    bool Busy() const { return m_thread != nullptr; }

    // What a send on this thread would do; the worker thread's body.
    static TSmtpResult Transfer(const TSmtpJob& job, const std::atomic<bool>* abort = nullptr);

signals:
    void Finished(int tag, const TSmtpResult& result);

private:
    QThread* m_thread = nullptr;
    std::shared_ptr<std::atomic<bool>> m_abort;
};
