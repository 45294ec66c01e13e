// ringvale-sipcallers URI [VOICE]: the demo's callers over SIP, to the line at URI
// ("sip:ringvale@127.0.0.1:5064"): three callers who give up after about two rings (one from
// the demo phone book, one unknown, one private), then one who waits for the answering machine,
// says VOICE (16-bit samples at 8000 Hz, raw) after the greeting and the beep, and hangs up.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <functional>

#include "sipcaller.h"

namespace {
// Runs the event loop until done() or the time is up.
bool WaitFor(const std::function<bool()>& done, int ms) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    return done();
}

void Pause(int ms) {
    WaitFor([] { return false; }, ms);
}

struct TDemoCaller {
    const char* From;
    bool LeavesAMessage;
};

const TDemoCaller kCallers[] = {
    {"\"MOM CELL\" <sip:4045551212@127.0.0.1>", false},
    {"\"JONES ROBERT\" <sip:7705550123@127.0.0.1>", false},
    {"\"Anonymous\" <sip:anonymous@anonymous.invalid>", false},
    {"\"GARCIA MARIA\" <sip:3125550199@127.0.0.1>", true},
};
constexpr int kGiveUpMs = 8000;    // two rings: the first at once, the next six seconds on
constexpr int kGreetingMs = 9000;  // the default greeting and the beep
constexpr int kAnswerTimeoutMs = 60000;
}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 2 || args.size() > 3) {
        std::fprintf(stderr, "usage: ringvale-sipcallers URI [VOICE.raw]\n");
        return 2;
    }
    const QByteArray uri = args[1].toUtf8();
    QByteArray voice(kGreetingMs * 16, '\0');  // silence while the greeting plays
    if (args.size() == 3) {
        QFile file(args[2]);
        if (file.open(QIODevice::ReadOnly)) voice += file.readAll();
    }
    QTemporaryDir work;
    int number = 0;
    for (const TDemoCaller& demo : kCallers) {
        TSipCaller caller(work.filePath(QString::number(++number)));
        if (!caller.Started()) {
            std::fprintf(stderr, "ringvale-sipcallers: %s\n", qPrintable(caller.Error()));
            return 1;
        }
        caller.SetVoice(voice);
        std::printf("calling %s as %s\n", uri.constData(), demo.From);
        if (!caller.Call(uri, demo.From)) return 1;
        if (!demo.LeavesAMessage) {
            Pause(kGiveUpMs);
            caller.HangUp();
        } else if (WaitFor([&] { return caller.Answered(); }, kAnswerTimeoutMs)) {
            Pause(int(voice.size() / 16) + 2000);
            caller.HangUp();
        } else {
            std::fprintf(stderr, "ringvale-sipcallers: the call was not answered\n");
            return 1;
        }
        WaitFor([&] { return caller.Ended(); }, 5000);
        Pause(4000);
    }
    return 0;
}
