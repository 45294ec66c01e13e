#pragma once
// A block list: the numbers of a text or CSV file (one a line, or the column that holds them)
// added to the phone book as callers to hang up on, each named after the file. Numbers the
// phone book already has, or that the file repeats, are skipped.

#include <QByteArray>
#include <QString>
#include <QStringList>

class TPhoneBook;

class TBlockList {
public:
    static constexpr qint64 kMaxFile = 16 * 1024 * 1024;

    struct TResult {
        int Added = 0;
        int Skipped = 0;
        QString Error;  // the file was refused; nothing was added
    };

    // The numbers of a list: of each line's fields (split at commas, semicolons or tabs), the
    // column that holds the most numbers, earliest on a tie. A field is a number when it holds
    // three digits or more and nothing but digits, blanks and + ( ) - . ; at most 31 characters.
    static QStringList Numbers(const QByteArray& text);
    // Adds the numbers of the file to the phone book in memory; the caller saves it.
    static TResult Import(TPhoneBook& phoneBook, const QString& path);
    // "N numbers were added ..., M skipped".
    static QString ResultText(const TResult& result);
};
