// The texts TTapi gives telephony error codes.

#include "telephony/ttapi.h"

namespace {
struct Reason {
    qint32 Code;
    const char* Text;
};

template <size_t N>
QString Lookup(const Reason (&table)[N], qint32 code, const char* fallback) {
    for (const Reason& reason : table)
        if (reason.Code == code) return QLatin1String(reason.Text);
    return QLatin1String(fallback);
}

const Reason kLineInit[] = {
    {LINEERR_INIFILECORRUPT, "lineinit error"},  {LINEERR_INVALAPPNAME, "lineinit error"},
    {LINEERR_INVALPOINTER, "lineinit error"},    {LINEERR_NODEVICE, "lineinit error"},
    {LINEERR_NODRIVER, "lineinit error"},        {LINEERR_NOMEM, "lineinit error"},
    {LINEERR_OPERATIONFAILED, "lineinit error"}, {LINEERR_RESOURCEUNAVAIL, "lineinit error"},
    {LINEERR_REINIT, "lineinit error"},          {LINEERR_NOMULTIPLEINSTANCE, "lineinit error"},
};

const Reason kLineOpen[] = {
    {LINEERR_ALLOCATED, "Line already allocated"},
    {LINEERR_BADDEVICEID, "Bad device id"},
    {LINEERR_INCOMPATIBLEAPIVERSION, "Incompatible API version"},
    {LINEERR_INCOMPATIBLEEXTVERSION, "Incompatible EXT Version"},
    {LINEERR_INVALAPPHANDLE, "Invalid application handle"},
    {LINEERR_INVALMEDIAMODE, "Invalid media mode - Modem probably not a voice modem"},
    {LINEERR_INVALPOINTER, "Invalid Pointer"},
    {LINEERR_INVALPRIVSELECT, "Invalid privledge's"},
    {LINEERR_LINEMAPPERFAILED, "Line mapper failed"},
    {LINEERR_NODEVICE, "No device"},
    {LINEERR_NODRIVER, "No driver"},
    {LINEERR_NOMEM, "No memory"},
    {LINEERR_OPERATIONFAILED, "Operation Failed"},
    {LINEERR_OPERATIONUNAVAIL, "Operation unavaliable"},
    {LINEERR_RESOURCEUNAVAIL, "Resource (modem) unavailable"},
    {LINEERR_STRUCTURETOOSMALL, "Structure too small"},
    {LINEERR_UNINITIALIZED, "Line uninitialized"},
    {LINEERR_REINIT, "Reinitalize"},
};

const Reason kLineGetId[] = {
    {LINEERR_INVALADDRESSID, "Invalid address ID"},
    {LINEERR_INVALCALLHANDLE, "Invalid call handle"},
    {LINEERR_INVALCALLSELECT, "Invalid call select"},
    {LINEERR_INVALLINEHANDLE, "Invalid line handle"},
    {LINEERR_INVALPOINTER, "Invalid pointer"},
    {LINEERR_NODEVICE, "No device"},
    {LINEERR_NOMEM, "No memory"},
    {LINEERR_OPERATIONFAILED, "Operation failed"},
    {LINEERR_OPERATIONUNAVAIL, "Operation unavailable"},
    {LINEERR_RESOURCEUNAVAIL, "Resource unavailable"},
    {LINEERR_STRUCTURETOOSMALL, "Structure too small"},
    {LINEERR_UNINITIALIZED, "Uninitialized"},
};

const Reason kCallerId[] = {
    {LINEERR_INVALCALLHANDLE, "Invalid Call Handle"},
    {LINEERR_INVALPOINTER, "Invalid Pointer"},
    {LINEERR_NOMEM, "No memory"},
    {LINEERR_OPERATIONFAILED, "Operation Failed"},
    {LINEERR_OPERATIONUNAVAIL, "Operation Unavailable"},
    {LINEERR_RESOURCEUNAVAIL, "Resource Unavailable"},
    {LINEERR_STRUCTURETOOSMALL, "Structure too small"},
    {LINEERR_UNINITIALIZED, "Uninitialized"},
};

const Reason kCallStatus[] = {
    {LINEERR_INVALCALLHANDLE, "Invalid call handle"},
    {LINEERR_INVALPOINTER, "Invalid pointer"},
    {LINEERR_NOMEM, "No memory"},
    {LINEERR_OPERATIONFAILED, "Operation failed"},
    {LINEERR_OPERATIONUNAVAIL, "Operation unavailable"},
    {LINEERR_RESOURCEUNAVAIL, "Resource unavailable"},
    {LINEERR_STRUCTURETOOSMALL, "Structure too small"},
    {LINEERR_UNINITIALIZED, "Uninitialized"},
};

const Reason kMakeCall[] = {
    {LINEERR_BEARERMODEUNAVAIL, "Bearer mode unavailable"},
    {LINEERR_CALLUNAVAIL, "Call unavailble"},
    {LINEERR_DIALBILLING, "Dial billing"},
    {LINEERR_DIALDIALTONE, "Dial tone"},
    {LINEERR_DIALPROMPT, "Dial prompt"},
    {LINEERR_DIALQUIET, "Dial quite"},
    {LINEERR_INUSE, "In use"},
    {LINEERR_INVALADDRESS, "Lineinit error"},
    {LINEERR_INVALADDRESSID, "Invalid address ID"},
    {LINEERR_INVALADDRESSMODE, "invalid address mode"},
    {LINEERR_INVALBEARERMODE, "Invalid bearer mode"},
    {LINEERR_INVALCALLPARAMS, "Invalid call parameters"},
    {LINEERR_INVALCOUNTRYCODE, "Invalid country code"},
    {LINEERR_INVALLINEHANDLE, "Invalid handle"},
    {LINEERR_INVALLINESTATE, "Invalid line state"},
    {LINEERR_INVALMEDIAMODE, "Invalid media mode - Modem probably not a voice modem"},
    {LINEERR_INVALPARAM, "Lineinit error"},
    {LINEERR_INVALPOINTER, "Invalid Point"},
    {LINEERR_INVALRATE, "Invalid rate"},
    {LINEERR_NOMEM, "No memory"},
    {LINEERR_OPERATIONFAILED, "Operation failed"},
    {LINEERR_OPERATIONUNAVAIL, "Operation is unavailable"},
    {LINEERR_RATEUNAVAIL, "Rate unavailable"},
    {LINEERR_RESOURCEUNAVAIL, "Resource unavailable"},
    {LINEERR_STRUCTURETOOSMALL, "Structure too small"},
    {LINEERR_UNINITIALIZED, "Uninitialized"},
    {LINEERR_USERUSERINFOTOOBIG, "User info too big"},
    {LINEERR_ADDRESSBLOCKED, "Address blocked"},
};

const Reason kPhone[] = {
    {PHONEERR_BADDEVICEID, "bad device id"},
    {PHONEERR_INCOMPATIBLEAPIVERSION, "incompatible api version"},
    {PHONEERR_INCOMPATIBLEEXTVERSION, "incompatible ext version"},
    {PHONEERR_INVALAPPHANDLE, "invalid handle"},
    {PHONEERR_INVALPOINTER, "invalid pointer"},
    {PHONEERR_NODEVICE, "no device"},
    {PHONEERR_NODRIVER, "no driver"},
    {PHONEERR_NOMEM, "no memory"},
    {PHONEERR_OPERATIONFAILED, "operation failed"},
    {PHONEERR_OPERATIONUNAVAIL, "operation unavailable"},
    {PHONEERR_RESOURCEUNAVAIL, "resource unavailable"},
    {PHONEERR_STRUCTURETOOSMALL, "structure too small"},
    {PHONEERR_UNINITIALIZED, "uninitialized"},
};

constexpr int kLastErrorWidth = 255;
}  // namespace

void TTapi::LineErrorText(int operation, qint32 code, QString* out) {
    QString label, reason;
    switch (operation) {
        case OP_LINE_INIT:
            label = QStringLiteral("lineInit");
            reason = Lookup(kLineInit, code, "unknown lineinit error");
            break;
        case OP_LINE_OPEN:
            label = QStringLiteral("lineOpen");
            reason = Lookup(kLineOpen, code, "Unknown");
            break;
        case OP_LINE_GET_ID:
            label = QStringLiteral("lineGetID");
            reason = Lookup(kLineGetId, code, "Unknown");
            break;
        case OP_CALLER_ID:
            label = QStringLiteral("Get Caller ID Failed Reason:");
            reason = Lookup(kCallerId, code, "Unknown");
            break;
        case OP_CALL_STATUS:
            label = QStringLiteral("Get call status failed reason:");
            reason = Lookup(kCallStatus, code, "Unknown");
            break;
        case OP_MAKE_CALL:
            label = QStringLiteral("MakeCall");
            reason = Lookup(kMakeCall, code, "Unknown");
            break;
        default:
            label = QStringLiteral("Unknown");
            reason = QStringLiteral("Unprocessed error");
    }
    LastError = reason.left(kLastErrorWidth);
    if (out)
        *out = QStringLiteral("Error calling TAPI function ") + label +
               QStringLiteral("\rReason: ") + reason + QStringLiteral("\rCode: ") +
               QString::number(code);
}

void TTapi::PhoneErrorText(qint32 code, QString* out) {
    const QString reason = Lookup(kPhone, code, "unknown");
    if (out) *out = reason;
    LastError = (QStringLiteral("Phone failed. Function: Speaker phone Reason: ") + reason)
                    .left(kLastErrorWidth);
}
