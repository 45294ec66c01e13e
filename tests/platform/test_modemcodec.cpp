// The modem's byte stream: DLE decoding at every read boundary, touch-tone brackets, caller
// ID blocks of every form, the choice of voice format, the port lock file, and the port read
// at arrival or on a timer.

#include <fcntl.h>
#include <pty.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <QtTest>

#include "platform/telephony/callerid.h"
#include "platform/telephony/dlecodec.h"
#include "platform/telephony/modemchannel.h"
#include "platform/telephony/portlock.h"
#include "platform/telephony/serialport.h"
#include "platform/telephony/tapi.h"
#include "platform/telephony/v253line.h"

namespace {
struct Decoded {
    QByteArray Text, Events, Audio;
    int Ends = 0;
};

// Feeds the stream split at the given boundary.
Decoded Decode(const QByteArray& stream, bool receiving, int split) {
    TDleDecoder decoder;
    Decoded out;
    decoder.OnText = [&](char c) { out.Text += c; };
    decoder.OnEvent = [&](char c) { out.Events += c; };
    decoder.OnAudio = [&](const QByteArray& a) { out.Audio += a; };
    decoder.OnEndOfData = [&] { ++out.Ends; };
    decoder.SetReceiving(receiving);
    decoder.Feed(stream.left(split));
    decoder.Feed(stream.mid(split));
    return out;
}

QByteArray Hex(const char* hex) {
    return QByteArray::fromHex(hex);
}
}  // namespace

class TestModemCodec : public QObject {
    Q_OBJECT
private slots:
    void dleStreamsAtEveryBoundary() {
        QCOMPARE(DleShield(Hex("0110021010")), Hex("01101002101010 10"));
        // Command state: text, a lone digit, a bracketed digit with both end codes, busy.
        const QByteArray command = "OK\r\n" + Hex("1035") + Hex("102f10371037107e") +
                                   Hex("102f1023107f") + Hex("1062") + Hex("1000") + "RING";
        // Receive state: 10 10 is one 0x10, 10 1A two, a tone in the middle, then the end.
        const QByteArray audio =
            Hex("80811010821a1a") + Hex("101a") + Hex("83") + Hex("1073") + Hex("84") + Hex("1003");
        for (int split = 0; split <= command.size(); ++split) {
            const Decoded d = Decode(command, false, split);
            QCOMPARE(d.Text, QByteArray("OK\r\nRING"));
            QCOMPARE(d.Events, QByteArray("57#b"));
        }
        for (int split = 0; split <= audio.size(); ++split) {
            const Decoded d = Decode(audio, true, split);
            QCOMPARE(d.Audio, Hex("808110821a1a101083") + Hex("84"));
            QCOMPARE(d.Events, QByteArray("s"));
            QCOMPARE(d.Ends, 1);
        }
    }

    void callerIdBlocks() {
        TCallerIdAssembler a;
        for (const char* line : {"DATE = 0321", "TIME = 1405", "NMBR = 5045551234"})
            QVERIFY(a.Take(line));
        QVERIFY(!a.Complete());
        QVERIFY(a.Take("NAME = A N OTHER"));
        QVERIFY(a.Complete());
        TCallerId id = a.Finish();
        QCOMPARE(id.Number, QByteArray("5045551234"));
        QCOMPARE(id.Name, QByteArray("A N OTHER"));
        QCOMPARE(id.Flags, quint32(LINECALLPARTYID_ADDRESS | LINECALLPARTYID_NAME));
        QVERIFY(!a.HasData());

        // Compact form, a number with no name, a later "O" keeping the first number.
        QVERIFY(a.Take("DDN_NMBR=4045551212"));
        QVERIFY(a.Take("NMBR=O"));
        id = a.Finish();
        QCOMPARE(id.Number, QByteArray("4045551212"));
        QCOMPARE(id.Flags, quint32(LINECALLPARTYID_ADDRESS));

        QVERIFY(a.Take("NMBR = O"));
        QCOMPARE(a.Finish().Flags, quint32(LINECALLPARTYID_OUTOFAREA));
        QVERIFY(a.Take("NBR=P"));
        QCOMPARE(a.Finish().Flags, quint32(LINECALLPARTYID_BLOCKED));
        QVERIFY(a.Take("NMBR = A"));
        QCOMPARE(a.Finish().Flags, quint32(LINECALLPARTYID_BLOCKED));
        // A date and a time alone name no caller.
        QVERIFY(a.Take("DATE = 1208") && a.Take("TIME = 0921"));
        QVERIFY(a.Finish().IsEmpty());
        // UK order: MESG first; a MESG that is not hex is a name.
        QVERIFY(a.Take("MESG = 110101"));
        QVERIFY(a.Take("MESG = WATER CPNY"));
        QVERIFY(a.Take("NMBR = 01632960001"));
        id = a.Finish();
        QCOMPARE(id.Name, QByteArray("WATER CPNY"));
        // Lines that are not caller ID, and a name with control bytes.
        QVERIFY(!a.Take("OK"));
        QVERIFY(!a.Take("XYZZY = 1"));
        QVERIFY(a.Take(QByteArray("NAME = BAD\x01\x07NAME")));
        QCOMPARE(a.Finish().Name, QByteArray("BADNAME"));

        // Unformatted MDMF with a good checksum; the same with one byte changed is refused.
        QByteArray packet = Hex("80") + char(0) + Hex("0108") + "12071405" + Hex("020a") +
                            "4045551212" + Hex("0707") + "SMITH J";
        packet[1] = char(packet.size() - 2);
        unsigned sum = 0;
        for (const char b : packet)
            sum += uchar(b);
        packet += char((256 - sum % 256) % 256);
        QVERIFY(a.Take(packet.toHex().toUpper()));
        id = a.Finish();
        QCOMPARE(id.Number, QByteArray("4045551212"));
        QCOMPARE(id.Name, QByteArray("SMITH J"));
        QByteArray bad = packet;
        bad[5] = 'X';
        QVERIFY(!a.Take(bad.toHex()));
        QByteArray sdmf = Hex("04") + char(0) + "12071405" + "P";
        sdmf[1] = char(sdmf.size() - 2);
        sum = 0;
        for (const char b : sdmf)
            sum += uchar(b);
        sdmf += char((256 - sum % 256) % 256);
        QVERIFY(a.Take(sdmf.toHex()));
        QCOMPARE(a.Finish().Flags, quint32(LINECALLPARTYID_BLOCKED));
    }

    void voiceFormatChoice() {
        QCOMPARE(TV253Line::ChooseVoiceFormat({"0,\"SIGNED PCM\",8,0,8000,0,0",
                                               "1,\"UNSIGNED PCM\",8,0,8000,0,0",
                                               "129,\"IMA ADPCM\",4,0,8000,0,0"}),
                 QByteArray("1,8000"));
        QCOMPARE(TV253Line::ChooseVoiceFormat({"128,\"8-BIT LINEAR\",(7200,8000,11025)",
                                               "129,\"16-BIT LINEAR\",(7200,8000,11025)"}),
                 QByteArray("128,8000"));
        QCOMPARE(TV253Line::ChooseVoiceFormat(
                     {"131,\"mu-law\",8,0,8000,0,0", "132,\"A-Law\",8,0,8000,0,0"}),
                 QByteArray("131,8000"));
        QCOMPARE(TV253Line::ChooseVoiceFormat({"133,\"14 bit PCM\",14,0,8000", "garbage"}),
                 QByteArray());
    }

    void lockFiles() {
        QTemporaryDir dir;
        TPortLock::SetFolder(dir.path());
        QFile device(dir.filePath("ttyACM7"));
        QVERIFY(device.open(QIODevice::WriteOnly));
        QVERIFY(QFile::link(dir.filePath("ttyACM7"), dir.filePath("usb-Modem-if00")));
        TPortLock lock(dir.filePath("usb-Modem-if00"));
        QCOMPARE(lock.Path(), dir.filePath("LCK..ttyACM7"));  // named after the real device
        QCOMPARE(lock.Acquire(), TPortLock::Locked);
        QFile file(lock.Path());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(),
                 QByteArray::number(qint64(getpid())).rightJustified(10, ' ') + "\n");
        file.close();
        TPortLock second(dir.filePath("ttyACM7"));
        QCOMPARE(second.Acquire(), TPortLock::Busy);
        QVERIFY(lock.StillOurs());
        lock.Release();
        QVERIFY(!QFile::exists(lock.Path()));
        // Another program's lock in the other common form (PID on the first line).
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray::number(qint64(getppid())) + "\nsomeprogram\nhost\n");
        file.close();
        QCOMPARE(TPortLock::OwnerOf(lock.Path()), qint64(getppid()));
        QCOMPARE(lock.Acquire(), TPortLock::Busy);
        // A FIFO at the lock's path neither blocks nor gets removed: a lock of unknown owner.
        QVERIFY(QFile::remove(lock.Path()));
        QCOMPARE(mkfifo(QFile::encodeName(lock.Path()).constData(), 0666), 0);
        QCOMPARE(TPortLock::OwnerOf(lock.Path()), TPortLock::kForeign);
        QCOMPARE(lock.Acquire(), TPortLock::Busy);
        QVERIFY(QFileInfo(lock.Path()).exists());
        QVERIFY(QFile::remove(lock.Path()));
        TPortLock::SetFolder(QString());
    }

    // A completion that releases the hold and queues more commands must not start a second
    // command over the first: each command is written once, in order, and each completes.
    void commandQueueOneAtATime() {
        int master = -1, slave = -1;
        char name[128] = {};
        QVERIFY(openpty(&master, &slave, name, nullptr, nullptr) == 0);
        ::close(slave);
        fcntl(master, F_SETFL, O_NONBLOCK);
        TModemChannel channel;
        QVERIFY(channel.Open(QString::fromLatin1(name)));
        QByteArray written;
        auto received = [&](int lines) {  // what the host wrote, read as it arrives
            char buffer[256];
            const ssize_t n = ::read(master, buffer, sizeof buffer);
            if (n > 0) written.append(buffer, n);
            return written.count('\r') >= lines;
        };
        auto answer = [&](int lines) {  // the modem answers the n-th command line with OK
            QTRY_VERIFY(received(lines));
            QCOMPARE(::write(master, "\r\nOK\r\n", 6), ssize_t(6));
        };
        QStringList done;
        channel.Hold(true);
        channel.Command(
            "ATH0",
            [&](const QByteArray& r, const QList<QByteArray>&) {
                done << "ATH0 " + QString::fromLatin1(r);
            },
            2000);
        channel.Raw(
            "\x10\x03",
            [&](const QByteArray& r, const QList<QByteArray>&) {
                done << "end " + QString::fromLatin1(r);
                channel.Hold(false);  // starts ATH0 from inside the completion
                channel.Command(
                    "ATZ",
                    [&](const QByteArray& r2, const QList<QByteArray>&) {
                        done << "ATZ " + QString::fromLatin1(r2);
                    },
                    2000);
            },
            2000);
        written.clear();
        answer(0);  // the raw bytes carry no CR
        answer(1);
        answer(2);
        QTRY_COMPARE(done, QStringList({"end OK", "ATH0 OK", "ATZ OK"}));
        QCOMPARE(written, QByteArray("\x10\x03"
                                     "ATH0\rATZ\r"));
        channel.Close();
        ::close(master);
    }

    // Voice data in 10 ms pieces, read every 100 ms: every byte arrives, in order, in a few
    // large pieces; back to reading at arrival, a byte comes at once; and the modem going
    // away is still seen.
    void aPortReadOnATimer() {
        int master = -1, slave = -1;
        char name[128] = {};
        QVERIFY(openpty(&master, &slave, name, nullptr, nullptr) == 0);
        ::close(slave);
        TSerialPort port;
        QVERIFY(port.Open(QString::fromLatin1(name)));
        QByteArray received;
        int pieces = 0;
        QString failed;
        QObject::connect(&port, &TSerialPort::Received, [&](const QByteArray& bytes) {
            received += bytes;
            ++pieces;
        });
        QObject::connect(&port, &TSerialPort::Failed, [&](const QString& why) { failed = why; });
        port.SetReadInterval(100);
        QByteArray sent;
        for (int piece = 0; piece < 50; ++piece) {
            const QByteArray bytes(80, char('A' + piece % 26));
            QCOMPARE(::write(master, bytes.constData(), size_t(bytes.size())), ssize_t(80));
            sent += bytes;
            QTest::qWait(10);
        }
        QTRY_COMPARE(received, sent);
        QVERIFY2(pieces <= 10, qPrintable(QString::number(pieces)));

        port.SetReadInterval(0);
        received.clear();
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(::write(master, "OK", 2), ssize_t(2));
        QTRY_COMPARE(received, QByteArray("OK"));
        QVERIFY(clock.elapsed() < 50);

        port.SetReadInterval(100);
        ::close(master);
        QTRY_VERIFY(!failed.isEmpty());
        QVERIFY(!port.IsOpen());
    }
};

QTEST_GUILESS_MAIN(TestModemCodec)
#include "test_modemcodec.moc"
