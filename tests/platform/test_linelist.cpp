// Which modems exist: lines.conf first, then the serial ports by id not already listed.

#include <unistd.h>
#include <QTemporaryDir>
#include <QtTest>

#include "platform/telephony/linelist.h"

class TestLineList : public QObject {
    Q_OBJECT
private slots:
    void confThenUnlistedPortsById() {
        QTemporaryDir dir;
        QDir().mkpath(dir.filePath("dev/by-id"));
        QFile tty(dir.filePath("dev/ttyACM0"));
        QVERIFY(tty.open(QIODevice::WriteOnly));
        QFile tty1(dir.filePath("dev/ttyUSB1"));
        QVERIFY(tty1.open(QIODevice::WriteOnly));
        QVERIFY(QFile::link("../ttyACM0", dir.filePath("dev/by-id/usb-Conexant_USB_Modem-if00")));
        QVERIFY(QFile::link("../ttyUSB1", dir.filePath("dev/by-id/usb-US_Robotics-if00")));

        const QString conf = dir.filePath("lines.conf");
        QFile f(conf);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("# my modems\n\n  Kitchen modem = " + dir.filePath("dev/ttyACM0").toUtf8() +
                "\r\nno equals sign here\n= /dev/ttyS0\nEmpty path =\nAttic=/dev/ttyS1\n");
        f.close();

        // Lines it cannot use are logged with their numbers, once however often it is read.
        for (const char* ignored :
             {"lines.conf:4: ignored", "lines.conf:5: ignored", "lines.conf:6: ignored"})
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(ignored));
        const QList<TLineEntry> lines = ListLines(conf, dir.filePath("dev/by-id"));
        QTest::failOnWarning(QRegularExpression("ignored"));
        QCOMPARE(ReadLinesConf(conf).size(), 2);
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines[0], (TLineEntry{"Kitchen modem", dir.filePath("dev/ttyACM0")}));
        QCOMPARE(lines[1], (TLineEntry{"Attic", "/dev/ttyS1"}));
        // The Conexant port is the kitchen modem already; only the other port is added.
        QCOMPARE(lines[2].Name, QString("usb-US_Robotics-if00"));

        QVERIFY(ReadLinesConf(dir.filePath("missing.conf")).isEmpty());
        QCOMPARE(ListLines(dir.filePath("missing.conf"), dir.filePath("none")).size(), 0);
    }

    // The settings add, rename and remove one entry; the user's comments and other lines stay.
    void entriesWrittenInPlace() {
        QTemporaryDir dir;
        const QString conf = dir.filePath("Tarvex/lines.conf");  // the folder is made too
        QString error;
        QVERIFY(WriteLinesConfEntry(conf, {}, {"Home", "sip:me@sip.example.net"}, &error));
        QFile f(conf);
        QVERIFY(f.open(QIODevice::Append));
        f.write("# the kitchen one\nKitchen = /dev/ttyACM0\nHome = sip:old@duplicate\n");
        f.close();
        QVERIFY(WriteLinesConfEntry(conf, "Home", {"Office", "sip:me@pbx:5070"}, &error));
        QVERIFY(
            WriteLinesConfEntry(conf, {}, {"Direct SIP calls", "sip:ringvale@0.0.0.0"}, &error));
        QVERIFY(WriteLinesConfEntry(conf, {}, {"Kitchen", QString()}, &error));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("Office = sip:me@pbx:5070\n# the kitchen one\n"
                                         "Direct SIP calls = sip:ringvale@0.0.0.0\n"));
        f.close();
        // A file that cannot be replaced is left as it was, and says why.
        QVERIFY(QFile::setPermissions(dir.filePath("Tarvex"), QFile::ReadOwner | QFile::ExeOwner));
        const bool refused = !WriteLinesConfEntry(conf, {}, {"Attic", "/dev/ttyS1"}, &error);
        QFile::setPermissions(dir.filePath("Tarvex"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        if (geteuid() != 0) {  // root writes anywhere
            QVERIFY(refused);
            QVERIFY(!error.isEmpty());
            QCOMPARE(ReadLinesConf(conf).size(), 2);
        }
    }

    void confPathFollowsXdg() {
        qputenv("XDG_CONFIG_HOME", "/tmp/cfg");
        QCOMPARE(LinesConfPath(), QString("/tmp/cfg/Tarvex/lines.conf"));
        qunsetenv("XDG_CONFIG_HOME");
        QCOMPARE(LinesConfPath(), QDir::homePath() + "/.config/Tarvex/lines.conf");
    }
};

QTEST_GUILESS_MAIN(TestLineList)
#include "test_linelist.moc"
