#pragma once
// TPRMessageForm ("Taking Message"): plays the greeting to an answered caller, then either
// hangs up or beeps, records the caller's message through the modem into "Messages" (on the
// disk as it is said, tied to its call from the first second), writes its "msg.ndx" line and
// beeps again. The main window hears the outcome. Every sound and the recording has a time
// limit: a modem that stops sending or answering cannot hold the line for ever.

#include <QDialog>
#include <QTimer>
#include <memory>

#include "audio/ctwave.h"
#include "calls/outcome.h"
#include "store/messagefile.h"

namespace Ui {
class TPRMessageForm;
}
class TLabelHolder;
class TTapi;
class TConfig;
class TPhoneBook;
struct CallLogRecord;

// What the answering window tells the program; the main window listens. Every method is
// needed, so a listener that leaves one out does not compile.
class TAnsweringListener {
public:
    // The run has ended with this outcome (OUTCOME_*).
    virtual void Completed(int outcome) = 0;
    // The recording is on disk as "Messages/" + name: said with its first second of audio (so
    // that the call names it from then on) and again when it is complete. An empty name when
    // the call has no message (it could not be kept there: it was then kept in the data folder
    // if that could be written; or the user threw it away).
    virtual void MessageSaved(const QString& name) = 0;
    // A line for the main window's status.
    virtual void MainStatus(const QString& text) = 0;

protected:
    ~TAnsweringListener() = default;
};

class TPRMessageForm : public QDialog {
    Q_OBJECT
public:
    static constexpr int kIndexRecordSize = 628;
    static QString IndexFile();

    explicit TPRMessageForm(TAnsweringListener& listener, QWidget* parent = nullptr);
    ~TPRMessageForm() override;

    // The sound playing now (a greeting or the beep).
    QString CurrentFile() const { return m_currentFile; }

    // Greeting only. greetingPath may be changed to the default greeting.
    void PlayGreeting(TTapi& line, QString& greetingPath);
    // Greeting, beep, message, beep; false when the modem has no sound (message 207 shown).
    bool TakeMessage(TTapi& line, QString& greetingPath, CallLogRecord* record,
                     TPhoneBook& phoneBook, const TConfig& config);
    // Stop: the run ends, and a message being recorded is thrown away.
    void StopButtonClick();
    // The call has ended under the run (hung up at the desk or by the program, the line reset,
    // the program closing): it stops at once, keeping what the caller has said, and tells no
    // completion, since that would now belong to the next call.
    void EndRun();
    bool Running() const { return m_running; }
    bool Recording() const { return m_recording; }
    // How long a sound or the recording may take beyond its own length.
    static int TransferMarginMs;
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
    bool IsBeep() const { return m_currentFile == m_beepFile; }
    static bool Playable(const QString& file);
    static void ResolveGreeting(QString& greetingPath);
    void AppendIndex();
    void StartRecording();
    void OpenMessageFile();
    void WriteRecorded();
    void FinishMessage();
    void TellMainStatus(const QString& text);
    void SaidSaved(const QString& name);
    void StartDeadline(qint64 lengthMs);
    void OnDeadline();
    void Complete(int outcome);

    std::unique_ptr<Ui::TPRMessageForm> ui;
    TLabelHolder* m_statusHolder = nullptr;
    TAnsweringListener* m_listener;  // null once the form is being destroyed
    CtWaveCallbacks m_callbacks;
    CtWave m_wave;
    QTimer m_setUpTimer;
    QTimer m_failurePause;  // belongs to the run that started it: a new run stops it
    QTimer m_flushTimer;    // the recording so far goes to the disk every second
    QTimer m_deadline;      // the sound or the recording under way has taken too long
    TMessageFile m_message;
    bool m_messageInMessages = false;  // else kept in the data folder, tied to no call
    qint64 m_written = 0;              // bytes of the recording already in the file
    QString m_greetingPlayed;          // for the index line
    qint64 m_stamp = 0;                // names the message file: "msg<stamp>.wav"
    bool m_recording = false;
    bool m_callerGone = false;  // hung up while recording
    bool m_running = false;

    qint32 m_recordSeconds = 0;
    bool m_recordPending = false;
    bool m_stopRequested = false;
    quint32 m_outDevice = 0;
    quint32 m_inDevice = 0;
    QString m_currentFile;
    QString m_messageFile;  // "0" when nothing is to be recorded
    QString m_beepFile;
    QByteArray m_indexRecord;
    QString m_callerName;
    QString m_callerNumber;
};
