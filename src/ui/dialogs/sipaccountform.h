#pragma once
// TSipAccountForm ("SIP account"): adds a SIP account as a line, or edits one: the line's name,
// the provider's domain or server, the user and password, the name callers see, the transport,
// an outbound proxy, and whether the voice is encrypted. OK writes the line into lines.conf and
// keeps the password in the keyring (or the data folder's file); the dialog closes once both
// are done, and says why when either fails.

#include <QDialog>
#include <memory>

#include "platform/telephony/sipaddress.h"

namespace Ui {
class TSipAccountForm;
}
class TSecretStore;

class TSipAccountForm : public QDialog {
    Q_OBJECT
public:
    explicit TSipAccountForm(QWidget* parent = nullptr);
    ~TSipAccountForm() override;

    // Edits the line lines.conf names so; without this the dialog adds one.
    void SetAccount(const QString& lineName, const TSipAddress& address);
    // The line's name, as saved.
    QString LineName() const;
    void OKButtonClick();

private:
    QString Check(TSipAddress* address) const;
    void Refuse(const QString& problem);
    void PasswordStored(bool inKeyring, const QString& error);
    void Finish();

    std::unique_ptr<Ui::TSipAccountForm> ui;
    QString m_editedName;  // empty when adding
    std::unique_ptr<TSecretStore> m_password;
    std::unique_ptr<TSecretStore> m_oldPassword;  // a renamed line's, forgotten
};
