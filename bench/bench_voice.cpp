// The voice channel over the simulated modem: how closely playback keeps real time (audio
// length against the wall time from +VTX to the modem's OK) and the CPU time this process
// spends per minute of playback and of recording.

#include <sys/resource.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <cmath>
#include <cstdio>

#include "audio/ctwave.h"
#include "files.h"
#include "platform/telephony/portlock.h"
#include "platform/telephony/v253line.h"
#include "simulator.h"
#include "telephony/ttapi.h"
#include "wavefile.h"

namespace {
constexpr int kSeconds = 10;

double CpuSeconds() {
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void WaitFor(const std::function<bool()>& done, int ms) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}
}  // namespace

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
    bool connected = false;
    events.OnLineEvent = [&](int code, const QString&) {
        connected = connected || code == EV_CONNECTED;
    };
    tapi.Events = &events;
    tapi.InitLine();
    if (tapi.OpenLine(quint32(tapi.FindLineDevice(QStringLiteral("Sim"))), nullptr) != 0) return 1;
    sim.Script(QStringLiteral("rings 10 0.3"));
    WaitFor([&] { return tapi.hCall != 0; }, 5000);
    tapi.Answer();
    WaitFor([&] { return connected; }, 5000);

    // A file of kSeconds at 11025 Hz, played to the line.
    WriteAll(home.filePath("play.wav"), Wave(11025, Tone(440, kSeconds, 11025, 8, 1, 0.7)));

    bool done = false;
    CtWaveCallbacks callbacks;
    callbacks.OnWaveOutDone = [&] { done = true; };
    callbacks.OnWaveInClose = [&] { done = true; };
    CtWave wave(&callbacks);
    wave.Load(home.filePath("play.wav"));
    tapi.GetWaveId(QStringLiteral("wave/out"));
    QElapsedTimer clock;
    double cpu = CpuSeconds();
    clock.start();
    wave.Play(int(tapi.WaveId), false);
    WaitFor([&] { return done; }, 60000);
    const double wall = clock.elapsed() / 1000.0;
    const double playCpu = CpuSeconds() - cpu;

    done = false;
    tapi.GetWaveId(QStringLiteral("wave/in"));
    cpu = CpuSeconds();
    wave.Record(int(tapi.WaveId), kSeconds);
    WaitFor([&] { return done; }, 60000);
    const double recordCpu = CpuSeconds() - cpu;

    std::printf("playback of %d s of audio took %.3f s from +VTX to OK (pacing error %+.1f%%)\n",
                kSeconds, wall, 100.0 * (wall - kSeconds) / kSeconds);
    std::printf("CPU per minute: playback %.3f s, recording %.3f s\n", playCpu * 60 / kSeconds,
                recordCpu * 60 / kSeconds);
    tapi.Hangup();
    return 0;
}
