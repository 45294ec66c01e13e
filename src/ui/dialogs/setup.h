#pragma once
// TSetup ("Setup"): every setting in one modal dialog: the modem, the caller ID popup, the
// history length, paging, dialing and call cost, the passwords, the Internet dialer, the ring
// sound, the greetings and the answering machine, and the mailing of messages. It edits a private
// copy of the settings and hands the whole copy back only when OK is pressed with valid input.

#include <QDialog>
#include <functional>
#include <memory>

#include "store/config.h"

namespace Ui {
class TSetup;
}
class QCheckBox;
class TEmailPage;
class TMailer;
class QLineEdit;

class TSetup : public QDialog {
    Q_OBJECT
public:
    enum Page { General, Paging, Dialing, Security, Internet, Greetings, Email };

    explicit TSetup(TMailer& mailer, QWidget* parent = nullptr);
    ~TSetup() override;

    // Copies the live settings into the working copy; OK copies the working copy back.
    void SetConfig(TConfig* live);
    // Fills every control from the working copy (also done when the dialog is shown).
    void ShowSettings();

    // Runs a dialog this one opens (the recorder, the modem check, the about box, the flash
    // preview); tests answer them without a user.
    std::function<int(QDialog&)> RunDialog = [](QDialog& dialog) { return dialog.exec(); };

    void OKBtnClick();
    // Set for the first settings of a new user: OK with no access code asks for one.
    bool FirstRun = false;
    // The help topic of the tab in front.
    QString HelpTopic() const;
    void FillModemList();
    void ShowChosenModem(const QString& chosen);
    QString ChosenModem() const;
    // Shown hours of the chosen weekday (0 = Sunday).
    void ShowDay(int day);

protected:
    void showEvent(QShowEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Wire();
    void WireGreetings();
    QCheckBox* HourBox(int hour) const;
    void StoreShownDay();
    bool ReadNumbers(TConfig& config);
    bool Refuse(QLineEdit* field, Page page, const QString& text);
    Page PageOf(const QWidget* field) const;
    QList<QLineEdit*> TextFields() const;
    bool CheckAccessCode();
    void StoreFields(TConfig& config);
    void StoreAnsweringMachine(TConfig& config);
    void StoreDesktopSettings();
    void CheckMaxItems();
    void UpdateRingSoundHint();
    void UpdateGreetingButtons();
    void BrowseRingSound();
    void BrowseDialer();
    void PreviewFlashWindow();
    void ResetMessages();
    void ShowModemInfo();
    void WireSipLines();
    void EditSipAccount(const QString& lineName);
    void ShowDirectLine();
    void ListenDirectly(bool listen);
    void UpdateSipButtons();
    void AddGreeting();
    void NewGreeting();
    void EditGreetings();
    void DeleteGreetings();

    std::unique_ptr<Ui::TSetup> ui;
    TEmailPage* m_emailPage;
    TConfig m_working;
    TConfig* m_live = nullptr;
    quint8 m_hours[7 * 24] = {};
    int m_shownDay = 0;
};
