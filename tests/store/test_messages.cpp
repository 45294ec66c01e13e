// Remembered answers in "MESSAGES.MSG", the string table, and the greetings list.

#include <sys/stat.h>

#include "scriptedprompts.h"
#include "store/greetings.h"
#include "store/message.h"
#include "storetest.h"

class TestMessages : public QObject {
    Q_OBJECT
private slots:
    void rememberedAnswers() {
        TScratchFolder folder;
        TScriptedPrompts prompts;
        QCOMPARE(TMessageStore::LookUpResponse(206), -1);

        prompts.BoxAnswers << prompt::IDCANCEL;
        QCOMPARE(ShowManagedMessage(206, QString(), MSG_OK_CANCEL), 2);
        QVERIFY(!QFile::exists(TMessageStore::FileName()));

        prompts.BoxAnswers << prompt::IDOK;
        QCOMPARE(ShowManagedMessage(206, QString(), MSG_OK_CANCEL), 1);  // not ticked
        QCOMPARE(ReadAll(TMessageStore::FileName()),
                 QByteArray("\xce\0\0\0\x01\0\0\0\x01\0\0\0", 12));
        QCOMPARE(prompts.Texts("message").last(),
                 QString("Delete the selected callers from the history list?"));

        prompts.BoxAnswers << prompt::IDOK;
        prompts.RememberAnswers << true;
        QCOMPARE(ShowManagedMessage(206, QString(), MSG_OK_CANCEL), 1);
        QCOMPARE(ReadAll(TMessageStore::FileName()),
                 QByteArray("\xce\0\0\0\0\0\0\0\x01\0\0\0", 12));
        const int shown = prompts.Count("message");
        QCOMPARE(ShowManagedMessage(206, QString(), MSG_OK_CANCEL), 1);
        QCOMPARE(prompts.Count("message"), shown);  // answered from the store

        // 213 is never remembered; a partial tail stays and the new record follows it.
        WriteAll(TMessageStore::FileName(), ReadAll(TMessageStore::FileName()) + "xyz");
        prompts.BoxAnswers << prompt::IDOK;
        prompts.RememberAnswers << true;
        QCOMPARE(ShowManagedMessage(213, QString(), MSG_OK_CANCEL), 1);
        QVERIFY(!prompts.Messages.last().RememberEnabled);
        const QByteArray store = ReadAll(TMessageStore::FileName());
        QCOMPARE(store.size(), 27);
        QCOMPARE(store.mid(15), QByteArray("\xd5\0\0\0\x01\0\0\0\x01\0\0\0", 12));
        QCOMPARE(TMessageStore::LookUpResponse(213), -1);
        QCOMPARE(TMessageStore::LookUpResponse(206), 1);

        QVERIFY(TMessageStore::Reset());
        QCOMPARE(TMessageStore::LookUpResponse(206), -1);
        QVERIFY(TMessageStore::Reset());

        // A plain notice is never stored and offers no remember box.
        ShowPlainMessage(102);
        QVERIFY(!prompts.Messages.last().Managed);
        QVERIFY(prompts.Texts("message").last().startsWith(
            "The purpose of providing your area code(s)"));
        QVERIFY(!QFile::exists(TMessageStore::FileName()));
    }

    void stringTableTexts() {
        QCOMPARE(StringTableText(212),
                 QString("You have switched modems.  You must disconnect then "
                         "reconnect in order to use the new modem."));
        QCOMPARE(StringTableText(304), QString("Delete \"%s\" from the phone book"));
        QCOMPARE(StringTableText(999), QString());
        for (int id : {100, 101, 102, 205, 206, 207, 208, 209, 210, 212, 213, 300, 303, 304, 306,
                       308, 311, 312})
            QVERIFY2(!StringTableText(id).isEmpty(), qPrintable(QString::number(id)));
        // Arguments are filled in, never read as formats.
        QCOMPARE(FormatText(StringTableText(304), {"50%s %d"}),
                 QString("Delete \"50%s %d\" from the phone book"));
        QCOMPARE(FormatText("%s and %s", {"one"}), QString("one and "));
    }

    void greetingsList() {
        TScratchFolder folder;
        QCOMPARE(LoadGreetingList(), DefaultGreetings());
        QCOMPARE(
            ReadAll(GreetingsListFile()),
            QByteArray(
                "Default Greeting 1.wav\r\nDefault Greeting 2.wav\r\nDefault Greeting 3.wav\r\n"));
        WriteAll(GreetingsListFile(), "a.wav\r\n\r\nC:\\x\\Greetings\\hello.wav\nb.wav");
        QCOMPARE(LoadGreetingList(), (QStringList{"a.wav", "hello.wav", "b.wav"}));
        QCOMPARE(SaveGreetingList({}), 0);
        QCOMPARE(ReadAll(GreetingsListFile()), QByteArray());
        QCOMPARE(LoadGreetingList(), DefaultGreetings());

        // Every greeting of the list is picked for some time; a one-letter line ends the count.
        WriteAll(GreetingsListFile(), "one.wav\r\ntwo.wav\r\nthree.wav\r\n");
        QSet<QString> picked;
        for (int t = 0; t < 60; ++t) {
            TClock::Set(1700000000 + t);
            picked.insert(PickRandomGreeting());
        }
        QCOMPARE(picked, (QSet<QString>{"one.wav", "two.wav", "three.wav"}));
        WriteAll(GreetingsListFile(), "only.wav\r\nx\r\nnever.wav\r\n");
        for (int t = 0; t < 10; ++t) {
            TClock::Set(1700000000 + t);
            QCOMPARE(PickRandomGreeting(), QString("only.wav"));
        }
        // A line naming a path elsewhere picks only a name inside "Greetings".
        WriteAll(GreetingsListFile(), "../../../elsewhere/x.wav\r\n");
        QCOMPARE(PickRandomGreeting(), QString("x.wav"));
        QFile::remove(GreetingsListFile());
        QCOMPARE(mkfifo(QFile::encodeName(GreetingsListFile()).constData(), 0600), 0);
        QCOMPARE(PickRandomGreeting(), QString());  // refused at once, not waited on
        QFile::remove(GreetingsListFile());
        WriteAll(GreetingsListFile(), "\r\n");
        QCOMPARE(PickRandomGreeting(), QString());
        QFile::remove(GreetingsListFile());
        QCOMPARE(PickRandomGreeting(), QString());
    }
};

QTEST_GUILESS_MAIN(TestMessages)
#include "test_messages.moc"
