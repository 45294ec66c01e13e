#pragma once
// One outgoing call: the 456-byte record of the to-call list and of the outgoing call
// history file. Times are day counts since 1899-12-30 (0 = not set).

#include <QByteArray>
#include <QString>

struct TOCALL {
    static constexpr int kSize = 456;
    QString Name;          // char[64]; "To Pager" for a page
    QString NumberToDial;  // char[64]
    QString ToPager;       // char[260]
    qint32 RetryCount = 0;
    qint32 CallState = 0;  // 0 waiting, 1 being placed or placed
    double When = 0;
    double StartTime = 0;
    double EndTime = 0;
    double CostFirst = 0;
    double CostMore = 0;
    quint8 CallFlags = 0;  // bit 0: local call

    bool IsLocal() const { return CallFlags & 1; }
    QByteArray ToBytes() const;
    static TOCALL FromBytes(const QByteArray& bytes);
    // Bytes that can be a call: every text ends inside its field, every time is a number.
    static bool Plausible(const QByteArray& bytes);
};

// "%02d:%02d:%02d", or "%d days %02d:%02d:%02d" past a day, for a span of days; *seconds
// gets the whole elapsed seconds (not limited to 16 bits).
QString ElapsedText(double days, qint64* seconds = nullptr);
// An amount as "$%02.2f".
QString DollarText(double amount);
// The date and time text of a day count, in the system's short form.
QString DayCountText(double days);
