#pragma once
// A SIP call's voice as two wave devices, with no sound card opened. The SIP stack's media
// engine is given a sound card of ours: its capture side sends the far end what the output
// device is given, its playback side hands what the far end says to the input device. The
// media engine runs both on its own audio thread every 10 ms; they meet the devices in two
// locked queues, which the devices serve from the program's thread a few times a second.

#include <QByteArray>
#include <QObject>
#include <QTimer>
#include <atomic>
#include <functional>
#include <mutex>

#include "platform/telephony/dtmfdetector.h"
#include "platform/wave/wavedevice.h"

struct _MSSndCardManager;

class TSipAudio : public QObject {
    Q_OBJECT
public:
    static constexpr int Rate = 8000;  // 16-bit mono, what G.711 carries
    static int ServeMs;                // how often the devices fill and empty the queues
    static int AheadMs;                // how much of a sound waits for the media engine

    explicit TSipAudio(const QString& name);
    ~TSipAudio() override;
    QString Name() const { return m_name; }

    // Makes the card known to a media engine's card list; the card's ID for the SIP stack.
    QByteArray Install(_MSSndCardManager* cards);
    // Registers the two devices under these IDs until destroyed.
    void Register(int outputId, int inputId);
    // The call has ended or the media has gone: every transfer ends now, and with notify its
    // owner hears that it ended (a hang-up).
    void End(bool notify);
    bool Active() const { return m_playing || m_recording; }

    // The media thread's side. Pull fills out with what is to be sent (silence where nothing
    // is); Push takes what the far end said, kept only while a recording runs.
    void Pull(qint16* out, int samples);
    void Push(const qint16* in, int samples);

signals:
    // A touch tone heard in what the far end says (one sent as sound, not as an event).
    void KeyHeard(char key);

private:
    class Device;
    MMRESULT StartPlayback(QIODevice* source, std::function<void()> ended);
    MMRESULT StartRecording(QIODevice* sink, std::function<void()> ended);
    void StopPlayback(bool notify);
    void StopRecording(bool notify);
    void Serve();
    void Feed();
    void Collect();
    qint64 Processed(bool output) const;

    QString m_name;
    QTimer m_serve;
    bool m_playing = false;
    bool m_recording = false;
    bool m_sourceDone = false;
    QIODevice* m_source = nullptr;
    QIODevice* m_sink = nullptr;
    std::function<void()> m_playEnded;
    std::function<void()> m_recordEnded;
    qint64 m_received = 0;  // bytes handed to the sink

    // Shared with the media thread.
    mutable std::mutex m_lock;
    QByteArray m_outgoing;
    QByteArray m_incoming;
    bool m_accepting = false;       // a recording takes what comes
    std::atomic<qint64> m_sent{0};  // bytes of the sound sent so far
    TDtmfDetector m_keys;           // the media thread's own

    std::unique_ptr<Device> m_output;
    std::unique_ptr<Device> m_input;
    int m_outputId = 0;
    int m_inputId = 0;
};
