// Which modems exist: lines.conf first, then the serial ports by id not already listed.

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

    void confPathFollowsXdg() {
        qputenv("XDG_CONFIG_HOME", "/tmp/cfg");
        QCOMPARE(LinesConfPath(), QString("/tmp/cfg/Tarvex/lines.conf"));
        qunsetenv("XDG_CONFIG_HOME");
        QCOMPARE(LinesConfPath(), QDir::homePath() + "/.config/Tarvex/lines.conf");
    }
};

QTEST_GUILESS_MAIN(TestLineList)
#include "test_linelist.moc"
