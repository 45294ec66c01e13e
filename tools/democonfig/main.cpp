// ringvale-democonfig FOLDER MODEM: prepares a working folder for the demo: settings that
// connect to the named modem at start-up, and a phone book that knows one of the callers.

#include <QCoreApplication>
#include <cstdio>

#include "platform/profile.h"
#include "store/config.h"
#include "store/phonebook.h"

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: ringvale-democonfig FOLDER MODEM-NAME\n");
        return 2;
    }
    TProfile::SetFolder(args[1]);
    TConfig config;
    config.SelectPortBox = args[2];
    config.SetConnectAtStartupButton(true);
    config.FlashTime = 5;
    config.RingsToAnswer = 4;  // callers who give up sooner are only logged
    if (!TConfigFile().SaveConfig(config)) return 1;
    TPhoneBook book;
    PhoneBookEntry mom;
    mom.DisplayName = QStringLiteral("Mom");
    mom.Number = QStringLiteral("404-555-1212");
    book.Add(mom);
    return book.SavePhoneBook() ? 0 : 1;
}
