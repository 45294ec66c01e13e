#pragma once
// The one source of "now" for the whole program. Log records, the action queue, the popup
// and backups use whole seconds since 1970 (UTC); outgoing call records use day counts since
// 1899-12-30 in local time, with the time of day as the fraction. Tests fix and advance the
// clock instead of sleeping; timer handlers read it rather than the system.

#include <QtGlobal>

class TClock {
public:
    static qint64 Now();      // seconds since 1970-01-01 UTC
    static double NowDays();  // days since 1899-12-30, local time

    // The conversions between the two scales, in local time.
    static double DaysFromTime(qint64 secs);
    static qint64 TimeFromDays(double days);

    // Test control: a fixed clock that only moves when advanced, or the system clock again.
    static void Set(qint64 secs);
    static void Advance(qint64 secs);
    static void UseSystem();
    static bool IsFixed();
};
