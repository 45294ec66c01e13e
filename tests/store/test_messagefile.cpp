// A message on the disk while it is recorded: the file is whole after every second, what fit
// on a full disk stays with a correct header, a planted name is never written through, and
// what a kill left is mended or removed at the next start.

#include <signal.h>
#include <sys/resource.h>

#include <QtEndian>

#include "audio/ctwave.h"
#include "store/messagefile.h"
#include "storetest.h"

namespace {
// The data size and RIFF size a header claims, and the file's own size.
struct THeader {
    quint32 Data = 0, Riff = 0;
    qint64 Size = 0;
};
THeader HeaderOf(const QString& path) {
    const QByteArray bytes = ReadAll(path);
    if (bytes.size() < 46) return {};
    return {qFromLittleEndian<quint32>(bytes.constData() + 42),
            qFromLittleEndian<quint32>(bytes.constData() + 4), bytes.size()};
}
bool Whole(const QString& path) {
    const THeader h = HeaderOf(path);
    return h.Size >= 46 && h.Data == h.Size - 46 && h.Riff == h.Size - 8;
}

// Files may grow only to a limit, as on a disk that is filling up.
class TFileSizeLimit {
public:
    explicit TFileSizeLimit(rlim_t bytes) {
        ::signal(SIGXFSZ, SIG_IGN);  // a write past the limit fails instead
        ::getrlimit(RLIMIT_FSIZE, &m_saved);
        rlimit limit = m_saved;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~TFileSizeLimit() { ::setrlimit(RLIMIT_FSIZE, &m_saved); }

private:
    rlimit m_saved{};
};
}  // namespace

class TestMessageFile : public QObject {
    Q_OBJECT
private slots:
    void wholeAfterEveryAppend() {
        TScratchFolder folder;
        TMessageFile message;
        QVERIFY(message.Create(folder.Path(""), 1765000000, CtWave::RecordingFormat()));
        QCOMPARE(message.Name(), QString("msg1765000000.wav"));
        QVERIFY(Whole(message.Path()));
        QVERIFY(message.Append(QByteArray(3000, char(0x90))));
        QVERIFY(Whole(message.Path()));
        QCOMPARE(HeaderOf(message.Path()).Data, 3000u);
        QVERIFY(message.Append(QByteArray(11025, char(0x70))));
        QVERIFY(message.Finish());
        QCOMPARE(HeaderOf(message.Path()).Data, 14025u);
        const QFile::Permissions others =
            QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther;
        QCOMPARE(QFileInfo(message.Path()).permissions() & others, QFile::Permissions());
    }

    // Nothing said, or thrown away: no file is left. A name that is taken, by a file or a link,
    // is passed over.
    void noEmptyFilesAndNoPlantedNames() {
        TScratchFolder folder;
        {
            TMessageFile message;
            QVERIFY(message.Create(folder.Path(""), 7, CtWave::RecordingFormat()));
            QVERIFY(!message.Finish());
            QVERIFY(!QFile::exists(message.Path()));
        }
        WriteAll(folder.Path("elsewhere"), "keep me");
        QVERIFY(QFile::link(folder.Path("elsewhere"), folder.Path("msg7.wav")));
        WriteAll(folder.Path("msg8.wav"), "an older message");
        TMessageFile message;
        QVERIFY(message.Create(folder.Path(""), 7, CtWave::RecordingFormat()));
        QCOMPARE(message.Name(), QString("msg9.wav"));
        QVERIFY(message.Append("words"));
        message.Discard();
        QVERIFY(!QFile::exists(folder.Path("msg9.wav")));
        QCOMPARE(ReadAll(folder.Path("elsewhere")), QByteArray("keep me"));
        QCOMPARE(ReadAll(folder.Path("msg8.wav")), QByteArray("an older message"));
    }

    // The disk fills in the middle of a message: the part that fit stays, its header says so,
    // and nothing more is written. A disk too full for even the header leaves no file.
    void aFullDisk() {
        TScratchFolder folder;
        TMessageFile message;
        QVERIFY(message.Create(folder.Path(""), 1, CtWave::RecordingFormat()));
        {
            TFileSizeLimit limit(46 + 5000);
            QVERIFY(message.Append(QByteArray(4000, char(0x90))));
            QVERIFY(!message.Append(QByteArray(4000, char(0x90))));
            QVERIFY(message.Failed());
            QVERIFY(!message.Append(QByteArray(100, char(0x90))));
        }
        QCOMPARE(message.DataSize(), 5000);
        QVERIFY(message.Finish());
        QVERIFY(Whole(message.Path()));
        QCOMPARE(HeaderOf(message.Path()).Size, 46 + 5000);

        TFileSizeLimit limit(20);
        TMessageFile none;
        QVERIFY(!none.Create(folder.Path(""), 2, CtWave::RecordingFormat()));
        QVERIFY(!QFile::exists(folder.Path("msg2.wav")));
    }

    // A kill between the audio and its header, or a power cut: the next start gives the file
    // the sizes of what it holds. One with no audio goes; other files are left alone.
    void recoveryAtStartUp() {
        TScratchFolder folder;
        const QByteArray header = "RIFF" + QByteArray(4, '\0') + "WAVEfmt " +
                                  QByteArray("\x12\0\0\0", 4) + CtWave::RecordingFormat() + "data" +
                                  QByteArray(4, '\0');
        QCOMPARE(header.size(), 46);
        WriteAll(folder.Path("msg1.wav"), header + QByteArray(3000, char(0x90)));
        WriteAll(folder.Path("msg2.wav"), header);
        const QByteArray foreign = "RIFF\x10\0\0\0WAVEfmt something else";
        WriteAll(folder.Path("greeting.wav"), foreign);
        WriteAll(folder.Path("msg3.wav"), header + "x");
        QVERIFY(QFile::link(folder.Path("msg3.wav"), folder.Path("msg4.wav")));
        QCOMPARE(RecoverMessageFiles(folder.Path("")), 3);
        QVERIFY(Whole(folder.Path("msg1.wav")));
        QCOMPARE(HeaderOf(folder.Path("msg1.wav")).Data, 3000u);
        QVERIFY(!QFile::exists(folder.Path("msg2.wav")));
        QCOMPARE(ReadAll(folder.Path("greeting.wav")), foreign);
        QVERIFY(Whole(folder.Path("msg3.wav")));
        QCOMPARE(RecoverMessageFiles(folder.Path("")), 0);  // nothing left to mend
    }
};

QTEST_GUILESS_MAIN(TestMessageFile)
#include "test_messagefile.moc"
