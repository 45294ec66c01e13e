#pragma once
// The data folder a crash run works in: it listens on the simulator's modem, answers at the
// second ring with a half-second greeting, hangs up on the callers listed as blocked and pages
// the user about the callers listed as paged, nine seconds after they called.

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "platform/profile.h"
#include "simulator.h"
#include "store/config.h"
#include "store/phonebook.h"
#include "wavefile.h"

struct TCrashFolder {
    QTemporaryDir Work;
    QString Data = Work.filePath("data");
    QString Config = Work.filePath("config");

    TCrashFolder(const TSimulator& sim, const QStringList& blocked, const QStringList& paged) {
        QDir().mkpath(Data + "/Greetings");
        sim.WriteLinesConf(Config, "Sim modem");
        TProfile::SetFolder(Data);
        TConfig config;
        config.SelectPortBox = "Sim modem";
        config.SetConnectAtStartupButton(true);
        config.SetFlashCaller(false);
        config.RingsToAnswer = 2;
        config.MaximumRecordTimeComboBox = 1;
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

        QFile list(Data + "/Greetings.txt");
        if (list.open(QIODevice::WriteOnly)) list.write("short.wav\r\n");
        QFile greeting(Data + "/Greetings/short.wav");
        QByteArray samples;
        for (int i = 0; i < 11025 / 2; ++i)
            samples += char(i % 20 < 10 ? 0x90 : 0x70);
        if (greeting.open(QIODevice::WriteOnly)) greeting.write(Wave(11025, samples));
    }
};
