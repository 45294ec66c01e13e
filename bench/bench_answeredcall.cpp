// One whole answered call, measured on the built program against the modem simulator: two
// rings, the default greeting, the beep, a five-second message, the caller hangs up. Reports
// the CPU time of the whole program (all threads, from /proc) per call and per second off
// hook, and its wake-ups (context switches) per second while audio flows.

#include <signal.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <cstdio>

#include "platform/telephony/portlock.h"
#include "program.h"

namespace {
constexpr int kCalls = 3;

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
}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    TSimulator sim;
    TAnsweringFolder folder(sim);
    // The default greeting the program ships, as a new user has it.
    QFile list(folder.Data + "/Greetings.txt");
    if (list.open(QIODevice::WriteOnly)) list.write("Default Greeting 1.wav\r\n");
    list.close();
    QFile::remove(folder.Data + "/Greetings/Default Greeting 1.wav");
    QProcess program;
    if (!StartProgram(program, folder.Work.filePath("config"), folder.Data)) return 1;
    const qint64 pid = program.processId();
    if (!QTest::qWaitFor([&] { return sim.Commands().contains("AT+VCID=1"); }, 15000)) return 1;
    QTest::qWait(2000);

    double cpuTotal = 0, offHookTotal = 0, wakeRateTotal = 0;
    for (int call = 1; call <= kCalls; ++call) {
        const double cpuBefore = ProcessCpuSeconds(pid);
        sim.Script("ring");
        sim.Script("cid 4045551212 GARCIA MARIA");
        sim.Script("rings 5 1");
        QElapsedTimer offHook;
        if (!QTest::qWaitFor([&] { return sim.Commands().count("AT+VLS=1") >= call; }, 20000))
            return 1;
        offHook.start();
        const qint64 switchesBefore = ContextSwitches(pid);
        sim.Script("waitfor +VRX");
        sim.Script("tone 440 5");
        sim.Script("hangup b");
        if (!QTest::qWaitFor([&] { return sim.Commands().count("ATH0") >= call; }, 60000)) return 1;
        const double seconds = offHook.nsecsElapsed() / 1e9;
        const qint64 switches = ContextSwitches(pid) - switchesBefore;
        if (!HungUpAndReady(sim, call, 20000)) return 1;
        const double cpu = ProcessCpuSeconds(pid) - cpuBefore;
        std::printf(
            "call %d: %.3f s CPU, %.1f s off hook, %.4f s CPU per second off hook, "
            "%.0f wake-ups per second off hook\n",
            call, cpu, seconds, cpu / seconds, switches / seconds);
        cpuTotal += cpu;
        offHookTotal += seconds;
        wakeRateTotal += switches / seconds;
        QTest::qWait(2000);
    }
    std::printf(
        "answered call: %.3f s CPU per call (all threads), %.4f s CPU per second off "
        "hook, %.0f wake-ups per second while audio flows\n",
        cpuTotal / kCalls, cpuTotal / offHookTotal, wakeRateTotal / kCalls);
    ::kill(pid_t(pid), SIGTERM);
    program.waitForFinished(10000);
    return 0;
}
