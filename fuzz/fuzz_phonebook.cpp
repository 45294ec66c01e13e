// The phone book as read at start-up, a caller looked up in it and the duplicate check.

#include "fuzzfolder.h"
#include "store/datafile.h"
#include "store/phonebook.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzFolder().Write(QStringLiteral("Ringvale Phonebook.pb12"), data, size);
    TPhoneBook book;
    book.LoadPhoneBook();
    for (const auto& entry : book.Entries)
        TPhoneBook::RowTexts(*entry);
    book.FindCaller(QStringLiteral("404-555-1212"), QStringLiteral("SMITH JOHN"));
    book.CheckDuplicateEntries();
    TakeDataNotices();
    return 0;
}
