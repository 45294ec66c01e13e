// TFile and the atomic rewrite against real files in a temporary folder.

#include <sys/resource.h>
#include <sys/stat.h>
#include <csignal>

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "files.h"
#include "platform/atomicfile.h"
#include "platform/tfile.h"
#include "scriptedprompts.h"

namespace {
// Every line ReadLine gives until it returns below 1, and the final result.
QPair<QStringList, int> Lines(const QString& path, int maxLen = 256) {
    TFile f;
    QStringList lines;
    char buffer[512];
    int n = -2;
    if (f.Open(path, TFile::ModeRead) < 0) return {lines, -99};
    while ((n = f.ReadLine(buffer, maxLen)) > 0)
        lines << QString::fromLatin1(buffer, n);
    return {lines, n};
}
}  // namespace

class TestTFile : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString Path(const QString& name) const { return m_dir.filePath(name); }

private slots:
    void readLineSplitsCrLfLines() {
        QVERIFY(WriteAll(Path("crlf.txt"), QByteArray("ab\r\ncd")));
        TFile f;
        QVERIFY(f.Open(Path("crlf.txt"), TFile::ModeRead) >= 0);
        char buffer[64];
        QCOMPARE(f.ReadLine(buffer, sizeof buffer), 2);
        QCOMPARE(QByteArray(buffer), QByteArray("ab"));
        QCOMPARE(f.ReadLine(buffer, sizeof buffer), 2);
        QCOMPARE(QByteArray(buffer), QByteArray("cd"));
        // The position has passed the end by one byte: an empty line, not the end marker.
        QCOMPARE(f.ReadLine(buffer, sizeof buffer), 0);
        QCOMPARE(QByteArray(buffer), QByteArray(""));
    }

    void readLineEdgeFiles_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<int>("last");
        QTest::newRow("empty file") << QByteArray() << QStringList() << -1;
        QTest::newRow("one character") << QByteArray("x") << QStringList{"x"} << 0;
        QTest::newRow("blank lines and NULs")
            << QByteArray("\r\n\r\na\0\0b\n\n", 10) << QStringList{"a", "b"} << 0;
        QTest::newRow("LF only, trailing break")
            << QByteArray("one\ntwo\n") << QStringList{"one", "two"} << -1;
    }
    void readLineEdgeFiles() {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, lines);
        QFETCH(int, last);
        QVERIFY(WriteAll(Path("edge.txt"), bytes));
        const auto got = Lines(Path("edge.txt"));
        QCOMPARE(got.first, lines);
        QCOMPARE(got.second, last);
    }

    void readLineKeepsEveryByteOfALongLine() {
        QVERIFY(WriteAll(Path("long.txt"), QByteArray("abcdefghij\r\nk")));
        // A buffer of 5 holds 4 characters: the long line comes in pieces, none lost.
        QCOMPARE(Lines(Path("long.txt"), 5).first, (QStringList{"abcd", "efgh", "ij", "k"}));
    }

    void openModesTruncateKeepAndAppend() {
        const QString name = Path("modes.dat");
        QVERIFY(WriteAll(name, "hello"));
        {
            TFile f;
            QVERIFY(f.Open(name, TFile::ModeWrite) >= 0);
            QCOMPARE(f.SeekEnd(), 5);
            QCOMPARE(f.Write(" world", 6), 6);
        }
        QCOMPARE(ReadAll(name), QByteArray("hello world"));
        {
            TFile f;
            QVERIFY(f.Open(name, TFile::ModeReadWrite) >= 0);
            QCOMPARE(f.GetSize(), 11);
            QCOMPARE(f.Seek(6), 6);
            QCOMPARE(f.Write("W", 1), 1);
            QCOMPARE(f.Tell(), 7);
        }
        QCOMPARE(ReadAll(name), QByteArray("hello World"));
        {
            TFile f;
            QVERIFY(f.Open(name, TFile::ModeRewrite) >= 0);
            QCOMPARE(f.GetSize(), 0);
        }
        QVERIFY(QFile::exists(name));
        QCOMPARE(ReadAll(name), QByteArray());

        // Mode 2 creates a missing file, readable by the user only.
        TFile f;
        QVERIFY(f.Open(Path("new.dat"), TFile::ModeWrite) >= 0);
        struct stat st;
        QCOMPARE(::stat(QFile::encodeName(Path("new.dat")).constData(), &st), 0);
        QCOMPARE(st.st_mode & 0777, 0600u);
    }

    void refusedOpensFailQuietlyUnlessReporting() {
        TScriptedPrompts prompts;
        TFile f;
        QCOMPARE(f.Open(Path("missing.dat"), TFile::ModeRead), -1);
        QCOMPARE(f.ErrorText, QString("No such file or directory"));
        QCOMPARE(f.Open(Path("x.dat"), TFile::ModeCreate), -1);  // 4 alone is not a mode
        QCOMPARE(f.Open(m_dir.path(), TFile::ModeRead), -1);     // a folder is not a file
        // Neither is a FIFO (whose open would wait for a writer) or an endless device.
        QCOMPARE(mkfifo(QFile::encodeName(Path("fifo")).constData(), 0600), 0);
        QCOMPARE(f.Open(Path("fifo"), TFile::ModeRead), -1);
        QCOMPARE(f.Open(Path("fifo"), TFile::ModeWrite), -1);
        QVERIFY(QFile::link("/dev/zero", Path("zero")));
        QCOMPARE(f.Open(Path("zero"), TFile::ModeRead), -1);
        QCOMPARE(f.ErrorText, QString("Not a regular file"));
        QVERIFY(prompts.History.isEmpty());
        QVERIFY(!QFile::exists(Path("x.dat")));

        const QString longName = m_dir.path() + "/" + QString(260, 'n');
        QCOMPARE(f.Open(longName, TFile::ModeWrite), -1);
        QCOMPARE(f.FileName.size(), TFile::kMaxName - 1);
        QCOMPARE(f.ErrorText, QString("File name too long"));
        QVERIFY(!f.Exists(longName));

        f.ReportErrors = true;
        QVERIFY(!f.Delete(Path("missing.dat")));
        QCOMPARE(prompts.Texts(), QStringList{"Delete error on file \"" + Path("missing.dat") +
                                              "\"\rReason: No such file or directory"});
        QCOMPARE(prompts.History.last().Caption, QString("File Error"));
    }

    void copyDeleteAndFolders() {
        TFile f;
        QVERIFY(WriteAll(Path("a.pb"), "entries"));
        QVERIFY(WriteAll(Path("b.pbb"), "old backup"));
        QVERIFY(f.Copy(Path("a.pb"), Path("b.pbb")));
        QCOMPARE(ReadAll(Path("b.pbb")), QByteArray("entries"));
        QVERIFY(!f.Copy(Path("none.pb"), Path("b.pbb")));
        QCOMPARE(ReadAll(Path("b.pbb")), QByteArray("entries"));
        QVERIFY(!f.Copy(Path("a.pb"), Path("no/such/folder/b.pbb")));
        QVERIFY(!f.ErrorText.isEmpty());

        QVERIFY(f.MakeDirectory(Path("Messages")));
        QVERIFY(f.MakeDirectory(Path("Messages")));  // already there
        QVERIFY(!f.MakeDirectory(Path("no/such/Messages")));
        QVERIFY(f.Exists(Path("a.pb")));
        QVERIFY(!f.Exists(Path("Messages")));
        QVERIFY(f.Delete(Path("a.pb")));
        QVERIFY(!f.Exists(Path("a.pb")));
    }

    // What a killed rewrite left is removed at the next start; files of the user that only
    // look alike (no such original, or readable by others) stay.
    void staleTemporariesAreRemoved() {
        QTemporaryDir dir;
        const auto privateFile = QFile::ReadOwner | QFile::WriteOwner;
        for (const char* name : {"CALL.LOG", "CALL.LOG.Ab12Cd", "msg1796000000.wav.q9Zk3P",
                                 "notes.backup", "CALL.LOG.shared"}) {
            QVERIFY(WriteAll(dir.filePath(name), "x"));
            QFile::setPermissions(dir.filePath(name), privateFile);
        }
        QFile::setPermissions(dir.filePath("CALL.LOG.shared"), privateFile | QFile::ReadOther);
        QCOMPARE(RemoveStaleTemporaries(dir.path()), 2);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files),
                 (QStringList{"CALL.LOG", "CALL.LOG.shared", "notes.backup"}));
    }

    void makeUniqueNameCountsUp() {
        TFile f;
        const QString folder = Path("Personal Sounds %1");  // a name that looks like a format
        QVERIFY(f.MakeDirectory(folder));
        QString out = "unchanged";
        QVERIFY(!f.MakeUniqueName("Sound", "wav", Path("Missing"), &out));
        QCOMPARE(out, QString("unchanged"));
        QVERIFY(f.MakeUniqueName("Sound", "wav", folder, &out));
        QCOMPARE(out, folder + "/Sound.wav");
        QVERIFY(WriteAll(out, "1"));
        QVERIFY(WriteAll(folder + "/Sound1.wav", "2"));
        QVERIFY(f.MakeUniqueName("Sound", "wav", folder, &out));
        QCOMPARE(out, folder + "/Sound2.wav");
    }

    void atomicRewriteKeepsOldFileWhenAWriteFails() {
        const QString name = Path("CALL.LOG");
        QVERIFY(RewriteFile(name, QByteArray(1000, 'a')));
        QCOMPARE(ReadAll(name), QByteArray(1000, 'a'));

        // A real write failure: the file size limit stops the write part-way, as a full disk
        // would (root ignores permissions, but not this limit).
        std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit old;
        getrlimit(RLIMIT_FSIZE, &old);
        struct rlimit small = old;
        small.rlim_cur = 4096;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        QString error;
        const bool ok = RewriteFile(name, QByteArray(100000, 'b'), &error);
        setrlimit(RLIMIT_FSIZE, &old);
        QVERIFY(!ok);
        QCOMPARE(error, QString("File too large"));
        QCOMPARE(ReadAll(name), QByteArray(1000, 'a'));
        QCOMPARE(QDir(m_dir.path()).entryList({"CALL.LOG*"}, QDir::Files), QStringList{"CALL.LOG"});

        // An abandoned rewrite leaves no temporary file behind.
        {
            TAtomicFile file(name);
            QVERIFY(file.Open());
            QVERIFY(file.Write("partial"));
        }
        QCOMPARE(ReadAll(name), QByteArray(1000, 'a'));
        QCOMPARE(QDir(m_dir.path()).entryList({"CALL.LOG*"}, QDir::Files).size(), 1);
        QVERIFY(!RewriteFile(Path("no/such/CALL.LOG"), "x", &error));
        QCOMPARE(error, QString("No such file or directory"));
    }

    // A data file kept as a link into a sub-folder stays a link: its target is rewritten.
    void rewritingALinkRewritesItsTarget() {
        QVERIFY(QDir(m_dir.path()).mkdir("synced"));
        QVERIFY(RewriteFile(Path("synced/book.pb12"), "old"));
        QVERIFY(QFile::link("synced/book.pb12", Path("book.pb12")));
        QVERIFY(RewriteFile(Path("book.pb12"), "new"));
        QVERIFY(QFileInfo(Path("book.pb12")).isSymLink());
        QCOMPARE(ReadAll(Path("synced/book.pb12")), QByteArray("new"));
        QCOMPARE(QDir(Path("synced")).entryList(QDir::Files), QStringList{"book.pb12"});

        // A link out of the folder is never written through: a rewrite replaces the link, an
        // append first makes it a file of its own with what the link showed.
        QTemporaryDir elsewhere;
        const QString outside = elsewhere.filePath("file");
        QVERIFY(RewriteFile(outside, "theirs"));
        QVERIFY(QFile::link(outside, Path("rewritten")));
        QVERIFY(QFile::link(outside, Path("appended")));
        QVERIFY(RewriteFile(Path("rewritten"), "ours"));
        TFile file;
        QVERIFY(file.Open(Path("appended"), TFile::ModeWrite) >= 0);
        QVERIFY(file.SeekEnd() >= 0);
        QCOMPARE(file.Write(" and ours", 9), qint64(9));
        file.Close();
        QCOMPARE(ReadAll(outside), QByteArray("theirs"));
        QVERIFY(!QFileInfo(Path("rewritten")).isSymLink());
        QCOMPARE(ReadAll(Path("rewritten")), QByteArray("ours"));
        QCOMPARE(ReadAll(Path("appended")), QByteArray("theirs and ours"));
    }
};

QTEST_GUILESS_MAIN(TestTFile)
#include "test_tfile.moc"
