#pragma once
// What a lines.conf entry for a SIP line says, and the entry written back for an account set up
// in the settings: "sip:USER@HOST[:PORT]" followed by any of ";transport=tcp" or
// ";transport=tls", ";outbound=HOST:PORT" (a proxy every request goes through, or where a
// direct address sends the calls it places), ";srtp" (the voice is encrypted) and
// ";display=NAME" (the name callers see, percent-encoded).

#include <QByteArray>
#include <QString>

enum class TSipTransport { Udp, Tcp, Tls };

struct TSipAddress {
    QByteArray User;
    QByteArray Host;  // a name, an IPv4 address, or an IPv6 one in brackets
    int Port = 5060;  // 5061 when TLS is named without a port
    TSipTransport Transport = TSipTransport::Udp;
    QByteArray Outbound;
    bool Srtp = false;
    QString DisplayName;

    // False when the text is no SIP address.
    static bool Parse(const QString& text, TSipAddress* address);
    // The lines.conf text; Parse reads it back unchanged.
    QString Text() const;
    // The usual port of a transport: a port the text need not name.
    static int DefaultPort(TSipTransport transport);
    // ";transport=tcp", ";transport=tls", or nothing for UDP.
    static QByteArray TransportParameter(TSipTransport transport);
};

// Where a SIP line's password is kept: under this name in the desktop's keyring, else in this
// file of the data folder.
QString SipKeyringName(const QString& lineName);
QString SipPasswordFileName(const QString& lineName);
