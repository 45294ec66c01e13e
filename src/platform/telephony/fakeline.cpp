#include "platform/telephony/fakeline.h"

#include <QtEndian>

namespace {
QString Hex(quint32 value) {
    return QStringLiteral("0x") + QString::number(value, 16);
}
}  // namespace

void TFakeLine::SetId(const QByteArray& deviceClass, quint32 id, quint32 format) {
    VARSTRING var;
    var.dwStringFormat = format;
    if (format == STRINGFORMAT_BINARY) {
        var.String.resize(4);
        qToLittleEndian(id, var.String.data());
    } else {
        var.String = QByteArray::number(id);
    }
    Ids.insert(deviceClass, var);
}

int TFakeLine::Count(const QString& op) const {
    int n = 0;
    for (const QString& logged : Ops)
        if (logged == op || logged.startsWith(op + QLatin1Char(' '))) ++n;
    return n;
}

qint32 TFakeLine::Result(const QString& op, const QString& logged) {
    Ops << logged;
    return Results.value(op, 0);
}

qint32 TFakeLine::Async(const QString& op, const QString& logged, qint32 requestId) {
    const qint32 result = Result(op, logged);
    if (result < 0) return result;
    Requests << requestId;
    if (AutoReply) m_sink->Reply(requestId, 0);
    return 0;
}

HCALL TFakeLine::NewCall(quint32 state) {
    const HCALL call = m_sink->NewCall();
    Call& data = m_calls[call];
    data.Status.dwCallState = state;
    data.Status.dwCallPrivilege = LINECALLPRIVILEGE_OWNER;
    data.Status.dwCallFeatures = LINECALLFEATURE_ACCEPT | LINECALLFEATURE_ANSWER |
                                 LINECALLFEATURE_DROP | LINECALLFEATURE_MONITORDIGITS;
    return call;
}

HCALL TFakeLine::Offer(quint32 privilege) {
    if (!m_sink) return 0;
    const HCALL call = NewCall(LINECALLSTATE_OFFERING);
    m_sink->CallState(call, LINECALLSTATE_OFFERING, 0, privilege);
    return call;
}

void TFakeLine::Ring() {
    if (m_sink) m_sink->DevState(LINEDEVSTATE_RINGING);
}

void TFakeLine::CallerId(HCALL call, quint32 flags, const QByteArray& number,
                         const QByteArray* name) {
    LINECALLINFO& info = m_calls[call].Info;
    info.dwCallerIDFlags = flags;
    SetCallerIdStrings(&info, number, name);
    if (m_sink) m_sink->CallInfo(call, LINECALLINFOSTATE_CALLERID);
}

void TFakeLine::State(HCALL call, quint32 state, quint32 privilege, quint32 mode) {
    if (m_calls.contains(call)) m_calls[call].Status.dwCallState = state;
    if (m_sink) m_sink->CallState(call, state, mode, privilege);
}

void TFakeLine::Digit(HCALL call, char digit) {
    if (m_sink) m_sink->Digit(call, digit);
}

void TFakeLine::Reply(qint32 requestId, qint32 result) {
    if (m_sink) m_sink->Reply(requestId, result);
}

void TFakeLine::SendLineClose() {
    if (m_sink) m_sink->Closed();
}

void TFakeLine::Close() {
    Ops << QStringLiteral("lineClose");
    m_sink = nullptr;
    m_calls.clear();
}

void TFakeLine::Post(quint32 hDevice, quint32 message, quintptr p1, quintptr p2, quintptr p3) {
    if (m_sink) m_sink->Post(hDevice, message, p1, p2, p3);
}

void TFakeLine::PhonePost(quint32 message, quintptr p1, quintptr p2, quintptr p3) {
    if (m_phoneSink) m_phoneSink->Post(message, p1, p2, p3);
}

qint32 TFakeLine::GetDevCaps(LINEDEVCAPS* caps) {
    const qint32 result =
        Result(QStringLiteral("lineGetDevCaps"), QStringLiteral("lineGetDevCaps"));
    if (result < 0) return result;
    caps->LineName = m_name.toLatin1();
    caps->ProviderInfo = "fake line";
    caps->dwMediaModes = MediaModes;
    caps->Problem = Problem;
    return 0;
}

qint32 TFakeLine::Open(TLineEventSink* sink, quint32 mediaModes) {
    const qint32 result =
        Result(QStringLiteral("lineOpen"), QStringLiteral("lineOpen media=") + Hex(mediaModes));
    if (result < 0) return result;
    m_sink = sink;
    OpenMediaModes = mediaModes;
    return 0;
}

qint32 TFakeLine::GetCallInfo(HCALL call, LINECALLINFO* info) {
    const qint32 result =
        Result(QStringLiteral("lineGetCallInfo"), QStringLiteral("lineGetCallInfo"));
    if (result < 0) return result;
    const quint32 size = info->dwTotalSize;
    *info = m_calls.value(call).Info;
    info->dwTotalSize = size;
    return 0;
}

qint32 TFakeLine::GetCallStatus(HCALL call, LINECALLSTATUS* status) {
    const qint32 result =
        Result(QStringLiteral("lineGetCallStatus"), QStringLiteral("lineGetCallStatus"));
    if (result < 0) return result;
    const quint32 size = status->dwTotalSize;
    *status = m_calls.value(call).Status;
    status->dwTotalSize = size;
    return 0;
}

qint32 TFakeLine::Accept(HCALL, qint32 requestId) {
    return Async(QStringLiteral("lineAccept"), QStringLiteral("lineAccept"), requestId);
}

qint32 TFakeLine::Answer(HCALL, qint32 requestId) {
    return Async(QStringLiteral("lineAnswer"), QStringLiteral("lineAnswer"), requestId);
}

qint32 TFakeLine::MonitorDigits(HCALL, quint32 digitModes) {
    return Result(QStringLiteral("lineMonitorDigits"),
                  QStringLiteral("lineMonitorDigits ") + Hex(digitModes));
}

qint32 TFakeLine::Drop(HCALL, qint32 requestId) {
    return Async(QStringLiteral("lineDrop"), QStringLiteral("lineDrop"), requestId);
}

qint32 TFakeLine::MakeCall(qint32 requestId, const QByteArray& number, const LINECALLPARAMS& params,
                           HCALL* call) {
    LastNumber = number;
    LastParams = params;
    const qint32 result =
        Async(QStringLiteral("lineMakeCall"),
              QStringLiteral("lineMakeCall ") + QString::fromLatin1(number), requestId);
    if (result < 0) return result;
    *call = NewCall(LINECALLSTATE_UNKNOWN);
    return 0;
}

qint32 TFakeLine::GetID(HCALL call, quint32 select, const QByteArray& deviceClass, VARSTRING* id) {
    const qint32 result = Result(QStringLiteral("lineGetID"),
                                 QStringLiteral("lineGetID ") + QString::fromLatin1(deviceClass) +
                                     QStringLiteral(" select=") + QString::number(select) +
                                     (call ? QStringLiteral(" call") : QString()));
    if (result < 0) return result;
    if (!Ids.contains(deviceClass)) return LINEERR_INVALDEVICECLASS;
    const quint32 size = id->dwTotalSize;
    *id = Ids.value(deviceClass);
    id->dwTotalSize = size;
    return 0;
}

qint32 TFakeLine::GetPhoneCaps(PHONECAPS* caps) {
    if (!HasPhone) return PHONEERR_NODEVICE;
    const qint32 result =
        Result(QStringLiteral("phoneGetDevCaps"), QStringLiteral("phoneGetDevCaps"));
    if (result < 0) return result;
    caps->PhoneName = m_name.toLatin1();
    caps->dwSpeakerHookSwitchModes = SpeakerHookSwitchModes;
    return 0;
}

qint32 TFakeLine::OpenPhone(TPhoneEventSink* sink) {
    if (!HasPhone) return PHONEERR_NODEVICE;
    const qint32 result = Result(QStringLiteral("phoneOpen"), QStringLiteral("phoneOpen"));
    if (result < 0) return result;
    m_phoneSink = sink;
    return 0;
}

void TFakeLine::ClosePhone() {
    Ops << QStringLiteral("phoneClose");
    m_phoneSink = nullptr;
}

qint32 TFakeLine::SetHookSwitch(qint32 requestId, quint32 devices, quint32 mode) {
    const qint32 result =
        Result(QStringLiteral("phoneSetHookSwitch"),
               QStringLiteral("phoneSetHookSwitch ") + Hex(devices) + QLatin1Char(' ') + Hex(mode));
    if (result < 0) return result;
    Requests << requestId;
    if (AutoReply && m_phoneSink) m_phoneSink->Reply(requestId, 0);
    return 0;
}

TFakeLine* TFakeLineProvider::AddLine(const QString& name) {
    m_lines.push_back(std::make_unique<TFakeLine>(name));
    return m_lines.back().get();
}

QList<TLineDevice*> TFakeLineProvider::Devices() {
    QList<TLineDevice*> devices;
    for (const auto& line : m_lines)
        devices << line.get();
    return devices;
}
