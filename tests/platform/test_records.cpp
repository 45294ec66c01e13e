// Field-by-field record I/O and the clock's two time scales.

#include <QtTest>

#include "platform/clock.h"
#include "platform/records.h"

class TestRecords : public QObject {
    Q_OBJECT
private slots:
    void numbersAreLittleEndianAtTheirOffsets() {
        QByteArray record(24, '\0');
        TRecordWriter w(record);
        w.U16(0, 0x0300);
        w.I32(2, -2);
        w.F64(8, 1.5);
        w.I64(16, 0x0102030405060708LL);
        QCOMPARE(record.left(6), QByteArray("\x00\x03\xfe\xff\xff\xff", 6));
        QCOMPARE(record.mid(8, 8), QByteArray("\x00\x00\x00\x00\x00\x00\xf8\x3f", 8));
        QCOMPARE(record.mid(16, 8), QByteArray("\x08\x07\x06\x05\x04\x03\x02\x01", 8));
        TRecordReader r(record);
        QCOMPARE(r.U16(0), quint16(0x0300));
        QCOMPARE(r.I32(2), -2);
        QCOMPARE(r.F64(8), 1.5);
        QCOMPARE(r.I64(16), 0x0102030405060708LL);
        // Reads past the end of a short record give zero, never bytes beyond it.
        QCOMPARE(r.U32(22), 0u);
        QCOMPARE(r.I32(-1), 0);
        QCOMPARE(r.Text(20, 8), QString());
    }

    void textFieldsAreBoundedLatin1() {
        QByteArray record(16, 'x');
        TRecordWriter w(record);
        w.Text(0, 8, QString::fromUtf8("Zoë Ł 12345"));  // longer than the field
        QCOMPARE(record.left(8), QByteArray("Zo\xeb ? 1\0", 8));
        QCOMPARE(record.mid(8), QByteArray(8, 'x'));  // neighbours untouched
        w.Text(8, 8, "ab");
        QCOMPARE(record.mid(8), QByteArray("ab\0\0\0\0\0\0", 8));

        TRecordReader r(record);
        QCOMPARE(r.Text(0, 8), QString::fromUtf8("Zoë ? 1"));
        // A field with no terminator is read to its width and no further.
        const QByteArray full("ABCDEFGHIJ");
        QCOMPARE(TRecordReader(full).Text(2, 4), QString("CDEF"));
        // Every byte round-trips.
        QByteArray all(255, '\0');
        for (int i = 0; i < 255; ++i)
            all[i] = char(i + 1);
        QByteArray field;
        TRecordWriter(field).Text(0, 256, QString::fromLatin1(all));
        QCOMPARE(field.left(255), all);
        QCOMPARE(field.size(), 256);
    }

    void clockGivesSecondsAndDayCounts() {
        qputenv("TZ", "UTC");
        TClock::Set(0);
        QCOMPARE(TClock::Now(), 0);
        QCOMPARE(TClock::NowDays(), 25569.0);  // 1970-01-01 counted from 1899-12-30
        TClock::Advance(36 * 3600);
        QCOMPARE(TClock::NowDays(), 25570.5);
        QCOMPARE(TClock::TimeFromDays(25570.5), qint64(36 * 3600));
        QCOMPARE(TClock::DaysFromTime(-2209161600LL), 0.0);  // the day count's own origin
        QCOMPARE(TClock::TimeFromDays(qQNaN()), 0);
        QVERIFY(TClock::IsFixed());
        TClock::UseSystem();
        QVERIFY(qAbs(TClock::Now() - QDateTime::currentSecsSinceEpoch()) <= 1);
    }

    void dayCountsFollowLocalTime() {
        qputenv("TZ", "America/New_York");
        // 2024-07-01 00:00 UTC is 20:00 on June 30 in New York (summer time).
        const qint64 t = QDateTime(QDate(2024, 7, 1), QTime(0, 0), Qt::UTC).toSecsSinceEpoch();
        const double days = TClock::DaysFromTime(t);
        QCOMPARE(days, QDate(1899, 12, 30).daysTo(QDate(2024, 6, 30)) + 20.0 / 24.0);
        QCOMPARE(TClock::TimeFromDays(days), t);
        qputenv("TZ", "UTC");
    }
};

QTEST_GUILESS_MAIN(TestRecords)
#include "test_records.moc"
