#include "platform/telephony/callerid.h"

#include <cctype>

#include "platform/telephony/tapi.h"

namespace {
constexpr int kMaxField = 31;  // what the call information can carry

bool IsHex(const QByteArray& text) {
    if (text.isEmpty() || text.size() % 2 != 0) return false;
    for (const char c : text)
        if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
    return true;
}

// An unformatted packet: at least a type, a length and a checksum.
bool IsHexLine(const QByteArray& line) {
    return line.size() >= 8 && IsHex(line);
}

// Printable Latin-1 only: the line may carry anything.
QByteArray Printable(const QByteArray& value) {
    QByteArray out;
    for (const char c : value)
        if (static_cast<unsigned char>(c) >= 32 && c != 127) out += c;
    return out.trimmed().left(kMaxField);
}
}  // namespace

bool TCallerIdAssembler::Take(const QByteArray& raw) {
    const QByteArray line = raw.trimmed();
    const qsizetype eq = line.indexOf('=');
    if (eq < 0) {
        if (!IsHexLine(line)) return false;
        QByteArray number, name;
        if (!DecodeHex(line, &number, &name)) return false;
        m_seen = true;
        if (!number.isEmpty()) SetNumber(number);
        if (!name.isEmpty()) SetName(name);
        return true;
    }
    const QByteArray label = line.left(eq).trimmed().toUpper();
    const QByteArray value = line.mid(eq + 1).trimmed();
    if (label == "NMBR" || label == "DDN_NMBR" || label == "NBR") {
        SetNumber(value);
    } else if (label == "NAME") {
        SetName(value);
    } else if (label == "MESG") {
        // A message the modem could not decode: a name when it is not hex.
        if (!IsHex(value) && !m_haveName) SetName(value);
    } else if (label != "DATE" && label != "TIME") {
        return false;
    }
    m_seen = true;
    return true;
}

void TCallerIdAssembler::SetNumber(const QByteArray& value) {
    // A real number followed by "O" keeps the first one.
    if (m_haveNumber && m_numberFlags == 0) return;
    m_haveNumber = true;
    const QByteArray upper = value.toUpper();
    if (upper == "O") {
        m_numberFlags = LINECALLPARTYID_OUTOFAREA;
        m_number.clear();
    } else if (upper == "P" || upper == "A") {
        m_numberFlags = LINECALLPARTYID_BLOCKED;
        m_number.clear();
    } else {
        m_numberFlags = 0;
        m_number = Printable(value);
    }
}

void TCallerIdAssembler::SetName(const QByteArray& value) {
    m_haveName = true;
    const QByteArray upper = value.toUpper();
    m_name = (upper == "O" || upper == "P" || upper == "A") ? QByteArray() : Printable(value);
}

TCallerId TCallerIdAssembler::Finish() {
    // A block of only a date and a time names no caller: no caller ID at all.
    if (m_number.isEmpty() && m_name.isEmpty() && !m_numberFlags) {
        Clear();
        return {};
    }
    TCallerId id;
    id.Number = m_number;
    id.Name = m_name;
    if (m_numberFlags) {
        id.Flags = m_numberFlags;
    } else {
        if (!m_number.isEmpty()) id.Flags |= LINECALLPARTYID_ADDRESS;
        if (!m_name.isEmpty()) id.Flags |= LINECALLPARTYID_NAME;
        if (id.Flags == 0) id.Flags = LINECALLPARTYID_UNKNOWN;
    }
    Clear();
    return id;
}

bool TCallerIdAssembler::DecodeHex(const QByteArray& hex, QByteArray* number, QByteArray* name) {
    const QByteArray packet = QByteArray::fromHex(hex);
    if (packet.size() < 3) return false;
    const int type = static_cast<unsigned char>(packet[0]);
    const int length = static_cast<unsigned char>(packet[1]);
    if (length + 3 != packet.size()) return false;
    unsigned sum = 0;
    for (const char b : packet)
        sum += static_cast<unsigned char>(b);
    if ((sum & 0xFF) != 0) return false;  // the checksum makes the sum zero
    const QByteArray body = packet.mid(2, length);
    if (type == 0x04) {  // single message: MMDDHHMM then the number
        if (body.size() < 8) return false;
        *number = Printable(body.mid(8));  // "O" and "P" stay: they mark the caller
        return true;
    }
    if (type != 0x80) return false;
    for (int i = 0; i + 2 <= body.size();) {
        const int parameter = static_cast<unsigned char>(body[i]);
        const int size = static_cast<unsigned char>(body[i + 1]);
        if (i + 2 + size > body.size()) return false;
        const QByteArray value = body.mid(i + 2, size);
        if (parameter == 0x02 || (parameter == 0x04 && number->isEmpty()))
            *number = Printable(value);
        if (parameter == 0x07) *name = Printable(value);
        i += 2 + size;
    }
    return true;
}

namespace {
struct TSipParty {
    QByteArray Display;
    QByteArray User;
    bool Hidden = false;
};

// The text before the first c, or all of it.
QByteArray UpTo(const QByteArray& text, char c) {
    const qsizetype at = text.indexOf(c);
    return at < 0 ? text : text.left(at);
}

QByteArray Unquoted(QByteArray text) {
    text = text.trimmed();
    if (text.size() < 2 || !text.startsWith('"') || !text.endsWith('"')) return text;
    QByteArray out;
    for (qsizetype i = 1; i + 1 < text.size(); ++i) {
        if (text[i] == '\\' && i + 2 < text.size()) ++i;
        out += text[i];
    }
    return out;
}

// "Name" <sip:user@host;params>;params, or a bare URI; only the first of several values.
TSipParty ParseSipParty(const QByteArray& header) {
    TSipParty party;
    QByteArray uri;
    QByteArray params;
    const qsizetype open = header.indexOf('<');
    const qsizetype close = open < 0 ? -1 : header.indexOf('>', open);
    if (open >= 0 && close > open) {
        party.Display = QString::fromUtf8(Unquoted(header.left(open))).toLatin1();
        uri = header.mid(open + 1, close - open - 1).trimmed();
        params = header.mid(close + 1);
    } else {
        const QByteArray first = UpTo(header, ',').trimmed();
        uri = UpTo(first, ';');
        params = first.mid(uri.size());
    }
    const qsizetype colon = uri.indexOf(':');
    const QByteArray scheme = uri.left(colon).toLower();
    QByteArray rest = uri.mid(colon + 1);
    QByteArray host;
    if (scheme == "tel") {
        party.User = UpTo(rest, ';');
    } else if (rest.contains('@')) {
        const QByteArray user = UpTo(rest, '@');
        host = rest.mid(user.size() + 1);
        party.User = UpTo(user, ';');
    }
    party.User = QByteArray::fromPercentEncoding(party.User);
    const QByteArray lowerParams = params.toLower().replace(' ', "");
    party.Hidden = party.User.toLower() == "anonymous" ||
                   host.toLower().startsWith("anonymous.invalid") ||
                   party.Display.toLower() == "anonymous" || lowerParams.contains("privacy=full") ||
                   lowerParams.contains("privacy=uri");
    return party;
}

bool PrivacyHides(const QByteArray& privacy) {
    for (const QByteArray& value : privacy.toLower().split(';')) {
        const QByteArray token = value.trimmed();
        if (token == "id" || token == "header" || token == "user" || token == "critical")
            return true;
    }
    return false;
}
}  // namespace

void FillCallInfo(LINECALLINFO* info, const TCallerId* callerId) {
    const quint32 size = info->dwTotalSize;
    *info = LINECALLINFO{};
    info->dwTotalSize = size;
    if (!callerId) return;
    info->dwCallerIDFlags = callerId->Flags;
    SetCallerIdStrings(info, callerId->Number, &callerId->Name);
}

TCallerId SipCallerId(const QByteArray& assertedIdentity, const QByteArray& remotePartyId,
                      const QByteArray& from, const QByteArray& privacy) {
    const QByteArray& header = !assertedIdentity.trimmed().isEmpty() ? assertedIdentity
                               : !remotePartyId.trimmed().isEmpty()  ? remotePartyId
                                                                     : from;
    const TSipParty party = ParseSipParty(header);
    const bool hidden = party.Hidden || PrivacyHides(privacy);
    // Told as a modem tells it, so that a SIP caller is coded as a modem's caller would be.
    TCallerIdAssembler block;
    block.Take("NMBR=" + (hidden ? QByteArray("P") : party.User.isEmpty() ? "O" : party.User));
    if (hidden)
        block.Take("NAME=P");
    else if (!party.Display.trimmed().isEmpty())
        block.Take("NAME=" + party.Display.trimmed());
    return block.Finish();
}
