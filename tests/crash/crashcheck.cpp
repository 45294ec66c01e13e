// ringvale-crashcheck: the built program answers calls of every kind from the modem simulator
// and is killed at random moments, with SIGKILL half the time and otherwise with SIGTERM,
// SIGINT or SIGHUP; after every restart in the same folder the data must be whole. The run is
// seeded, so a failure can be replayed with --seed.
//
// After each restart: every data file loads without a damaged record, every call record is
// one of the calls made (no duplicate, no garbled text), every message the program had
// finished before the kill is on disk as a wave file and named by its call, and so is one cut
// by a signal the program can catch (it ends the call as a caller hanging up), no temporary
// file is left, and the program is listening on the modem again (a stale port lock is no
// hindrance).

#include <signal.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QSet>
#include <QtTest>
#include <cstdio>

#include "crashfolder.h"
#include "program.h"
#include "simulator.h"
#include "store/calllog.h"
#include "store/config.h"
#include "store/datafile.h"
#include "store/outgoinghistory.h"
#include "store/phonebook.h"

namespace {

enum class Kind { CallerIdOnly, Message, HangUpInGreeting, HangUpInRecording, Blocked, Paged };

struct TCall {
    int Index = 0;
    Kind What = Kind::Message;
    QString Number;  // ten digits, unique to the call
    QString Name;
};

const char* KindName(Kind kind) {
    switch (kind) {
        case Kind::CallerIdOnly:
            return "caller ID only";
        case Kind::Message:
            return "message";
        case Kind::HangUpInGreeting:
            return "hang-up in greeting";
        case Kind::HangUpInRecording:
            return "hang-up in recording";
        case Kind::Blocked:
            return "blocked caller";
        case Kind::Paged:
            return "paged caller";
    }
    return "";
}

class TCrashRun {
public:
    TCrashRun(int calls, quint32 seed, double killChance)
        : m_random(seed),
          m_killChance(killChance),
          m_calls(MakeCalls(calls, m_random)),
          m_folder(m_sim, Numbers(m_calls, Kind::Blocked), Numbers(m_calls, Kind::Paged)) {}

    // 0 when every check held.
    int Run() {
        if (m_sim.Device.isEmpty()) return Fail("the modem simulator did not start");
        if (!Start()) return Fail("the program did not start listening");
        for (const TCall& call : m_calls) {
            if (m_failures) break;
            const bool kill = m_random.generateDouble() < m_killChance;
            const int killAfterMs = int(m_random.bounded(Duration(call.What)));
            QElapsedTimer took;
            took.start();
            Place(call);
            if (kill) {
                QTest::qWait(killAfterMs);
                KillAndRestart(call);
            } else {
                WaitForEnd(call);
                Finished(call);
            }
            if (m_verbose)
                std::printf("call %d: %s%s, %lld ms\n", call.Index, KindName(call.What),
                            kill ? ", killed" : "", took.elapsed());
        }
        Stop();
        if (!m_failures && !m_calls.isEmpty()) Check(m_calls.last());
        std::printf("%d calls, %d kills survived, %d failures\n", int(m_calls.size()), m_kills,
                    m_failures);
        return m_failures == 0 ? 0 : 1;
    }

    void KeepFolder(const QString& to) const { CopyFolder(m_folder.Data, to); }

private:
    static QList<TCall> MakeCalls(int count, QRandomGenerator& random) {
        QList<TCall> calls;
        for (int i = 0; i < count; ++i)
            calls << NextCall(i, random);
        return calls;
    }

    static QStringList Numbers(const QList<TCall>& calls, Kind kind) {
        QStringList numbers;
        for (const TCall& call : calls)
            if (call.What == kind) numbers << call.Number;
        return numbers;
    }

    static TCall NextCall(int index, QRandomGenerator& random) {
        TCall call;
        call.Index = index;
        const int pick = int(random.bounded(100));
        call.What = pick < 3    ? Kind::CallerIdOnly
                    : pick < 50 ? Kind::Message
                    : pick < 65 ? Kind::HangUpInGreeting
                    : pick < 80 ? Kind::HangUpInRecording
                    : pick < 94 ? Kind::Blocked
                                : Kind::Paged;
        const QString prefix = call.What == Kind::Blocked ? QStringLiteral("404")
                               : call.What == Kind::Paged ? QStringLiteral("206")
                                                          : QStringLiteral("312");
        call.Number = prefix + QString::number(1000000 + index).right(7);
        call.Name = QStringLiteral("CALLER %1").arg(index);
        return call;
    }

    // How long a call lasts, roughly: the kill falls somewhere inside it.
    static int Duration(Kind kind) {
        return kind == Kind::CallerIdOnly ? 2000 : kind == Kind::Paged ? 12000 : 4500;
    }

    void Place(const TCall& call) {
        m_sim.Script("abandon");  // whatever was left of a killed call
        m_commandsBefore = m_sim.Commands().size();
        m_sim.Script("ring");
        m_sim.Script(QStringLiteral("cid %1 %2").arg(call.Number, call.Name));
        if (call.What == Kind::CallerIdOnly) return;  // the caller gives up after one ring
        m_sim.Script("rings 3 0.3");
        switch (call.What) {
            case Kind::Message:
            case Kind::Paged:
                m_sim.Script("waitfor +VRX");
                m_sim.Script(QStringLiteral("tone %1 1.5").arg(300 + 10 * (call.Index % 50)));
                m_sim.Script("wait 0.8");
                m_sim.Script("hangup b");
                break;
            case Kind::HangUpInGreeting:
                m_sim.Script("waitfor +VTX");
                m_sim.Script("wait 0.2");
                m_sim.Script("hangup l");
                break;
            case Kind::HangUpInRecording:
                m_sim.Script("waitfor +VRX");
                m_sim.Script("tone 800 1");
                m_sim.Script("wait 0.3");
                m_sim.Script("hangup b");
                break;
            default:
                break;  // the program hangs up on a blocked caller
        }
    }

    // The call is over and the program is listening again.
    void WaitForEnd(const TCall& call) {
        if (call.What == Kind::CallerIdOnly) {
            // Logged when the rings stop; nothing goes to the modem.
            QTest::qWait(TV253LineRingTimeoutMs + 1000);
            return;
        }
        const int calm = 600;
        QElapsedTimer since;
        since.start();
        qsizetype seen = -1;
        QElapsedTimer quiet;
        quiet.start();
        while (since.elapsed() < 30000) {
            const QStringList commands = m_sim.Commands();
            if (commands.size() != seen) {
                seen = commands.size();
                quiet.restart();
            }
            // A page is dialled at a tick after the caller's message.
            const QStringList during = commands.mid(m_commandsBefore);
            const bool answered =
                during.contains("ATH0") &&
                (call.What != Kind::Paged || std::any_of(during.begin(), during.end(), [](auto& c) {
                     return c.startsWith("ATD");
                 }));
            if (answered && commands.last() == "AT+VCID=1" && quiet.elapsed() > calm) return;
            QTest::qWait(100);
        }
        Problem(call, "the call did not end within 30 s; the modem heard: " +
                          m_sim.Commands().mid(m_commandsBefore).join(QStringLiteral(" | ")));
    }

    bool Start() {
        const qsizetype listening = m_sim.Commands().count("AT+VCID=1");
        if (!StartProgram(m_program, m_folder.Config, m_folder.Data)) return false;
        return QTest::qWaitFor([&] { return m_sim.Commands().count("AT+VCID=1") > listening; },
                               15000);
    }

    void Stop() {
        if (m_program.state() == QProcess::NotRunning) return;
        ::kill(pid_t(m_program.processId()), SIGTERM);
        m_program.waitForFinished(10000);
    }

    void KillAndRestart(const TCall& call) {
        // Messages the program finished before the kill: it hung up after the recording.
        const QStringList commands = m_sim.Commands().mid(m_commandsBefore);
        const qsizetype recording = commands.indexOf("AT+VRX");
        const bool finished = recording >= 0 && commands.indexOf("ATH0", recording) > recording;
        // A caller who has spoken for a while when a catchable signal comes leaves a message.
        const bool speaking = recording >= 0 && !finished && MsSinceRecordingStarted() > 1500;
        static const int kCaught[] = {SIGTERM, SIGINT, SIGHUP};
        const int signal = m_random.bounded(2) ? SIGKILL : kCaught[m_random.bounded(3)];
        ::kill(pid_t(m_program.processId()), signal);
        const bool ended = m_program.waitForFinished(5000);
        m_sim.Script("abandon");  // the caller gives up: the restarted program meets no ring
        ++m_kills;
        if (signal != SIGKILL && (!ended || m_program.exitCode() != 0))
            Problem(call,
                    QStringLiteral("signal %1 did not end the program at once with 0").arg(signal));
        if (finished || (signal != SIGKILL && speaking)) Finished(call);
        if (!Start()) return Problem(call, "the program did not listen again after the kill");
        Check(call);
    }

    // How long ago the modem was told to record, by its own log (-1: not known).
    qint64 MsSinceRecordingStarted() const {
        QFile log(m_sim.LogPath());
        if (!log.open(QIODevice::ReadOnly)) return -1;
        const QList<QByteArray> lines = log.readAll().split('\n');
        for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
            if (!it->endsWith("AT+VRX")) continue;
            const QTime at = QTime::fromString(QString::fromLatin1(it->left(12)), "hh:mm:ss.zzz");
            return at.isValid() ? at.msecsTo(QTime::currentTime()) : -1;
        }
        return -1;
    }

    void Finished(const TCall& call) {
        m_finished.insert(call.Number);
        if (call.What == Kind::Message || call.What == Kind::HangUpInRecording ||
            call.What == Kind::Paged)
            m_messages.insert(call.Number);
    }

    // The data folder as the restarted program found it.
    void Check(const TCall& call) {
        QTemporaryDir copy;
        CopyFolder(m_folder.Data, copy.path());
        TProfile::SetFolder(copy.path());
        TakeDataNotices();
        TCallLog log;
        log.LoadCallLog(100000);
        TPhoneBook book;
        book.LoadPhoneBook();
        TOutgoingHistory history;
        history.LoadOutgoingHistory();
        TConfig config;
        if (!TConfigFile().LoadConfig(config)) Problem(call, "the settings do not load");
        for (const QString& notice : TakeDataNotices())
            Problem(call, "a damaged file: " + notice);
        if (qsizetype(book.Entries.size()) !=
            Numbers(m_calls, Kind::Blocked).size() + Numbers(m_calls, Kind::Paged).size())
            Problem(call, "the phone book lost entries");

        QSet<QString> seen;
        for (const CallLogRecord& record : log.Records) {
            const QString digits = DigitsOnly(record.Number);
            const int index = digits.right(7).toInt() - 1000000;
            if (digits.size() != 10 || index < 0 || index > call.Index ||
                record.Name != QStringLiteral("CALLER %1").arg(index))
                Problem(call, "a garbled record: " + record.Number + " " + record.Name);
            if (seen.contains(digits)) Problem(call, "a record twice: " + digits);
            seen.insert(digits);
            if (!record.MessageFile.isEmpty() &&
                !IsWave(copy.filePath("Messages/" + record.MessageName())))
                Problem(call, "a record names a missing or broken message: " + record.MessageFile);
        }
        for (const QString& number : m_finished) {
            // The history keeps the newest 200 calls: older ones leave it with their messages.
            if (number.right(7).toInt() - 1000000 < call.Index - kHistoryCalls) continue;
            const auto it =
                std::find_if(log.Records.begin(), log.Records.end(),
                             [&](const auto& r) { return DigitsOnly(r.Number) == number; });
            if (it == log.Records.end())
                Problem(call, "a call was not logged: " + number);
            else if (m_messages.contains(number) && it->MessageFile.isEmpty())
                Problem(call, "a finished message is not tied to its call: " + number);
        }
        for (const QString& left : TemporaryFiles(m_folder.Data))
            Problem(call, "a temporary file was left: " + left);
    }

    static bool IsWave(const QString& path) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) return false;
        const QByteArray head = file.read(44);
        return head.startsWith("RIFF") && head.mid(8, 4) == "WAVE" && file.size() > 44;
    }

    static void CopyFolder(const QString& from, const QString& to) {
        QDirIterator it(from, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            const QString target = to + path.mid(from.size());
            QDir().mkpath(QFileInfo(target).absolutePath());
            QFile::copy(path, target);
        }
    }

    // Temporary files of a rewrite ("NAME.XXXXXX") or of a recording ("NAME.part").
    static QStringList TemporaryFiles(const QString& folder) {
        QStringList left;
        QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        static const QRegularExpression kTemporary(QStringLiteral("\\.([A-Za-z0-9]{6}|part)$"));
        while (it.hasNext()) {
            const QString path = it.next();
            if (kTemporary.match(path).hasMatch() && !path.endsWith(".wav")) left << path;
        }
        return left;
    }

    void Problem(const TCall& call, const QString& what) {
        if (!m_failures++ && m_verbose) PrintTrace();
        std::printf("call %d (%s, %s): %s\n", call.Index, KindName(call.What),
                    qPrintable(call.Number), qPrintable(what));
        std::fflush(stdout);
    }

    // What the program said and what the modem heard, control characters shown as %XX.
    void PrintTrace() {
        std::printf("%s\n", m_program.readAllStandardError().right(3000).constData());
        QFile log(m_sim.LogPath());
        if (log.open(QIODevice::ReadOnly))
            std::printf("%s\n",
                        log.readAll().right(3000).toPercentEncoding(" :.+=,;\n").constData());
    }

    int Fail(const char* what) {
        std::printf("%s\n", what);
        return 1;
    }

    static constexpr int TV253LineRingTimeoutMs = 8000;
    static constexpr int kHistoryCalls = 190;  // fewer than the history's 200 records

    QRandomGenerator m_random;
    double m_killChance;
    QList<TCall> m_calls;
    TSimulator m_sim;
    TCrashFolder m_folder;
    QProcess m_program;
    qsizetype m_commandsBefore = 0;
    bool m_verbose = qEnvironmentVariableIsSet("RINGVALE_CRASHCHECK_VERBOSE");
    int m_kills = 0;
    int m_failures = 0;
    QSet<QString> m_finished;  // calls whose end the program saw
    QSet<QString> m_messages;  // of those, calls that left a message
};

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);  // progress shows as it happens in a log file
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Kills the program at random moments while it answers calls from the modem simulator, "
        "and checks its data after every restart."));
    parser.addHelpOption();
    const QCommandLineOption calls(QStringLiteral("calls"), QStringLiteral("calls to make"),
                                   QStringLiteral("n"), QStringLiteral("500"));
    const QCommandLineOption seed(QStringLiteral("seed"),
                                  QStringLiteral("random seed (a failure prints its seed)"),
                                  QStringLiteral("n"));
    const QCommandLineOption chance(QStringLiteral("kill-chance"),
                                    QStringLiteral("chance that a call is cut by a kill"),
                                    QStringLiteral("p"), QStringLiteral("0.35"));
    const QCommandLineOption keep(QStringLiteral("keep"),
                                  QStringLiteral("copy the data folder to DIR at the end"),
                                  QStringLiteral("dir"));
    parser.addOptions({calls, seed, chance, keep});
    parser.process(app);
    const quint32 seedValue = parser.isSet(seed) ? parser.value(seed).toUInt()
                                                 : quint32(QDateTime::currentMSecsSinceEpoch());
    std::printf("seed %u\n", seedValue);
    TCrashRun run(parser.value(calls).toInt(), seedValue, parser.value(chance).toDouble());
    const int result = run.Run();
    if (parser.isSet(keep)) run.KeepFolder(parser.value(keep));
    if (result != 0) std::printf("replay with --seed %u\n", seedValue);
    return result;
}
