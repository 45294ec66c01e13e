#pragma once
// Every modal question, notice, file chooser and password prompt of the program goes through
// TPrompts. The desktop installs its widget dialogs; tests install a scripted double that
// records every text and returns queued answers. Texts keep "\r" as their line break; the
// widget implementation shows it as a new line.

#include <QString>

namespace prompt {
// Buttons and icons of a message box, and its results, with the usual numeric values.
enum Buttons : unsigned {
    MB_OK = 0x0,
    MB_OKCANCEL = 0x1,
    MB_ABORTRETRYIGNORE = 0x2,
    MB_YESNOCANCEL = 0x3,
    MB_YESNO = 0x4,
    MB_RETRYCANCEL = 0x5,
    MB_TYPEMASK = 0xF,
    MB_ICONHAND = 0x10,
    MB_ICONQUESTION = 0x20,
    MB_ICONEXCLAMATION = 0x30,
    MB_ICONASTERISK = 0x40,
    MB_ICONMASK = 0xF0,
};
enum Result : int {
    IDOK = 1,
    IDCANCEL = 2,
    IDABORT = 3,
    IDRETRY = 4,
    IDIGNORE = 5,
    IDYES = 6,
    IDNO = 7
};

// The answer a box gives when nobody can answer it: the most cautious of its buttons.
int CautiousResult(unsigned buttons);
}  // namespace prompt

// One open or save file dialog. Filter is "Description (*.ext)|*.ext|..." pairs.
struct TFileDialogRequest {
    QString Title;
    QString Filter;
    QString DefaultExt;
    QString InitialFolder;
    QString FileName;
    bool ConfirmOverwrite = false;
    bool FileMustExist = false;
};

// The message dialog: a text with OK (and Cancel), optionally offering "remember my response".
struct TAppMessageRequest {
    int Id = 0;
    QString Text;
    bool WithCancel = false;
    bool Managed = false;         // the remember box is offered
    bool RememberEnabled = true;  // false: offered but cleared and disabled
};

class TPrompts {
public:
    virtual ~TPrompts() = default;
    // Returns one of prompt::Result.
    virtual int MessageBox(const QString& text, const QString& caption, unsigned buttons) = 0;
    // The chosen file's full path, or an empty string when the user cancelled.
    virtual QString OpenFileName(const TFileDialogRequest& request) = 0;
    virtual QString SaveFileName(const TFileDialogRequest& request) = 0;
    // False when the user cancelled; otherwise the typed text is in *password.
    virtual bool Password(const QString& caption, const QString& label, QString* password) = 0;
    // The message dialog; returns 1 for OK, 2 for Cancel or a closed window, and sets
    // *dontShowAgain when the remember box was ticked.
    virtual int AppMessage(const TAppMessageRequest& request, bool* dontShowAgain) = 0;
    // The default alert sound.
    virtual void Beep() = 0;
    // A notice that waits for nobody: shown without holding the program up (and logged).
    virtual void Notice(const QString& text, const QString& caption) = 0;
};

// Answers without a user: logs each text and gives the cautious answer. Used until the
// desktop installs its dialogs, and by the command-line tools.
class TLogPrompts : public TPrompts {
public:
    int MessageBox(const QString& text, const QString& caption, unsigned buttons) override;
    QString OpenFileName(const TFileDialogRequest& request) override;
    QString SaveFileName(const TFileDialogRequest& request) override;
    bool Password(const QString& caption, const QString& label, QString* password) override;
    int AppMessage(const TAppMessageRequest& request, bool* dontShowAgain) override;
    void Beep() override {}
    void Notice(const QString& text, const QString& caption) override;
};

// The prompts in force. SetPrompts does not take ownership; nullptr restores the log prompts.
TPrompts& Prompts();
void SetPrompts(TPrompts* prompts);

// "\r" (alone or before "\n") as the platform's line break.
QString DisplayText(const QString& text);
