// TShell's texts and the desktop opener, with stand-in xdg tools on PATH, and the signal
// watcher with a real SIGTERM.

#include <signal.h>

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "platform/signalwatcher.h"
#include "platform/tshell.h"

namespace {
// A stand-in tool that writes its arguments, one per line, to a log and prints a reply. The
// log appears whole, by a rename, so that a reader never sees half of it.
void FakeTool(const QString& folder, const QString& name, const QString& reply) {
    QFile f(folder + "/" + name);
    QVERIFY(f.open(QIODevice::WriteOnly));
    const QString log = folder + "/" + name + ".log";
    f.write(QString("#!/bin/sh\nprintf '%s\\n' \"$@\" > \"" + log + ".part\"\nmv \"" + log +
                    ".part\" \"" + log + "\"\nprintf '%s' '" + reply + "'\n")
                .toUtf8());
    f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

QStringList Logged(const QString& folder, const QString& name) {
    QFile f(folder + "/" + name + ".log");
    // The opener starts xdg-open detached.
    if (!QTest::qWaitFor([&] { return f.exists(); }, 2000)) return {};
    if (!f.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
}

struct RecordingOpener : TOpener {
    QStringList Targets;
    int Result = TShell::SE_OK;
    int Open(const QString& target) override {
        Targets << target;
        return Result;
    }
};
}  // namespace

class TestTShell : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QByteArray m_path;

private slots:
    void initTestCase() {
        m_path = qgetenv("PATH");
        QDir().mkpath(m_dir.filePath("bin"));
        qputenv("PATH", m_dir.filePath("bin").toUtf8() + ":/usr/bin:/bin");
    }
    void cleanupTestCase() { qputenv("PATH", m_path); }

    void addressesAreFormedAndFailuresNamed() {
        RecordingOpener opener;
        SetOpener(&opener);
        TShell shell;
        QVERIFY(shell.OpenWebPage("www.example.org"));
        QVERIFY(shell.SendMail("help@example.org", "Ringvale & me"));
        QCOMPARE(opener.Targets,
                 (QStringList{"http://www.example.org",
                              "mailto:help@example.org?Subject=Ringvale%20%26%20me"}));
        opener.Result = TShell::SE_ERR_SHARE;
        QVERIFY(!shell.Run("x"));
        QCOMPARE(shell.ErrorText, QString("A sharing violation occurred."));
        opener.Result = 1;
        QVERIFY(!shell.Run("x"));
        QCOMPARE(shell.ErrorText, QString("Unknown"));
        SetOpener(nullptr);
    }

    void desktopOpenerChecksFilesAndAssociations() {
        const QString bin = m_dir.filePath("bin");
        TShell shell;
        QVERIFY(!shell.Run(m_dir.filePath("missing.txt")));
        QCOMPARE(shell.ErrorText, QString("The file was not found."));
        QVERIFY(!shell.Run(m_dir.filePath("no/such/folder/a.txt")));
        QCOMPARE(shell.ErrorText, QString("The specified path was not found."));

        // A document nobody opens.
        const QString doc = m_dir.filePath("notes; rm -rf x.qqzz");
        QFile(doc).open(QIODevice::WriteOnly);
        FakeTool(bin, "xdg-mime", "");
        FakeTool(bin, "xdg-open", "");
        QVERIFY(!shell.Run(doc));
        QCOMPARE(shell.ErrorText,
                 QString("There is no application associated with the given filename extension."));

        // With a handler, the name reaches the opener as one argument, untouched by a shell.
        FakeTool(bin, "xdg-mime", "editor.desktop");
        QVERIFY(shell.Run(doc));
        QCOMPARE(Logged(bin, "xdg-open"), QStringList{doc});
    }

    void sigtermArrivesThroughTheLoop() {
        TSignalWatcher watcher;
        QVERIFY(watcher.IsActive());
        QSignalSpy spy(&watcher, &TSignalWatcher::Signalled);
        ::kill(::getpid(), SIGTERM);
        QVERIFY(spy.wait(2000));
        QCOMPARE(spy.first().first().toInt(), SIGTERM);
    }
};

QTEST_GUILESS_MAIN(TestTShell)
#include "test_tshell.moc"
