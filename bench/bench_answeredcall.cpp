// One whole answered call, measured on the built program against the modem simulator, which
// hands over received voice every 10 ms as a USB modem does: two rings, the default greeting,
// the beep, a five-second message, the caller hangs up. Reports the CPU time of the whole
// program (all threads, from /proc) per call and per second off hook, its wake-ups (context
// switches) per second while audio flows, and how long the modem takes to be set up and
// listening again: from start and from each caller's hang-up.
//
// bench_answeredcall [PROGRAM...] measures each build given (the built one by default) in the
// same run, one after the other, so that two builds are compared under the same load.
//
// The same call is then made over SIP on the loopback address (the caller on the same SIP stack,
// in this process, so that only the program is measured): two rings six seconds apart, the
// greeting, the beep and the message. The SIP stack's media engine wakes every 10 ms on its
// own audio thread while a call is up, which sets the floor of that figure. Last, the program
// idles with an account registered at SIPp acting as the registrar.
//
// It first measures what one bare wake-up costs on this machine (a poll that times out, kernel
// time included), since that sets the floor of any figure per second: on a virtual machine it
// can cost several times what it does on a desktop, and figures from two machines compare
// only through it.

#include <poll.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QUdpSocket>
#include <cstdio>

#include "platform/profile.h"
#include "platform/telephony/sipaddress.h"
#include "program.h"
#include "sipcaller.h"
#include "sippregistrar.h"

namespace {
constexpr int kCalls = 3;
constexpr int kMessageSeconds = 5;
constexpr int kIdleSeconds = 10;
constexpr int kRegisteredIdleSeconds = 60;  // long enough to tell tenths of a ms a second

// CPU seconds of every thread of a process, in nanoseconds as the scheduler counts them.
double ProcessCpuSeconds(qint64 pid) {
    double total = 0;
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile schedstat(tasks.filePath(task + QStringLiteral("/schedstat")));
        if (schedstat.open(QIODevice::ReadOnly))
            total += schedstat.readAll().split(' ').value(0).toDouble() / 1e9;
    }
    return total;
}

// CPU seconds of each thread of a process, summed by the thread's name.
QMap<QString, double> CpuByThread(qint64 pid) {
    QMap<QString, double> threads;
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile schedstat(tasks.filePath(task + QStringLiteral("/schedstat")));
        QFile comm(tasks.filePath(task + QStringLiteral("/comm")));
        if (schedstat.open(QIODevice::ReadOnly) && comm.open(QIODevice::ReadOnly))
            threads[QString::fromUtf8(comm.readAll().trimmed())] +=
                schedstat.readAll().split(' ').value(0).toDouble() / 1e9;
    }
    return threads;
}

// What each thread spent between two readings of CpuByThread.
void PrintThreadCpu(const QMap<QString, double>& before, const QMap<QString, double>& after) {
    std::printf("    by thread:");
    for (auto it = after.begin(); it != after.end(); ++it)
        std::printf(" %s %.1f ms", qPrintable(it.key()),
                    (it.value() - before.value(it.key())) * 1000);
    std::printf("\n");
}

// Voluntary and involuntary context switches of every thread of a process.
qint64 ContextSwitches(qint64 pid) {
    qint64 total = 0;
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile status(tasks.filePath(task + QStringLiteral("/status")));
        if (!status.open(QIODevice::ReadOnly)) continue;
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.contains("ctxt_switches:"))
                total += line.mid(line.indexOf(':') + 1).trimmed().toLongLong();
    }
    return total;
}

// Milliseconds from `fromMs` (time of day) to the first caller ID set-up after it: the modem
// listening again.
int ListeningAfter(const TSimulator& sim, int fromMs) {
    for (const auto& [at, command] : sim.TimedCommands())
        if (at >= fromMs && command == QLatin1String("AT+VCID=1")) return at - fromMs;
    return -1;
}

// CPU seconds of one wake-up of a thread that does nothing else: a poll that times out after
// `intervalMs`, as a program woken for each piece of a modem's audio is.
double BareWakeUpSeconds(int intervalMs) {
    constexpr int kWakeUps = 200;
    timespec start{}, end{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &start);
    for (int i = 0; i < kWakeUps; ++i)
        ::poll(nullptr, 0, intervalMs);
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &end);
    return ((end.tv_sec - start.tv_sec) + (end.tv_nsec - start.tv_nsec) / 1e9) / kWakeUps;
}

struct TFigures {
    double Cpu = 0, OffHook = 0, WakeRate = 0, IdleCpu = 0;
    int StartMs = -1, BackMs = 0;
};

bool Measure(const QString& path, TFigures* figures) {
    TSimulator sim;
    TAnsweringFolder folder(sim);
    // The default greeting the program ships, as a new user has it.
    QFile list(folder.Data + "/Greetings.txt");
    if (list.open(QIODevice::WriteOnly)) list.write("Default Greeting 1.wav\r\n");
    list.close();
    QFile::remove(folder.Data + "/Greetings/Default Greeting 1.wav");
    QProcess program;
    const int startedAt = QTime::currentTime().msecsSinceStartOfDay();
    if (!StartProgramAt(path, program, folder.Work.filePath("config"), folder.Data)) return false;
    const qint64 pid = program.processId();
    if (!QTest::qWaitFor([&] { return sim.Commands().contains("AT+VCID=1"); }, 15000)) return false;
    figures->StartMs = ListeningAfter(sim, startedAt);
    QTest::qWait(2000);
    const double idleBefore = ProcessCpuSeconds(pid);
    QTest::qWait(kIdleSeconds * 1000);
    figures->IdleCpu = (ProcessCpuSeconds(pid) - idleBefore) / kIdleSeconds;

    for (int call = 1; call <= kCalls; ++call) {
        const double cpuBefore = ProcessCpuSeconds(pid);
        const QMap<QString, double> threadsBefore = CpuByThread(pid);
        sim.Script("ring");
        sim.Script("cid 4045551212 GARCIA MARIA");
        sim.Script("rings 5 1");
        QElapsedTimer offHook;
        if (!QTest::qWaitFor([&] { return sim.Commands().count("AT+VLS=1") >= call; }, 20000))
            return false;
        offHook.start();
        const double answeredCpu = ProcessCpuSeconds(pid);
        const qint64 switchesBefore = ContextSwitches(pid);
        sim.Script("waitfor +VRX");
        sim.Script(QStringLiteral("tone 440 %1").arg(kMessageSeconds));
        sim.Script(QStringLiteral("wait %1").arg(kMessageSeconds));
        sim.Script("hangup b");
        if (!QTest::qWaitFor([&] { return sim.Commands().count("AT+VRX") >= call; }, 60000))
            return false;
        const double greetingCpu = ProcessCpuSeconds(pid);
        if (!QTest::qWaitFor([&] { return sim.Commands().count("ATH0") >= call; }, 60000))
            return false;
        const double messageCpu = ProcessCpuSeconds(pid);
        const double seconds = offHook.nsecsElapsed() / 1e9;
        const qint64 switches = ContextSwitches(pid) - switchesBefore;
        // The caller hung up at the end of the message: that moment, by the simulator's clock.
        int hungUpAt = 0;
        for (const auto& [at, command] : sim.TimedCommands())
            if (command == QLatin1String("AT+VRX")) hungUpAt = at + kMessageSeconds * 1000;
        if (!HungUpAndReady(sim, call, 20000)) return false;
        const int backMs = ListeningAfter(sim, hungUpAt);
        if (qEnvironmentVariableIsSet("TIMELINE"))
            for (const auto& [at, command] : sim.TimedCommands())
                std::printf("%d %s\n", at - hungUpAt, qPrintable(command));
        const double endCpu = ProcessCpuSeconds(pid);
        const double cpu = endCpu - cpuBefore;
        std::printf(
            "  call %d: %.3f s CPU, %.1f s off hook, %.4f s CPU per second off hook, "
            "%.0f wake-ups per second off hook, listening again %d ms after the hang-up\n"
            "    CPU: rings %.1f ms, greeting and beep %.1f ms, message %.1f ms, hang-up and "
            "set-up %.1f ms\n",
            call, cpu, seconds, cpu / seconds, switches / seconds, backMs,
            (answeredCpu - cpuBefore) * 1000, (greetingCpu - answeredCpu) * 1000,
            (messageCpu - greetingCpu) * 1000, (endCpu - messageCpu) * 1000);
        PrintThreadCpu(threadsBefore, CpuByThread(pid));
        figures->Cpu += cpu;
        figures->OffHook += seconds;
        figures->WakeRate += switches / seconds;
        figures->BackMs += backMs;
        QTest::qWait(2000);
    }
    ::kill(pid_t(pid), SIGTERM);
    program.waitForFinished(10000);
    return true;
}
// The program on a SIP line, answering kCalls SIP callers who each speak kMessageSeconds after
// the greeting and the beep.
bool MeasureSip(const QString& path, TFigures* figures) {
    const QByteArray uri = "sip:ringvale@127.0.0.1:5097";
    TAnsweringFolder folder(QStringLiteral("Sip line"), QString::fromUtf8(uri));
    QFile list(folder.Data + "/Greetings.txt");
    if (list.open(QIODevice::WriteOnly)) list.write("Default Greeting 1.wav\r\n");
    list.close();
    QFile::remove(folder.Data + "/Greetings/Default Greeting 1.wav");
    QProcess program;
    QElapsedTimer started;
    started.start();
    if (!StartProgramAt(path, program, folder.Work.filePath("config"), folder.Data)) return false;
    const qint64 pid = program.processId();
    QByteArray said;
    if (!QTest::qWaitFor(
            [&] { return (said += program.readAllStandardError()).contains("listening on"); },
            15000))
        return false;
    figures->StartMs = int(started.elapsed());
    QTest::qWait(2000);
    const double idleBefore = ProcessCpuSeconds(pid);
    QTest::qWait(kIdleSeconds * 1000);
    figures->IdleCpu = (ProcessCpuSeconds(pid) - idleBefore) / kIdleSeconds;

    for (int call = 1; call <= kCalls; ++call) {
        TSipCaller caller(folder.Work.filePath(QStringLiteral("caller%1").arg(call)), 440);
        const double cpuBefore = ProcessCpuSeconds(pid);
        const QMap<QString, double> threadsBefore = CpuByThread(pid);
        if (!caller.Call(uri, "\"GARCIA MARIA\" <sip:4045551212@127.0.0.1>")) return false;
        if (!QTest::qWaitFor([&] { return caller.Answered(); }, 20000)) return false;
        QElapsedTimer offHook;
        offHook.start();
        const double answeredCpu = ProcessCpuSeconds(pid);
        const qint64 switchesBefore = ContextSwitches(pid);
        QTest::qWait(7000 + kMessageSeconds * 1000);  // the greeting and beep, then the message
        caller.HangUp();
        if (!QTest::qWaitFor(
                [&] {
                    const QList<CallLogRecord> records = folder.Records();
                    return records.size() == call && !records.last().MessageFile.isEmpty();
                },
                20000))
            return false;
        const double seconds = offHook.nsecsElapsed() / 1e9;
        const qint64 switches = ContextSwitches(pid) - switchesBefore;
        const double endCpu = ProcessCpuSeconds(pid);
        std::printf(
            "  SIP call %d: %.3f s CPU, %.1f s off hook, %.4f s CPU per second off hook, %.0f "
            "wake-ups per second off hook; rings %.1f ms\n",
            call, endCpu - cpuBefore, seconds, (endCpu - cpuBefore) / seconds, switches / seconds,
            (answeredCpu - cpuBefore) * 1000);
        PrintThreadCpu(threadsBefore, CpuByThread(pid));
        figures->Cpu += endCpu - cpuBefore;
        figures->OffHook += seconds;
        figures->WakeRate += switches / seconds;
        QTest::qWait(2000);
    }
    ::kill(pid_t(pid), SIGTERM);
    program.waitForFinished(10000);
    return true;
}

// Idle with a registered account: the program registers alice with SIPp as the registrar (the
// tests' one, which challenges and then accepts) and is left alone for a minute. CPU per
// second, all threads.
bool MeasureRegisteredIdle(const QString& path, double* cpuPerSecond) {
    QUdpSocket probe;
    probe.bind(QHostAddress::LocalHost, 0);
    const int port = probe.localPort();
    probe.close();
    QProcess registrar;
    if (!StartSippRegistrar(registrar, port)) return false;
    TAnsweringFolder folder(QStringLiteral("Sip account"),
                            QStringLiteral("sip:alice@127.0.0.1:%1").arg(port));
    QFile password(TProfile::Path(SipPasswordFileName(QStringLiteral("Sip account"))));
    if (!password.open(QIODevice::WriteOnly) || password.write("secret") != 6) return false;
    password.close();
    QProcess program;
    if (!StartProgramAt(path, program, folder.Work.filePath("config"), folder.Data)) return false;
    const qint64 pid = program.processId();
    QByteArray said;
    const bool registered = QTest::qWaitFor(
        [&] { return (said += program.readAllStandardError()).contains("registered"); }, 15000);
    if (registered) {
        QTest::qWait(2000);
        const double before = ProcessCpuSeconds(pid);
        const QMap<QString, double> threadsBefore = CpuByThread(pid);
        const qint64 switchesBefore = ContextSwitches(pid);
        QTest::qWait(kRegisteredIdleSeconds * 1000);
        *cpuPerSecond = (ProcessCpuSeconds(pid) - before) / kRegisteredIdleSeconds;
        std::printf("  registered and idle: %.1f wake-ups per second\n",
                    double(ContextSwitches(pid) - switchesBefore) / kRegisteredIdleSeconds);
        PrintThreadCpu(threadsBefore, CpuByThread(pid));
    }
    ::kill(pid_t(pid), SIGTERM);
    program.waitForFinished(10000);
    registrar.kill();
    registrar.waitForFinished(5000);
    return registered;
}
}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    QStringList programs = app.arguments().mid(1);
    if (programs.isEmpty()) programs << QStringLiteral(RINGVALE_PROGRAM);
    const double wakeUp = BareWakeUpSeconds(10);
    std::printf(
        "this machine: a bare wake-up costs %.0f us of CPU, so a program woken for each 10 ms "
        "piece of voice spends %.4f s of CPU per second on waking alone\n",
        wakeUp * 1e6, wakeUp * 100);
    for (const QString& path : programs) {
        std::printf("%s\n", qPrintable(path));
        TFigures figures;
        if (!Measure(path, &figures)) {
            std::printf("  the call did not go through\n");
            return 1;
        }
        std::printf(
            "  answered call: %.3f s CPU per call (all threads), %.4f s CPU per second off "
            "hook, %.0f wake-ups per second while audio flows; listening %d ms after start, "
            "%d ms after a hang-up; %.5f s CPU per second idle\n",
            figures.Cpu / kCalls, figures.Cpu / figures.OffHook, figures.WakeRate / kCalls,
            figures.StartMs, figures.BackMs / kCalls, figures.IdleCpu);
        TFigures sip;
        if (!MeasureSip(path, &sip)) {
            std::printf("  the SIP call did not go through\n");
            return 1;
        }
        std::printf(
            "  answered SIP call: %.3f s CPU per call (all threads), %.4f s CPU per second off "
            "hook, %.0f wake-ups per second off hook; listening %d ms after start; %.5f s CPU "
            "per second idle\n",
            sip.Cpu / kCalls, sip.Cpu / sip.OffHook, sip.WakeRate / kCalls, sip.StartMs,
            sip.IdleCpu);
        double registeredIdle = 0;
        if (!MeasureRegisteredIdle(path, &registeredIdle)) {
            std::printf("  the SIP account did not register\n");
            return 1;
        }
        std::printf("  registered SIP account, idle: %.5f s CPU per second (%.3f%% of a core)\n",
                    registeredIdle, registeredIdle * 100);
    }
    return 0;
}
