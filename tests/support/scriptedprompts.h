#pragma once
// A TPrompts for tests: records every question with its texts, answers from a queue, and
// gives the cautious answer when the queue is empty. Installs itself for its lifetime.

#include <QList>
#include <QQueue>
#include <QStringList>

#include "platform/prompts.h"

class TScriptedPrompts : public TPrompts {
public:
    struct Shown {
        QString Kind;  // "box", "message", "open", "save", "password", "beep"
        QString Text;
        QString Caption;
        unsigned Buttons = 0;
    };

    TScriptedPrompts() { SetPrompts(this); }
    ~TScriptedPrompts() override { SetPrompts(nullptr); }

    // Queued answers: box results, chosen file names, passwords (an empty QString in the
    // password queue means the user cancelled).
    QQueue<int> BoxAnswers;
    QQueue<QString> FileAnswers;
    QQueue<QString> PasswordAnswers;
    // Whether the remember box is ticked when a message dialog is answered (default: no).
    QQueue<bool> RememberAnswers;
    QList<Shown> History;

    int MessageBox(const QString& text, const QString& caption, unsigned buttons) override;
    QString OpenFileName(const TFileDialogRequest& request) override;
    QString SaveFileName(const TFileDialogRequest& request) override;
    bool Password(const QString& caption, const QString& label, QString* password) override;
    int AppMessage(const TAppMessageRequest& request, bool* dontShowAgain) override;
    QList<TAppMessageRequest> Messages;
    void Beep() override { History.append({QStringLiteral("beep"), {}, {}, 0}); }
    void Notice(const QString& text, const QString& caption) override {
        History.append({QStringLiteral("notice"), text, caption, 0});
    }

    QStringList Texts(const QString& kind = QStringLiteral("box")) const;
    int Count(const QString& kind) const { return Texts(kind).size(); }
};
