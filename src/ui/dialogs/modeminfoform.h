#pragma once
// TModemInfoForm ("About Modem"): answers "Will this modem work?" for the modem chosen in the
// settings (or a SIP line: whether it registered or listens, and its codecs). About a second after
// it opens it opens the modem's line with a telephony object of its own, waits until the modem has
// answered its set-up, asks whether it is a voice modem, whether it can play and record on the line
// and whether it can be a speaker phone, lets the line go and shows the three answers with a
// summary. A modem another window or program holds is reported as in use and left alone.

#include <QDialog>
#include <QTimer>
#include <memory>

#include "telephony/ttapi.h"

namespace Ui {
class TModemInfoForm;
}

struct TModemAnswers {
    enum Outcome { Probed, NotFound, InUse, NoAnswer };
    Outcome Result = NotFound;
    bool Voice = false;
    bool PlayRecord = false;
    bool SpeakerPhone = false;
    // A SIP line's account of itself (its address, whether it registered or listens and why
    // not, its codecs); empty for a modem.
    QString Sip;
};

class TModemInfoForm : public QDialog {
    Q_OBJECT
public:
    // How long the modem may take to answer its set-up (tests shorten it).
    static int ProbeTimeoutMs;

    explicit TModemInfoForm(QWidget* parent = nullptr);
    ~TModemInfoForm() override;

    void SetModem(const QString& name);
    // The probe; it starts by itself about a second after the window is shown.
    void Probe();
    bool Done() const { return m_done; }
    TModemAnswers Answers() const { return m_answers; }
    QString SummaryText() const;
    static QString Summary(const TModemAnswers& answers, const QString& modem);
    static QString SipSummary(const TModemAnswers& answers, const QString& line);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void OnLineEvent(int code);
    void Examine();
    void Finish(TModemAnswers::Outcome outcome);

    std::unique_ptr<Ui::TModemInfoForm> ui;
    QTimer m_startTimer;
    QTimer m_answerTimer;
    QString m_modem;
    int m_device = -1;
    TTapiEvents m_events;
    std::unique_ptr<TTapi> m_tapi;
    TModemAnswers m_answers;
    bool m_done = false;
};
