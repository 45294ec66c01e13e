#include "platform/telephony/linelist.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include "platform/atomicfile.h"
#include "platform/tfile.h"

namespace {
constexpr qint64 kMaxConfSize = 1 << 20;  // a lines.conf is a few lines; refuse anything huge

QString Resolved(const QString& path) {
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? path : canonical;
}
}  // namespace

bool IsSipLine(const TLineEntry& entry) {
    return entry.Path.startsWith(QLatin1String("sip:"), Qt::CaseInsensitive);
}

QString LinesConfPath() {
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty()) config = QDir::homePath() + QStringLiteral("/.config");
    return config + QStringLiteral("/Tarvex/lines.conf");
}

// The file is read at every connect attempt: a line it cannot use is logged the first time.
void IgnoredLine(const QString& path, int number, const QString& line) {
    static QSet<QString> logged;
    const QString text = path + QLatin1Char(':') + QString::number(number) +
                         QStringLiteral(": ignored, not NAME = DEVICE-PATH: ") + line.left(80);
    if (logged.contains(text)) return;
    logged.insert(text);
    qWarning().noquote() << text;
}

namespace {
QList<QByteArray> ReadLines(const QString& path) {
    TFile file;  // never blocks on a FIFO, refuses anything but a regular file
    if (file.Open(path, TFile::ModeRead) < 0) return {};
    QByteArray contents(kMaxConfSize, '\0');
    const qint64 got = file.Read(contents.data(), kMaxConfSize);
    contents.truncate(qMax<qint64>(got, 0));
    if (contents.isEmpty()) return {};
    if (contents.endsWith('\n')) contents.chop(1);
    return contents.split('\n');
}

// The name of an entry line; empty for a comment or a line that is no entry.
QString NameOf(const QByteArray& line) {
    const QString text = QString::fromUtf8(line).trimmed();
    const qsizetype eq = text.indexOf(QLatin1Char('='));
    if (text.startsWith(QLatin1Char('#')) || eq < 0) return QString();
    return text.left(eq).trimmed();
}
}  // namespace

QList<TLineEntry> ReadLinesConf(const QString& path) {
    QList<TLineEntry> entries;
    const QList<QByteArray> lines = ReadLines(path);
    for (qsizetype n = 0; n < lines.size(); ++n) {
        const QString line = QString::fromUtf8(lines[n]).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#'))) continue;
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        const QString name = line.left(eq).trimmed();
        const QString device = line.mid(eq + 1).trimmed();
        if (eq < 0 || name.isEmpty() || device.isEmpty()) {
            IgnoredLine(path, int(n + 1), line);
            continue;
        }
        entries.append({name, device});
    }
    return entries;
}

bool WriteLinesConfEntry(const QString& path, const QString& replaced, const TLineEntry& entry,
                         QString* error) {
    const QString oldName = replaced.isEmpty() ? entry.Name : replaced;
    QByteArray contents;
    bool written = entry.Path.isEmpty();
    for (const QByteArray& line : ReadLines(path)) {
        const QString name = NameOf(line);
        if (name != oldName && name != entry.Name) {
            contents += line + '\n';
        } else if (!written) {
            contents += (entry.Name + QStringLiteral(" = ") + entry.Path).toUtf8() + '\n';
            written = true;
        }
    }
    if (!written) contents += (entry.Name + QStringLiteral(" = ") + entry.Path).toUtf8() + '\n';
    QDir().mkpath(QFileInfo(path).absolutePath());
    TAtomicFile file(path);
    if (file.Open() && file.Write(contents) && file.Commit()) return true;
    *error = file.ErrorText;
    return false;
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
