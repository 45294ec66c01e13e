#pragma once
// The desktop's answers to TPrompts: Qt message boxes, file dialogs and a password box.

#include "platform/prompts.h"

class QWidget;

class TWidgetPrompts : public TPrompts {
public:
    int MessageBox(const QString& text, const QString& caption, unsigned buttons) override;
    QString OpenFileName(const TFileDialogRequest& request) override;
    QString SaveFileName(const TFileDialogRequest& request) override;
    bool Password(const QString& caption, const QString& label, QString* password) override;
    int AppMessage(const TAppMessageRequest& request, bool* dontShowAgain) override;
    void Beep() override;
    void Notice(const QString& text, const QString& caption) override;

    // "Sounds (*.wav)|*.wav|All|*.*" as a Qt name filter list.
    static QString QtFilter(const QString& filter);

private:
    static QWidget* Owner();
};
