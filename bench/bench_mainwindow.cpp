// The main window, measured: start-up to the window shown with a 200-record call log and a
// 10,000-entry phone book; the simulator's caller ID to the record on disk and the row on the
// screen; and the CPU the program spends idle, connected to a modem, over a minute.

#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <QWidget>
#include <QtTest>
#include <cstdio>

#include "controls.h"
#include "platform/clock.h"
#include "platform/profile.h"
#include "platform/telephony/portlock.h"
#include "platform/telephony/v253line.h"
#include "simulator.h"
#include "ui/main/mainform.h"
#include "ui/main/phonebooktab.h"

namespace {
double CpuSeconds() {
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void Prepare(const QString& folder, const QString& modem) {
    TProfile::SetFolder(folder);
    TConfig config;
    config.SelectPortBox = modem;
    config.SetConnectAtStartupButton(!modem.isEmpty());
    config.SetFlashCaller(false);
    config.RingsToAnswer = 0;
    TConfigFile().SaveConfig(config);
    TCallLog log;
    for (int i = 0; i < 200; ++i) {
        CallLogRecord* record = log.NewLogRecord();
        TCallLog::FillLogRecord(record, QStringLiteral("CALLER %1").arg(i),
                                QStringLiteral("404555%1").arg(1000 + i));
        record->Time = 1765000000 + i;
    }
    log.SaveCallLog();
    TPhoneBook book;
    for (int i = 0; i < 10000; ++i) {
        PhoneBookEntry entry;
        entry.DisplayName = QStringLiteral("Entry %1").arg(i);
        entry.Number = QStringLiteral("770555%1").arg(i, 4, 10, QLatin1Char('0'));
        book.Add(entry);
    }
    book.SavePhoneBook();
}
}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    QApplication app(argc, argv);
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
    TPortLock::SetFolder(home.path());

    {  // Start-up with a 200 MB call log: only the records the list can show are read.
        QTemporaryDir folder;
        Prepare(folder.path(), QString());
        QFile log(TCallLog::FileName());
        if (!log.open(QIODevice::ReadOnly)) return 1;
        const QByteArray record = log.read(CallLogRecord::kSize);
        log.close();
        if (!log.open(QIODevice::WriteOnly)) return 1;
        const QByteArray block = record.repeated(10000);
        while (log.size() < 200LL * 1024 * 1024)
            log.write(block);
        log.close();
        QElapsedTimer clock;
        clock.start();
        TMainForm form;
        form.show();
        if (!QTest::qWaitForWindowExposed(&form)) return 1;
        std::printf("start-up to the window shown with a 200 MB call log: %lld ms\n",
                    static_cast<long long>(clock.elapsed()));
    }

    {  // Start-up.
        QTemporaryDir folder;
        Prepare(folder.path(), QString());
        QElapsedTimer clock;
        clock.start();
        TMainForm form;
        form.show();
        if (!QTest::qWaitForWindowExposed(&form)) return 1;
        std::printf(
            "start-up to the window shown (200 calls, 10,000 phone book entries): %lld ms\n",
            static_cast<long long>(clock.elapsed()));
        ControlOf<QTabWidget>(form, "pageTabs")
            ->setCurrentWidget(ControlOf<QWidget>(form, "PhoneBookTab"));
        clock.restart();
        form.PhoneBook()->LoadRows();
        QCoreApplication::processEvents();
        const qint64 filled = clock.elapsed();
        clock.restart();
        form.PhoneBook()->SortBy(1);
        QCoreApplication::processEvents();
        std::printf("phone book tab filled with 10,000 entries: %lld ms, sorted by name: %lld ms\n",
                    static_cast<long long>(filled), static_cast<long long>(clock.elapsed()));
        // The two-second tick with 1,000 calls waiting in the shown queue.
        ControlOf<QTabWidget>(form, "pageTabs")
            ->setCurrentWidget(ControlOf<QWidget>(form, "ToCallList"));
        for (int i = 0; i < 1000; ++i) {
            TOCALL call;
            call.Name = QStringLiteral("Caller %1").arg(i);
            call.NumberToDial = QStringLiteral("770555%1").arg(i, 4, 10, QLatin1Char('0'));
            call.When = TClock::NowDays() + 1 + i / 1440.0;
            form.Session().Outgoing().AddToCallList(call);
        }
        form.OnTick();  // the rows are made
        QCoreApplication::processEvents();
        clock.restart();
        constexpr int kTicks = 20;
        for (int tick = 0; tick < kTicks; ++tick)
            form.OnTick();
        std::printf("tick with 1,000 queued calls shown: %.2f ms\n",
                    clock.nsecsElapsed() / 1e6 / kTicks);
    }

    TSimulator sim;
    sim.WriteLinesConf(home.path(), QStringLiteral("Sim"));
    TV253Provider modems;
    QTemporaryDir folder;
    Prepare(folder.path(), QStringLiteral("Sim"));
    TMainForm form;
    form.show();
    if (!QTest::qWaitFor([&] { return form.Session().Line() != nullptr; }, 10000)) {
        std::printf("the simulated modem did not connect: %s\n",
                    qPrintable(form.Session().Connection().Status().StatusText));
        return 1;
    }
    QTreeWidget* list = ControlOf<QTreeWidget>(form, "historyList");

    // Caller ID to the screen and the disk, ten calls.
    QList<double> samples;
    for (int call = 0; call < 10; ++call) {
        const QTreeWidgetItem* top = list->topLevelItem(0);  // the list stays at 200 rows
        const qint64 size = QFileInfo(TCallLog::FileName()).size();
        QElapsedTimer clock;
        clock.start();
        sim.Script(QStringLiteral("ring"));
        sim.Script(QStringLiteral("cid 4045551212 SMITH J"));
        if (QTest::qWaitFor(
                [&] {
                    return list->topLevelItem(0) != top &&
                           QFileInfo(TCallLog::FileName()).size() > size;
                },
                5000))
            samples << clock.nsecsElapsed() / 1e6;
        QEventLoop settle;  // the caller gives up; the line reopens
        QTimer::singleShot(9000, &settle, &QEventLoop::quit);
        settle.exec();
    }
    if (samples.isEmpty()) return 1;
    std::sort(samples.begin(), samples.end());
    std::printf(
        "caller ID to the log on disk and the row on screen: median %.1f ms, worst %.1f ms\n",
        samples[samples.size() / 2], samples.last());

    // Idle, connected, for a minute.
    // A plain event loop: the waits of the test library poll every few milliseconds.
    const double cpu = CpuSeconds();
    QEventLoop idle;
    QTimer::singleShot(60000, &idle, &QEventLoop::quit);
    idle.exec();
    std::printf("idle CPU over a minute, connected: %.3f s\n", CpuSeconds() - cpu);
    return 0;
}
