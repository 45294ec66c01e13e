// ringvale-soak [CALLS] [--back-to-back] [--history N]: the main window in this process answers
// CALLS calls (1000 by default) from the modem simulator, each caller ringing once the program
// listens again or, back to back, the moment the line before is hung up. What the process holds is
// counted once the history is full (50 calls after its length), every 100 calls (with the trend of
// resident memory) and at the end: resident memory, open file descriptors, live Qt objects and
// running timers. Every call must be logged once and every caller who spoke must leave a message;
// the longest stall of the GUI thread is measured throughout.

#include <malloc.h>

#include <QDir>
#include <QHash>
#include <QMutex>
#include <QSet>
#include <QtTest>
#include <cstdio>

#include "listeningwindow.h"
#include "stallmeter.h"

// Qt's hooks for tools that track objects (stable across Qt 6 releases).
extern "C" Q_CORE_EXPORT quintptr qtHookData[];

namespace {

enum HookIndex { kAddQObject = 3, kRemoveQObject = 4 };
// Objects are made and destroyed on other threads too (sound, the session bus).
QMutex g_lock;
QSet<QObject*>* g_objects = nullptr;

void AddObject(QObject* object) {
    QMutexLocker locked(&g_lock);
    g_objects->insert(object);
}
void RemoveObject(QObject* object) {
    QMutexLocker locked(&g_lock);
    g_objects->remove(object);
}

struct TCounts {
    qint64 RssKb = 0;
    int Descriptors = 0;
    int Objects = 0;
    int Timers = 0;
};

TCounts Count() {
    ::malloc_trim(0);  // freed memory back to the system: what stays resident is in use
    TCounts counts;
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly))
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.startsWith("VmRSS:"))
                counts.RssKb = line.mid(6).trimmed().split(' ')[0].toLongLong();
    counts.Descriptors =
        int(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size());
    QMutexLocker locked(&g_lock);
    counts.Objects = int(g_objects->size());
    QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
    for (QObject* object : *g_objects)
        if (object->thread() == qApp->thread())
            counts.Timers += int(dispatcher->registeredTimers(object).size());
    return counts;
}

// Resident kB of each mapping of this process, by its start address and name ("[heap]", a
// file, or nothing for anonymous memory).
QHash<QString, qint64> ResidentByMapping() {
    QHash<QString, qint64> mappings;
    QFile smaps(QStringLiteral("/proc/self/smaps"));
    if (!smaps.open(QIODevice::ReadOnly)) return mappings;
    QString current;
    for (const QByteArray& line : smaps.readAll().split('\n')) {
        const QByteArray first = line.left(line.indexOf(' '));
        if (line.startsWith("Rss:")) {
            mappings[current] += line.mid(4).trimmed().split(' ').value(0).toLongLong();
        } else if (first.contains('-') && !first.contains(':')) {  // a mapping's own line
            const QList<QByteArray> fields = line.simplified().split(' ');
            current =
                QString::fromLatin1(first.split('-').value(0) + ' ' + fields.mid(5).join(' '));
        }
    }
    return mappings;
}

// Where resident memory grew between two readings, the largest first.
void PrintGrowth(const QHash<QString, qint64>& before, const QHash<QString, qint64>& after) {
    QList<QPair<qint64, QString>> grown;
    for (auto it = after.begin(); it != after.end(); ++it)
        if (it.value() != before.value(it.key()))
            grown.append({it.value() - before.value(it.key()), it.key()});
    std::sort(grown.begin(), grown.end(),
              [](const auto& a, const auto& b) { return a.first > b.first; });
    for (qsizetype i = 0; i < qMin<qsizetype>(grown.size(), 6); ++i)
        std::printf("  %+lld kB in %s\n", grown[i].first, qPrintable(grown[i].second));
}

// The least-squares slope of resident memory over calls, in kB per 100 calls.
double SlopePer100(const QList<QPair<int, qint64>>& points) {
    if (points.size() < 2) return 0;
    double meanX = 0, meanY = 0;
    for (const auto& [x, y] : points) {
        meanX += x;
        meanY += double(y);
    }
    meanX /= double(points.size());
    meanY /= double(points.size());
    double covariance = 0, variance = 0;
    for (const auto& [x, y] : points) {
        covariance += (x - meanX) * (double(y) - meanY);
        variance += (x - meanX) * (x - meanX);
    }
    return variance > 0 ? 100 * covariance / variance : 0;
}

void Print(const char* when, const TCounts& c) {
    std::printf("%s: resident %lld kB, %d descriptors, %d objects, %d timers\n", when, c.RssKb,
                c.Descriptors, c.Objects, c.Timers);
    std::fflush(stdout);
}

struct TSoak {
    explicit TSoak(int history) : History(history) {}
    const int History;  // calls the history keeps
    TSimulator Sim;
    TAnsweringFolder Folder{Sim, 0.3};
    bool ConfigHome = [this] {
        qputenv("XDG_CONFIG_HOME", Folder.Work.filePath("config").toUtf8());
        TConfig config;
        TConfigFile().LoadConfig(config);
        config.MaxItems = History;
        return TConfigFile().SaveConfig(config);
    }();
    TV253Provider Modems;
    TMainForm Form;

    // The modem's log read as it grows, a line at a time: reading it whole at every look
    // would make this process's own memory grow with the number of calls.
    QFile Log{Sim.LogPath()};
    QByteArray Pending;
    int HangUps = 0;
    bool ReadyAfterHangUp = false;
    bool HungUp(int calls) {
        if (!Log.isOpen() && !Log.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) return false;
        Pending += Log.readAll();
        for (qsizetype end; (end = Pending.indexOf('\n')) >= 0; Pending.remove(0, end + 1)) {
            const QByteArray command = Pending.left(end).mid(13).trimmed();
            if (command == "ATH0") {
                ++HangUps;
                ReadyAfterHangUp = false;
            } else if (command == "AT+VCID=1") {
                ReadyAfterHangUp = true;
            }
        }
        return HangUps >= calls && ReadyAfterHangUp;
    }

    // One caller: a short message, or (every fifth) a hang-up during the greeting. Back to
    // back, the caller rings the moment the line before is hung up, while the program sets
    // the modem up again, instead of once it listens.
    bool Call(int index, bool backToBack) {
        if (backToBack && index > 0) Sim.Script("waitfor ATH0");
        Sim.Script("ring");
        Sim.Script(
            QStringLiteral("cid 31255%1 SOAK %2").arg(index, 5, 10, QLatin1Char('0')).arg(index));
        Sim.Script("rings 3 0.3");
        if (index % 5 == 4) {
            Sim.Script("waitfor +VTX");
            Sim.Script("wait 0.1");
            Sim.Script("hangup l");
        } else {
            Sim.Script("waitfor +VRX");
            Sim.Script("tone 700 0.6");
            Sim.Script("wait 0.4");
            Sim.Script("hangup b");
        }
        return QTest::qWaitFor(
            [&] {
                HungUp(index + 1);
                return HangUps >= index + 1 && (backToBack || ReadyAfterHangUp);
            },
            30000);
    }
};

}  // namespace

int main(int argc, char* argv[]) {
    QSet<QObject*> objects;
    g_objects = &objects;
    qtHookData[kAddQObject] = reinterpret_cast<quintptr>(&AddObject);
    qtHookData[kRemoveQObject] = reinterpret_cast<quintptr>(&RemoveObject);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int calls = argc > 1 ? std::atoi(argv[1]) : 1000;
    const bool backToBack = app.arguments().contains(QStringLiteral("--back-to-back"));
    // A smaller history (--history N, 5 to 200) is full sooner, for a shorter soak.
    const qsizetype historyAt = app.arguments().indexOf(QStringLiteral("--history"));
    const int history =
        qBound(5, historyAt > 0 ? app.arguments().value(historyAt + 1).toInt() : 200, 200);
    const int warmUp = qMin(history + 50, calls / 2);

    TSoak soak(history);
    if (!QTest::qWaitFor([&] { return soak.Sim.Commands().contains("AT+VCID=1"); }, 15000)) {
        std::printf("the window did not start listening\n");
        return 1;
    }
    TStallMeter stalls;
    TCounts before, last;
    QHash<QString, qint64> mappingsBefore;
    QList<QPair<int, qint64>> trend;  // (calls, resident kB) after the warm-up
    QElapsedTimer took;
    took.start();
    for (int i = 0; i < calls; ++i) {
        if (!soak.Call(i, backToBack)) {
            std::printf(
                "call %d did not end: %s\n", i,
                qPrintable(soak.Sim.Commands().mid(soak.Sim.Commands().size() - 30).join(" | ")));
            qtHookData[kAddQObject] = qtHookData[kRemoveQObject] = 0;
            return 1;
        }
        if (i + 1 == warmUp) {
            QTest::qWait(500);
            before = last = Count();
            mappingsBefore = ResidentByMapping();
            Print("after the warm-up", before);
        } else if ((i + 1) % 100 == 0) {
            std::printf("%d calls, %lld s: ", i + 1, took.elapsed() / 1000);
            const TCounts now = Count();
            Print("now", now);
            if (i + 1 > warmUp) {
                trend.append({i + 1, now.RssKb});
                std::printf("  resident %+lld kB since the last count\n", now.RssKb - last.RssKb);
            }
            last = now;
        }
    }
    QTest::qWait(500);
    const TCounts after = Count();
    Print("at the end", after);

    const QList<CallLogRecord> records = soak.Folder.Records();
    QSet<QString> numbers;
    for (const CallLogRecord& record : records) {
        // Each caller is SOAK N on a number that ends in N: a record that mixes two is shown.
        QString digits = record.Number;
        digits.remove(QLatin1Char('-'));
        if (qEnvironmentVariableIsSet("SOAK_RECORDS") || numbers.contains(record.Number) ||
            !record.Name.endsWith(QLatin1Char(' ') + QString::number(digits.right(5).toInt())))
            std::printf("record %s %s\n", qPrintable(record.Number), qPrintable(record.Name));
        numbers.insert(record.Number);
    }
    const int messages = int(std::count_if(records.begin(), records.end(),
                                           [](const auto& r) { return !r.MessageFile.isEmpty(); }));
    // Every fifth caller hangs up during the greeting; the others leave a message, which
    // stays as long as its call is in the history.
    TConfig config;
    TConfigFile().LoadConfig(config);
    const qsizetype kept = qMin<qsizetype>(records.size(), config.ClampedMaxItems());
    const int spoke = int(std::count_if(records.end() - kept, records.end(), [](const auto& r) {
        QString digits = r.Number;
        return digits.remove(QLatin1Char('-')).right(5).toInt() % 5 != 4;
    }));
    std::printf(
        "%d calls in %lld s: %d records, %d numbers, %d of %d messages; longest GUI stall %lld "
        "ms\n",
        calls, took.elapsed() / 1000, int(records.size()), int(numbers.size()), messages, spoke,
        stalls.LongestMs());
    std::printf(
        "growth over %d calls: resident %+lld kB, descriptors %+d, objects %+d, timers %+d\n",
        calls - warmUp, after.RssKb - before.RssKb, after.Descriptors - before.Descriptors,
        after.Objects - before.Objects, after.Timers - before.Timers);
    if (trend.size() >= 2)
        std::printf("resident memory trend after the warm-up: %+.1f kB per 100 calls\n",
                    SlopePer100(trend));
    std::printf("where resident memory grew after the warm-up:\n");
    PrintGrowth(mappingsBefore, ResidentByMapping());
    // Objects destroyed after this point must not reach the set.
    qtHookData[kAddQObject] = qtHookData[kRemoveQObject] = 0;
    const bool whole = records.size() == calls && numbers.size() == calls && messages == spoke;
    const bool bounded = after.RssKb - before.RssKb < 2048 &&
                         after.Descriptors <= before.Descriptors && after.Timers <= before.Timers;
    return whole && bounded ? 0 : 1;
}
