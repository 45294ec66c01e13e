#pragma once
// The data files hold single-byte (Latin-1) text: a character beyond it would be stored as
// "?", and a password or a file name that comes back changed locks the user out or never
// plays. Such characters are refused where they are typed, and the user is told which.

#include <QString>

class QLineEdit;

// Characters typed or pasted into the field that the files cannot hold are taken out again
// at once, with a message that names them.
void KeepLatin1(QLineEdit* field);
// Text from elsewhere (a chosen file's path): true when the files can hold it, otherwise the
// user is told what (what) holds that cannot be stored.
bool StorableText(const QString& text, const QString& what);
