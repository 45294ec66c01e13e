#pragma once
// TShowAppMessage ("Message"): the message dialog behind the message manager. It shows a text
// with OK (and Cancel when asked for), and for a managed message the box "Remember my response
// and don't show this message again."; the manager stores the answer.

#include <QDialog>
#include <memory>

#include "platform/prompts.h"

namespace Ui {
class TShowAppMessage;
}

class TShowAppMessage : public QDialog {
    Q_OBJECT
public:
    // A text longer than this makes the window larger before it is fitted to the text.
    static constexpr int kLongText = 512;

    explicit TShowAppMessage(QWidget* parent = nullptr);
    ~TShowAppMessage() override;

    // Set before showing: the text, the buttons and whether the remember box is offered.
    void SetRequest(const TAppMessageRequest& request);
    bool DontShowAgain() const;

private:
    void FitToText(bool longText);

    std::unique_ptr<Ui::TShowAppMessage> ui;
};
