#pragma once
// TPRMessageForm ("Taking Message"): plays the greeting to an answered caller, then either
// hangs up or beeps, records the caller's message through the modem, saves it in "Messages",
// writes its "msg.ndx" line and beeps again. The main window hears the outcome.

#include <QDialog>
#include <QTimer>
#include <functional>
#include <memory>

#include "audio/ctwave.h"

namespace Ui {
class TPRMessageForm;
}
class TTapi;
class TConfig;
class TPhoneBook;
struct CallLogRecord;

class TPRMessageForm : public QDialog {
    Q_OBJECT
public:
    static constexpr int kIndexRecordSize = 628;
    static QString IndexFile();

    explicit TPRMessageForm(QWidget* parent = nullptr);
    ~TPRMessageForm() override;

    qint32 RecordSeconds = 0;
    bool RecordPending = false;
    bool StopRequested = false;
    quint32 OutDevice = 0;
    quint32 InDevice = 0;
    QString CurrentFile;
    QString MessageFile;  // "0" when nothing is to be recorded
    QString BeepFile;
    QByteArray IndexRecord;
    QString CallerName;
    QString CallerNumber;
    std::function<void(int outcome)> Completion;
    // The recording is on disk, flushed, as "Messages/" + name; an empty name when it could
    // not be saved there (it was then kept in the data folder if that could be written).
    std::function<void(const QString& name)> MessageSaved;
    // The main window's StatusLabel.
    std::function<void(const QString&)> SetMainStatus;

    // Greeting only. greetingPath may be changed to the default greeting.
    void PlayGreeting(TTapi& line, QString& greetingPath);
    // Greeting, beep, message, beep; false when the modem has no sound (message 207 shown).
    bool TakeMessage(TTapi& line, QString& greetingPath, CallLogRecord* record,
                     TPhoneBook& phoneBook, const TConfig& config);
    void StopButtonClick();
    // The caller has hung up: a greeting or beep still to come would play to nobody and a
    // recording would take down silence, so the run ends; a recording under way ends by itself
    // with what the caller said, and is saved.
    void CallerGone();
    QString Status() const;

private:
    void FormShow();
    void PlayCurrent();
    void OnWaveOutOpen();
    void OnWaveOutDone();
    void OnWaveOutClose();
    void OnWaveInOpen();
    void OnWaveInData();
    void OnWaveInClose();
    void SetStatus(const QString& text);
    bool IsBeep() const { return CurrentFile == BeepFile; }
    static void ResolveGreeting(QString& greetingPath);
    void AppendIndex();
    QString SaveMessage();

    std::unique_ptr<Ui::TPRMessageForm> ui;
    CtWaveCallbacks m_callbacks;
    CtWave m_wave;
    QTimer m_setUpTimer;
    QTimer m_failurePause;  // belongs to the run that started it: a new run stops it
    bool m_recording = false;
};
