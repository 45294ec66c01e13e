#pragma once
// What a provider implements: line devices. The service hands each open line a sink through
// which the device reports; the sink queues every message to the event loop, so a device may
// report from inside an operation without the program seeing it before the call returns.

#include <QList>
#include <QString>

#include "platform/telephony/tapi.h"

class TLineEventSink {
public:
    virtual ~TLineEventSink() = default;
    virtual HLINE Line() const = 0;
    // A handle for a new call on this line.
    virtual HCALL NewCall() = 0;
    // Queues a message for the program; hDevice is the call or the line, as the message
    // requires.
    virtual void Post(quint32 hDevice, quint32 message, quintptr p1, quintptr p2 = 0,
                      quintptr p3 = 0) = 0;

    void CallState(HCALL call, quint32 state, quint32 mode = 0, quint32 privilege = 0) {
        Post(call, LINE_CALLSTATE, state, mode, privilege);
    }
    void CallInfo(HCALL call, quint32 infoStates) { Post(call, LINE_CALLINFO, infoStates); }
    void DevState(quint32 state) { Post(Line(), LINE_LINEDEVSTATE, state); }
    void Digit(HCALL call, char digit, quint32 mode = LINEDIGITMODE_DTMF) {
        Post(call, LINE_MONITORDIGITS, static_cast<unsigned char>(digit), mode);
    }
    void Reply(qint32 requestId, qint32 result) {
        Post(Line(), LINE_REPLY, static_cast<quint32>(requestId), static_cast<quint32>(result));
    }
    void Closed() { Post(Line(), LINE_CLOSE, 0); }
};

class TPhoneEventSink {
public:
    virtual ~TPhoneEventSink() = default;
    virtual HPHONE Phone() const = 0;
    virtual void Post(quint32 message, quintptr p1, quintptr p2 = 0, quintptr p3 = 0) = 0;
    void Reply(qint32 requestId, qint32 result) {
        Post(PHONE_REPLY, static_cast<quint32>(requestId), static_cast<quint32>(result));
    }
};

// One line device with its phone side. Asynchronous operations get the request ID the
// program will see, return 0 when started (or a negative error) and report LINE_REPLY or
// PHONE_REPLY later through the sink.
class TLineDevice {
public:
    virtual ~TLineDevice() = default;
    virtual QString Name() const = 0;
    virtual qint32 GetDevCaps(LINEDEVCAPS* caps) = 0;

    virtual qint32 Open(TLineEventSink* sink, quint32 mediaModes) = 0;
    virtual void Close() = 0;
    virtual qint32 GetCallInfo(HCALL call, LINECALLINFO* info) = 0;
    virtual qint32 GetCallStatus(HCALL call, LINECALLSTATUS* status) = 0;
    virtual qint32 Accept(HCALL call, qint32 requestId) = 0;
    virtual qint32 Answer(HCALL call, qint32 requestId) = 0;
    virtual qint32 MonitorDigits(HCALL call, quint32 digitModes) = 0;
    virtual qint32 Drop(HCALL call, qint32 requestId) = 0;
    // Sets *call to a handle from the sink's NewCall.
    virtual qint32 MakeCall(qint32 requestId, const QByteArray& number,
                            const LINECALLPARAMS& params, HCALL* call) = 0;
    virtual qint32 GetID(HCALL call, quint32 select, const QByteArray& deviceClass,
                         VARSTRING* id) = 0;

    virtual qint32 GetPhoneCaps(PHONECAPS*) { return PHONEERR_NODEVICE; }
    virtual qint32 OpenPhone(TPhoneEventSink*) { return PHONEERR_NODEVICE; }
    virtual void ClosePhone() {}
    virtual qint32 SetHookSwitch(qint32, quint32, quint32) { return PHONEERR_OPERATIONUNAVAIL; }

    // The device's line (and phone) device ID, given by the service when it lists devices.
    quint32 DeviceId = 0;
};

// The wave device IDs under which a line device's voice channel is registered.
inline int VoiceWaveOutId(quint32 deviceId) {
    return 1000 + 2 * int(deviceId);
}
inline int VoiceWaveInId(quint32 deviceId) {
    return 1001 + 2 * int(deviceId);
}

class TLineProvider {
public:
    virtual ~TLineProvider() = default;
    // The provider's devices now, in order; the provider owns them.
    virtual QList<TLineDevice*> Devices() = 0;
};

// Providers join and leave the service; a leaving provider's open lines are closed.
void RegisterLineProvider(TLineProvider* provider);
void UnregisterLineProvider(TLineProvider* provider);
