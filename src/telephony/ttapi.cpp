#include "telephony/ttapi.h"

#include <QtEndian>
#include <cctype>

namespace {
// Sizes the program gives the variable-size records.
constexpr quint32 kDevCapsSize = 504;
constexpr quint32 kCallStatusSize = 536;
constexpr quint32 kCallInfoSize = 796;
constexpr quint32 kWaveIdSize = 524;
constexpr quint32 kPhoneIdSize = 280;
constexpr quint32 kPhoneCapsSize = 272;
constexpr quint32 kCallParamsSize = 112;
constexpr int kNameWidth = 255;
constexpr const char kAppName[] = "MYTAPI";

QString Num(qint64 value) {
    return QString::number(value);
}

// Latin-1 text of a string the line gave, up to its first NUL.
QString LineText(const QByteArray& bytes) {
    const qsizetype nul = bytes.indexOf('\0');
    return QString::fromLatin1(nul < 0 ? bytes : bytes.left(nul));
}

struct StateText {
    quint32 State;
    const char* Text;
};
const StateText kPhoneStates[] = {
    {0x1, "State Other"},
    {0x2, "State Connected"},
    {0x4, "State Disconnected"},
    {0x8, "State Owner"},
    {0x10, "State Monitors"},
    {0x20, "State Display"},
    {0x40, "State Lamp"},
    {0x80, "State Ringmode"},
    {0x100, "State Ringvolumn"},
    {0x200, "State Hook Switch"},
    {0x400, "State Handset Volumn"},
    {0x800, "State Handset Gain"},
    {0x1000, "State Speaker Hook Switch"},
    {0x2000, "State Speaker Volumn"},
    {0x4000, "State Speaker Gain"},
    {0x8000, "State Headset Hook Switch"},
    {0x10000, "State Headset Volumn"},
    {0x20000, "State Headset Gain"},
    {0x40000, "State Suspend"},
    {0x80000, "State Resume"},
    {0x100000, "State Device Specific"},
    {0x200000, "State ReInit"},
    {0x400000, "State Caps Change"},
    {0x800000, "State Removed"},
};
}  // namespace

// Until its owner installs a table, the object's notifications go nowhere.
TTapi::TTapi(quint32 instance) : hInstance(instance), LastError(QStringLiteral("Unknown")) {
    m_default.OnLineEvent = [](int, const QString&) {};
    m_default.OnTrace = [](int, const QString&) {};
    m_default.OnCallerId = [](quint32, const QString&, const QString&) {};
    Events = &m_default;
}

TTapi::~TTapi() {
    ShutdownLine();
    ShutdownPhone();
}

void TTapi::LineEvent(int code, const QString& text) {
    if (Events && Events->OnLineEvent) Events->OnLineEvent(code, text);
}

void TTapi::Trace(int code, const QString& text) {
    if (Events && Events->OnTrace) Events->OnTrace(code, text);
}

int TTapi::InitLine() {
    if (hLineApp) return 1;
    const qint32 result =
        lineInitialize(&hLineApp, hInstance, LineCallback, kAppName, &NumLineDevices);
    if (result < 0) {
        hLineApp = 0;
        QString text;
        LineErrorText(OP_LINE_INIT, result, &text);
        LineEvent(0, text);
        return result;
    }
    LineEvent(0, QStringLiteral("Init Line OK # Modems=") + Num(NumLineDevices));
    return 0;
}

int TTapi::InitPhone() {
    if (hPhoneApp) return 0;
    const qint32 result =
        phoneInitialize(&hPhoneApp, hInstance, PhoneCallback, kAppName, &NumPhoneDevices);
    if (result < 0) hPhoneApp = 0;
    return result;
}

// The line service set up, and the version agreed for the device; a negative error if not.
qint32 TTapi::Negotiate(quint32 deviceId, quint32* version) {
    if (!hLineApp) {
        const qint32 result =
            lineInitialize(&hLineApp, hInstance, LineCallback, kAppName, &NumLineDevices);
        if (result < 0) {
            hLineApp = 0;
            return result;
        }
    }
    LINEEXTENSIONID extension;
    return lineNegotiateAPIVersion(hLineApp, deviceId, TAPI_VERSION_1_4, TAPI_VERSION_1_4, version,
                                   &extension);
}

int TTapi::GetLineName(quint32 deviceId, QString* name) {
    quint32 version = 0;
    const qint32 negotiated = Negotiate(deviceId, &version);
    if (negotiated < 0) return negotiated;
    LINEDEVCAPS caps;
    caps.dwTotalSize = kDevCapsSize;
    if (lineGetDevCaps(hLineApp, deviceId, version, 0, &caps) == 0)
        *name = LineText(caps.LineName).left(kNameWidth);
    return static_cast<int>(name->size());
}

bool TTapi::GetDevCaps(quint32 deviceId, LINEDEVCAPS* caps) {
    quint32 version = 0;
    if (Negotiate(deviceId, &version) < 0) return false;
    caps->dwTotalSize = kDevCapsSize;
    return lineGetDevCaps(hLineApp, deviceId, version, 0, caps) == 0;
}

QString TTapi::GetProviderInfo(quint32 deviceId) {
    LINEDEVCAPS caps;
    return GetDevCaps(deviceId, &caps) ? QString::fromUtf8(caps.ProviderInfo) : QString();
}

QString TTapi::GetLineProblem(quint32 deviceId) {
    LINEDEVCAPS caps;
    return GetDevCaps(deviceId, &caps) ? QString::fromUtf8(caps.Problem) : QString();
}

int TTapi::FindLineDevice(const QString& name) {
    for (quint32 id = 0; id < NumLineDevices; ++id) {
        QString found;
        if (GetLineName(id, &found) < 0) break;
        if (found == name) return static_cast<int>(id);
    }
    return -1;
}

int TTapi::IsVoiceLine(quint32 deviceId) {
    LINEDEVCAPS caps;
    caps.dwTotalSize = kDevCapsSize;
    if (lineGetDevCaps(hLineApp, deviceId, LineApiVersion, 0, &caps) != 0) return -1;
    return (caps.dwMediaModes & LINEMEDIAMODE_AUTOMATEDVOICE) ? 1 : 0;
}

int TTapi::OpenLine(quint32 deviceId, QString* errorText) {
    ClearRequests();
    Incoming = 0;
    DisconnectMode = 0;
    LINEEXTENSIONID extension;
    qint32 result = lineNegotiateAPIVersion(hLineApp, deviceId, TAPI_VERSION_1_4, TAPI_VERSION_1_4,
                                            &LineApiVersion, &extension);
    if (result < 0) {
        if (errorText) {
            *errorText = QStringLiteral("Error negotiating API");
            LineEvent(0, *errorText);
        }
        return result;
    }
    LineEvent(0, QStringLiteral("Negotiated API to ") + Num(LineApiVersion >> 16) +
                     QLatin1Char('.') + Num(LineApiVersion & 0xFFFF));

    // A modem whose capabilities cannot be read is tried as a voice modem all the same.
    const quint32 mediaModes = IsVoiceLine(deviceId) != 0
                                   ? LINEMEDIAMODE_UNKNOWN | LINEMEDIAMODE_INTERACTIVEVOICE |
                                         LINEMEDIAMODE_AUTOMATEDVOICE | LINEMEDIAMODE_DATAMODEM
                                   : LINEMEDIAMODE_DATAMODEM;
    result =
        lineOpen(hLineApp, deviceId, &hLine, LineApiVersion, 0, reinterpret_cast<quintptr>(this),
                 LINECALLPRIVILEGE_MONITOR | LINECALLPRIVILEGE_OWNER, mediaModes, nullptr);
    if (result < 0) {
        hLine = 0;
        QString text;
        LineErrorText(OP_LINE_OPEN, result, &text);
        if (errorText) *errorText = text;
        LineEvent(0, text);
        return result;
    }
    QString name;
    GetLineName(deviceId, &name);
    LineName = name;
    LineEvent(EV_LINE_OPENED, QStringLiteral("Opened ") + LineName);
    DeviceId = deviceId;
    const quint32 states = LINEDEVSTATE_OTHER | LINEDEVSTATE_RINGING | LINEDEVSTATE_CONNECTED |
                           LINEDEVSTATE_DISCONNECTED;
    LineEvent(0, lineSetStatusMessages(hLine, states, 0) == 0
                     ? QStringLiteral("lineSetStatusMessages OK")
                     : QStringLiteral("lineSetStatusMessages Failed"));
    return 0;
}

int TTapi::CloseLine() {
    if (hLine) {
        lineClose(hLine);
        hLine = 0;
        LineEvent(0, QStringLiteral("Closed line"));
    }
    hCall = 0;
    for (PendingRequest& slot : Requests)
        slot = PendingRequest{QString(), 0, 0};
    ClosePhone();
    return 1;
}

int TTapi::ShutdownLine() {
    if (hLineApp) {
        lineShutdown(hLineApp);
        hLineApp = 0;
    }
    hLine = 0;
    return 1;
}

int TTapi::ClosePhone() {
    if (hPhone) {
        phoneClose(hPhone);
        hPhone = 0;
    }
    return 1;
}

int TTapi::ShutdownPhone() {
    if (hPhoneApp) {
        phoneShutdown(hPhoneApp);
        hPhoneApp = 0;
    }
    return 1;
}

quint32 TTapi::GetCallState(HCALL call) {
    if (!call) return 0;
    LINECALLSTATUS status;
    status.dwTotalSize = kCallStatusSize;
    const qint32 result = lineGetCallStatus(call, &status);
    if (result < 0) {
        QString text;
        LineErrorText(OP_CALL_STATUS, result, &text);
        LineEvent(0, text);
        return 0;
    }
    return status.dwCallState;
}

void TTapi::ReportCallerId(HCALL call) {
    LINECALLINFO info;
    info.dwTotalSize = kCallInfoSize;
    if (lineGetCallInfo(call, &info) < 0) {
        LineEvent(1, QStringLiteral("lineGetCallInfo failed"));
        return;
    }
    QString name, number;
    if (info.dwCallerIDFlags & LINECALLPARTYID_BLOCKED) {
        // A withheld number is a caller of its own kind, which the phone book can name.
        name = QStringLiteral("Private");
        number = QStringLiteral("0000000000");
    } else if (info.dwCallerIDFlags & LINECALLPARTYID_OUTOFAREA) {
        name = QStringLiteral("Out Of Area");
        number = QStringLiteral("0000000000");
    } else if (info.dwCallerIDFlags & LINECALLPARTYID_UNAVAIL) {
        name = QStringLiteral("Unavailable");
        number = QStringLiteral("0000000000");
    } else {
        if (info.dwCallerIDNameOffset <= kLineCallInfoFixedSize) return;
        name = LineText(info.CallerIDName);
        number = info.dwCallerIDSize == 0 ? QString() : LineText(info.CallerID);
    }
    LineEvent(1, name);
    LineEvent(1, number);
    if (Events && Events->OnCallerId) Events->OnCallerId(info.dwCallerIDFlags, name, number);
}

void TTapi::PutRequest(qint32 requestId, qint32 kind, const QString& text) {
    for (PendingRequest& slot : Requests) {
        if (slot.RequestId > 0) continue;
        slot = PendingRequest{text.left(PendingRequest::kTextWidth - 1), requestId, kind};
        LineEvent(0, QStringLiteral("PutRequest ") + Num(requestId) + QLatin1Char(' ') + slot.Text);
        return;
    }
}

qint32 TTapi::FindRequest(qint32 requestId, QString* text) const {
    for (const PendingRequest& slot : Requests) {
        if (requestId > 0 && slot.RequestId == requestId) {
            *text = slot.Text;
            return slot.Kind;
        }
    }
    *text = QStringLiteral("Unknown");
    return -1;
}

void TTapi::FreeRequest(qint32 requestId) {
    for (PendingRequest& slot : Requests)
        if (requestId > 0 && slot.RequestId == requestId) slot.RequestId = -1;
}

void TTapi::ClearRequests() {
    for (PendingRequest& slot : Requests)
        slot.RequestId = -1;
}

void TTapi::LineCallback(quint32 hDevice, quint32 dwMessage, quintptr dwInstance, quintptr dwParam1,
                         quintptr dwParam2, quintptr dwParam3) {
    if (auto* tapi = reinterpret_cast<TTapi*>(dwInstance))
        tapi->OnLineMessage(hDevice, dwMessage, dwParam1, dwParam2, dwParam3);
}

void TTapi::OnLineMessage(quint32 hDevice, quint32 message, quintptr p1, quintptr p2, quintptr p3) {
    switch (message) {
        case LINE_ADDRESSSTATE:
            return LineEvent(0, QStringLiteral("Address State"));
        case LINE_CALLINFO:
            LineEvent(1,
                      QStringLiteral("Call Info Current State is ") + Num(GetCallState(hDevice)));
            if (Incoming == 0)
                LineEvent(1, QStringLiteral("Call info for a call we don't own"));
            else if (p1 & LINECALLINFOSTATE_CALLERID)
                ReportCallerId(hDevice);
            return;
        case LINE_CALLSTATE:
            return OnCallState(hDevice, quint32(p1), quint32(p2), quint32(p3));
        case LINE_CLOSE:
            return LineEvent(3, QStringLiteral("Line Close"));
        case LINE_DEVSPECIFIC:
            return LineEvent(4, QStringLiteral("Device Specific"));
        case LINE_DEVSPECIFICFEATURE:
            return LineEvent(5, QStringLiteral("Specific Feature"));
        case LINE_GATHERDIGITS:
            return LineEvent(6, QStringLiteral("Gathering Digits"));
        case LINE_GENERATE:
            return LineEvent(7, QStringLiteral("Line Generate"));
        case LINE_LINEDEVSTATE:
            if (p1 == LINEDEVSTATE_RINGING) LineEvent(EV_RINGING, QStringLiteral("Ringing"));
            if (p1 == LINEDEVSTATE_REINIT) LineEvent(LINEDEVSTATE_REINIT, QStringLiteral("Reinit"));
            if (p1 == LINEDEVSTATE_CONNECTED)
                LineEvent(EV_LINE_READY, QStringLiteral("Modem ready"));
            // The modem has said what it can do (voice or data only) once its line opened.
            if (p1 == LINEDEVSTATE_CAPSCHANGE)
                LineEvent(EV_CAPS_KNOWN, QStringLiteral("Modem capabilities known"));
            return;
        case LINE_MONITORDIGITS: {
            const char digit = static_cast<char>(p1 & 0xFF);
            return LineEvent(9, digit ? QString(QLatin1Char(digit)) : QString());
        }
        case LINE_MONITORMEDIA:
            return LineEvent(10, QStringLiteral("Line Monitor Media"));
        case LINE_MONITORTONE:
            return LineEvent(11, QStringLiteral("Line Monitor Tone"));
        case LINE_REPLY:
            return OnReply(qint32(quint32(p1)), qint32(quint32(p2)));
        case LINE_REQUEST:
            return LineEvent(13, QStringLiteral("Line Request"));
        default:
            return;
    }
}

void TTapi::OnCallState(HCALL call, quint32 state, quint32 detail, quint32 privilege) {
    switch (state) {
        case LINECALLSTATE_IDLE:
            // Every finished call closes and reopens the line, which resets all call state.
            LineEvent(1, QStringLiteral("Call State Idle"));
            CloseLine();
            OpenLine(DeviceId, nullptr);
            return;
        case LINECALLSTATE_OFFERING:
            Incoming = 1;
            if (privilege != LINECALLPRIVILEGE_OWNER)
                return LineEvent(2, QStringLiteral("Call State Offering - we don't own this call"));
            LineEvent(2, QStringLiteral("Call State Offering - we own this call"));
            if (hCall) return;
            hCall = call;
            LineEvent(0, QStringLiteral("hCall is ") + Num(hCall));
            if (const qint32 result = lineAccept(hCall, nullptr, 0); result <= 0) {
                LineEvent(2, QStringLiteral("lineAccept failed"));
            } else {
                PutRequest(result, REQ_ACCEPT, QStringLiteral("Line Accept"));
                LineEvent(2, QStringLiteral("lineAccept OK"));
            }
            return;
        case LINECALLSTATE_ACCEPTED:
            return LineEvent(4, QStringLiteral("Call State Accepted"));
        case LINECALLSTATE_DIALTONE:
            return LineEvent(8, QStringLiteral("Dial tone"));
        case LINECALLSTATE_DIALING:
            return LineEvent(EV_DIALING, QStringLiteral("Call State Dialing"));
        case LINECALLSTATE_BUSY:
            return LineEvent(0x40, QStringLiteral("Call State Busy"));
        case LINECALLSTATE_CONNECTED:
            if ((privilege & LINECALLPRIVILEGE_OWNER) || hCall)
                LineEvent(EV_CONNECTED, QStringLiteral("Connected"));
            return;
        case LINECALLSTATE_PROCEEDING:
            if (privilege & LINECALLPRIVILEGE_OWNER)
                LineEvent(0x200, QStringLiteral("Call State Proceeding"));
            return;
        case LINECALLSTATE_DISCONNECTED:
            // Not dropped here: the owner queues the drop.
            DisconnectMode = detail;
            return LineEvent(0x4000, QStringLiteral("Call State Disconnected"));
        default:
            return LineEvent(0, QStringLiteral("Unknown Call State"));
    }
}

void TTapi::OnReply(qint32 requestId, qint32 result) {
    QString text;
    const qint32 kind = FindRequest(requestId, &text);
    FreeRequest(requestId);
    if (result != 0)
        return LineEvent(12,
                         QStringLiteral("\tFailed to ") + text + QLatin1Char(':') + Num(requestId));
    const QString success =
        QStringLiteral("\tSuccess for ") + text + QLatin1Char(':') + Num(requestId);
    LineEvent(kind == EV_ANSWERED ? EV_ANSWERED : 12, success);
}

void TTapi::PhoneCallback(quint32, quint32 dwMessage, quintptr dwInstance, quintptr dwParam1,
                          quintptr dwParam2, quintptr) {
    if (auto* tapi = reinterpret_cast<TTapi*>(dwInstance))
        tapi->OnPhoneMessage(dwMessage, dwParam1, dwParam2);
}

void TTapi::OnPhoneMessage(quint32 message, quintptr p1, quintptr p2) {
    switch (message) {
        case PHONE_BUTTON:
            if (p1 == 2) Trace(2, QStringLiteral("Ringing"));
            if (p1 == 0x40000) Trace(0x40000, QStringLiteral("Reinit"));
            return;
        case PHONE_CLOSE:
            return Trace(15, QStringLiteral("Line Close"));
        case PHONE_DEVSPECIFIC:
            return Trace(16, QStringLiteral("Phone Device specific"));
        case PHONE_REPLY:
            return Trace(17, p2 ? QStringLiteral("Phone Reply Failed")
                                : QStringLiteral("Phone Reply Success"));
        case PHONE_STATE:
            for (const StateText& state : kPhoneStates)
                if (state.State == p1) return Trace(int(p1), QLatin1String(state.Text));
            return;
        case PHONE_CREATE:
            return Trace(20, QStringLiteral("Line Close"));
        default:
            return;
    }
}

bool TTapi::IsCallOwner() {
    if (!hCall) return false;
    LINECALLSTATUS status;
    status.dwTotalSize = kCallStatusSize;
    return lineGetCallStatus(hCall, &status) == 0 &&
           (status.dwCallPrivilege & LINECALLPRIVILEGE_OWNER);
}

bool TTapi::CanAnswer() {
    LINECALLSTATUS status;
    status.dwTotalSize = kCallStatusSize;
    const qint32 result = lineGetCallStatus(hCall, &status);
    if (result < 0) {
        QString text;
        LineErrorText(OP_CALL_STATUS, result, &text);
        LineEvent(0, text);
        return false;
    }
    if (status.dwCallFeatures & LINECALLFEATURE_ANSWER) {
        LineEvent(0, QStringLiteral("We can answer"));
        return true;
    }
    LineEvent(0, QStringLiteral("Line provides no answer"));
    return false;
}

int TTapi::Answer() {
    qint32 result = -1;
    if (hCall && CanAnswer()) {
        // Touch tones of the caller arrive as LINE_MONITORDIGITS from here on.
        lineMonitorDigits(hCall, LINEDIGITMODE_DTMF);
        result = lineAnswer(hCall, nullptr, 0);
    }
    if (result < 0) {
        LineEvent(0, QStringLiteral("Answer async failed"));
    } else {
        PutRequest(result, EV_ANSWERED, QStringLiteral("Answer Line"));
        LineEvent(0, QStringLiteral("Should answer soon"));
    }
    return result;
}

bool TTapi::Hangup() {
    qint32 result = -1;
    if (hCall) {
        result = lineDrop(hCall, nullptr, 0);
        hCall = 0;
    }
    if (result < 0) {
        LineEvent(0, QStringLiteral("Hangup failed"));
        return false;
    }
    LineEvent(EV_HUNG_UP, QStringLiteral("Hangup success"));
    return true;
}

int TTapi::MakeCall(const QString& number) {
    if (hCall) return -1;
    LINECALLPARAMS params;
    params.dwTotalSize = kCallParamsSize;
    params.dwMinRate = 9600;
    params.dwMaxRate = 9600;
    params.dwMediaMode = LINEMEDIAMODE_INTERACTIVEVOICE;
    const QByteArray dialed = number.toLatin1();
    const qint32 result = lineMakeCall(hLine, &hCall, dialed.constData(), 0, &params);
    if (result < 0) {
        hCall = 0;
        LineErrorText(OP_MAKE_CALL, result, nullptr);
    } else {
        PutRequest(result, REQ_MAKE_CALL, QStringLiteral("Line Make Call"));
    }
    return result;
}

qint64 TTapi::DecodeId(const VARSTRING& id) {
    if (id.dwStringFormat == STRINGFORMAT_ASCII) {
        const QByteArray text = id.String.left(
            id.String.indexOf('\0') < 0 ? id.String.size() : id.String.indexOf('\0'));
        qsizetype digits = 0;
        while (digits < text.size() && digits < 10 && std::isdigit(uchar(text[digits])))
            ++digits;
        return text.left(digits).toLongLong();
    }
    if (id.dwStringFormat == STRINGFORMAT_BINARY && id.String.size() >= 4)
        return qFromLittleEndian<quint32>(id.String.constData());
    return -1;
}

int TTapi::GetWaveId(const QString& deviceClass) {
    WaveId = 0;
    VARSTRING id;
    id.dwTotalSize = kWaveIdSize;
    const quint32 select = hCall ? LINECALLSELECT_CALL : LINECALLSELECT_LINE;
    const qint32 result =
        lineGetID(hLine, 0, hCall, select, &id, deviceClass.toLatin1().constData());
    if (result < 0) {
        QString text;
        LineErrorText(OP_LINE_GET_ID, result, &text);
        LineEvent(0, text);
        return 0;
    }
    const qint64 decoded = DecodeId(id);
    if (decoded > 0) WaveId = quint32(decoded);
    if (id.dwStringFormat == STRINGFORMAT_BINARY)
        LineEvent(0, QStringLiteral("Line ID = ") + Num(WaveId) + QStringLiteral(" hCall = ") +
                         Num(hCall));
    return 1;
}

int TTapi::GetPhoneId() {
    VARSTRING id;
    id.dwTotalSize = kPhoneIdSize;
    qint64 phoneId = -1;
    const qint32 result = lineGetID(hLine, 0, 0, LINECALLSELECT_LINE, &id, "tapi/phone");
    if (result < 0)
        LineErrorText(OP_LINE_GET_ID, result, nullptr);
    else
        phoneId = DecodeId(id);
    if (phoneId > 0x7FFFFFFF) phoneId = -1;
    LineEvent(0, phoneId < 0 ? QStringLiteral("Failed to get ID for phone")
                             : QStringLiteral("Got ID for phone"));
    return static_cast<int>(phoneId);
}

bool TTapi::SpeakerPhoneSupported(int phoneId) {
    PHONEEXTENSIONID extension;
    if (phoneNegotiateAPIVersion(hPhoneApp, quint32(phoneId), TAPI_VERSION_1_4, TAPI_VERSION_1_4,
                                 &PhoneApiVersion, &extension) < 0)
        return false;
    PHONECAPS caps;
    caps.dwTotalSize = kPhoneCapsSize;
    const qint32 result = phoneGetDevCaps(hPhoneApp, quint32(phoneId), PhoneApiVersion, 0, &caps);
    if (result < 0) {
        PhoneErrorText(result, nullptr);
        LineEvent(0, LastError);
        return false;
    }
    if (caps.dwSpeakerHookSwitchModes & PHONEHOOKSWITCHMODE_MICSPEAKER) {
        LineEvent(0, QStringLiteral("phone supports speaker phone"));
        return true;
    }
    LineEvent(0, QStringLiteral("phone does not support speaker phone"));
    return false;
}

bool TTapi::OpenPhone(int phoneId) {
    ClosePhone();
    PHONEEXTENSIONID extension;
    if (phoneNegotiateAPIVersion(hPhoneApp, quint32(phoneId), TAPI_VERSION_1_4, TAPI_VERSION_1_4,
                                 &PhoneApiVersion, &extension) < 0)
        return false;
    if (phoneOpen(hPhoneApp, quint32(phoneId), &hPhone, PhoneApiVersion, 0,
                  reinterpret_cast<quintptr>(this), PHONEPRIVILEGE_OWNER) < 0) {
        hPhone = 0;
        LineEvent(0, QStringLiteral("Can't open phone"));
        return false;
    }
    LineEvent(0, QStringLiteral("Opened phone"));
    return true;
}

bool TTapi::SetSpeakerPhone(int mode) {
    ClosePhone();
    const int phoneId = GetPhoneId();
    bool ok = SpeakerPhoneSupported(phoneId);
    if (ok && mode != SPK_TEST) {
        ok = OpenPhone(phoneId);
        if (ok && mode == SPK_ON) {
            const qint32 result = phoneSetHookSwitch(hPhone, PHONEHOOKSWITCHDEV_SPEAKER,
                                                     PHONEHOOKSWITCHMODE_MICSPEAKER);
            ok = result >= 0;
            if (ok) PutRequest(result, REQ_PHONE_HOOK, QStringLiteral("Phone set hook"));
        } else if (ok && mode == SPK_OFF) {
            ok = phoneSetHookSwitch(hPhone, PHONEHOOKSWITCHDEV_SPEAKER,
                                    PHONEHOOKSWITCHMODE_ONHOOK) >= 0;
        } else {
            ok = false;
        }
    }
    LineEvent(ok ? 8 : 0, ok ? QStringLiteral("set speaker phone success")
                             : QStringLiteral("set speaker phone failed"));
    if (mode == SPK_TEST) LineEvent(0, QStringLiteral("this was a test"));
    return ok;
}
