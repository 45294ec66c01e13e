#pragma once
// Assembles one caller ID block from the modem's lines: formatted (DATE, TIME, NMBR, NAME,
// MESG, DDN_NMBR, NBR; with or without blanks around '=') or unformatted (one line of hex,
// SDMF or MDMF, accepted only with a good checksum).

#include <QByteArray>
#include <QtGlobal>

struct TCallerId {
    QByteArray Number;
    QByteArray Name;
    quint32 Flags = 0;  // LINECALLPARTYID bits
    bool IsEmpty() const { return Number.isEmpty() && Name.isEmpty() && Flags == 0; }
};

class TCallerIdAssembler {
public:
    // True when the line belonged to a caller ID block (and was taken in).
    bool Take(const QByteArray& line);
    bool HasData() const { return m_seen; }
    // Both number and name are in: nothing more is expected.
    bool Complete() const { return m_haveNumber && m_haveName; }
    // The block as the line reports it; clears the assembler.
    TCallerId Finish();
    void Clear() { *this = TCallerIdAssembler(); }

    // The fields of an unformatted packet, or false when it is not valid.
    static bool DecodeHex(const QByteArray& hex, QByteArray* number, QByteArray* name);

private:
    void SetNumber(const QByteArray& value);
    void SetName(const QByteArray& value);

    bool m_seen = false;
    bool m_haveNumber = false;
    bool m_haveName = false;
    QByteArray m_number;
    QByteArray m_name;
    quint32 m_numberFlags = 0;
};

struct LINECALLINFO;
// A call's information as a line reports it: cleared (its size kept), with the caller ID when
// there is one. A name string always goes along, empty when the line sent none, so that a
// number alone still reaches the call log.
void FillCallInfo(LINECALLINFO* info, const TCallerId* callerId);

// A SIP caller's identity from the headers of the INVITE: P-Asserted-Identity, else
// Remote-Party-ID, else From (each as it stands in the request, empty when absent); the display
// name is the name and the URI's user part the number. A hidden caller (anonymous, or a
// Privacy header that hides the identity) is a private caller and one with no user part an
// unknown one, as a modem reports them.
TCallerId SipCallerId(const QByteArray& assertedIdentity, const QByteArray& remotePartyId,
                      const QByteArray& from, const QByteArray& privacy);
