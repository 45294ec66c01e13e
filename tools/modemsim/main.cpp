// ringvale-modemsim: a voice modem on a pseudo-terminal, with a scripted far end.

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QSocketNotifier>
#include <QTextStream>
#include <cstdio>

#include "modemsim.h"

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("ringvale-modemsim"));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "A voice modem on a pseudo-terminal. Prints \"PTY <device>\" and then plays the far end "
        "of the line from the script (standard input when no file is given).\n\nScript lines: "
        "wait SECONDS | ring | rings COUNT INTERVAL | cid NUMBER [NAME] (P private, O out of "
        "area) | waitfor COMMAND-TEXT | keys DIGITS | hangup [b|d|l|s] | dialresult "
        "answer|busy|noanswer|nodialtone | speak WAVE-FILE | tone HZ SECONDS | send TEXT | flood "
        "COUNT | garbage COUNT | close | replug | reset | mute | unmute | chunk MS | "
        "quit. On standard input, \"abandon\" acts at once: the rest of the script is dropped."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("script"), QStringLiteral("script file"));
    const QCommandLineOption link(QStringLiteral("link"),
                                  QStringLiteral("make PATH a link to the device"),
                                  QStringLiteral("path"));
    const QCommandLineOption log(QStringLiteral("log"), QStringLiteral("log every command to FILE"),
                                 QStringLiteral("file"));
    const QCommandLineOption compact(QStringLiteral("compact-cid"),
                                     QStringLiteral("caller ID without blanks around '='"));
    const QCommandLineOption bracket(QStringLiteral("bracket-dtmf"),
                                     QStringLiteral("touch tones as /d~ brackets"));
    const QCommandLineOption del(QStringLiteral("dtmf-end-7f"),
                                 QStringLiteral("end brackets with 0x7F"));
    const QCommandLineOption usr(QStringLiteral("usr"),
                                 QStringLiteral("USR voice formats and identity"));
    const QCommandLineOption noSpeaker(QStringLiteral("no-speaker"),
                                       QStringLiteral("no speaker phone path"));
    const QCommandLineOption noVoice(QStringLiteral("no-voice"),
                                     QStringLiteral("a data-only modem"));
    const QCommandLineOption record(
        QStringLiteral("record-dir"),
        QStringLiteral("write what the host plays as wave files into FOLDER"),
        QStringLiteral("folder"));
    const QCommandLineOption silent(QStringLiteral("silent"),
                                    QStringLiteral("never answer a command"));
    const QCommandLineOption chunk(
        QStringLiteral("chunk-ms"),
        QStringLiteral("send received voice in pieces of MS milliseconds (default 10)"),
        QStringLiteral("ms"), QStringLiteral("10"));
    parser.addOptions(
        {link, log, compact, bracket, del, usr, noSpeaker, noVoice, silent, record, chunk});
    parser.process(app);

    TPersonality personality;
    personality.SpacedCallerId = !parser.isSet(compact);
    personality.BracketDtmf = parser.isSet(bracket);
    personality.DtmfEnd = parser.isSet(del) ? char(0x7F) : '~';
    personality.UsrFormats = parser.isSet(usr);
    personality.Speaker = !parser.isSet(noSpeaker);
    personality.Voice = !parser.isSet(noVoice);
    personality.Silent = parser.isSet(silent);

    TModemSim sim(personality);
    QFile logFile(parser.value(log));
    if (parser.isSet(log) && logFile.open(QIODevice::WriteOnly | QIODevice::Append))
        sim.SetLog(&logFile);
    if (parser.isSet(record)) sim.SetRecordFolder(parser.value(record));
    sim.SetChunkMs(parser.value(chunk).toInt());
    QString slave;
    if (!sim.Start(parser.value(link), &slave)) {
        std::fprintf(stderr, "modemsim: cannot create a pseudo-terminal\n");
        return 1;
    }
    std::printf("PTY %s\n", qPrintable(slave));
    std::fflush(stdout);
    QObject::connect(&sim, &TModemSim::Finished, &app, &QCoreApplication::quit);

    const QStringList files = parser.positionalArguments();
    if (!files.isEmpty()) {
        QFile script(files.first());
        if (!script.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "modemsim: cannot read %s\n", qPrintable(files.first()));
            return 1;
        }
        for (const QByteArray& line : script.readAll().split('\n'))
            sim.AddScript(QString::fromUtf8(line));
        sim.ScriptEnded();
        return QCoreApplication::exec();
    }
    // The script comes line by line from standard input; the modem stays until killed.
    QSocketNotifier input(0, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buffer[1024];
        const ssize_t n = ::read(0, buffer, sizeof buffer);
        if (n <= 0) {
            input.setEnabled(false);
            return;
        }
        static QByteArray pending;
        pending += QByteArray(buffer, n);
        qsizetype end;
        while ((end = pending.indexOf('\n')) >= 0) {
            const QString line = QString::fromUtf8(pending.left(end)).trimmed();
            if (line == QLatin1String("abandon"))
                sim.Abandon();
            else
                sim.AddScript(line);
            pending.remove(0, end + 1);
        }
    });
    return QCoreApplication::exec();
}
