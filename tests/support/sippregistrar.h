#pragma once
// SIPp as the registrar of alice (password "secret") on the loopback address: it challenges the
// first REGISTER and accepts the right digest (200) or refuses a wrong one (403), once.
// RINGVALE_SIPP_SCENARIOS names the folder of the scenarios.

#include <QProcess>
#include <QtTest>

inline bool StartSippRegistrar(QProcess& registrar, int port) {
    registrar.setStandardOutputFile(QProcess::nullDevice());
    registrar.start("sipp",
                    {"-sf", RINGVALE_SIPP_SCENARIOS "/registrar.xml", "-i", "127.0.0.1", "-p",
                     QString::number(port), "-m", "1", "-nostdin", "-timeout", "120s"});
    if (!registrar.waitForStarted(5000)) return false;
    QTest::qWait(300);  // listening
    return true;
}
