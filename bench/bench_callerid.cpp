// Caller ID to the program: the time from asking the modem simulator for a caller ID block
// (a ring, then DATE, TIME, NMBR and NAME lines) to TTapi's OnCallerId, over a real
// pseudo-terminal through the V.253 driver. Prints the median and the worst of 50 calls.

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>

#include "platform/telephony/portlock.h"
#include "platform/telephony/v253line.h"
#include "simulator.h"
#include "telephony/ttapi.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTimer wake;  // the waits below block for events; this bounds each one
    wake.start(100);
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
    TPortLock::SetFolder(home.path());
    TSimulator sim;
    sim.WriteLinesConf(home.path(), QStringLiteral("Sim"));

    TV253Provider provider;
    TTapi tapi(1);
    TTapiEvents events;
    qint64 reported = -1;
    QElapsedTimer clock;
    events.OnLineEvent = [](int, const QString&) {};
    events.OnCallerId = [&](quint32, const QString&, const QString&) {
        reported = clock.nsecsElapsed();
    };
    tapi.Events = &events;
    tapi.InitLine();
    if (tapi.OpenLine(quint32(tapi.FindLineDevice(QStringLiteral("Sim"))), nullptr) != 0) {
        std::fprintf(stderr, "cannot open the simulated modem\n");
        return 1;
    }
    QList<double> samples;
    for (int call = 0; call < 50; ++call) {
        reported = -1;
        clock.start();
        sim.Script(QStringLiteral("ring"));
        sim.Script(QStringLiteral("cid 4045551212 SMITH J"));
        while (reported < 0 && clock.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        if (reported >= 0) samples << reported / 1e6;
        tapi.Hangup();
        QElapsedTimer settle;
        settle.start();
        while (settle.elapsed() < 300)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    std::sort(samples.begin(), samples.end());
    if (samples.isEmpty()) return 1;
    std::printf("caller ID to OnCallerId over %lld calls: median %.2f ms, worst %.2f ms\n",
                static_cast<long long>(samples.size()), samples[samples.size() / 2],
                samples.last());
    return 0;
}
