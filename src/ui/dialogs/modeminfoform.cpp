#include "ui/dialogs/modeminfoform.h"

#include "ui_modeminfoform.h"

int TModemInfoForm::ProbeTimeoutMs = 20000;

namespace {
constexpr int kStartDelayMs = 1000;

QString YesNo(bool yes) {
    return yes ? QStringLiteral("Yes") : QStringLiteral("No");
}

const QString kCallerIdSentence = QStringLiteral(
    "Assuming you have caller ID service, provided by your phone company, it is likely Ringvale "
    "will be able to show caller ID info.");
}  // namespace

TModemInfoForm::TModemInfoForm(QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::TModemInfoForm>()) {
    ui->setupUi(this);
    m_startTimer.setSingleShot(true);
    m_startTimer.setInterval(kStartDelayMs);
    connect(&m_startTimer, &QTimer::timeout, this, &TModemInfoForm::Probe);
    m_answerTimer.setSingleShot(true);
    connect(&m_answerTimer, &QTimer::timeout, this, [this] { Finish(TModemAnswers::NoAnswer); });
    m_events.OnLineEvent = [this](int code, const QString&) { OnLineEvent(code); };
    connect(ui->OKButton, &QPushButton::clicked, this, &QDialog::accept);
}

// Closing lets the line go at once, whatever the probe was waiting for.
TModemInfoForm::~TModemInfoForm() {
    m_tapi.reset();
}

void TModemInfoForm::SetModem(const QString& name) {
    m_modem = name;
}

void TModemInfoForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!m_done && !m_tapi) m_startTimer.start();
}

void TModemInfoForm::Probe() {
    m_startTimer.stop();
    if (m_tapi || m_done) return;
    ui->modemGroup->setTitle(QStringLiteral("Getting info for %1").arg(m_modem));
    m_answers = TModemAnswers();
    m_tapi = std::make_unique<TTapi>(0);
    m_tapi->Events = &m_events;
    if (m_tapi->InitLine() < 0) return Finish(TModemAnswers::NotFound);
    m_tapi->InitPhone();
    const int device = m_tapi->FindLineDevice(m_modem);
    if (device < 0) return Finish(TModemAnswers::NotFound);
    m_device = device;
    const int opened = m_tapi->OpenLine(quint32(device), nullptr);
    if (opened == LINEERR_ALLOCATED || opened == LINEERR_RESOURCEUNAVAIL)
        return Finish(TModemAnswers::InUse);
    if (opened < 0) return Finish(TModemAnswers::NotFound);
    // The modem is asked what it can do while its line is set up; the answers are known once
    // it reports itself ready.
    m_answerTimer.start(ProbeTimeoutMs);
}

void TModemInfoForm::OnLineEvent(int code) {
    if (!m_tapi || m_done) return;
    if (code == EV_LINE_READY) {
        // Asked from the event loop: the line's own notification is still being delivered.
        QTimer::singleShot(0, this, &TModemInfoForm::Examine);
    } else if (code == LINE_CLOSE) {
        QTimer::singleShot(0, this, [this] { Finish(TModemAnswers::NoAnswer); });
    }
}

void TModemInfoForm::Examine() {
    if (!m_tapi || m_done) return;
    m_answers.Voice = m_tapi->IsVoiceLine(m_tapi->DeviceId) != 0;
    m_answers.PlayRecord = m_tapi->GetWaveId(QStringLiteral("wave/out")) != 0;
    m_answers.SpeakerPhone = m_tapi->SetSpeakerPhone(SPK_TEST);
    Finish(TModemAnswers::Probed);
}

void TModemInfoForm::Finish(TModemAnswers::Outcome outcome) {
    if (m_done) return;
    m_answerTimer.stop();
    if (m_tapi && m_device >= 0) {
        const QString info = m_tapi->GetProviderInfo(quint32(m_device));
        if (info.startsWith(QLatin1String("SIP "))) m_answers.Sip = info;
    }
    m_tapi.reset();  // the line and the phone are closed and let go
    m_answers.Result = outcome;
    m_done = true;
    ui->modemGroup->setTitle(QStringLiteral("About %1").arg(m_modem));
    ui->ModemName->setText(m_modem);
    const bool known = outcome != TModemAnswers::InUse;
    ui->IsVoiceModem->setText(known ? YesNo(m_answers.Voice) : QStringLiteral("In use"));
    ui->PRMessage->setText(known ? YesNo(m_answers.PlayRecord) : QStringLiteral("In use"));
    ui->CanBeSpeakerPhone->setText(known ? YesNo(m_answers.SpeakerPhone)
                                         : QStringLiteral("In use"));
    ui->Summary->setText(Summary(m_answers, m_modem));
}

QString TModemInfoForm::SummaryText() const {
    return ui->Summary->text();
}

// A SIP line is asked the same questions; its answers are told as what they are for a SIP line.
QString TModemInfoForm::SipSummary(const TModemAnswers& answers, const QString& line) {
    const QString state = answers.Sip.section(QStringLiteral(": "), 1, -1);
    if (answers.Result != TModemAnswers::Probed)
        return QStringLiteral(
                   "The SIP line \"%1\" is not listening: %2. Check its address in lines.conf, "
                   "its password and the network.")
            .arg(line, state);
    return QStringLiteral(
               "\"%1\" is a SIP line (%2). You will be able to use Ringvale as your answering "
               "machine. A SIP line has no speaker phone; caller ID comes with each call, from "
               "the caller's SIP identity.")
        .arg(line, state);
}

QString TModemInfoForm::Summary(const TModemAnswers& answers, const QString& modem) {
    if (answers.Result == TModemAnswers::InUse)
        return QStringLiteral(
                   "The modem \"%1\" is in use by Ringvale or another program. Disconnect it "
                   "there and ask again.")
            .arg(modem);
    if (!answers.Sip.isEmpty()) return SipSummary(answers, modem);
    if (answers.Result == TModemAnswers::NoAnswer)
        return QStringLiteral(
                   "The modem \"%1\" did not answer. Check that it is plugged in and switched on, "
                   "and that you may use its port (the dialout group).")
            .arg(modem);
    if (!answers.Voice)
        return QStringLiteral(
            "You will not be able to use Ringvale as an answering machine or speaker phone and "
            "it's unlikely Ringvale will be able to detect Caller ID using this modem.");
    if (!answers.PlayRecord && !answers.SpeakerPhone)
        return QStringLiteral("You will not be able to use Ringvale as an answering machine. ") +
               QStringLiteral("You will not be able to use Ringvale's speaker phone ability. ") +
               kCallerIdSentence;
    QString text = QStringLiteral("You will be able to use Ringvale as your ");
    if (answers.PlayRecord) text += QStringLiteral("answering machine");
    if (answers.PlayRecord && answers.SpeakerPhone) text += QStringLiteral(" and ");
    text += answers.SpeakerPhone ? QStringLiteral("speaker phone.  ") : QStringLiteral(".  ");
    return text + kCallerIdSentence;
}
