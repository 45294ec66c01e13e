#include "platform/telephony/sipcore.h"

#include <linphone/core.h>
#include <linphone/factory.h>
#include <linphone/logging.h>
#include <mediastreamer2/msfactory.h>

#include <QDir>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QLoggingCategory>
#include <QThread>
#include <cstring>

#include "platform/telephony/sipaudio.h"

// Off unless asked for (QT_LOGGING_RULES="ringvale.sip.stack.info=true"): the stack is chatty.
Q_LOGGING_CATEGORY(lcSipStack, "ringvale.sip.stack", QtWarningMsg)

namespace {
// The stack's turn costs about 0.2 ms whatever it has to do. In a call it comes often enough
// that a key or a hang-up reaches the program well within what a caller notices; idle, rarely
// enough that a registered account costs under a thousandth of a core (every 250 ms it cost
// 0.12%), while a new call still rings within half a second (when the caller resends its INVITE
// if it has heard nothing).
constexpr int kCallIterateMs = 50;
constexpr int kIdleIterateMs = 500;
// A caller may ring for minutes before the program answers or gives up: the stack must not
// turn the call away on its own first.
constexpr int kIncomingTimeoutS = 600;
constexpr int kStopWaitMs = 1000;
constexpr int kTurnsInARow = 20;
constexpr int kRunMs = 10;       // a run of turns stops after this long: a turn may be slow
constexpr int kFlowingMs = 500;  // a call was refused this recently: more may be waiting
constexpr char kSystemAuthorities[] = "/etc/ssl/certs/ca-certificates.crt";

// The stack's callbacks reach the listener through its TSipCore, which notes that the turn did
// something.
TSipCallListener* ListenerOf(LinphoneCore* core) {
    auto* stack = static_cast<TSipCore*>(linphone_core_get_user_data(core));
    return stack ? stack->Heard() : nullptr;
}

void CallStateChanged(LinphoneCore* core, LinphoneCall* call, LinphoneCallState state,
                      const char*) {
    if (TSipCallListener* listener = ListenerOf(core)) listener->OnCallState(call, int(state));
}

void DigitReceived(LinphoneCore* core, LinphoneCall* call, int digit) {
    if (TSipCallListener* listener = ListenerOf(core)) listener->OnDigit(call, char(digit));
}

void RegistrationChanged(LinphoneCore* core, LinphoneAccount* account,
                         LinphoneRegistrationState state, const char*) {
    TSipCallListener* listener = ListenerOf(core);
    if (!listener) return;
    if (state == LinphoneRegistrationOk) return listener->OnRegistration(true, QString());
    if (state != LinphoneRegistrationFailed) return;
    const LinphoneErrorInfo* error = linphone_account_get_error_info(account);
    const int code = error ? linphone_error_info_get_protocol_code(error) : 0;
    const char* phrase = error ? linphone_error_info_get_phrase(error) : nullptr;
    QString reason = code ? QString::number(code) : QStringLiteral("no answer");
    if (phrase && *phrase) reason += QLatin1Char(' ') + QString::fromUtf8(phrase);
    listener->OnRegistration(false, reason);
}

// The stack's warnings and errors join the program's log; its chatter does not.
void LogWritten(LinphoneLoggingService*, const char* domain, LinphoneLogLevel level,
                const char* message) {
    if (level >= LinphoneLogLevelWarning)
        qCInfo(lcSipStack).noquote() << domain << QString::fromUtf8(message);
}

void QuietenStackLogs() {
    static bool done = false;
    if (done) return;
    done = true;
    LinphoneLoggingService* logs = linphone_logging_service_get();
    linphone_logging_service_set_log_level_mask(
        logs, LinphoneLogLevelWarning | LinphoneLogLevelError | LinphoneLogLevelFatal);
    LinphoneLoggingServiceCbs* callbacks =
        linphone_factory_create_logging_service_cbs(linphone_factory_get());
    linphone_logging_service_cbs_set_log_message_written(callbacks, LogWritten);
    linphone_logging_service_add_callbacks(logs, callbacks);
    linphone_logging_service_cbs_unref(callbacks);
}

// G.711 first: what an adapter or a provider's gateway speaks, and what a phone line carries.
void PreferG711(LinphoneCore* core) {
    bctbx_list_t* types = linphone_core_get_audio_payload_types(core);
    bctbx_list_t* ordered = nullptr;
    for (const char* first : {"PCMU", "PCMA"})
        for (bctbx_list_t* it = types; it; it = it->next)
            if (!std::strcmp(linphone_payload_type_get_mime_type(
                                 static_cast<LinphonePayloadType*>(it->data)),
                             first))
                ordered = bctbx_list_append(ordered, it->data);
    for (bctbx_list_t* it = types; it; it = it->next)
        if (!bctbx_list_find(ordered, it->data)) ordered = bctbx_list_append(ordered, it->data);
    linphone_core_set_audio_payload_types(core, ordered);
    bctbx_list_free(ordered);
    bctbx_list_free_with_data(types,
                              reinterpret_cast<bctbx_list_free_func>(linphone_payload_type_unref));
}

LinphoneConfig* StackConfig(const TSipCore::Options& options) {
    LinphoneConfig* config = linphone_factory_create_config_from_string(linphone_factory_get(), "");
    // The stack's database (its own call history, chats, contacts) holds nothing the program
    // uses. In memory it costs no disk write for each call a flood brings (a write that can stall
    // the window on a busy disk), and nothing of it can be damaged by a kill.
    linphone_config_set_string(config, "storage", "uri", ":memory:");
    linphone_config_set_string(config, "storage", "call_logs_db_uri", ":memory:");
    linphone_config_set_int(config, "sip", "inc_timeout", kIncomingTimeoutS);
    if (!QHostAddress(QString::fromUtf8(options.Host)).isNull()) {
        linphone_config_set_string(config, "sip", "bind_address", options.Host.constData());
        linphone_config_set_string(config, "rtp", "bind_address", options.Host.constData());
    }
    return config;
}
}  // namespace

TSipCore::TSipCore(TSipAudio& audio, TSipCallListener& listener)
    : m_audio(audio), m_listener(listener) {
    connect(&m_iterate, &QTimer::timeout, this, &TSipCore::Iterate);
}

// A turn takes in at most one new request. While turns bring news the stack gets several in a
// row; while calls are being refused (a flood of INVITEs, with their resends) it gets them for
// a moment whatever they bring, and its next ones soon, so that a caller behind the flood
// still rings quickly. Each run of turns is short enough never to stall the window.
void TSipCore::Iterate() {
    const bool flowing = m_sinceRefusal.isValid() && m_sinceRefusal.elapsed() < kFlowingMs;
    QElapsedTimer run;
    run.start();
    for (int turn = 0; m_core && turn < kTurnsInARow && run.elapsed() < kRunMs; ++turn) {
        const quint64 before = m_heard;
        linphone_core_iterate(m_core);
        if (m_heard == before && !flowing) break;
    }
    if (!m_core) return;
    const bool busy = m_inCall || flowing;
    const int interval = busy ? kCallIterateMs : kIdleIterateMs;
    if (m_iterate.interval() != interval) m_iterate.start(interval);
}

void TSipCore::Refused() {
    m_sinceRefusal.start();
}

TSipCallListener* TSipCore::Heard() {
    ++m_heard;
    return &m_listener;
}

TSipCore::~TSipCore() {
    Stop();
}

bool TSipCore::Start(const Options& options, QString* error) {
    if (m_core) return true;
    QuietenStackLogs();
    QDir().mkpath(options.Folder);
    LinphoneFactory* factory = linphone_factory_get();
    // Taken as a prefix of the files' names: the folder's own separator ends it.
    const QByteArray folder = (options.Folder + QLatin1Char('/')).toUtf8();
    linphone_factory_set_data_dir(factory, folder.constData());
    linphone_factory_set_config_dir(factory, folder.constData());
    LinphoneConfig* config = StackConfig(options);
    m_core = linphone_factory_create_core_with_config_3(factory, config, nullptr);
    linphone_config_unref(config);
    if (!m_core) {
        *error = QStringLiteral("the SIP stack could not be set up");
        return false;
    }
    linphone_core_set_user_data(m_core, this);
    LinphoneCoreCbs* callbacks = linphone_factory_create_core_cbs(factory);
    linphone_core_cbs_set_call_state_changed(callbacks, CallStateChanged);
    linphone_core_cbs_set_dtmf_received(callbacks, DigitReceived);
    linphone_core_cbs_set_account_registration_state_changed(callbacks, RegistrationChanged);
    linphone_core_add_callbacks(m_core, callbacks);
    linphone_core_cbs_unref(callbacks);
    Configure(options);

    if (linphone_core_start(m_core) != 0 ||
        linphone_core_get_global_state(m_core) != LinphoneGlobalOn) {
        *error = QStringLiteral("the SIP stack did not start");
        Stop();
        return false;
    }
    LinphoneTransports* used = linphone_core_get_transports_used(m_core);
    m_port = options.Transport == TSipTransport::Tcp   ? linphone_transports_get_tcp_port(used)
             : options.Transport == TSipTransport::Tls ? linphone_transports_get_tls_port(used)
                                                       : linphone_transports_get_udp_port(used);
    linphone_transports_unref(used);
    const bool fixedPort = options.Port > 0 && options.Password.isEmpty();
    if (m_port <= 0 || (fixedPort && m_port != options.Port)) {
        *error = QStringLiteral("cannot listen on %1 port %2")
                     .arg(QString::fromUtf8(options.Host))
                     .arg(options.Port);
        Stop();
        return false;
    }
    if (!options.Password.isEmpty() && !Register(options)) {
        *error = QStringLiteral("not a SIP address: %1@%2")
                     .arg(QString::fromUtf8(options.User), QString::fromUtf8(options.Host));
        Stop();
        return false;
    }
    m_iterate.start(kIdleIterateMs);
    return true;
}

// The stack refreshes the registration before it expires and registers again after a loss.
bool TSipCore::Register(const Options& options) {
    LinphoneFactory* factory = linphone_factory_get();
    const QByteArray host = options.Host + ':' + QByteArray::number(options.Port);
    const QByteArray identity = "sip:" + options.User + '@' + host;
    const QByteArray transport = TSipAddress::TransportParameter(options.Transport);
    const QByteArray server = "sip:" + host + transport;
    LinphoneAddress* address = linphone_factory_create_address(factory, identity.constData());
    if (!address) return false;
    LinphoneAccountParams* params = linphone_core_create_account_params(m_core);
    if (!options.DisplayName.isEmpty())
        linphone_address_set_display_name(address, options.DisplayName.toUtf8().constData());
    linphone_account_params_set_identity_address(params, address);
    linphone_address_unref(address);
    LinphoneAddress* serverAddress = linphone_factory_create_address(factory, server.constData());
    linphone_account_params_set_server_address(params, serverAddress);
    linphone_address_unref(serverAddress);
    if (!options.Outbound.isEmpty()) {
        const QByteArray proxy = "sip:" + options.Outbound + ";lr" + transport;
        LinphoneAddress* route = linphone_factory_create_address(factory, proxy.constData());
        if (route) {
            bctbx_list_t* routes = bctbx_list_append(nullptr, route);
            linphone_account_params_set_routes_addresses(params, routes);
            bctbx_list_free_with_data(
                routes, reinterpret_cast<bctbx_list_free_func>(linphone_address_unref));
        }
    }
    linphone_account_params_enable_register(params, TRUE);
    LinphoneAccount* account = linphone_core_create_account(m_core, params);
    linphone_account_params_unref(params);
    LinphoneAuthInfo* auth = linphone_factory_create_auth_info(
        factory, options.User.constData(), nullptr, options.Password.toUtf8().constData(), nullptr,
        nullptr, options.Host.constData());
    linphone_core_add_auth_info(m_core, auth);
    linphone_auth_info_unref(auth);
    linphone_core_add_account(m_core, account);
    linphone_core_set_default_account(m_core, account);
    linphone_account_unref(account);
    return true;
}

void TSipCore::Configure(const Options& options) {
    linphone_core_set_user_agent(m_core, "Ringvale", RINGVALE_VERSION);
    linphone_core_enable_ipv6(m_core, QHostAddress(QString::fromUtf8(options.Host)).protocol() ==
                                          QAbstractSocket::IPv6Protocol);
    const bool registering = !options.Password.isEmpty();
    const int port = options.Port > 0 && !registering ? options.Port : LC_SIP_TRANSPORT_RANDOM;
    LinphoneTransports* transports = linphone_factory_create_transports(linphone_factory_get());
    const TSipTransport used = options.Transport;
    linphone_transports_set_udp_port(transports, used == TSipTransport::Udp ? port : 0);
    linphone_transports_set_tcp_port(transports, used == TSipTransport::Tcp ? port : 0);
    linphone_transports_set_tls_port(transports, used == TSipTransport::Tls ? port : 0);
    linphone_core_set_transports(m_core, transports);
    linphone_transports_unref(transports);
    linphone_core_set_audio_port(m_core, -1);  // any free port: two stacks never collide
    linphone_core_enable_video_capture(m_core, FALSE);
    linphone_core_enable_video_display(m_core, FALSE);
    linphone_core_enable_echo_cancellation(m_core, FALSE);
    linphone_core_set_ring(m_core, nullptr);
    linphone_core_set_ringback(m_core, nullptr);
    linphone_core_set_use_rfc2833_for_dtmf(m_core, TRUE);
    // A TLS server is checked against the system's authorities, or one of the user's own named
    // the way every OpenSSL program takes one.
    const QByteArray authorities = qEnvironmentVariableIsEmpty("SSL_CERT_FILE")
                                       ? QByteArray(kSystemAuthorities)
                                       : qgetenv("SSL_CERT_FILE");
    linphone_core_set_root_ca(m_core, authorities.constData());
    if (options.Srtp) {
        linphone_core_set_media_encryption(m_core, LinphoneMediaEncryptionSRTP);
        linphone_core_set_media_encryption_mandatory(m_core, TRUE);
    }
    PreferG711(m_core);
    const QByteArray card =
        m_audio.Install(ms_factory_get_snd_card_manager(linphone_core_get_ms_factory(m_core)));
    linphone_core_set_playback_device(m_core, card.constData());
    linphone_core_set_capture_device(m_core, card.constData());
    linphone_core_set_ringer_device(m_core, card.constData());
}

// Calls still ending (a BYE or CANCEL on its way) are let finish first, for at most a second:
// the stack cannot free a call cut off in the middle of its transactions.
void TSipCore::Stop() {
    m_iterate.stop();
    if (!m_core) return;
    linphone_core_set_user_data(m_core, nullptr);  // what the stop reports is no longer heard
    linphone_core_terminate_all_calls(m_core);
    QElapsedTimer waited;
    waited.start();
    while (linphone_core_get_calls_nb(m_core) > 0 && waited.elapsed() < kStopWaitMs) {
        linphone_core_iterate(m_core);
        QThread::msleep(10);
    }
    linphone_core_stop(m_core);
    linphone_core_unref(m_core);
    m_core = nullptr;
    m_port = 0;
}

QStringList TSipCore::Codecs() const {
    QStringList codecs;
    if (!m_core) return codecs;
    bctbx_list_t* types = linphone_core_get_audio_payload_types(m_core);
    for (bctbx_list_t* it = types; it; it = it->next) {
        auto* type = static_cast<LinphonePayloadType*>(it->data);
        const QString name = QString::fromUtf8(linphone_payload_type_get_mime_type(type));
        if (linphone_payload_type_enabled(type) && name != QLatin1String("telephone-event") &&
            !codecs.contains(name))
            codecs << name;
    }
    bctbx_list_free_with_data(types,
                              reinterpret_cast<bctbx_list_free_func>(linphone_payload_type_unref));
    return codecs;
}

void TSipCore::SetInCall(bool inCall) {
    m_inCall = inCall;
    if (m_core) m_iterate.start(inCall ? kCallIterateMs : kIdleIterateMs);
}
