#include "store/greetings.h"

#include <QDateTime>
#include <QFileInfo>
#include <cstdlib>

#include "platform/atomicfile.h"
#include "platform/clock.h"
#include "platform/profile.h"
#include "platform/tfile.h"
#include "store/phonebook.h"

namespace {
constexpr int kLineLength = 260;
constexpr int kMaxGreetings = 10000;  // a sane list; a huge file is not read to its end
}  // namespace

QString GreetingsListFile() {
    return TProfile::Path(QStringLiteral("Greetings.txt"));
}

QString GreetingsFolder() {
    return TProfile::Path(QStringLiteral("Greetings"));
}

QStringList DefaultGreetings() {
    return {QStringLiteral("Default Greeting 1.wav"), QStringLiteral("Default Greeting 2.wav"),
            QStringLiteral("Default Greeting 3.wav")};
}

QStringList LoadGreetingList() {
    QStringList list;
    TFile file;
    if (file.Open(GreetingsListFile(), TFile::ModeRead) >= 0) {
        char line[kLineLength];
        int n;
        // Blank lines never reach here: the reader skips line breaks before a line.
        while (list.size() < kMaxGreetings && (n = file.ReadLine(line, kLineLength)) > 0)
            list << FileNamePart(QString::fromLatin1(line, n));
        file.Close();
    }
    if (list.isEmpty()) {
        list = DefaultGreetings();
        SaveGreetingList(list);
    }
    return list;
}

int SaveGreetingList(const QStringList& list) {
    QByteArray contents;
    for (const QString& name : list)
        contents += name.toLatin1() + "\r\n";
    return RewriteFile(GreetingsListFile(), contents) ? int(list.size()) : 0;
}

namespace {
// The list file as last read: read again only when it changed, so that a long list is not
// read at every call.
struct TGreetingCache {
    QString Path;
    QDateTime Modified;
    qint64 Size = -1;
    QStringList Lines;
};

// Every line of two or more characters counts, up to the first shorter read; a line names a
// file inside "Greetings", never a path elsewhere.
QStringList ReadGreetingLines(const QString& path) {
    QStringList lines;
    TFile file;
    if (file.Open(path, TFile::ModeRead) < 0) return lines;
    char line[kLineLength];
    int n;
    while (lines.size() < kMaxGreetings && (n = file.ReadLine(line, kLineLength)) >= 2)
        lines << FileNamePart(QString::fromLatin1(line, n));
    return lines;
}
}  // namespace

QString PickRandomGreeting() {
    static TGreetingCache cache;
    const QString path = GreetingsListFile();
    const QFileInfo info(path);
    if (!info.isFile()) return {};
    if (path != cache.Path || info.lastModified() != cache.Modified || info.size() != cache.Size)
        cache = {path, info.lastModified(), info.size(), ReadGreetingLines(path)};
    if (cache.Lines.isEmpty()) return {};
    std::srand(unsigned(TClock::Now()));
    return cache.Lines[std::rand() % cache.Lines.size()];
}
