#include "store/tocall.h"

#include <QDateTime>
#include <QLocale>
#include <algorithm>
#include <cmath>

#include "platform/clock.h"
#include "platform/records.h"
#include "store/datafile.h"

QByteArray TOCALL::ToBytes() const {
    QByteArray bytes(kSize, '\0');
    TRecordWriter w(bytes);
    w.Text(0, 64, Name);
    w.Text(64, 64, NumberToDial);
    w.Text(128, 260, ToPager);
    w.I32(388, RetryCount);
    w.I32(400, CallState);
    w.F64(404, When);
    w.F64(412, StartTime);
    w.F64(420, EndTime);
    w.F64(432, CostFirst);
    w.F64(440, CostMore);
    w.U8(448, CallFlags);
    return bytes;
}

TOCALL TOCALL::FromBytes(const QByteArray& bytes) {
    const TRecordReader r(bytes);
    TOCALL call;
    call.Name = r.Text(0, 64);
    call.NumberToDial = r.Text(64, 64);
    call.ToPager = r.Text(128, 260);
    call.RetryCount = r.I32(388);
    call.CallState = r.I32(400);
    call.When = r.F64(404);
    call.StartTime = r.F64(412);
    call.EndTime = r.F64(420);
    call.CostFirst = r.F64(432);
    call.CostMore = r.F64(440);
    call.CallFlags = r.U8(448);
    return call;
}

bool TOCALL::Plausible(const QByteArray& bytes) {
    const TRecordReader r(bytes);
    const double times[] = {r.F64(404), r.F64(412), r.F64(420), r.F64(432), r.F64(440)};
    return FieldTerminated(bytes, 0, 64) && FieldTerminated(bytes, 64, 64) &&
           FieldTerminated(bytes, 128, 260) &&
           std::all_of(std::begin(times), std::end(times),
                       [](double t) { return std::isfinite(t) && std::fabs(t) < 1e7; });
}

QString ElapsedText(double days, qint64* seconds) {
    if (!std::isfinite(days) || std::fabs(days) > 1e7) days = 0;  // a corrupt record
    const qint64 total = std::llround(std::fabs(days) * 86400.0);
    const qint64 whole = total / 86400;
    const qint64 rest = total % 86400;
    const QString clock = QString::asprintf("%02d:%02d:%02d", int(rest / 3600),
                                            int(rest % 3600 / 60), int(rest % 60));
    if (seconds) *seconds = total;
    return whole == 0 ? clock : QString::number(whole) + QStringLiteral(" days ") + clock;
}

QString DollarText(double amount) {
    return QString::asprintf("$%02.2f", amount);
}

QString DayCountText(double days) {
    const QDateTime when = QDateTime::fromSecsSinceEpoch(TClock::TimeFromDays(days)).toLocalTime();
    return QLocale::system().toString(when, QLocale::ShortFormat);
}
