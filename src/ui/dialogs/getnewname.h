#pragma once
// TGetNewName ("Add/Modify caller"): one phone book entry: the name to show, how the caller is
// recognised (by number or by caller ID name), what to do when the caller rings, a personal
// greeting and a notify sound (each can be recorded on the spot), and the call count. The
// owner gets the entry back only after OK.

#include <QDialog>
#include <functional>
#include <memory>

#include "store/phonebook.h"

namespace Ui {
class TGetNewName;
}
class QLineEdit;

class TGetNewName : public QDialog {
    Q_OBJECT
public:
    static constexpr int kNameLength = 31;
    static constexpr int kFileLength = 259;

    explicit TGetNewName(QWidget* parent = nullptr);
    ~TGetNewName() override;

    // editing: the entry is in the phone book already ("Editing ..."), else it is being added.
    void SetEntry(const PhoneBookEntry& entry, bool editing);
    const PhoneBookEntry& Entry() const { return m_entry; }

    // Runs the recorder and the flash test; tests answer them without a user.
    std::function<int(QDialog&)> RunDialog = [](QDialog& dialog) { return dialog.exec(); };

    void OKButtonClick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void RefreshEntryButtons();
    void KeyChanged();
    void NumberEdited(const QString& text);
    void RecordInto(QLineEdit* field, const QString& folder);
    void Browse(QLineEdit* field, const QString& folder, const QString& title);
    void FlashTest();
    void Play(const QLineEdit* field, const QString& folder);

    std::unique_ptr<Ui::TGetNewName> ui;
    PhoneBookEntry m_entry;
};
