// The settings record and "RINGVALE.CNF", byte for byte.

#include <cmath>

#include "store/config.h"
#include "store/datafile.h"
#include "storetest.h"

class TestConfig : public QObject {
    Q_OBJECT
private slots:
    // A damaged file must not size a recording buffer or index past a list.
    void valuesOutOfRangeAreClamped() {
        TScratchFolder folder;
        TConfig config;
        config.MaximumRecordTimeComboBox = 1 << 28;
        config.RingsToAnswer = -3;
        config.FlashTime = 0;
        config.HistorySortColumn = 99;
        config.PageWait = std::nan("");
        config.Cost1Edit = -1;
        config.HistoryColumnWidths[2] = 1 << 30;
        config.SelectPortBox = "USB Modem";
        config.NextMessageComboBox = '/';
        config.CurrentMessageComboBox = '*';
        WriteAll(folder.Path("RINGVALE.CNF"), config.ToBytes());
        TConfig loaded;
        QVERIFY(TConfigFile().LoadConfig(loaded));
        const TConfig defaults;
        QCOMPARE(loaded.MaximumRecordTimeComboBox, defaults.MaximumRecordTimeComboBox);
        QCOMPARE(loaded.RingsToAnswer, defaults.RingsToAnswer);
        QCOMPARE(loaded.FlashTime, defaults.FlashTime);
        QCOMPARE(loaded.HistorySortColumn, 0);
        QCOMPARE(loaded.PageWait, defaults.PageWait);
        QCOMPARE(loaded.Cost1Edit, defaults.Cost1Edit);
        QCOMPARE(loaded.HistoryColumnWidths[2], 0);
        QCOMPARE(loaded.NextMessageComboBox, defaults.NextMessageComboBox);
        QCOMPARE(loaded.CurrentMessageComboBox, '*');
        QCOMPARE(loaded.SelectPortBox, QString("USB Modem"));  // the rest is kept
        QVERIFY(TakeDataNotices().isEmpty());
    }

    // A settings file that cannot be read is moved aside, and the defaults start afresh.
    void anUnreadableFileIsKeptAside() {
        TScratchFolder folder;
        QVERIFY(QDir(folder.Dir.path()).mkdir("RINGVALE.CNF"));
        TConfig config;
        QVERIFY(!TConfigFile().LoadConfig(config));
        QVERIFY(QFileInfo(folder.Path("RINGVALE.CNF.bad")).isDir());
        QCOMPARE(ReadAll(folder.Path("RINGVALE.CNF")).size(), 3560);
        const QStringList notices = TakeDataNotices();
        QCOMPARE(notices.size(), 1);
        QVERIFY2(notices[0].contains("kept as \"RINGVALE.CNF.bad\""), qPrintable(notices[0]));
    }

    void firstStartWritesTheDefaults() {
        TScratchFolder folder;
        TConfigFile file;
        TConfig config;
        QVERIFY(!file.LoadConfig(config));
        const QByteArray bytes = ReadAll(folder.Path("RINGVALE.CNF"));
        QCOMPARE(bytes.size(), 3560);
        QCOMPARE(bytes.left(8), QByteArray("\x01\x03\x00\x00\x1a\xfe\x00\x00", 8));
        QCOMPARE(Int32At(bytes, 8), 15);
        QCOMPARE(DoubleAt(bytes, 16), 3.0);
        QCOMPARE(Int32At(bytes, 28), 5);
        QCOMPARE(Int32At(bytes, 32), 200);
        for (int i = 0; i < 9; ++i)
            QCOMPARE(Int32At(bytes, 40 + 4 * i), 100);
        QCOMPARE(TextAt(bytes, 372, 260), QByteArray("Personal Sounds/ring.wav"));
        QCOMPARE(TextAt(bytes, 1128, 12), QByteArray("88"));
        // Paging hours: Sunday 07:00 off, 08:00 and 17:00 on, 18:00 off; Saturday alike.
        QCOMPARE(bytes.mid(1256 + 7, 12),
                 QByteArray("\x00\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x00", 12));
        QCOMPARE(bytes.at(1256 + 6 * 24 + 8), '\x01');
        QCOMPARE(Int32At(bytes, 1548), 2);
        QCOMPARE(Int32At(bytes, 1568), 80);
        // No access code until the user chooses one: remote access is off.
        QCOMPARE(bytes.mid(3450, 11), QByteArray("\0\0\0\0\0\0\0\0"
                                                 "321",
                                                 11));
        QCOMPARE(Int32At(bytes, 3472), 20);
        QCOMPARE(DoubleAt(bytes, 3480), 0.1);
        QCOMPARE(DoubleAt(bytes, 3488), 0.1);
        for (int i = 0; i < 10; ++i)
            QCOMPARE(Int32At(bytes, 3496 + 4 * i), i < 6 ? -1 : 0);
        QCOMPARE(Int32At(bytes, 3536), 160);
        QCOMPARE(Int32At(bytes, 3540), 100);
        // Reserved areas are zero.
        QCOMPARE(bytes.mid(632, 256), QByteArray(256, '\0'));
        QCOMPARE(bytes.mid(1572, 1868), QByteArray(1868, '\0'));
        QCOMPARE(bytes.mid(3544, 16), QByteArray(16, '\0'));
        QVERIFY(file.LoadConfig(config));
    }

    void shortAndOldFiles() {
        TScratchFolder folder;
        TConfigFile file;
        WriteAll(folder.Path("RINGVALE.CNF"), QByteArray("\x01\x03\x00\x00", 4));
        TConfig config;
        QVERIFY(file.LoadConfig(config));
        QCOMPARE(config.RingsToAnswer, 5);
        QCOMPARE(config.MessagePasswordEdit, QString());  // a cut file gives no code away

        config.RingsToAnswer = 7;
        config.SelectPortBox = "USB Modem";
        QByteArray old = config.ToBytes();
        old[0] = '\x00';  // version 768
        WriteAll(folder.Path("RINGVALE.CNF"), old);
        TConfig loaded;
        QVERIFY(!file.LoadConfig(loaded));
        QCOMPARE(loaded.RingsToAnswer, 7);
        QCOMPARE(loaded.SelectPortBox, QString("USB Modem"));
        QCOMPARE(ReadAll(folder.Path("RINGVALE.CNF")).left(4), QByteArray("\x01\x03\x00\x00", 4));
        QVERIFY(file.LoadConfig(loaded));

        // Both files were kept as they were before anything was written over them.
        QCOMPARE(ReadAll(folder.Path("RINGVALE.CNF.bad")), QByteArray("\x01\x03\x00\x00", 4));
        QCOMPARE(ReadAll(folder.Path("RINGVALE.CNF.bad2")), old);
        TakeDataNotices();

        loaded.MaxItems = 1000;
        QCOMPARE(loaded.ClampedMaxItems(), 200);
        loaded.MaxItems = 0;
        QCOMPARE(loaded.ClampedMaxItems(), 5);
    }

    void fieldsAndBitsRoundTrip() {
        TConfig config;
        QCOMPARE(config.PageMode(), int(TConfig::PageNormal));
        QVERIFY(config.FlashCaller() && config.ShowToCallTab() && !config.ConnectAtStartupButton());
        QVERIFY(config.MinimizeToSysTray() && config.StopListening() && config.ListenToMessages());
        config.SetPageMode(TConfig::PageAlways);
        config.SetAllowRemotePage(true);
        config.SetShowHints(false);
        config.SetUseSpeakerPhoneButton(true);
        config.Password1 = QString(40, 'p');  // longer than its field
        config.LocalAreaCodes = "404,770";
        config.PageWait = 0.5;
        const QByteArray bytes = config.ToBytes();
        QCOMPARE(quint8(bytes[4]), quint8(0x1A - 2 + 1 + 0x80));
        QCOMPARE(quint8(bytes[5]), quint8(0xFE - 0x40));
        QCOMPARE(quint8(bytes[6]), quint8(2));
        QCOMPARE(TextAt(bytes, 1220, 16), QByteArray(15, 'p'));
        TConfig back;
        back.FromBytes(bytes);
        QCOMPARE(back.ToBytes(), bytes);
        QCOMPARE(back.PageWait, 0.5);
        QCOMPARE(back.LocalAreaCodes, QString("404,770"));

        // Fields with no terminator never run into their neighbours.
        QByteArray hostile = bytes;
        hostile.replace(1140, 80, QByteArray(80, 'M'));
        back.FromBytes(hostile);
        QCOMPARE(back.SelectPortBox, QString(80, 'M'));
        QCOMPARE(back.Password1, QString(15, 'p'));
    }

    void remembersFolders() {
        TScratchFolder folder;
        qputenv("XDG_CONFIG_HOME", folder.Dir.path().toUtf8());  // a store of its own
        QCOMPARE(RegistrySetting("LastWaveDir", QString(), false), QString());
        RegistrySetting("LastWaveDir", "/home/me/Music", true);
        QCOMPARE(RegistrySetting("LastWaveDir", QString(), false), QString("/home/me/Music"));
    }
};

QTEST_GUILESS_MAIN(TestConfig)
#include "test_config.moc"
