// The SIP line against a SIP caller on the loopback address: caller ID from the INVITE, rings
// while it rings, the answer, voice both ways through the line's wave devices, touch tones, and
// the caller hanging up before and after the answer.

#include <QBuffer>
#include <QProcess>
#include <QTemporaryDir>
#include <QUdpSocket>
#include <QtTest>
#include <cmath>

#include "certificate.h"
#include "platform/profile.h"
#include "platform/telephony/callerid.h"
#include "platform/telephony/sipline.h"
#include "platform/telephony/tapi.h"
#include "platform/wave/wavedevice.h"
#include "sipcaller.h"
#include "sippregistrar.h"
#include "stallmeter.h"

namespace {
struct TPosted {
    quint32 Device;
    quint32 Message;
    quintptr P1, P2;
};

// Keeps what the line reports, in order.
class TRecordingSink : public TLineEventSink {
public:
    HLINE Line() const override { return 1; }
    HCALL NewCall() override { return ++m_calls + 100; }
    void Post(quint32 device, quint32 message, quintptr p1, quintptr p2, quintptr) override {
        Posted.append({device, message, p1, p2});
    }
    bool Has(quint32 message, quintptr p1) const { return Count(message, p1) > 0; }
    int Count(quint32 message, quintptr p1) const {
        int n = 0;
        for (const TPosted& p : Posted)
            n += p.Message == message && p.P1 == p1;
        return n;
    }
    HCALL Offered() const {
        for (const TPosted& p : Posted)
            if (p.Message == LINE_CALLSTATE && p.P1 == LINECALLSTATE_OFFERING) return p.Device;
        return 0;
    }
    QByteArray Digits() const {
        QByteArray digits;
        for (const TPosted& p : Posted)
            if (p.Message == LINE_MONITORDIGITS) digits += char(p.P1);
        return digits;
    }
    QList<TPosted> Posted;

private:
    quint32 m_calls = 0;
};

// The account's password where no keyring runs.
bool KeepPassword(const QString& lineName, const QString& password) {
    QFile file(TProfile::Path(SipPasswordFileName(lineName)));
    return file.open(QIODevice::WriteOnly) && file.write(password.toUtf8()) > 0;
}

int FreePort() {
    QUdpSocket socket;
    socket.bind(QHostAddress::LocalHost, 0);
    return socket.localPort();
}

QByteArray Tone(double hz, double seconds) {
    TToneSource source(hz);
    return source.read(qint64(seconds * 8000) * 2);
}

// Keys as a phone sounds them: 100 ms of each key's two tones, 100 ms apart.
QByteArray KeyTones(const QByteArray& keys) {
    QByteArray samples(8000 / 2 * 2, '\0');  // half a second before the first
    for (const char key : keys) {
        const int at = int(QByteArray("123A456B789C*0#D").indexOf(key));
        const double low = QList<double>{697, 770, 852, 941}[at / 4];
        const double high = QList<double>{1209, 1336, 1477, 1633}[at % 4];
        for (int i = 0; i < 800; ++i) {
            const qint16 sample = qint16(5000 * (std::sin(2 * M_PI * low * i / 8000) +
                                                 std::sin(2 * M_PI * high * i / 8000)));
            samples.append(reinterpret_cast<const char*>(&sample), 2);
        }
        samples.append(QByteArray(800 * 2, '\0'));
    }
    return samples;
}

// The middle of a recording, away from the silence at its edges.
QByteArray Middle(const QByteArray& samples) {
    return samples.mid(samples.size() / 4 & ~1, samples.size() / 2 & ~1);
}
}  // namespace

class TestSipLine : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        QVERIFY(m_work.isValid());
        TProfile::SetFolder(m_work.path());
        TSipLine::RingIntervalMs = 400;
    }

    void callerIdFromTheHeaders_data() {
        QTest::addColumn<QByteArray>("pai");
        QTest::addColumn<QByteArray>("rpid");
        QTest::addColumn<QByteArray>("from");
        QTest::addColumn<QByteArray>("privacy");
        QTest::addColumn<QByteArray>("number");
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<quint32>("flags");
        const quint32 both = LINECALLPARTYID_ADDRESS | LINECALLPARTYID_NAME;
        QTest::newRow("from") << QByteArray() << QByteArray()
                              << QByteArray("\"Ann Smith\" <sip:5551234@10.0.0.1>;tag=1")
                              << QByteArray() << QByteArray("5551234") << QByteArray("Ann Smith")
                              << both;
        QTest::newRow("asserted identity first")
            << QByteArray("\"Bank\" <tel:+15550001>") << QByteArray("<sip:999@x>")
            << QByteArray("<sip:111@x>") << QByteArray() << QByteArray("+15550001")
            << QByteArray("Bank") << both;
        QTest::newRow("remote party before from")
            << QByteArray() << QByteArray("\"Lee\" <sip:5550002@x>;party=calling")
            << QByteArray("<sip:111@x>") << QByteArray() << QByteArray("5550002")
            << QByteArray("Lee") << both;
        QTest::newRow("number only")
            << QByteArray() << QByteArray() << QByteArray("sip:5553@x") << QByteArray()
            << QByteArray("5553") << QByteArray() << quint32(LINECALLPARTYID_ADDRESS);
        QTest::newRow("anonymous")
            << QByteArray() << QByteArray()
            << QByteArray("\"Anonymous\" <sip:anonymous@anonymous.invalid>") << QByteArray()
            << QByteArray() << QByteArray() << quint32(LINECALLPARTYID_BLOCKED);
        QTest::newRow("privacy header hides a number")
            << QByteArray("<sip:5554@x>") << QByteArray() << QByteArray("<sip:5554@x>")
            << QByteArray("id") << QByteArray() << QByteArray() << quint32(LINECALLPARTYID_BLOCKED);
        QTest::newRow("remote party asks for privacy")
            << QByteArray() << QByteArray("<sip:5555@x>;privacy=full") << QByteArray()
            << QByteArray() << QByteArray() << QByteArray() << quint32(LINECALLPARTYID_BLOCKED);
        QTest::newRow("no user part")
            << QByteArray() << QByteArray() << QByteArray("\"Door\" <sip:10.0.0.9>") << QByteArray()
            << QByteArray() << QByteArray("Door") << quint32(LINECALLPARTYID_OUTOFAREA);
        // Whatever a stranger puts in the headers, the record gets printable Latin-1 that fits.
        QTest::newRow("hostile") << ("\"" + QByteArray(5000, 'A') + "\x01\r\n\" <sip:555%0d%0a%00" +
                                     QByteArray(100, '9') + "@x>")
                                 << QByteArray() << QByteArray() << QByteArray()
                                 << QByteArray("555" + QByteArray(28, '9')) << QByteArray(31, 'A')
                                 << both;
        QTest::newRow("unterminated")
            << QByteArray() << QByteArray() << QByteArray("\"Eve <sip:5556@x") << QByteArray()
            << QByteArray("5556") << QByteArray() << quint32(LINECALLPARTYID_ADDRESS);
    }
    void callerIdFromTheHeaders() {
        QFETCH(QByteArray, pai);
        QFETCH(QByteArray, rpid);
        QFETCH(QByteArray, from);
        QFETCH(QByteArray, privacy);
        const TCallerId id = SipCallerId(pai, rpid, from, privacy);
        QTEST(id.Number, "number");
        QTEST(id.Name, "name");
        QTEST(id.Flags, "flags");
    }

    void addressesOfLinesConf() {
        TSipAddress address;
        QVERIFY(TSipAddress::Parse("sip:ringvale@127.0.0.1:5070", &address));
        QCOMPARE(address.User, QByteArray("ringvale"));
        QCOMPARE(address.Host, QByteArray("127.0.0.1"));
        QCOMPARE(address.Port, 5070);
        QCOMPARE(address.Transport, TSipTransport::Udp);
        QVERIFY(TSipAddress::Parse("SIP:me@pbx.home;transport=TCP", &address));
        QCOMPARE(address.Port, 5060);
        QCOMPARE(address.Transport, TSipTransport::Tcp);
        for (const char* bad :
             {"/dev/ttyACM0", "sip:nobody", "sip:me@host:0", "sip:me@host:x", "sip:me@:5060"})
            QVERIFY2(!TSipAddress::Parse(bad, &address), bad);

        // What the account dialog writes reads back as it was, whatever the display name holds.
        TSipAddress account;
        account.User = "alice";
        account.Host = "sip.example.net";
        account.Transport = TSipTransport::Tls;
        account.Port = 5061;
        account.Outbound = "proxy.example.net:5070";
        account.Srtp = true;
        account.DisplayName = QString::fromUtf8("Zo\xc3\xab; Smith=home %20");
        const QString text = account.Text();
        QCOMPARE(text.left(text.indexOf(";display")),
                 QString("sip:alice@sip.example.net;transport=tls;outbound=proxy.example.net:5070;"
                         "srtp"));
        QVERIFY(TSipAddress::Parse(text, &address));
        QCOMPARE(address.Text(), text);
        QCOMPARE(address.DisplayName, account.DisplayName);
        QCOMPARE(address.Port, 5061);
        QVERIFY(address.Srtp);
        QCOMPARE(address.Outbound, account.Outbound);
    }

    // A caller with a name and a number is offered, rings, is answered, hears what the line
    // plays, is recorded, keys digits, and hangs up: what was recorded until then is kept.
    void answeredCallCarriesVoiceBothWays() {
        const int port = FreePort();
        TSipLine line(QStringLiteral("Sip test"),
                      QStringLiteral("sip:ringvale@127.0.0.1:%1").arg(port));
        line.DeviceId = 7;
        TRecordingSink sink;
        QCOMPARE(line.Open(&sink, LINEMEDIAMODE_AUTOMATEDVOICE), 0);
        QVERIFY(QTest::qWaitFor([&] { return sink.Has(LINE_LINEDEVSTATE, LINEDEVSTATE_CONNECTED); },
                                5000));
        TSipCaller caller(m_work.filePath("caller"), 440);
        QVERIFY2(caller.Started(), qPrintable(caller.Error()));
        QVERIFY(caller.Call(QStringLiteral("sip:ringvale@127.0.0.1:%1").arg(port).toUtf8(),
                            "\"Ann Smith\" <sip:5551234@127.0.0.1>"));

        QVERIFY(QTest::qWaitFor(
            [&] { return sink.Count(LINE_LINEDEVSTATE, LINEDEVSTATE_RINGING) >= 2; }, 5000));
        QVERIFY(sink.Has(LINE_CALLSTATE, LINECALLSTATE_OFFERING));
        QVERIFY(sink.Has(LINE_CALLINFO, LINECALLINFOSTATE_CALLERID));
        const HCALL call = sink.Offered();
        LINECALLINFO info;
        QCOMPARE(line.GetCallInfo(call, &info), 0);
        QCOMPARE(info.CallerID, QByteArray("5551234"));
        QCOMPARE(info.CallerIDName, QByteArray("Ann Smith"));

        QCOMPARE(line.Answer(call, 5), 0);
        QVERIFY(QTest::qWaitFor([&] { return sink.Has(LINE_CALLSTATE, LINECALLSTATE_CONNECTED); },
                                5000));
        QVERIFY(sink.Has(LINE_REPLY, 5));
        QVERIFY(QTest::qWaitFor([&] { return caller.Answered(); }, 2000));

        VARSTRING id;
        QCOMPARE(line.GetID(call, 0, "wave/in", &id), 0);
        QCOMPARE(qFromLittleEndian<quint32>(id.String.constData()), quint32(VoiceWaveInId(7)));
        const WAVEFORMATEX format = WAVEFORMATEX::Pcm(TSipAudio::Rate, 16, 1);
        QBuffer recording;
        recording.open(QIODevice::WriteOnly);
        bool recordingEnded = false;
        TWaveDevices::Find(VoiceWaveInId(7), false)->Start(&recording, format, [&] {
            recordingEnded = true;
        });
        QBuffer greeting;
        greeting.setData(Tone(880, 1.5));
        greeting.open(QIODevice::ReadOnly);
        bool played = false;
        TWaveDevice* output = TWaveDevices::Find(VoiceWaveOutId(7), true);
        output->Start(&greeting, format, [&] { played = true; });
        QVERIFY(QTest::qWaitFor([&] { return played; }, 5000));
        QCOMPARE(output->Processed(), greeting.size());

        QCOMPARE(line.MonitorDigits(call, LINEDIGITMODE_DTMF), 0);
        caller.Keys("#824");
        QVERIFY(QTest::qWaitFor([&] { return sink.Digits() == "#824"; }, 5000));
        QTest::qWait(300);  // the caller speaks on after the keys

        caller.HangUp();
        QVERIFY(QTest::qWaitFor(
            [&] { return sink.Has(LINE_CALLSTATE, LINECALLSTATE_DISCONNECTED); }, 5000));
        QVERIFY(recordingEnded);
        QVERIFY2(recording.size() > 2 * 8000 * 2, qPrintable(QString::number(recording.size())));
        QVERIFY(qAbs(TSipCaller::ToneHz(Middle(recording.data().left(8000 * 2 * 2))) - 440) < 20);
        QVERIFY(qAbs(TSipCaller::ToneHz(Middle(caller.Heard().left(8000 * 2 * 1))) - 880) < 40);

        QCOMPARE(line.Drop(call, 6), 0);
        QVERIFY(
            QTest::qWaitFor([&] { return sink.Has(LINE_CALLSTATE, LINECALLSTATE_IDLE); }, 2000));
        line.Close();
    }

    // A line that asks for encrypted voice carries it with a caller who encrypts too, and never
    // rings for one who cannot.
    void encryptedVoiceOnly() {
        const int port = FreePort();
        TSipLine line(QStringLiteral("Sip test"),
                      QStringLiteral("sip:ringvale@127.0.0.1:%1;srtp").arg(port));
        line.DeviceId = 17;
        TRecordingSink sink;
        QCOMPARE(line.Open(&sink, LINEMEDIAMODE_AUTOMATEDVOICE), 0);
        QVERIFY(QTest::qWaitFor([&] { return sink.Has(LINE_LINEDEVSTATE, LINEDEVSTATE_CONNECTED); },
                                5000));
        const QByteArray uri = QStringLiteral("sip:ringvale@127.0.0.1:%1").arg(port).toUtf8();
        TSipCaller plain(m_work.filePath("plain"));
        QVERIFY(plain.Call(uri, "<sip:5550140@127.0.0.1>"));
        QVERIFY(QTest::qWaitFor([&] { return plain.Ended(); }, 5000));
        QVERIFY(!plain.Answered());
        QVERIFY(!sink.Has(LINE_CALLSTATE, LINECALLSTATE_OFFERING));

        TSipCaller secret(m_work.filePath("secret"), 440, TSipCaller::Voice::Encrypted);
        QVERIFY(secret.Call(uri, "<sip:5550141@127.0.0.1>"));
        QVERIFY(QTest::qWaitFor([&] { return sink.Has(LINE_CALLSTATE, LINECALLSTATE_OFFERING); },
                                5000));
        const HCALL call = sink.Offered();
        QCOMPARE(line.Answer(call, 5), 0);
        QVERIFY(QTest::qWaitFor([&] { return secret.Answered(); }, 5000));
        QVERIFY(secret.Encrypted());
        QBuffer recording;
        recording.open(QIODevice::WriteOnly);
        TWaveDevices::Find(VoiceWaveInId(17), false)
            ->Start(&recording, WAVEFORMATEX::Pcm(TSipAudio::Rate, 16, 1), [] {});
        QTest::qWait(1500);
        QVERIFY(qAbs(TSipCaller::ToneHz(Middle(recording.data())) - 440) < 20);
        secret.HangUp();
        QVERIFY(QTest::qWaitFor(
            [&] { return sink.Has(LINE_CALLSTATE, LINECALLSTATE_DISCONNECTED); }, 5000));
        line.Close();
    }

    // A phone behind an adapter that knows no key events sounds its keys in the voice; a far end
    // that sends events is taken at its word, and a key is never heard twice.
    void keysSoundedInTheVoiceAreHeard() {
        const int port = FreePort();
        TSipLine line(QStringLiteral("Sip test"),
                      QStringLiteral("sip:ringvale@127.0.0.1:%1").arg(port));
        line.DeviceId = 9;
        TRecordingSink sink;
        QCOMPARE(line.Open(&sink, LINEMEDIAMODE_AUTOMATEDVOICE), 0);
        TSipCaller caller(m_work.filePath("toneCaller"));
        caller.SetVoice(KeyTones("*73#"));
        QVERIFY(caller.Call(QStringLiteral("sip:ringvale@127.0.0.1:%1").arg(port).toUtf8(),
                            "<sip:5550123@127.0.0.1>"));
        QVERIFY(QTest::qWaitFor([&] { return sink.Has(LINE_CALLSTATE, LINECALLSTATE_OFFERING); },
                                5000));
        const HCALL call = sink.Offered();
        QCOMPARE(line.MonitorDigits(call, LINEDIGITMODE_DTMF), 0);
        QCOMPARE(line.Answer(call, 5), 0);
        QVERIFY(QTest::qWaitFor([&] { return sink.Digits() == "*73#"; }, 5000));
        caller.Keys("5");
        QVERIFY(QTest::qWaitFor([&] { return sink.Digits() == "*73#5"; }, 5000));
        QTest::qWait(300);
        QCOMPARE(sink.Digits(), QByteArray("*73#5"));
        caller.HangUp();
        QVERIFY(QTest::qWaitFor(
            [&] { return sink.Has(LINE_CALLSTATE, LINECALLSTATE_DISCONNECTED); }, 5000));
        line.Close();
    }

    // A caller who hangs up while it rings (a CANCEL) is a call that was not answered; the line
    // is free for the next one. The line listens on every address, as the settings' direct line.
    void callerWhoGivesUpBeforeTheAnswer() {
        const int port = FreePort();
        TSipLine line(QStringLiteral("Sip test"),
                      QStringLiteral("sip:ringvale@0.0.0.0:%1").arg(port));
        line.DeviceId = 8;
        TRecordingSink sink;
        QCOMPARE(line.Open(&sink, LINEMEDIAMODE_AUTOMATEDVOICE), 0);
        const QByteArray uri = QStringLiteral("sip:ringvale@127.0.0.1:%1").arg(port).toUtf8();
        {
            TSipCaller caller(m_work.filePath("caller2"));
            QVERIFY(caller.Call(uri, "<sip:5550100@127.0.0.1>"));
            QVERIFY(QTest::qWaitFor(
                [&] { return sink.Has(LINE_LINEDEVSTATE, LINEDEVSTATE_RINGING); }, 5000));
            caller.HangUp();
            QVERIFY(QTest::qWaitFor([&] { return sink.Has(LINE_CALLSTATE, LINECALLSTATE_IDLE); },
                                    5000));
        }
        QVERIFY(sink.Count(LINE_CALLSTATE, LINECALLSTATE_DISCONNECTED) == 1);
        const auto gone =
            std::find_if(sink.Posted.begin(), sink.Posted.end(), [](const TPosted& p) {
                return p.Message == LINE_CALLSTATE && p.P1 == LINECALLSTATE_DISCONNECTED;
            });
        QCOMPARE(gone->P2, quintptr(LINEDISCONNECTMODE_NOANSWER));

        // The program closes and reopens the line after each call: a caller who rings in
        // between rings on and is offered once the line is open again.
        line.Close();
        sink.Posted.clear();
        TSipCaller next(m_work.filePath("caller3"));
        QVERIFY(next.Call(uri, "<sip:5550101@127.0.0.1>"));
        QTest::qWait(500);
        QVERIFY(sink.Posted.isEmpty() && !next.Ended());
        QCOMPARE(line.Open(&sink, LINEMEDIAMODE_AUTOMATEDVOICE), 0);
        QVERIFY(QTest::qWaitFor([&] { return sink.Has(LINE_CALLSTATE, LINECALLSTATE_OFFERING); },
                                5000));
        line.Close();
        QVERIFY(QTest::qWaitFor([&] { return next.Ended(); }, 5000));
    }

    // An account registers with its password at the registrar (an independent SIP peer that
    // challenges with digest authentication) and then listens; a wrong password is refused
    // and the line closes, as a modem that is not there.
    void anAccountRegistersWithItsPassword_data() {
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("registers");
        QTest::newRow("right") << QString("secret") << true;
        QTest::newRow("wrong") << QString("guess") << false;
    }
    void anAccountRegistersWithItsPassword() {
        QFETCH(QString, password);
        QFETCH(bool, registers);
        const int port = FreePort();
        QProcess registrar;
        QVERIFY(StartSippRegistrar(registrar, port));
        const QString name = QStringLiteral("Sip account");
        QVERIFY(KeepPassword(name, password));

        TSipLine line(name, QStringLiteral("sip:alice@127.0.0.1:%1").arg(port));
        line.DeviceId = 9;
        TRecordingSink sink;
        QCOMPARE(line.Open(&sink, LINEMEDIAMODE_AUTOMATEDVOICE), 0);
        QVERIFY(QTest::qWaitFor(
            [&] {
                return sink.Has(LINE_LINEDEVSTATE, LINEDEVSTATE_CONNECTED) ||
                       sink.Has(LINE_CLOSE, 0);
            },
            10000));
        QCOMPARE(sink.Has(LINE_LINEDEVSTATE, LINEDEVSTATE_CONNECTED), registers);
        QCOMPARE(sink.Has(LINE_CLOSE, 0), !registers);
        line.Close();
        registrar.kill();
        registrar.waitForFinished(5000);
        QFile::remove(TProfile::Path(SipPasswordFileName(name)));
    }

    // A registered account rings only for calls through its server: a flood of INVITEs from
    // another address (127.0.0.2) is refused without a ring and never stalls the program.
    // An account over TLS registers with a server whose certificate the user trusts (named as
    // every OpenSSL program takes one), and is refused, saying why, by one it cannot check.
    void anAccountRegistersOverTls() {
        TCertificate certificate;
        QVERIFY(certificate.Made());
        const int port = FreePort();
        QProcess registrar;
        QByteArray heard;
        auto hears = [&](const QByteArray& text) {
            heard += registrar.readAllStandardOutput();
            return heard.contains(text);
        };
        registrar.start(RINGVALE_PYTHON, {RINGVALE_SIPREGISTRAR, "--port", QString::number(port),
                                          "--cert", certificate.Cert, "--key", certificate.Key});
        QVERIFY(QTest::qWaitFor([&] { return hears("READY"); }, 15000));
        const QString name = QStringLiteral("Sip tls");
        QVERIFY(KeepPassword(name, "secret"));
        // By name: the TLS library checks a name, not an address, against the certificate.
        const QString uri = QStringLiteral("sip:alice@localhost:%1;transport=tls").arg(port);
        const QByteArray authorities = qgetenv("SSL_CERT_FILE");
        const auto restore = qScopeGuard([&] { qputenv("SSL_CERT_FILE", authorities); });
        {
            qputenv("SSL_CERT_FILE", certificate.Cert.toUtf8());
            TSipLine line(name, uri);
            line.DeviceId = 19;
            TRecordingSink sink;
            QCOMPARE(line.Open(&sink, LINEMEDIAMODE_AUTOMATEDVOICE), 0);
            QVERIFY(QTest::qWaitFor(
                [&] { return sink.Has(LINE_LINEDEVSTATE, LINEDEVSTATE_CONNECTED); }, 10000));
            QVERIFY(hears("REGISTER sip:localhost"));
            line.Close();
        }
        {
            qunsetenv("SSL_CERT_FILE");  // the system's authorities know no such certificate
            TSipLine line(name, uri);
            line.DeviceId = 21;
            TRecordingSink sink;
            QCOMPARE(line.Open(&sink, LINEMEDIAMODE_AUTOMATEDVOICE), 0);
            QVERIFY(QTest::qWaitFor([&] { return sink.Has(LINE_CLOSE, 0); }, 20000));
            QVERIFY(!sink.Has(LINE_LINEDEVSTATE, LINEDEVSTATE_CONNECTED));
            LINEDEVCAPS caps;
            QCOMPARE(line.GetDevCaps(&caps), 0);
            qInfo("an untrusted server: %s", caps.Problem.constData());
            QVERIFY(caps.Problem.startsWith("registration refused"));
        }
        registrar.closeWriteChannel();
        QVERIFY(registrar.waitForFinished(5000));
    }

    // Requests no SIP peer should send (missing headers, impossible numbers, lengths that lie,
    // an SDP that is no SDP) never ring; a call with one junk header may, as the stack takes it
    // without that header. The line answers the next real caller either way.
    void malformedRequestsNeverRing() {
        const int port = FreePort();
        TSipLine line(QStringLiteral("Sip test"),
                      QStringLiteral("sip:ringvale@127.0.0.1:%1").arg(port));
        line.DeviceId = 15;
        TRecordingSink sink;
        QCOMPARE(line.Open(&sink, LINEMEDIAMODE_AUTOMATEDVOICE), 0);
        QVERIFY(QTest::qWaitFor([&] { return sink.Has(LINE_LINEDEVSTATE, LINEDEVSTATE_CONNECTED); },
                                5000));
        QProcess peer;
        peer.setProcessChannelMode(QProcess::MergedChannels);
        peer.start("sipp", {"-sf", RINGVALE_SIPP_SCENARIOS "/malformed.xml", "-m", "1", "-nostdin",
                            "-default_behaviors", "none", "-timeout", "20s", "-p",
                            QString::number(FreePort()), QStringLiteral("127.0.0.1:%1").arg(port)});
        QVERIFY(peer.waitForStarted(5000));
        QVERIFY(QTest::qWaitFor([&] { return peer.state() == QProcess::NotRunning; }, 20000));
        QVERIFY2(peer.exitCode() == 0, peer.readAll().right(2000).constData());
        // The stack takes in a request a turn: the last may come a while later. Each call it
        // makes of the junk must be one of the tolerated ones; each is hung up on, until none
        // has come for three seconds.
        while (QTest::qWaitFor([&] { return sink.Has(LINE_CALLSTATE, LINECALLSTATE_OFFERING); },
                               3000)) {
            const HCALL junk = sink.Offered();
            LINECALLINFO info;
            QCOMPARE(line.GetCallInfo(junk, &info), 0);
            QVERIFY2(info.CallerID.startsWith("55502"), info.CallerID.constData());
            QCOMPARE(line.Drop(junk, 3), 0);
            QVERIFY(QTest::qWaitFor([&] { return sink.Has(LINE_CALLSTATE, LINECALLSTATE_IDLE); },
                                    5000));
            sink.Posted.clear();
        }

        sink.Posted.clear();
        TSipCaller caller(m_work.filePath("after malformed"));
        QVERIFY(caller.Call(QStringLiteral("sip:ringvale@127.0.0.1:%1").arg(port).toUtf8(),
                            "\"Real Caller\" <sip:5550199@127.0.0.1>"));
        QVERIFY(QTest::qWaitFor([&] { return sink.Has(LINE_CALLSTATE, LINECALLSTATE_OFFERING); },
                                5000));
        LINECALLINFO info;
        QCOMPARE(line.GetCallInfo(sink.Offered(), &info), 0);
        QCOMPARE(info.CallerID, QByteArray("5550199"));
        line.Close();
    }

    void anAccountTakesCallsOnlyThroughItsServer() {
        const int port = FreePort();
        QProcess registrar;
        QVERIFY(StartSippRegistrar(registrar, port));
        const QString name = QStringLiteral("Sip guarded");
        QVERIFY(KeepPassword(name, "secret"));
        TSipLine line(name, QStringLiteral("sip:alice@127.0.0.1:%1").arg(port));
        line.DeviceId = 13;
        TRecordingSink sink;
        QCOMPARE(line.Open(&sink, LINEMEDIAMODE_AUTOMATEDVOICE), 0);
        QVERIFY(QTest::qWaitFor([&] { return sink.Has(LINE_LINEDEVSTATE, LINEDEVSTATE_CONNECTED); },
                                10000));
        const QString target = QStringLiteral("127.0.0.1:%1").arg(line.Port());

        QProcess flood;
        flood.setStandardOutputFile(QProcess::nullDevice());
        flood.start("sipp",
                    {"-sn", "uac", "-i", "127.0.0.2", "-p", QString::number(FreePort()), "-r",
                     "200", "-m", "400", "-nostdin", "-timeout", "10s", "-s", "alice", target});
        QVERIFY(flood.waitForStarted(5000));
        // Measured while the flood runs: starting and ending a process wait for it here.
        TStallMeter stalls;
        QTest::qWait(4000);  // two seconds of INVITEs, and their answers
        const qint64 longestStallMs = stalls.LongestMs();
        flood.kill();
        flood.waitForFinished(5000);
        QVERIFY2(!sink.Has(LINE_CALLSTATE, LINECALLSTATE_OFFERING), "a stranger's call rang");
        QVERIFY2(longestStallMs < 100, qPrintable(QString::number(longestStallMs)));

        QElapsedTimer ringClock;
        ringClock.start();
        TSipCaller caller(m_work.filePath("through server"));  // from 127.0.0.1
        QVERIFY(caller.Call("sip:alice@" + target.toUtf8(), "<sip:5550123@127.0.0.1>"));
        QVERIFY(QTest::qWaitFor([&] { return sink.Has(LINE_CALLSTATE, LINECALLSTATE_OFFERING); },
                                10000));
        qInfo("a caller after the flood rang after %lld ms", ringClock.elapsed());
        line.Close();
        registrar.kill();
        registrar.waitForFinished(5000);
    }

    // A page through a PBX: the number goes in the INVITE, the pager digits as touch tones once
    // the call is answered. A busy number is reported busy, as the outgoing queue retries it.
    void placesCallsThroughThePeer() {
        TSipCaller pbx(m_work.filePath("pbx"));
        QVERIFY2(pbx.Started(), qPrintable(pbx.Error()));
        const int port = FreePort();
        TSipLine line(QStringLiteral("Sip test"),
                      QStringLiteral("sip:ringvale@127.0.0.1:%1;outbound=127.0.0.1:%2")
                          .arg(port)
                          .arg(pbx.Port()));
        line.DeviceId = 10;
        TRecordingSink sink;
        QCOMPARE(line.Open(&sink, LINEMEDIAMODE_AUTOMATEDVOICE), 0);
        QVERIFY(QTest::qWaitFor([&] { return sink.Has(LINE_LINEDEVSTATE, LINEDEVSTATE_CONNECTED); },
                                5000));
        HCALL call = 0;
        // Dialed as a modem dials: the number's formatting is no part of it, and the call is
        // connected once the page's digits have been keyed after its pause.
        QCOMPARE(line.MakeCall(11, "1 (555) 123-4567,123#", LINECALLPARAMS{}, &call), 0);
        QVERIFY(call != 0);
        QVERIFY(QTest::qWaitFor([&] { return pbx.Answered(); }, 5000));
        QCOMPARE(pbx.Called(), QByteArray("15551234567"));
        QVERIFY(!sink.Has(LINE_CALLSTATE, LINECALLSTATE_CONNECTED));
        QVERIFY(QTest::qWaitFor([&] { return sink.Has(LINE_CALLSTATE, LINECALLSTATE_CONNECTED); },
                                6000));
        QVERIFY(QTest::qWaitFor([&] { return pbx.DigitsReceived() == "123#"; }, 2000));
        QCOMPARE(line.Drop(call, 12), 0);
        QVERIFY(QTest::qWaitFor([&] { return pbx.Ended(); }, 5000));

        TSipCaller busy(m_work.filePath("busy"));
        busy.TakeCalls(TSipCaller::Taking::Busy);
        TSipLine second(QStringLiteral("Sip test 2"),
                        QStringLiteral("sip:ringvale@127.0.0.1:%1;outbound=127.0.0.1:%2")
                            .arg(FreePort())
                            .arg(busy.Port()));
        second.DeviceId = 11;
        TRecordingSink busySink;
        QCOMPARE(second.Open(&busySink, LINEMEDIAMODE_AUTOMATEDVOICE), 0);
        QVERIFY(QTest::qWaitFor(
            [&] { return busySink.Has(LINE_LINEDEVSTATE, LINEDEVSTATE_CONNECTED); }, 5000));
        QCOMPARE(second.MakeCall(13, "5550000", LINECALLPARAMS{}, &call), 0);
        QVERIFY(QTest::qWaitFor(
            [&] { return busySink.Has(LINE_CALLSTATE, LINECALLSTATE_DISCONNECTED); }, 5000));
        QVERIFY(busySink.Has(LINE_CALLSTATE, LINECALLSTATE_BUSY));
        const auto gone =
            std::find_if(busySink.Posted.begin(), busySink.Posted.end(), [](const TPosted& p) {
                return p.Message == LINE_CALLSTATE && p.P1 == LINECALLSTATE_DISCONNECTED;
            });
        QCOMPARE(gone->P2, quintptr(LINEDISCONNECTMODE_BUSY));
        // A direct address with no peer has nobody to call.
        TSipLine alone(QStringLiteral("Sip alone"),
                       QStringLiteral("sip:ringvale@127.0.0.1:%1").arg(FreePort()));
        alone.DeviceId = 12;
        TRecordingSink aloneSink;
        QCOMPARE(alone.Open(&aloneSink, LINEMEDIAMODE_AUTOMATEDVOICE), 0);
        QVERIFY(QTest::qWaitFor(
            [&] { return aloneSink.Has(LINE_LINEDEVSTATE, LINEDEVSTATE_CONNECTED); }, 5000));
        QCOMPARE(alone.MakeCall(15, "5550000", LINECALLPARAMS{}, &call), LINEERR_OPERATIONUNAVAIL);
    }

private:
    QTemporaryDir m_work;
};

QTEST_GUILESS_MAIN(TestSipLine)
#include "test_sipline.moc"
