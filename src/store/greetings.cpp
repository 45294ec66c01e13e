#include "store/greetings.h"

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

TGreeting::TGreeting() {
    m_line[0] = '\0';
    std::srand(unsigned(TClock::Now()));
}

QString TGreeting::Pick() {
    TFile file;
    if (file.Open(GreetingsListFile(), TFile::ModeRead) < 0) return {};
    // Every line of two or more characters counts, up to the first shorter read.
    int count = 0;
    while (count < kMaxGreetings && file.ReadLine(m_line, kLineLength) >= 2)
        ++count;
    if (count == 0) return {};
    file.Seek(0);
    std::srand(unsigned(TClock::Now()));
    const int r = std::rand() % count;
    int n = 0;
    for (int i = 0; i <= r; ++i)
        n = file.ReadLine(m_line, kLineLength);
    // A line names a file inside "Greetings", never a path elsewhere.
    return n > 0 ? FileNamePart(QString::fromLatin1(m_line, n)) : QString();
}

QString PickRandomGreeting() {
    return TGreeting().Pick();
}
