#pragma once
// Opens a file, a program, a web address or a mail address the way the desktop would, and
// turns a failure into a text for the caller to show. TShell never shows a box itself.

#include <QString>

// How TShell reaches the desktop; tests replace it. Open returns a launcher result: above 32
// is success, otherwise one of the failure codes TShell::FailureText knows.
class TOpener {
public:
    virtual ~TOpener() = default;
    virtual int Open(const QString& target) = 0;
};

// The real desktop: a program file is started directly, anything else through xdg-open, with
// an argument list and never through a shell.
class TDesktopOpener : public TOpener {
public:
    int Open(const QString& target) override;

private:
    int OpenLocal(const QString& path);
    static bool HasHandler(const QString& path);
    static int Launch(const QString& program, const QStringList& arguments, const QString& folder);
};

TOpener& Opener();
void SetOpener(TOpener* opener);  // not owned; nullptr restores the desktop opener

class TShell {
public:
    // Launcher results.
    enum : int {
        SE_OK = 42,
        SE_ERR_OOM = 0,
        SE_ERR_FNF = 2,
        SE_ERR_PNF = 3,
        SE_ERR_BAD_FORMAT = 11,
        SE_ERR_SHARE = 26,
        SE_ERR_ASSOCINCOMPLETE = 27,
        SE_ERR_DDETIMEOUT = 28,
        SE_ERR_DDEFAIL = 29,
        SE_ERR_DDEBUSY = 30,
        SE_ERR_NOASSOC = 31,
    };

    QString ErrorText;

    bool Run(const QString& file);
    bool OpenWebPage(const QString& address);
    bool SendMail(const QString& address, const QString& subject);

    static QString FailureText(int code);
};
