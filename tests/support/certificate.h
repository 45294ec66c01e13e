#pragma once
// A self-made certificate for the tests' TLS servers on the loopback address, made by openssl.

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

// A self-made certificate for 127.0.0.1 and localhost.
struct TCertificate {
    QTemporaryDir Dir;
    QString Cert = Dir.filePath("cert.pem");
    QString Key = Dir.filePath("key.pem");
    TCertificate() {
        QProcess openssl;  // its progress stays in its own channels
        openssl.start("openssl", {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", Key,
                                  "-out", Cert, "-days", "2", "-subj", "/CN=localhost", "-addext",
                                  "subjectAltName=IP:127.0.0.1,DNS:localhost"});
        openssl.waitForFinished(30000);
    }
    bool Made() const { return QFile::exists(Cert) && QFile::exists(Key); }
};
