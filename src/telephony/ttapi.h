#pragma once
// The program's one wrapper over the line-device layer for a single modem: its line (calls,
// caller ID, touch tones) and its phone device (speaker phone). Every telephony event becomes
// a notification for the owner through the TTapiEvents table; the call operations answer,
// drop, dial, get the wave device IDs and switch the speaker phone.

#include <QString>
#include <functional>

#include "platform/telephony/tapi.h"

// The program's own event codes; every other code is the telephony value that caused it.
enum : int {
    EV_LINE_OPENED = 5009,
    EV_CONNECTED = 5010,
    EV_RINGING = 5011,
    EV_DIALING = 5012,
    EV_ANSWERED = 5013,
    EV_HUNG_UP = 5014,
    EV_CAPS_KNOWN = 5016,  // the modem, its line just opened, has said what it can do
    EV_LINE_READY = 5017,  // the modem answered its set-up and listens for calls
    REQ_MAKE_CALL = 5015,
};

// What a pending request asked for, besides answering (EV_ANSWERED) and dialling
// (REQ_MAKE_CALL).
enum : int { REQ_ACCEPT = 2, REQ_PHONE_HOOK = 8 };

// Speaker phone modes.
enum : int { SPK_TEST = 0, SPK_ON = 1, SPK_OFF = 2 };

struct TTapiEvents {
    // Every line event and every result or trace text of the line side (code 0: trace only).
    std::function<void(int code, const QString& text)> OnLineEvent;
    // Every phone device event (trace only).
    std::function<void(int code, const QString& text)> OnTrace;
    // The caller ID of the current call; flags are the LINECALLPARTYID bits.
    std::function<void(quint32 flags, const QString& name, const QString& number)> OnCallerId;
};

struct PendingRequest {
    static constexpr int kTextWidth = 64;
    QString Text;           // what was asked, at most 63 characters
    qint32 RequestId = -1;  // 0 or negative: the slot is free
    qint32 Kind = 0;        // REQ_ACCEPT, EV_ANSWERED, REQ_MAKE_CALL or REQ_PHONE_HOOK
};

class TTapi {
public:
    static constexpr int kRequestSlots = 10;
    // Operations of LineErrorText.
    enum : int {
        OP_LINE_INIT = 1,
        OP_LINE_OPEN = 2,
        OP_LINE_GET_ID = 3,
        OP_CALLER_ID = 4,
        OP_CALL_STATUS = 5,
        OP_MAKE_CALL = 6,
    };

    explicit TTapi(quint32 instance);
    ~TTapi();
    TTapi(const TTapi&) = delete;
    TTapi& operator=(const TTapi&) = delete;

    quint32 hInstance;
    quint32 LineApiVersion = 0;
    quint32 PhoneApiVersion = 0;
    PendingRequest Requests[kRequestSlots];
    QString LineName;
    QString LastError;
    TTapiEvents* Events;  // the owner's table (the owner keeps it), or the default one
    quint32 NumLineDevices = 0;
    quint32 NumPhoneDevices = 0;
    quint32 DeviceId = 0;
    HLINEAPP hLineApp = 0;
    HPHONEAPP hPhoneApp = 0;
    qint32 Incoming = 0;
    // Why the last call was disconnected (LINEDISCONNECTMODE_*), 0 while none was.
    quint32 DisconnectMode = 0;
    HCALL hCall = 0;
    HLINE hLine = 0;
    HPHONE hPhone = 0;
    quint32 WaveId = 0;

    // Line device and event dispatch.
    int InitLine();
    int InitPhone();
    int GetLineName(quint32 deviceId, QString* name);
    // What the line's provider says of it (a SIP line: its address and state); "" for none.
    QString GetProviderInfo(quint32 deviceId);
    // Why the line cannot take calls now, as its provider last saw it; empty when it can.
    QString GetLineProblem(quint32 deviceId);
    int FindLineDevice(const QString& name);
    int IsVoiceLine(quint32 deviceId);
    int OpenLine(quint32 deviceId, QString* errorText);
    int CloseLine();
    int ShutdownLine();
    int ClosePhone();
    int ShutdownPhone();
    quint32 GetCallState(HCALL call);
    void ReportCallerId(HCALL call);
    void PutRequest(qint32 requestId, qint32 kind, const QString& text);
    qint32 FindRequest(qint32 requestId, QString* text) const;
    void FreeRequest(qint32 requestId);
    void ClearRequests();
    void LineErrorText(int operation, qint32 code, QString* out);
    void PhoneErrorText(qint32 code, QString* out);
    static void LineCallback(quint32 hDevice, quint32 dwMessage, quintptr dwInstance,
                             quintptr dwParam1, quintptr dwParam2, quintptr dwParam3);
    static void PhoneCallback(quint32 hDevice, quint32 dwMessage, quintptr dwInstance,
                              quintptr dwParam1, quintptr dwParam2, quintptr dwParam3);

    // Call operations.
    bool IsCallOwner();
    bool CanAnswer();
    int Answer();
    bool Hangup();
    int MakeCall(const QString& number);
    int GetWaveId(const QString& deviceClass);
    int GetPhoneId();
    bool SpeakerPhoneSupported(int phoneId);
    bool OpenPhone(int phoneId);
    bool SetSpeakerPhone(int mode);

private:
    qint32 Negotiate(quint32 deviceId, quint32* version);
    bool GetDevCaps(quint32 deviceId, LINEDEVCAPS* caps);
    void LineEvent(int code, const QString& text);
    void Trace(int code, const QString& text);
    void OnLineMessage(quint32 hDevice, quint32 message, quintptr p1, quintptr p2, quintptr p3);
    void OnCallState(HCALL call, quint32 state, quint32 detail, quint32 privilege);
    void OnReply(qint32 requestId, qint32 result);
    void OnPhoneMessage(quint32 message, quintptr p1, quintptr p2);
    static qint64 DecodeId(const VARSTRING& id);

    TTapiEvents m_default;
};
