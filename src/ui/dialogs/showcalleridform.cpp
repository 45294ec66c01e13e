#include "ui/dialogs/showcalleridform.h"

#include "platform/clock.h"
#include "ui_showcalleridform.h"

TShowCallerIDForm::TShowCallerIDForm(QWidget* parent)
    : QDialog(parent, Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      ui(std::make_unique<Ui::TShowCallerIDForm>()) {
    ui->setupUi(this);
    connect(ui->CloseButton, &QPushButton::clicked, this, [this] {
        m_timer.stop();
        hide();
    });
    connect(&m_timer, &QTimer::timeout, this, &TShowCallerIDForm::OnTick);
}

TShowCallerIDForm::~TShowCallerIDForm() = default;

void TShowCallerIDForm::SetText(const QString& text) {
    m_text = text.left(127);
}

void TShowCallerIDForm::ShowCaller() {
    const qsizetype cr = m_text.indexOf(QLatin1Char('\r'));
    if (cr >= 0) ui->callerNameLabel->setText(m_text.left(cr));
    QString number;
    // After the break, blanks, control characters and bytes of 128 and more are skipped.
    for (const QChar c : m_text.mid(cr < 0 ? m_text.size() : cr + 1))
        if (c.unicode() > 32 && c.unicode() < 128) number += c;
    ui->callerNumberLabel->setText(number);
    showFullScreen();  // a window cannot place itself everywhere (Wayland): ask for the screen
    raise();           // in front of the main window, which the call may have brought up
    activateWindow();
    OnTick();
    m_timer.start(1000);
}

void TShowCallerIDForm::OnTick() {
    const qint64 left = CloseTime - TClock::Now();
    if (left > 0) {
        ui->CloseButton->setText(QStringLiteral("Close ") + QString::number(left));
        return;
    }
    m_timer.stop();
    ui->CloseButton->click();
}

QString TShowCallerIDForm::NameText() const {
    return ui->callerNameLabel->text();
}
QString TShowCallerIDForm::NumberText() const {
    return ui->callerNumberLabel->text();
}
QString TShowCallerIDForm::CloseCaption() const {
    return ui->CloseButton->text();
}
