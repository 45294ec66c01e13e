#pragma once
// A voice modem on a pseudo-terminal: it answers the V.253 command set the way real modems do
// and plays the far end of the line from a script (rings, caller ID, touch tones, hang-ups,
// the answer to an outgoing call). Every command it receives is logged.

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QObject>
#include <QQueue>
#include <QSocketNotifier>
#include <QStringList>
#include <QTextStream>
#include <QTimer>

struct TPersonality {
    bool SpacedCallerId = true;  // "NMBR = 555" rather than "NMBR=555"
    bool BracketDtmf = false;    // <DLE>/ d d <DLE>~ rather than <DLE>d
    char DtmfEnd = '~';          // or 0x7F
    bool UsrFormats = false;     // the USR +VSM list rather than the Conexant one
    bool Speaker = true;         // +VLS=7 (mic and speaker on the line)
    bool Voice = true;           // +FCLASS 8
    bool Silent = false;         // never answers a command
};

class TModemSim : public QObject {
    Q_OBJECT
public:
    TModemSim(const TPersonality& personality, QObject* parent = nullptr);
    ~TModemSim() override;
    bool Start(const QString& linkPath, QString* slaveName);
    void SetLog(QFile* log) { m_log = log; }
    // Where the audio the host plays (+VTX) is written, one wave file per transfer.
    void SetRecordFolder(const QString& folder) { m_recordFolder = folder; }
    // Script lines to run in order; more may come later (standard input).
    void AddScript(const QString& line);
    void Abandon();
    // Received voice goes to the host in pieces of this many milliseconds, as a USB modem
    // hands it over as it arrives.
    void SetChunkMs(int ms);
    void ScriptEnded() {
        m_scriptEnded = true;
        Step();
    }

signals:
    void Finished();

private:
    void ReadHost();
    void Command(const QByteArray& command);
    void Reply(const QByteArray& text);
    void Send(const QByteArray& bytes);
    void Event(char code);
    void Step();
    bool Run(const QStringList& words);
    void CallerId(const QStringList& words);
    void Keys(const QString& digits);
    void Unplug();
    void DtrDropped();
    void PowerOn();
    void WatchForHost();
    void EndTransmit(bool aborted);
    void FeedHost();
    bool LoadVoice(const QString& file);

    TPersonality m_p;
    int m_master = -1;
    QString m_link;
    QSocketNotifier* m_reader = nullptr;
    QFile* m_log = nullptr;
    QByteArray m_input;

    bool m_echo = true;
    bool m_offHook = false;
    bool m_transmitting = false;  // +VTX: audio from the host
    bool m_receiving = false;     // +VRX: audio to the host
    bool m_afterDle = false;
    QByteArray m_dialResult = "OK";
    QByteArray m_lastCommand;
    QStringList m_history;

    QQueue<QString> m_script;
    bool m_scriptEnded = false;
    QString m_waitingFor;
    QTimer m_stepTimer;
    QTimer m_feedTimer;
    int m_chunkMs = 10;
    QElapsedTimer m_receiveClock;
    qint64 m_fed = 0;  // bytes of voice sent in this +VRX
    QTimer m_hostWatch;
    QString m_recordFolder;
    int m_recordings = 0;
    QByteArray m_transmitted;  // what the host played in this +VTX
    qint64 m_transmitStartMs = 0;
    QByteArray m_voice;  // what the caller says into the next +VRX (8 kHz unsigned)
    bool m_signedFormat = false;
    int m_ringsLeft = 0;
    int m_ringIntervalMs = 1000;
};
