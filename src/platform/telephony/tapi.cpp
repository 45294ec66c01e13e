#include "platform/telephony/tapi.h"

#include <QtEndian>

#include "platform/telephony/lineservice.h"

namespace {
TLineService& Service() {
    return TLineService::Instance();
}

QByteArray Text(const char* text) {
    return text ? QByteArray(text) : QByteArray();
}
}  // namespace

VARSTRING BinaryId(quint32 id) {
    VARSTRING var;
    var.dwStringFormat = STRINGFORMAT_BINARY;
    var.String.resize(4);
    qToLittleEndian(id, var.String.data());
    return var;
}

void SetCallerIdStrings(LINECALLINFO* info, const QByteArray& number, const QByteArray* name) {
    info->CallerID = number;
    info->dwCallerIDOffset = kLineCallInfoFixedSize;
    info->dwCallerIDSize = number.isEmpty() ? 0 : quint32(number.size() + 1);
    info->CallerIDName = name ? *name : QByteArray();
    info->dwCallerIDNameOffset = name ? kLineCallInfoFixedSize + quint32(number.size() + 1) : 0;
    info->dwCallerIDNameSize = name ? quint32(name->size() + 1) : 0;
}

qint32 lineInitialize(HLINEAPP* lineApp, quint32, LINECALLBACK callback, const char*,
                      quint32* numDevs) {
    return Service().InitializeApp(lineApp, callback, numDevs);
}

qint32 lineNegotiateAPIVersion(HLINEAPP lineApp, quint32 deviceId, quint32 apiLowVersion,
                               quint32 apiHighVersion, quint32* apiVersion, LINEEXTENSIONID*) {
    return Service().Negotiate(lineApp, deviceId, apiLowVersion, apiHighVersion, apiVersion, false);
}

qint32 lineGetDevCaps(HLINEAPP lineApp, quint32 deviceId, quint32 apiVersion, quint32,
                      LINEDEVCAPS* caps) {
    qint32 error = 0;
    TLineDevice* device = Service().Device(lineApp, deviceId, &error, false);
    if (!device) return error;
    if (!caps) return LINEERR_INVALPOINTER;
    if (apiVersion != TAPI_VERSION_1_4) return LINEERR_INCOMPATIBLEAPIVERSION;
    return device->GetDevCaps(caps);
}

qint32 lineOpen(HLINEAPP lineApp, quint32 deviceId, HLINE* line, quint32 apiVersion, quint32,
                quintptr callbackInstance, quint32 privileges, quint32 mediaModes,
                const LINECALLPARAMS*) {
    if (apiVersion != TAPI_VERSION_1_4) return LINEERR_INCOMPATIBLEAPIVERSION;
    if (privileges &
        ~(LINECALLPRIVILEGE_NONE | LINECALLPRIVILEGE_MONITOR | LINECALLPRIVILEGE_OWNER))
        return LINEERR_INVALPRIVSELECT;
    if ((privileges & LINECALLPRIVILEGE_OWNER) && mediaModes == 0) return LINEERR_INVALMEDIAMODE;
    return Service().OpenLine(lineApp, deviceId, line, callbackInstance, mediaModes);
}

qint32 lineSetStatusMessages(HLINE line, quint32 lineStates, quint32) {
    return Service().SetStatusMessages(line, lineStates);
}

qint32 lineGetCallInfo(HCALL call, LINECALLINFO* info) {
    TLineDevice* device = Service().CallDevice(call);
    if (!device) return LINEERR_INVALCALLHANDLE;
    if (!info) return LINEERR_INVALPOINTER;
    return device->GetCallInfo(call, info);
}

qint32 lineGetCallStatus(HCALL call, LINECALLSTATUS* status) {
    TLineDevice* device = Service().CallDevice(call);
    if (!device) return LINEERR_INVALCALLHANDLE;
    if (!status) return LINEERR_INVALPOINTER;
    return device->GetCallStatus(call, status);
}

namespace {
// Starts an asynchronous call operation: the request ID, or the device's error.
template <typename Operation>
qint32 CallRequest(HCALL call, Operation operation) {
    TLineDevice* device = Service().CallDevice(call);
    if (!device) return LINEERR_INVALCALLHANDLE;
    const qint32 request = Service().NextRequestId();
    const qint32 result = operation(device, request);
    return result < 0 ? result : request;
}
}  // namespace

qint32 lineAccept(HCALL call, const char*, quint32) {
    return CallRequest(call, [call](TLineDevice* d, qint32 id) { return d->Accept(call, id); });
}

qint32 lineAnswer(HCALL call, const char*, quint32) {
    return CallRequest(call, [call](TLineDevice* d, qint32 id) { return d->Answer(call, id); });
}

qint32 lineDrop(HCALL call, const char*, quint32) {
    return CallRequest(call, [call](TLineDevice* d, qint32 id) { return d->Drop(call, id); });
}

qint32 lineMonitorDigits(HCALL call, quint32 digitModes) {
    TLineDevice* device = Service().CallDevice(call);
    if (!device) return LINEERR_INVALCALLHANDLE;
    if (digitModes & ~(LINEDIGITMODE_PULSE | LINEDIGITMODE_DTMF | LINEDIGITMODE_DTMFEND))
        return LINEERR_INVALDIGITMODE;
    return device->MonitorDigits(call, digitModes);
}

qint32 lineMakeCall(HLINE line, HCALL* call, const char* destAddress, quint32,
                    const LINECALLPARAMS* params) {
    return Service().MakeCall(line, call, Text(destAddress), params ? *params : LINECALLPARAMS{});
}

qint32 lineGetID(HLINE line, quint32, HCALL call, quint32 select, VARSTRING* deviceId,
                 const char* deviceClass) {
    if (!deviceId || !deviceClass) return LINEERR_INVALPOINTER;
    TLineDevice* device = nullptr;
    if (select == LINECALLSELECT_CALL) {
        device = Service().CallDevice(call);
        if (!device) return LINEERR_INVALCALLHANDLE;
    } else if (select == LINECALLSELECT_LINE || select == LINECALLSELECT_ADDRESS) {
        device = Service().LineDevice(line);
        if (!device) return LINEERR_INVALLINEHANDLE;
    } else {
        return LINEERR_INVALCALLSELECT;
    }
    return device->GetID(select == LINECALLSELECT_CALL ? call : 0, select, Text(deviceClass),
                         deviceId);
}

qint32 lineClose(HLINE line) {
    return Service().CloseLine(line);
}

qint32 lineShutdown(HLINEAPP lineApp) {
    return Service().ShutdownLineApp(lineApp);
}

qint32 phoneInitialize(HPHONEAPP* phoneApp, quint32, PHONECALLBACK callback, const char*,
                       quint32* numDevs) {
    const qint32 result = Service().InitializeApp(phoneApp, callback, numDevs);
    return result == LINEERR_INVALPOINTER ? PHONEERR_INVALPOINTER : result;
}

qint32 phoneNegotiateAPIVersion(HPHONEAPP phoneApp, quint32 deviceId, quint32 apiLowVersion,
                                quint32 apiHighVersion, quint32* apiVersion, PHONEEXTENSIONID*) {
    return Service().Negotiate(phoneApp, deviceId, apiLowVersion, apiHighVersion, apiVersion, true);
}

qint32 phoneGetDevCaps(HPHONEAPP phoneApp, quint32 deviceId, quint32 apiVersion, quint32,
                       PHONECAPS* caps) {
    qint32 error = 0;
    TLineDevice* device = Service().Device(phoneApp, deviceId, &error, true);
    if (!device) return error;
    if (!caps) return PHONEERR_INVALPOINTER;
    if (apiVersion != TAPI_VERSION_1_4) return PHONEERR_INCOMPATIBLEAPIVERSION;
    return device->GetPhoneCaps(caps);
}

qint32 phoneOpen(HPHONEAPP phoneApp, quint32 deviceId, HPHONE* phone, quint32 apiVersion, quint32,
                 quintptr callbackInstance, quint32 privilege) {
    if (apiVersion != TAPI_VERSION_1_4) return PHONEERR_INCOMPATIBLEAPIVERSION;
    if (privilege != PHONEPRIVILEGE_OWNER && privilege != PHONEPRIVILEGE_MONITOR)
        return PHONEERR_INVALPRIVILEGE;
    return Service().OpenPhone(phoneApp, deviceId, phone, callbackInstance);
}

qint32 phoneSetHookSwitch(HPHONE phone, quint32 hookSwitchDevs, quint32 hookSwitchMode) {
    TLineDevice* device = Service().PhoneDevice(phone);
    if (!device) return PHONEERR_INVALPHONEHANDLE;
    if (!hookSwitchDevs || (hookSwitchDevs & ~0x7u)) return PHONEERR_INVALHOOKSWITCHDEV;
    if (!hookSwitchMode || (hookSwitchMode & ~0xFu)) return PHONEERR_INVALHOOKSWITCHMODE;
    const qint32 request = Service().NextRequestId();
    const qint32 result = device->SetHookSwitch(request, hookSwitchDevs, hookSwitchMode);
    return result < 0 ? result : request;
}

qint32 phoneClose(HPHONE phone) {
    return Service().ClosePhone(phone);
}

qint32 phoneShutdown(HPHONEAPP phoneApp) {
    return Service().ShutdownPhoneApp(phoneApp);
}
