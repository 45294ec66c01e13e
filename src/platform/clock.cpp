#include "platform/clock.h"

#include <QDate>
#include <QDateTime>
#include <QTimeZone>
#include <cmath>

namespace {
bool g_fixed = false;
qint64 g_now = 0;
const QDate kDayZero(1899, 12, 30);
}  // namespace

qint64 TClock::Now() {
    return g_fixed ? g_now : QDateTime::currentSecsSinceEpoch();
}

double TClock::NowDays() {
    return DaysFromTime(Now());
}

double TClock::DaysFromTime(qint64 secs) {
    const QDateTime local = QDateTime::fromSecsSinceEpoch(secs).toLocalTime();
    const qint64 day = kDayZero.daysTo(local.date());
    return static_cast<double>(day) + local.time().msecsSinceStartOfDay() / 86400000.0;
}

qint64 TClock::TimeFromDays(double days) {
    if (!std::isfinite(days)) return 0;
    const double whole = std::floor(days);
    const QDate date = kDayZero.addDays(static_cast<qint64>(whole));
    const qint64 msecs = std::llround((days - whole) * 86400000.0);
    const QDateTime local(date, QTime(0, 0), Qt::LocalTime);
    return local.addMSecs(msecs).toSecsSinceEpoch();
}

void TClock::Set(qint64 secs) {
    g_fixed = true;
    g_now = secs;
}

void TClock::Advance(qint64 secs) {
    if (!g_fixed) Set(QDateTime::currentSecsSinceEpoch());
    g_now += secs;
}

void TClock::UseSystem() {
    g_fixed = false;
}

bool TClock::IsFixed() {
    return g_fixed;
}
