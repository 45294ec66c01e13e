#pragma once
// The built program (RINGVALE_PROGRAM) started headless in a working folder with its own
// configuration folder.

#include <signal.h>

#include <QByteArray>
#include <QProcess>
#include <QString>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "platform/profile.h"
#include "simulator.h"
#include "store/calllog.h"
#include "store/config.h"
#include "wavefile.h"

// A build of the program, headless, in its working folder with its own configuration folder.
inline bool StartProgramAt(const QString& path, QProcess& program, const QString& configHome,
                           const QString& workingFolder, const QStringList& more = {}) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("XDG_CONFIG_HOME", configHome);
    program.setProcessEnvironment(env);
    program.setWorkingDirectory(workingFolder);
    program.start(path, QStringList{QStringLiteral("--folder"), workingFolder} + more);
    return program.waitForStarted(5000);
}

// The built program, headless, in its working folder with its own configuration folder.
inline bool StartProgram(QProcess& program, const QString& configHome, const QString& workingFolder,
                         const QStringList& more = {}) {
    return StartProgramAt(QStringLiteral(RINGVALE_PROGRAM), program, configHome, workingFolder,
                          more);
}

// The program hung up its n-th call and set the modem up again (the line reopens after every
// call, ending with caller ID on): the next caller may ring. A ring scripted before that would
// reach a line that is still hanging up, which no real caller can do.
inline bool HungUpAndReady(const TSimulator& sim, int calls, int timeoutMs) {
    return QTest::qWaitFor(
        [&] {
            const QStringList commands = sim.Commands();
            const qsizetype drop = [&] {
                qsizetype at = -1;
                for (int n = 0; n < calls; ++n)
                    if ((at = commands.indexOf("ATH0", at + 1)) < 0) return qsizetype(-1);
                return at;
            }();
            return drop >= 0 && commands.indexOf("AT+VCID=1", drop) > drop;
        },
        timeoutMs);
}

// A data folder whose settings connect to a line (the simulator) at start-up and answer at
// ring 2 with a greeting of two seconds (or as long as asked); the access code is 824.
struct TAnsweringFolder {
    QTemporaryDir Work;
    QString Data = Work.filePath("data");
    explicit TAnsweringFolder(const TSimulator& sim, double greetingSeconds = 2)
        : TAnsweringFolder(QStringLiteral("Sim modem"), sim.Device, greetingSeconds) {}
    // The line "name = device" of lines.conf.
    TAnsweringFolder(const QString& lineName, const QString& device, double greetingSeconds = 2) {
        QDir().mkpath(Data + "/Greetings");
        QDir().mkpath(Work.filePath("config/Tarvex"));
        QFile lines(Work.filePath("config/Tarvex/lines.conf"));
        if (lines.open(QIODevice::WriteOnly))
            lines.write((lineName + " = " + device + "\n").toUtf8());
        lines.close();
        TProfile::SetFolder(Data);
        TConfig config;
        config.SelectPortBox = lineName;
        config.SetConnectAtStartupButton(true);
        config.SetFlashCaller(false);
        config.RingsToAnswer = 2;
        config.MaximumRecordTimeComboBox = 1;
        config.MessagePasswordEdit = "824";
        TConfigFile().SaveConfig(config);
        QFile list(Data + "/Greetings.txt");
        if (list.open(QIODevice::WriteOnly)) list.write("tone.wav\r\n");
        QFile greeting(Data + "/Greetings/tone.wav");
        QByteArray samples;
        for (int i = 0; i < int(greetingSeconds * 11025); ++i)
            samples += char(i % 20 < 10 ? 0x90 : 0x70);
        if (greeting.open(QIODevice::WriteOnly)) greeting.write(Wave(11025, samples));
    }
    QList<CallLogRecord> Records() const {
        QFile file(Data + "/CALL.LOG");
        QList<CallLogRecord> records;
        if (!file.open(QIODevice::ReadOnly)) return records;
        const QByteArray bytes = file.readAll();
        for (qsizetype at = 0; at + 616 <= bytes.size(); at += 616)
            records << CallLogRecord::FromBytes(bytes.mid(at, 616));
        return records;
    }
};

// The program started on the folder and listening on the simulator.
inline bool StartListening(QProcess& program, const TSimulator& sim,
                           const TAnsweringFolder& folder) {
    return StartProgram(program, folder.Work.filePath("config"), folder.Data) &&
           QTest::qWaitFor([&] { return sim.Commands().contains("AT+VCID=1"); }, 10000);
}

inline bool Stop(QProcess& program) {
    ::kill(pid_t(program.processId()), SIGTERM);
    return program.waitForFinished(10000) && program.exitCode() == 0;
}

// A caller who rings, is answered and speaks a tone into the recording.
inline void CallerSpeaks(TSimulator& sim, const QString& cid, int seconds) {
    sim.Script("ring");
    sim.Script(cid);
    sim.Script("rings 5 1");
    sim.Script(QString("tone 700 %1").arg(seconds));
    sim.Script("waitfor +VRX");
}
// A caller who speaks two seconds into the recording and hangs up; true once the program has
// hung up its call-th call and is listening again.
inline bool LeavesAMessage(TSimulator& sim, const QString& cid, int call) {
    CallerSpeaks(sim, cid, 2);
    sim.Script("wait 2.5");
    sim.Script("hangup b");
    return HungUpAndReady(sim, call, 30000);
}

// The program listening, answering a caller who has been speaking into the recording for the
// given time (and has more to say).
inline bool CallerIsSpeaking(QProcess& program, TSimulator& sim, const TAnsweringFolder& folder,
                             const QString& cid, int spokenMs) {
    if (!StartListening(program, sim, folder)) return false;
    CallerSpeaks(sim, cid, 10);
    if (!QTest::qWaitFor([&] { return sim.Commands().contains("AT+VRX"); }, 20000)) return false;
    QTest::qWait(spokenMs);
    return true;
}
