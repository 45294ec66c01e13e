#include "calls/connection.h"

#include <QDateTime>
#include <QDebug>
#include <QStringList>

#include "calls/callhandler.h"
#include "platform/clock.h"
#include "platform/prompts.h"
#include "platform/tshell.h"
#include "store/config.h"
#include "store/message.h"

namespace {
constexpr int kInternetFirstCheck = 60;
constexpr int kInternetInterval = 20;
constexpr int kLongestRetryDelay = 300;
}  // namespace

TConnection::TConnection(TConfig& config, TCallHandler& calls, TSessionView& view)
    : m_config(config), m_calls(calls), m_view(view) {
    m_events = m_calls.Events();
    m_events.OnLineEvent = [this, calls = m_events.OnLineEvent](int code, const QString& text) {
        if (code == EV_CAPS_KNOWN) ReportDataOnlyModem();
        if (code == EV_LINE_READY) LineReady();
        calls(code, text);
    };
    m_events.OnTrace = [this](int, const QString& text) {
        if (m_view.PortDataVisible()) m_view.PortDataLine(text);
    };
}

TConnection::~TConnection() {
    Disconnect();
}

bool TConnection::Connect(bool showErrors) {
    if (m_line) return true;
    m_line = std::make_unique<TTapi>(1);
    m_line->Events = &m_events;
    QString error;
    const QString modem = m_config.SelectPortBox;
    if (m_line->InitLine() < 0) {
        error = QStringLiteral("Can't initalize line.\rReason: ") + m_line->LastError;
    } else {
        m_line->InitPhone();
        const int id = m_line->FindLineDevice(modem);
        if (id < 0) {
            error = QStringLiteral("Can't get device # for modem \"") + modem +
                    QStringLiteral("\".\rReason: ") + m_line->LastError;
        } else if (m_line->OpenLine(quint32(id), showErrors ? &error : nullptr) < 0) {
            error = QStringLiteral("Can't open modem \"") + modem +
                    QStringLiteral("\".\rReason: ") + m_line->LastError;
        } else {
            // A modem opened for the first time says what it can do a moment later.
            m_reportDataOnly = showErrors;
            m_lastFailure.clear();
            if (m_line->IsVoiceLine(quint32(id)) == 0) ReportDataOnlyModem();
            return true;
        }
    }
    if (showErrors) Prompts().MessageBox(error, QStringLiteral(" "), prompt::MB_OK);
    m_lastFailure = QString(error).replace(QLatin1Char('\r'), QLatin1Char(' '));
    m_line->ShutdownLine();
    m_line.reset();
    return false;
}

void TConnection::ReportDataOnlyModem() {
    if (!std::exchange(m_reportDataOnly, false) || !m_line) return;
    if (m_line->IsVoiceLine(m_line->DeviceId) == 0)
        ShowManagedMessage(MSG_NOT_A_VOICE_MODEM, FormatText(StringTableText(MSG_NOT_A_VOICE_MODEM),
                                                             QStringList{m_line->LineName}));
}

void TConnection::Disconnect() {
    m_reportDataOnly = false;
    if (!m_line) return;
    m_line->ShutdownLine();
    m_line->ShutdownPhone();
    m_line.reset();
}

void TConnection::UpdateConnectionStatus() {
    TConnectionStatus& s = m_status;
    s.Connected = m_line != nullptr;
    if (s.Connected) {
        s.ConnectEnabled = true;
        s.ConnectCaption = QStringLiteral("Disconnect");
        s.ConnectHint = QStringLiteral("Click to disconnect");
        s.StatusText = QStringLiteral("Listening for calls on ") + m_line->LineName;
        s.StatusHint = QStringLiteral("Listening for calls");
        if (!m_lineProblem.isEmpty()) ShowLineProblem(&s);  // asked again, not yet listening
        if (const qint64 until = m_calls.RemoteAccessLockedUntil())
            s.StatusText +=
                QStringLiteral(
                    " - remote access locked until %1 after %2 wrong "
                    "access codes")
                    .arg(QDateTime::fromSecsSinceEpoch(until).toString(QStringLiteral("HH:mm")))
                    .arg(TAccessGuard::kMaxWrongCodes);
    } else {
        s.ConnectEnabled = !m_config.SelectPortBox.trimmed().isEmpty();
        s.ConnectCaption = QStringLiteral("Connect");
        // Automatic attempts that fail say why, in the hint, until the modem is back.
        if (m_reconnectDue && !m_lineProblem.isEmpty()) {
            ShowLineProblem(&s);
        } else if (m_reconnectDue &&
                   (m_reconnectInterval == kInternetInterval || !m_lastFailure.isEmpty())) {
            s.StatusText = QStringLiteral("Waiting for modem");
            s.ConnectHint = s.StatusHint =
                m_lastFailure.isEmpty() ? QStringLiteral("Waiting for your modem to become free")
                                        : m_lastFailure;
        } else {
            s.StatusText = QStringLiteral("Not connected");
            s.ConnectHint = QStringLiteral("Click to begin listening for calls");
            s.StatusHint = QStringLiteral("Click connect button below to begin waiting for calls");
        }
    }
    s.TrayTip = QStringLiteral("Ringvale ") + s.StatusText;
    s.ShowHints = m_config.ShowHints();
    s.OutgoingTabVisible = m_config.ShowToCallTab();
    m_view.ConnectionChanged();
}

// The first tick connects, silently, when a modem is chosen and connecting at start-up is
// asked for; the window opens showing "Connect" and "Not connected" until then.
// The modem is opened at once, not at the first tick: a caller may be ringing already.
void TConnection::StartUp() {
    UpdateConnectionStatus();
    if (m_status.ConnectEnabled && m_config.ConnectAtStartupButton()) {
        m_reconnectDue = TClock::Now();
        ReconnectCheck();
    }
    UpdateConnectionStatus();
}

// A line that its server refused says why: "Waiting for Home line: registration refused: 403
// Forbidden".
void TConnection::ShowLineProblem(TConnectionStatus* s) const {
    s->StatusText =
        QStringLiteral("Waiting for %1: %2").arg(m_config.SelectPortBox.trimmed(), m_lineProblem);
    s->StatusHint = m_lineProblem;
    if (!s->Connected) s->ConnectHint = m_lineProblem;
}

void TConnection::LineReady() {
    m_retryDelay = 0;
    if (m_lineProblem.isEmpty()) return;
    m_lineProblem.clear();
    UpdateConnectionStatus();
}

void TConnection::ConnectSoon() {
    if (m_line || m_config.SelectPortBox.trimmed().isEmpty()) return;
    m_reconnectDue = TClock::Now();
    UpdateConnectionStatus();
}

void TConnection::ConnectButtonClick() {
    m_lastFailure.clear();
    m_lineProblem.clear();
    m_retryDelay = 0;
    if (!m_line) {
        m_status.StatusText = QStringLiteral("Connecting");
        m_view.ConnectionChanged();
        Connect(true);
    } else if (m_view.StopListeningAllowed()) {
        Disconnect();
    }
    UpdateConnectionStatus();
    m_view.PagingStatusChanged();
}

void TConnection::ReconnectCheck() {
    if (!m_reconnectDue || TClock::Now() < m_reconnectDue) return;
    m_reconnectDue = TClock::Now() + m_reconnectInterval;
    if (!m_line) Connect(false);
    if (m_line) m_reconnectDue = 0;
    UpdateConnectionStatus();
    m_view.PagingStatusChanged();
}

// The line closed by itself: the modem was unplugged, stopped answering, or another program
// took it. Unless a reconnect is already planned, the program waits for the modem and tries
// again at the next tick, then every 20 seconds, so an answering machine never stays deaf.
// A line that says why it closed (a SIP account its server refused, or lost) is asked again
// after 20 seconds, then ever less often up to every five minutes, so that a wrong password or
// an outage does not hammer the provider.
void TConnection::OnLineClosed() {
    const QString problem = m_line ? m_line->GetLineProblem(m_line->DeviceId) : QString();
    Disconnect();
    if (!problem.isEmpty()) {
        if (problem != m_lineProblem) qInfo().noquote() << "The line closed:" << problem;
        m_lineProblem = problem;
        m_retryDelay =
            m_retryDelay ? qMin(2 * m_retryDelay, kLongestRetryDelay) : kInternetInterval;
        m_reconnectInterval = kInternetInterval;
        m_reconnectDue = TClock::Now() + m_retryDelay;
    } else if (!m_reconnectDue) {
        qInfo().noquote() << "The modem went away; Ringvale reconnects when it is back.";
        m_reconnectInterval = kInternetInterval;
        m_reconnectDue = TClock::Now() + 1;
    }
    UpdateConnectionStatus();
    m_view.PagingStatusChanged();
}

bool TConnection::GiveModemAway(QString* error) {
    TShell shell;
    if (!shell.Run(m_config.InternetLink)) {
        *error = QStringLiteral("Can't \"open\" ") + m_config.InternetLink +
                 QStringLiteral("\rReason: ") + shell.ErrorText;
        return false;
    }
    m_reconnectInterval = kInternetInterval;
    m_reconnectDue = TClock::Now() + kInternetFirstCheck;
    return true;
}

bool TConnection::FormClose() {
    if (!m_view.StopListeningAllowed()) return false;
    Disconnect();
    return true;
}
