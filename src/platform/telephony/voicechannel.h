#pragma once
// The modem's voice channel as two wave devices: playback with +VTX (every DLE doubled, paced
// to keep about half a second queued, ended with <DLE><ETX> and the modem's OK; aborted with a
// flush, a NUL and <DLE><CAN><DLE><ETX>) and recording with +VRX (ended with <DLE>!, read on to
// <DLE><ETX> and OK). Commands for the modem wait while voice data flows. A recording that
// gets no voice data for QuietMs has lost its modem (a reset, a glitch): it ends there, with
// what came, as if the caller had hung up.

#include <QElapsedTimer>
#include <QTimer>

#include "platform/telephony/modemchannel.h"
#include "platform/wave/wavedevice.h"

class TVoiceChannel;

class TVoiceDevice : public TWaveDevice {
public:
    TVoiceDevice(TVoiceChannel* channel, bool output) : m_channel(channel), m_output(output) {}
    QString Name() const override;
    bool IsOutput() const override { return m_output; }
    bool NativeFormat(const WAVEFORMATEX& requested, WAVEFORMATEX* native) const override;
    MMRESULT Start(QIODevice* io, const WAVEFORMATEX& native, std::function<void()> ended) override;
    void Stop() override;
    qint64 Processed() const override;

private:
    TVoiceChannel* m_channel;
    bool m_output;
};

class TVoiceChannel : public QObject {
    Q_OBJECT
public:
    // Kinds of the modem's 8-bit samples.
    enum Kind { Unsigned8, Signed8, MuLaw, ALaw };
    static int AheadMs;  // how much audio is kept queued in front of the modem
    static int QuietMs;  // a recording with no voice data for this long has lost its modem

    TVoiceChannel(TModemChannel& channel, const QString& name);
    ~TVoiceChannel() override;
    void SetFormat(Kind kind) { m_kind = kind; }
    WAVEFORMATEX Format() const;
    QString Name() const { return m_name; }
    bool Active() const { return m_mode != Mode::Idle; }
    bool Receiving() const { return m_mode == Mode::Receiving || m_mode == Mode::StoppingReceive; }
    // Registers the two devices under these IDs until destroyed.
    void Register(int outputId, int inputId);

    MMRESULT StartPlayback(QIODevice* source, std::function<void()> ended);
    MMRESULT StartRecording(QIODevice* sink, std::function<void()> ended);
    // Ends the transfer now: playback is aborted, recording stopped with what came so far.
    // With notify the owner hears that it ended (a hang-up); Stop from the owner is silent.
    void End(bool notify);
    // The port is gone: every transfer ends at once.
    void Lost();
    qint64 Processed() const;

private:
    enum class Mode { Idle, Starting, Playing, Draining, Receiving, StoppingReceive };
    void Feed();
    void WatchRecording();
    void Finished(bool notify);
    QByteArray ToModem(const QByteArray& samples) const;
    QByteArray FromModem(const QByteArray& samples) const;

    TModemChannel& m_channel;
    QString m_name;
    Kind m_kind = Unsigned8;
    Mode m_mode = Mode::Idle;
    QIODevice* m_io = nullptr;
    std::function<void()> m_ended;
    QTimer m_pace;
    QTimer m_watch;  // runs out when a recording's data stops flowing
    QElapsedTimer m_clock;
    qint64 m_written = 0;  // samples handed to the port
    qint64 m_received = 0;
    TVoiceDevice m_output;
    TVoiceDevice m_input;
    int m_outputId = 0;
    int m_inputId = 0;
};
