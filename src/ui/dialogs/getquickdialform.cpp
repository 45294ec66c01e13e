#include "ui/dialogs/getquickdialform.h"

#include <QDateTime>
#include <QSignalBlocker>

#include "platform/clock.h"
#include "platform/prompts.h"
#include "ui/dialogs/latin1text.h"
#include "ui_getquickdialform.h"

namespace {
constexpr int kClockMs = 1000;

// A character the modem can dial (commas pause, letters stand for their keys).
bool HasDialable(const QString& number) {
    for (const QChar c : number)
        if (c.isDigit() || c == QLatin1Char('*') || c == QLatin1Char('#') || c.isLetter())
            return true;
    return false;
}

}  // namespace

TGetQuickDialForm::TGetQuickDialForm(QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::TGetQuickDialForm>()) {
    ui->setupUi(this);
    m_clockTimer.setInterval(kClockMs);
    connect(&m_clockTimer, &QTimer::timeout, this, &TGetQuickDialForm::OnClockTick);
    // Choosing a date or a time means "not now".
    for (QDateTimeEdit* picker :
         {static_cast<QDateTimeEdit*>(ui->DatePicker), static_cast<QDateTimeEdit*>(ui->TimePicker)})
        connect(picker, &QDateTimeEdit::dateTimeChanged, this,
                [this] { ui->NowButton->setChecked(false); });
    connect(ui->OKButton, &QPushButton::clicked, this, &TGetQuickDialForm::OKButtonClick);
    connect(ui->CancelButton, &QPushButton::clicked, this, &QDialog::reject);
    for (QLineEdit* field : {ui->NameEdit, ui->NumberEdit, ui->MessageEdit})
        KeepLatin1(field);
}

TGetQuickDialForm::~TGetQuickDialForm() = default;

void TGetQuickDialForm::SetRecord(TOCALL* record) {
    m_record = record;
    ui->NameEdit->setText(record->Name.left(63));
    ui->NumberEdit->setText(record->NumberToDial.left(63));
    ui->MessageEdit->setText(record->ToPager.left(259));
    ShowNow();
    ui->NowButton->setChecked(record->When <= TClock::NowDays());
    m_clockTimer.start();
}

void TGetQuickDialForm::ShowNow() {
    m_lastTick = TClock::NowDays();
    const QDateTime now = QDateTime::fromSecsSinceEpoch(TClock::TimeFromDays(m_lastTick));
    const QSignalBlocker quietDate(ui->DatePicker);
    const QSignalBlocker quietTime(ui->TimePicker);
    ui->DatePicker->setDate(now.date());
    ui->TimePicker->setTime(now.time());
}

void TGetQuickDialForm::OnClockTick() {
    if (ui->NowButton->isChecked()) ShowNow();
}

void TGetQuickDialForm::OKButtonClick() {
    if (!HasDialable(ui->NumberEdit->text())) {
        Prompts().MessageBox(QStringLiteral("Enter the number to dial: \"%1\" has nothing a "
                                            "telephone can dial.")
                                 .arg(ui->NumberEdit->text()),
                             QStringLiteral(" "), prompt::MB_OK);
        ui->NumberEdit->setFocus();
        return;
    }
    m_record->Name = ui->NameEdit->text();
    m_record->NumberToDial = ui->NumberEdit->text();
    m_record->ToPager = ui->MessageEdit->text();
    if (ui->NowButton->isChecked()) {
        m_record->When = m_lastTick;  // due at once
    } else {
        // The whole day of the date picker and the time of day of the time picker.
        const QDateTime chosen(ui->DatePicker->date(), ui->TimePicker->time());
        m_record->When = TClock::DaysFromTime(chosen.toSecsSinceEpoch());
    }
    accept();
}
