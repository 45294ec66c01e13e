#pragma once
// The data folder a crash run works in: an answering folder (it listens on the simulator's
// modem and answers at the second ring, here with a half-second greeting) that also hangs up
// on the callers listed as blocked and pages the user about the callers listed as paged, nine
// seconds after they called.

#include "program.h"
#include "store/phonebook.h"

struct TCrashFolder : TAnsweringFolder {
    QString Config = Work.filePath("config");

    TCrashFolder(const TSimulator& sim, const QStringList& blocked, const QStringList& paged)
        : TAnsweringFolder(sim, 0.5) {
        TConfig config;
        TConfigFile().LoadConfig(config);
        config.SetPageMode(TConfig::PageNormal);
        config.PagerNumber = "5550100";
        config.PageWait = 0.15;  // minutes: due after the call, while the line is free
        std::fill(std::begin(config.PagingHours), std::end(config.PagingHours), quint8(1));
        TConfigFile().SaveConfig(config);

        TPhoneBook book;
        for (const QString& number : blocked + paged) {
            PhoneBookEntry entry;
            entry.Number = number;
            entry.DisplayName = entry.RealName = "LISTED " + number.right(4);
            entry.ActionFlags = blocked.contains(number) ? ActionHangUp : ActionPageMe;
            book.Add(entry);
        }
        book.SavePhoneBook();
    }
};
