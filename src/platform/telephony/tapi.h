#pragma once
// The line-device layer: the telephony operations the program uses, in the shape, result
// conventions and numeric values of the classic telephony API (request IDs above 0, negative
// LINEERR_/PHONEERR_ codes, LINE_/PHONE_ message numbers). Plain structs replace the
// variable-size buffers; they carry the fields the program reads. Every callback arrives
// through the Qt event loop, never from inside the operation that caused it.

#include <QByteArray>
#include <QtGlobal>

using HLINEAPP = quint32;
using HLINE = quint32;
using HCALL = quint32;
using HPHONEAPP = quint32;
using HPHONE = quint32;

using LINECALLBACK = void (*)(quint32 hDevice, quint32 dwMessage, quintptr dwInstance,
                              quintptr dwParam1, quintptr dwParam2, quintptr dwParam3);
using PHONECALLBACK = LINECALLBACK;

constexpr quint32 TAPI_VERSION_1_4 = 0x00010004;

// Error codes: negative as results.
constexpr qint32 LINEERR_ALLOCATED = qint32(0x80000001);
constexpr qint32 LINEERR_BADDEVICEID = qint32(0x80000002);
constexpr qint32 LINEERR_BEARERMODEUNAVAIL = qint32(0x80000003);
constexpr qint32 LINEERR_CALLUNAVAIL = qint32(0x80000005);
constexpr qint32 LINEERR_DIALBILLING = qint32(0x80000008);
constexpr qint32 LINEERR_DIALDIALTONE = qint32(0x80000009);
constexpr qint32 LINEERR_DIALPROMPT = qint32(0x8000000A);
constexpr qint32 LINEERR_DIALQUIET = qint32(0x8000000B);
constexpr qint32 LINEERR_INCOMPATIBLEAPIVERSION = qint32(0x8000000C);
constexpr qint32 LINEERR_INCOMPATIBLEEXTVERSION = qint32(0x8000000D);
constexpr qint32 LINEERR_INIFILECORRUPT = qint32(0x8000000E);
constexpr qint32 LINEERR_INUSE = qint32(0x8000000F);
constexpr qint32 LINEERR_INVALADDRESS = qint32(0x80000010);
constexpr qint32 LINEERR_INVALADDRESSID = qint32(0x80000011);
constexpr qint32 LINEERR_INVALADDRESSMODE = qint32(0x80000012);
constexpr qint32 LINEERR_INVALAPPHANDLE = qint32(0x80000014);
constexpr qint32 LINEERR_INVALAPPNAME = qint32(0x80000015);
constexpr qint32 LINEERR_INVALBEARERMODE = qint32(0x80000016);
constexpr qint32 LINEERR_INVALCALLHANDLE = qint32(0x80000018);
constexpr qint32 LINEERR_INVALCALLPARAMS = qint32(0x80000019);
constexpr qint32 LINEERR_INVALCALLSELECT = qint32(0x8000001B);
constexpr qint32 LINEERR_INVALCALLSTATE = qint32(0x8000001C);
constexpr qint32 LINEERR_INVALCOUNTRYCODE = qint32(0x80000022);
constexpr qint32 LINEERR_INVALDEVICECLASS = qint32(0x80000023);
constexpr qint32 LINEERR_INVALDIGITMODE = qint32(0x80000027);
constexpr qint32 LINEERR_INVALLINEHANDLE = qint32(0x8000002B);
constexpr qint32 LINEERR_INVALLINESTATE = qint32(0x8000002C);
constexpr qint32 LINEERR_INVALMEDIAMODE = qint32(0x8000002F);
constexpr qint32 LINEERR_INVALPARAM = qint32(0x80000032);
constexpr qint32 LINEERR_INVALPOINTER = qint32(0x80000035);
constexpr qint32 LINEERR_INVALPRIVSELECT = qint32(0x80000036);
constexpr qint32 LINEERR_INVALRATE = qint32(0x80000037);
constexpr qint32 LINEERR_LINEMAPPERFAILED = qint32(0x80000040);
constexpr qint32 LINEERR_NODEVICE = qint32(0x80000042);
constexpr qint32 LINEERR_NODRIVER = qint32(0x80000043);
constexpr qint32 LINEERR_NOMEM = qint32(0x80000044);
constexpr qint32 LINEERR_NOTOWNER = qint32(0x80000046);
constexpr qint32 LINEERR_OPERATIONFAILED = qint32(0x80000048);
constexpr qint32 LINEERR_OPERATIONUNAVAIL = qint32(0x80000049);
constexpr qint32 LINEERR_RATEUNAVAIL = qint32(0x8000004A);
constexpr qint32 LINEERR_RESOURCEUNAVAIL = qint32(0x8000004B);
constexpr qint32 LINEERR_STRUCTURETOOSMALL = qint32(0x8000004D);
constexpr qint32 LINEERR_UNINITIALIZED = qint32(0x80000050);
constexpr qint32 LINEERR_USERUSERINFOTOOBIG = qint32(0x80000051);
constexpr qint32 LINEERR_REINIT = qint32(0x80000052);
constexpr qint32 LINEERR_ADDRESSBLOCKED = qint32(0x80000053);
constexpr qint32 LINEERR_NOMULTIPLEINSTANCE = qint32(0x80000056);

constexpr qint32 PHONEERR_ALLOCATED = qint32(0x90000001);
constexpr qint32 PHONEERR_BADDEVICEID = qint32(0x90000002);
constexpr qint32 PHONEERR_INCOMPATIBLEAPIVERSION = qint32(0x90000003);
constexpr qint32 PHONEERR_INCOMPATIBLEEXTVERSION = qint32(0x90000004);
constexpr qint32 PHONEERR_INVALAPPHANDLE = qint32(0x90000007);
constexpr qint32 PHONEERR_INVALHOOKSWITCHDEV = qint32(0x9000000F);
constexpr qint32 PHONEERR_INVALHOOKSWITCHMODE = qint32(0x90000010);
constexpr qint32 PHONEERR_INVALPHONEHANDLE = qint32(0x90000013);
constexpr qint32 PHONEERR_INVALPOINTER = qint32(0x90000015);
constexpr qint32 PHONEERR_INVALPRIVILEGE = qint32(0x90000016);
constexpr qint32 PHONEERR_NODEVICE = qint32(0x90000018);
constexpr qint32 PHONEERR_NODRIVER = qint32(0x90000019);
constexpr qint32 PHONEERR_NOMEM = qint32(0x9000001A);
constexpr qint32 PHONEERR_OPERATIONFAILED = qint32(0x9000001C);
constexpr qint32 PHONEERR_OPERATIONUNAVAIL = qint32(0x9000001D);
constexpr qint32 PHONEERR_RESOURCEUNAVAIL = qint32(0x9000001F);
constexpr qint32 PHONEERR_STRUCTURETOOSMALL = qint32(0x90000021);
constexpr qint32 PHONEERR_UNINITIALIZED = qint32(0x90000022);

// Messages.
enum : quint32 {
    LINE_ADDRESSSTATE = 0,
    LINE_CALLINFO = 1,
    LINE_CALLSTATE = 2,
    LINE_CLOSE = 3,
    LINE_DEVSPECIFIC = 4,
    LINE_DEVSPECIFICFEATURE = 5,
    LINE_GATHERDIGITS = 6,
    LINE_GENERATE = 7,
    LINE_LINEDEVSTATE = 8,
    LINE_MONITORDIGITS = 9,
    LINE_MONITORMEDIA = 10,
    LINE_MONITORTONE = 11,
    LINE_REPLY = 12,
    LINE_REQUEST = 13,
    PHONE_BUTTON = 14,
    PHONE_CLOSE = 15,
    PHONE_DEVSPECIFIC = 16,
    PHONE_REPLY = 17,
    PHONE_STATE = 18,
    LINE_CREATE = 19,
    PHONE_CREATE = 20,
};

enum : quint32 {
    LINECALLSTATE_IDLE = 0x1,
    LINECALLSTATE_OFFERING = 0x2,
    LINECALLSTATE_ACCEPTED = 0x4,
    LINECALLSTATE_DIALTONE = 0x8,
    LINECALLSTATE_DIALING = 0x10,
    LINECALLSTATE_RINGBACK = 0x20,
    LINECALLSTATE_BUSY = 0x40,
    LINECALLSTATE_SPECIALINFO = 0x80,
    LINECALLSTATE_CONNECTED = 0x100,
    LINECALLSTATE_PROCEEDING = 0x200,
    LINECALLSTATE_ONHOLD = 0x400,
    LINECALLSTATE_DISCONNECTED = 0x4000,
    LINECALLSTATE_UNKNOWN = 0x8000,
};

enum : quint32 {
    LINEDISCONNECTMODE_NORMAL = 0x1,
    LINEDISCONNECTMODE_UNKNOWN = 0x2,
    LINEDISCONNECTMODE_REJECT = 0x4,
    LINEDISCONNECTMODE_PICKUP = 0x8,  // someone took the call on another phone
    LINEDISCONNECTMODE_BUSY = 0x20,
    LINEDISCONNECTMODE_NOANSWER = 0x40,
    LINEDISCONNECTMODE_UNAVAIL = 0x800,
    LINEDISCONNECTMODE_NODIALTONE = 0x1000,
};

enum : quint32 {
    LINEDEVSTATE_OTHER = 0x1,
    LINEDEVSTATE_RINGING = 0x2,
    LINEDEVSTATE_CONNECTED = 0x4,
    LINEDEVSTATE_DISCONNECTED = 0x8,
    LINEDEVSTATE_REINIT = 0x40000,
    LINEDEVSTATE_CAPSCHANGE = 0x100000,
};

enum : quint32 {
    LINECALLPRIVILEGE_NONE = 0x1,
    LINECALLPRIVILEGE_MONITOR = 0x2,
    LINECALLPRIVILEGE_OWNER = 0x4,
};

enum : quint32 {
    LINEMEDIAMODE_UNKNOWN = 0x2,
    LINEMEDIAMODE_INTERACTIVEVOICE = 0x4,
    LINEMEDIAMODE_AUTOMATEDVOICE = 0x8,
    LINEMEDIAMODE_DATAMODEM = 0x10,
};

enum : quint32 {
    LINECALLPARTYID_BLOCKED = 0x1,
    LINECALLPARTYID_OUTOFAREA = 0x2,
    LINECALLPARTYID_NAME = 0x4,
    LINECALLPARTYID_ADDRESS = 0x8,
    LINECALLPARTYID_PARTIAL = 0x10,
    LINECALLPARTYID_UNKNOWN = 0x20,
    LINECALLPARTYID_UNAVAIL = 0x40,
};

constexpr quint32 LINECALLINFOSTATE_CALLERID = 0x8000;

enum : quint32 {
    LINECALLFEATURE_ACCEPT = 0x1,
    LINECALLFEATURE_ANSWER = 0x4,
    LINECALLFEATURE_DIAL = 0x40,
    LINECALLFEATURE_DROP = 0x80,
    LINECALLFEATURE_MONITORDIGITS = 0x400,
};

enum : quint32 { LINEDIGITMODE_PULSE = 0x1, LINEDIGITMODE_DTMF = 0x2, LINEDIGITMODE_DTMFEND = 0x4 };
enum : quint32 {
    LINECALLSELECT_LINE = 0x1,
    LINECALLSELECT_ADDRESS = 0x2,
    LINECALLSELECT_CALL = 0x4
};
enum : quint32 {
    STRINGFORMAT_ASCII = 1,
    STRINGFORMAT_DBCS = 2,
    STRINGFORMAT_UNICODE = 3,
    STRINGFORMAT_BINARY = 4
};

enum : quint32 {
    PHONEHOOKSWITCHDEV_HANDSET = 0x1,
    PHONEHOOKSWITCHDEV_SPEAKER = 0x2,
    PHONEHOOKSWITCHDEV_HEADSET = 0x4
};
enum : quint32 {
    PHONEHOOKSWITCHMODE_ONHOOK = 0x1,
    PHONEHOOKSWITCHMODE_MIC = 0x2,
    PHONEHOOKSWITCHMODE_SPEAKER = 0x4,
    PHONEHOOKSWITCHMODE_MICSPEAKER = 0x8,
};
enum : quint32 { PHONEPRIVILEGE_MONITOR = 0x1, PHONEPRIVILEGE_OWNER = 0x2 };
enum : quint32 {
    PHONESTATE_OTHER = 0x1,
    PHONESTATE_CONNECTED = 0x2,
    PHONESTATE_DISCONNECTED = 0x4,
    PHONESTATE_SPEAKERHOOKSWITCH = 0x1000,
    PHONESTATE_REINIT = 0x200000,
    PHONESTATE_REMOVED = 0x800000,
};

struct LINEEXTENSIONID {
    quint32 dwExtensionID0 = 0, dwExtensionID1 = 0, dwExtensionID2 = 0, dwExtensionID3 = 0;
};
using PHONEEXTENSIONID = LINEEXTENSIONID;

struct LINEDEVCAPS {
    quint32 dwTotalSize = 0;
    QByteArray LineName;      // the string at dwLineNameOffset
    QByteArray ProviderInfo;  // the provider's identification of the device
    QByteArray Problem;       // why the line cannot take calls now; empty when it can
    quint32 dwMediaModes = 0;
    quint32 dwStringFormat = STRINGFORMAT_ASCII;
};

// The fixed part of the call information record; variable strings lie past it.
constexpr quint32 kLineCallInfoFixedSize = 296;

struct LINECALLINFO {
    quint32 dwTotalSize = 0;
    quint32 dwCallerIDFlags = 0;
    quint32 dwCallerIDSize = 0;
    quint32 dwCallerIDOffset = 0;
    quint32 dwCallerIDNameSize = 0;
    quint32 dwCallerIDNameOffset = 0;  // 0 when the record holds no name string
    QByteArray CallerID;               // the string at dwCallerIDOffset
    QByteArray CallerIDName;           // the string at dwCallerIDNameOffset
};

// Lays out the caller ID strings past the fixed part, the number first; without a name
// string the name offset stays 0.
void SetCallerIdStrings(LINECALLINFO* info, const QByteArray& number, const QByteArray* name);

struct LINECALLSTATUS {
    quint32 dwTotalSize = 0;
    quint32 dwCallState = 0;
    quint32 dwCallStateMode = 0;
    quint32 dwCallPrivilege = 0;
    quint32 dwCallFeatures = 0;
};

struct LINECALLPARAMS {
    quint32 dwTotalSize = 0;
    quint32 dwBearerMode = 0;
    quint32 dwMinRate = 0;
    quint32 dwMaxRate = 0;
    quint32 dwMediaMode = 0;
};

struct VARSTRING {
    quint32 dwTotalSize = 0;
    quint32 dwStringFormat = 0;
    QByteArray String;  // the bytes at dwStringOffset
};
// A device ID as lineGetID gives it: four bytes, little-endian.
VARSTRING BinaryId(quint32 id);

struct PHONECAPS {
    quint32 dwTotalSize = 0;
    QByteArray PhoneName;
    quint32 dwSpeakerHookSwitchModes = 0;
};

qint32 lineInitialize(HLINEAPP* lineApp, quint32 hInstance, LINECALLBACK callback,
                      const char* appName, quint32* numDevs);
qint32 lineNegotiateAPIVersion(HLINEAPP lineApp, quint32 deviceId, quint32 apiLowVersion,
                               quint32 apiHighVersion, quint32* apiVersion,
                               LINEEXTENSIONID* extensionId);
qint32 lineGetDevCaps(HLINEAPP lineApp, quint32 deviceId, quint32 apiVersion, quint32 extVersion,
                      LINEDEVCAPS* caps);
qint32 lineOpen(HLINEAPP lineApp, quint32 deviceId, HLINE* line, quint32 apiVersion,
                quint32 extVersion, quintptr callbackInstance, quint32 privileges,
                quint32 mediaModes, const LINECALLPARAMS* params);
qint32 lineSetStatusMessages(HLINE line, quint32 lineStates, quint32 addressStates);
qint32 lineGetCallInfo(HCALL call, LINECALLINFO* info);
qint32 lineGetCallStatus(HCALL call, LINECALLSTATUS* status);
qint32 lineAccept(HCALL call, const char* userUserInfo, quint32 size);
qint32 lineAnswer(HCALL call, const char* userUserInfo, quint32 size);
qint32 lineMonitorDigits(HCALL call, quint32 digitModes);
qint32 lineDrop(HCALL call, const char* userUserInfo, quint32 size);
qint32 lineMakeCall(HLINE line, HCALL* call, const char* destAddress, quint32 countryCode,
                    const LINECALLPARAMS* params);
qint32 lineGetID(HLINE line, quint32 addressId, HCALL call, quint32 select, VARSTRING* deviceId,
                 const char* deviceClass);
qint32 lineClose(HLINE line);
qint32 lineShutdown(HLINEAPP lineApp);

qint32 phoneInitialize(HPHONEAPP* phoneApp, quint32 hInstance, PHONECALLBACK callback,
                       const char* appName, quint32* numDevs);
qint32 phoneNegotiateAPIVersion(HPHONEAPP phoneApp, quint32 deviceId, quint32 apiLowVersion,
                                quint32 apiHighVersion, quint32* apiVersion,
                                PHONEEXTENSIONID* extensionId);
qint32 phoneGetDevCaps(HPHONEAPP phoneApp, quint32 deviceId, quint32 apiVersion, quint32 extVersion,
                       PHONECAPS* caps);
qint32 phoneOpen(HPHONEAPP phoneApp, quint32 deviceId, HPHONE* phone, quint32 apiVersion,
                 quint32 extVersion, quintptr callbackInstance, quint32 privilege);
qint32 phoneSetHookSwitch(HPHONE phone, quint32 hookSwitchDevs, quint32 hookSwitchMode);
qint32 phoneClose(HPHONE phone);
qint32 phoneShutdown(HPHONEAPP phoneApp);
