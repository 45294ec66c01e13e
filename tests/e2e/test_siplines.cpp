// The built program on a SIP line, against a SIP caller on the loopback address: the same
// answering machine as on a modem.

#include <QUdpSocket>
#include <QtTest>

#include "program.h"
#include "sipcaller.h"

namespace {
int FreePort() {
    QUdpSocket socket;
    socket.bind(QHostAddress::LocalHost, 0);
    return socket.localPort();
}

// The program said (on its error output) that the line listens.
bool Listening(QProcess& program, QByteArray* said) {
    return QTest::qWaitFor(
        [&] { return (*said += program.readAllStandardError()).contains("listening on"); }, 10000);
}
}  // namespace

class TestSipLines : public QObject {
    Q_OBJECT
private slots:
    // A caller with a name and a number rings twice, is answered, hears the greeting, speaks
    // and hangs up: the call is logged with its caller ID and the message holds what was said.
    void answersACallerAndTakesAMessage() {
        const int port = FreePort();
        const QString uri = QStringLiteral("sip:ringvale@127.0.0.1:%1").arg(port);
        TAnsweringFolder folder(QStringLiteral("Sip line"), uri, 2);
        QProcess program;
        QVERIFY(StartProgram(program, folder.Work.filePath("config"), folder.Data));
        QByteArray said;
        QVERIFY2(Listening(program, &said), said.right(2000).constData());

        TSipTestCaller caller(folder.Work.filePath("caller"), 440);
        QVERIFY2(caller.Started(), qPrintable(caller.Error()));
        QVERIFY(caller.Call(uri.toUtf8(), "\"Ann Smith\" <sip:3125550199@127.0.0.1>"));
        // The second ring comes six seconds after the first.
        QVERIFY(QTest::qWaitFor([&] { return caller.Answered(); }, 15000));
        QTest::qWait(2500);  // the greeting, the beep
        const QByteArray greeting = caller.Heard();
        QTest::qWait(2500);  // the caller speaks into the recording
        caller.HangUp();

        QVERIFY2(QTest::qWaitFor(
                     [&] {
                         const QList<CallLogRecord> records = folder.Records();
                         return !records.isEmpty() && !records.last().MessageFile.isEmpty();
                     },
                     10000),
                 (said += program.readAllStandardError()).right(3000).constData());
        QVERIFY(Stop(program));
        const CallLogRecord record = folder.Records().last();
        QCOMPARE(record.Name, QString("Ann Smith"));
        QCOMPARE(record.Number, QString("312-555-0199"));
        QCOMPARE(record.Actions, quint32(LOG_TOOK_MESSAGE));
        // The greeting's square wave of about 551 Hz reached the caller.
        const double heard = TSipTestCaller::ToneHz(greeting.mid(4000, 8000));
        QVERIFY2(qAbs(heard - 551) < 30, qPrintable(QString::number(heard)));
        QFile message(folder.Data + "/Messages/" + record.MessageFile);
        QVERIFY(message.open(QIODevice::ReadOnly));
        const QByteArray samples = message.readAll().mid(46);
        QVERIFY2(samples.size() > 11025, qPrintable(QString::number(samples.size())));
        const double hz = Frequency(samples.mid(samples.size() / 4, samples.size() / 2), 11025);
        QVERIFY2(qAbs(hz - 440) < 15, qPrintable(QString::number(hz)));
    }
};

QTEST_MAIN(TestSipLines)
#include "test_siplines.moc"
