#pragma once
// The greetings list "Greetings.txt": one bare wave file name of the "Greetings" folder per
// line, CR LF ended; and the random pick for callers without a personal greeting.

#include <QString>
#include <QStringList>

QString GreetingsListFile();
QString GreetingsFolder();
QStringList DefaultGreetings();

// The names of the list (the part after the last backslash or slash of each line). With no
// name, the defaults are used and written at once.
QStringList LoadGreetingList();
// Writes every entry; the number written, 0 with nothing written when the file cannot be made.
int SaveGreetingList(const QStringList& list);

// A greeting file name (no folder), empty when the list is empty.
QString PickRandomGreeting();
