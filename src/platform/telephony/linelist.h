#pragma once
// Which modems exist: every entry of the user's lines.conf ("NAME = DEVICE-PATH", one per
// line; blank lines and lines starting with '#' ignored), in file order, then every serial
// port under /dev/serial/by-id not already listed, named by its link name.

#include <QList>
#include <QString>

struct TLineEntry {
    QString Name;
    QString Path;
    bool operator==(const TLineEntry&) const = default;
};

// A SIP address ("sip:USER@HOST:PORT") rather than a serial port.
bool IsSipLine(const TLineEntry& entry);
// $XDG_CONFIG_HOME/Tarvex/lines.conf, by default ~/.config/Tarvex/lines.conf.
QString LinesConfPath();
// A missing or unreadable file is empty; malformed lines are skipped.
QList<TLineEntry> ReadLinesConf(const QString& path);
// Sets the entry entry.Name, in place of the one named replaced when that is given (a renamed
// line), keeping every other line and comment as it stands; an empty entry.Path removes it.
// The file is rewritten whole or not at all. False with *error.
bool WriteLinesConfEntry(const QString& path, const QString& replaced, const TLineEntry& entry,
                         QString* error);
QList<TLineEntry> SerialPortsById(const QString& folder = QStringLiteral("/dev/serial/by-id"));
QList<TLineEntry> ListLines(const QString& confPath, const QString& byIdFolder);
