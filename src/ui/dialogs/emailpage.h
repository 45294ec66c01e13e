#pragma once
// The "Email" page of the settings: the mail server and account, the sender and recipients,
// what is mailed, and a test message sent with what the page shows before it is kept.

#include <QWidget>
#include <memory>

#include "platform/mail/mailsettings.h"

namespace Ui {
class TEmailPage;
}
class TMailer;

class TEmailPage : public QWidget {
    Q_OBJECT
public:
    explicit TEmailPage(TMailer& mailer, QWidget* parent = nullptr);
    ~TEmailPage() override;

    // Shows the mailer's settings and password.
    void ShowSettings();
    // The settings as the page shows them.
    TMailSettings ShownSettings() const;
    // An explanation when the page cannot be kept as it stands (a server but no recipient).
    QString Problem() const;
    // Hands what the page shows to the mailer when it differs from what it has.
    void Store();

private:
    void SecurityChosen(int index);
    void SendTest();

    std::unique_ptr<Ui::TEmailPage> ui;
    TMailer& m_mailer;
};
