#include "platform/telephony/linelist.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

namespace {
constexpr qint64 kMaxConfSize = 1 << 20;  // a lines.conf is a few lines; refuse anything huge

QString Resolved(const QString& path) {
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? path : canonical;
}
}  // namespace

QString LinesConfPath() {
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty()) config = QDir::homePath() + QStringLiteral("/.config");
    return config + QStringLiteral("/Tarvex/lines.conf");
}

QList<TLineEntry> ReadLinesConf(const QString& path) {
    QList<TLineEntry> entries;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxConfSize) return entries;
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (const QByteArray& raw : lines) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#'))) continue;
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq < 0) continue;
        const QString name = line.left(eq).trimmed();
        const QString device = line.mid(eq + 1).trimmed();
        if (name.isEmpty() || device.isEmpty()) continue;
        entries.append({name, device});
    }
    return entries;
}

QList<TLineEntry> SerialPortsById(const QString& folder) {
    QList<TLineEntry> ports;
    const QFileInfoList links =
        QDir(folder).entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo& link : links)
        ports.append({link.fileName(), link.absoluteFilePath()});
    return ports;
}

QList<TLineEntry> ListLines(const QString& confPath, const QString& byIdFolder) {
    QList<TLineEntry> lines = ReadLinesConf(confPath);
    QSet<QString> listed;
    for (const TLineEntry& entry : std::as_const(lines))
        listed.insert(Resolved(entry.Path));
    for (const TLineEntry& port : SerialPortsById(byIdFolder))
        if (!listed.contains(Resolved(port.Path))) lines.append(port);
    return lines;
}
