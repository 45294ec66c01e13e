#pragma once
// Turns a stored number into the string the modem dials, by the North American rules: the
// area code in front, "1" before long distance, a carrier's access number, toll-free codes
// without it. Also says whether the call is local (no cost).

#include <QString>
#include <QStringList>

class TConfig;

QString DialableNumber(const QString& number, const TConfig& config, bool* isLocal);
// The user's local area codes as the dialler reads them (at most ten).
QStringList LocalAreaCodeTable(const QString& setting);
