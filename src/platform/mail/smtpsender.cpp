#include "platform/mail/smtpsender.h"

#include <curl/curl.h>

#include <QThread>
#include <mutex>

namespace {

constexpr long kConnectSeconds = 20;
constexpr long kStallSeconds = 60;  // less than a byte a second for this long ends the try

void InitializeCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct TUpload {
    const QByteArray* Mail;
    qsizetype At = 0;
};

size_t ReadMail(char* buffer, size_t size, size_t count, void* data) {
    auto* upload = static_cast<TUpload*>(data);
    const size_t left = size_t(upload->Mail->size() - upload->At);
    const size_t n = std::min(left, size * count);
    memcpy(buffer, upload->Mail->constData() + upload->At, n);
    upload->At += qsizetype(n);
    return n;
}

int CheckAbort(void* data, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    const auto* abort = static_cast<const std::atomic<bool>*>(data);
    return abort && abort->load() ? 1 : 0;
}

// The server's last refusal, which says why in its own words (the reply to QUIT that may
// follow it says nothing).
int KeepReply(CURL*, curl_infotype type, char* data, size_t size, void* reply) {
    if (type != CURLINFO_HEADER_IN) return 0;
    const QString line = QString::fromUtf8(data, qsizetype(size)).trimmed();
    if (line.startsWith(QLatin1Char('4')) || line.startsWith(QLatin1Char('5')))
        *static_cast<QString*>(reply) = line;
    return 0;
}

QByteArray Url(const TMailSettings& settings) {
    const char* scheme = settings.Security == TMailSettings::Tls ? "smtps" : "smtp";
    QString host = settings.Server.trimmed();
    if (host.contains(QLatin1Char(':')) && !host.startsWith(QLatin1Char('[')))
        host = QLatin1Char('[') + host + QLatin1Char(']');  // an IPv6 address
    return QByteArray(scheme) + "://" + host.toUtf8() + ":" + QByteArray::number(settings.Port);
}

bool IsLasting(CURLcode code, long response) {
    switch (code) {
        case CURLE_LOGIN_DENIED:
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_CACERT_BADFILE:
        case CURLE_USE_SSL_FAILED:
        case CURLE_UNSUPPORTED_PROTOCOL:
        case CURLE_URL_MALFORMAT:
            return true;
        default:
            return response >= 500;
    }
}

// The address alone, without a display name: what MAIL FROM and RCPT TO take.
QByteArray BareAddress(const QString& address) {
    QString bare = address.trimmed();
    const qsizetype open = bare.lastIndexOf(QLatin1Char('<'));
    const qsizetype close = bare.lastIndexOf(QLatin1Char('>'));
    if (open >= 0 && close > open) bare = bare.mid(open + 1, close - open - 1);
    return "<" + bare.toUtf8() + ">";
}

}  // namespace

TSmtpSender::TSmtpSender(QObject* parent) : QObject(parent) {
    InitializeCurlOnce();
    qRegisterMetaType<TSmtpResult>("TSmtpResult");
}

TSmtpSender::~TSmtpSender() {
    if (!m_thread) return;
    m_abort->store(true);
    m_thread->wait();
    delete m_thread;
}

bool TSmtpSender::Send(const TSmtpJob& job, int tag) {
    if (m_thread) return false;
    m_abort = std::make_shared<std::atomic<bool>>(false);
    auto result = std::make_shared<TSmtpResult>();
    m_thread =
        QThread::create([job, result, abort = m_abort] { *result = Transfer(job, abort.get()); });
    connect(m_thread, &QThread::finished, this, [this, tag, result] {
        m_thread->deleteLater();
        m_thread = nullptr;
        emit Finished(tag, *result);
    });
    m_thread->start();
    return true;
}

TSmtpResult TSmtpSender::Transfer(const TSmtpJob& job, const std::atomic<bool>* abort) {
    InitializeCurlOnce();
    TSmtpResult result;
    if (!job.Settings.Complete()) {
        result.Lasting = true;
        result.Reason = QStringLiteral("No mail server, sender or recipient is set");
        return result;
    }
    CURL* curl = curl_easy_init();
    if (!curl) {
        result.Reason = QStringLiteral("The mail library could not start");
        return result;
    }
    const QByteArray url = Url(job.Settings);
    const QByteArray user = job.Settings.User.toUtf8();
    const QByteArray password = job.Password.toUtf8();
    const QByteArray from = BareAddress(job.Settings.From);
    curl_slist* rcpt = nullptr;
    for (const QString& to : job.Settings.To)
        rcpt = curl_slist_append(rcpt, BareAddress(to));
    TUpload upload{&job.Mail};
    QString reply;
    char error[CURL_ERROR_SIZE] = {};

    curl_easy_setopt(curl, CURLOPT_URL, url.constData());
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, error);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, kConnectSeconds);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, kStallSeconds);
    if (job.Settings.Security == TMailSettings::StartTls)
        curl_easy_setopt(curl, CURLOPT_USE_SSL, long(CURLUSESSL_ALL));
    // A certificate authority of the user's own (a server on the home network) can be named
    // the way every OpenSSL program takes one.
    const QByteArray authorities = qgetenv("SSL_CERT_FILE");
    if (!authorities.isEmpty()) curl_easy_setopt(curl, CURLOPT_CAINFO, authorities.constData());
    if (!user.isEmpty()) {
        curl_easy_setopt(curl, CURLOPT_USERNAME, user.constData());
        curl_easy_setopt(curl, CURLOPT_PASSWORD, password.constData());
    }
    curl_easy_setopt(curl, CURLOPT_MAIL_FROM, from.constData());
    curl_easy_setopt(curl, CURLOPT_MAIL_RCPT, rcpt);
    curl_easy_setopt(curl, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(curl, CURLOPT_READFUNCTION, ReadMail);
    curl_easy_setopt(curl, CURLOPT_READDATA, &upload);
    curl_easy_setopt(curl, CURLOPT_INFILESIZE_LARGE, curl_off_t(job.Mail.size()));
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, CheckAbort);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, abort);
    curl_easy_setopt(curl, CURLOPT_DEBUGFUNCTION, KeepReply);
    curl_easy_setopt(curl, CURLOPT_DEBUGDATA, &reply);
    curl_easy_setopt(curl, CURLOPT_VERBOSE, 1L);  // only so that the replies reach KeepReply

    const CURLcode code = curl_easy_perform(curl);
    long response = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &response);
    curl_slist_free_all(rcpt);
    curl_easy_cleanup(curl);

    result.Sent = code == CURLE_OK;
    if (result.Sent) return result;
    result.Lasting = IsLasting(code, response);
    const QString library = QString::fromUtf8(error[0] ? error : curl_easy_strerror(code));
    // The server's reply says most; a failure before any reply is the library's to describe.
    result.Reason = reply.isEmpty() ? library : reply;
    return result;
}
