#include "ui/dialogs/showappmessage.h"

#include <QStyle>

#include "ui_showappmessage.h"

TShowAppMessage::TShowAppMessage(QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::TShowAppMessage>()) {
    ui->setupUi(this);
    connect(ui->OKButton, &QPushButton::clicked, this, [this] { done(prompt::IDOK); });
    connect(ui->CancelButton, &QPushButton::clicked, this, [this] { done(prompt::IDCANCEL); });
}

TShowAppMessage::~TShowAppMessage() = default;

void TShowAppMessage::SetRequest(const TAppMessageRequest& request) {
    ui->DontShowAgain->setVisible(request.Managed);
    ui->DontShowAgain->setChecked(false);
    // The message that resets the remembered answers can never be remembered itself.
    ui->DontShowAgain->setEnabled(request.RememberEnabled);
    ui->CancelButton->setVisible(request.WithCancel);
    ui->MessageMemoBox->setPlainText(DisplayText(request.Text));
    ui->MessageMemoBox->selectAll();
    ui->MessageMemoBox->setAlignment(Qt::AlignHCenter);
    ui->MessageMemoBox->moveCursor(QTextCursor::Start);
    FitToText(request.Text.size() > kLongText);
    ui->OKButton->setFocus();
}

bool TShowAppMessage::DontShowAgain() const {
    return !ui->DontShowAgain->isHidden() && ui->DontShowAgain->isChecked();
}

// A long text first gets a larger window; then the window is as high as its text and buttons
// and the caption, and never higher than the screen allows (the memo scrolls then).
void TShowAppMessage::FitToText(bool longText) {
    int width = 420, height = 200;
    if (longText) {
        width = int(width * 1.35);
        height = int(height * 1.45);
    }
    QTextDocument* document = ui->MessageMemoBox->document();
    const int scrollBar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    document->setTextWidth(width - scrollBar - 2 * document->documentMargin());
    const int textHeight = int(document->size().height()) + 8;
    const int caption = style()->pixelMetric(QStyle::PM_TitleBarHeight);
    height = qBound(120, textHeight + ui->buttonPanel->sizeHint().height() + 2 * caption, 600);
    resize(width, height);
}
