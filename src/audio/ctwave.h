#pragma once
// CtWave: a wave file held whole in memory, played (whole, looping or from an offset) on one
// wave output device, or one block of 11025 Hz 8-bit mono recorded from one input device and
// written back as a wave file. Device notifications reach the owner through CtWaveCallbacks,
// always from the event loop.

#include <QByteArray>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

#include "platform/wave/wave.h"

struct CtWaveCallbacks {
    std::function<void()> OnWaveOutOpen;
    std::function<void()> OnWaveOutDone;
    std::function<void()> OnWaveOutClose;
    std::function<void()> OnWaveInOpen;
    std::function<void()> OnWaveInData;
    std::function<void()> OnWaveInClose;
};

class CtWave;

// The hidden receiver of the device notifications.
class TInvisibleWindow : public QObject {
public:
    explicit TInvisibleWindow(CtWave* sink) : m_sink(sink) {}
    void Deliver(quint32 message, quint32 handle);

private:
    CtWave* m_sink;
};

class CtWave {
public:
    static constexpr int kRecordRate = 11025;
    static constexpr quint32 kRecordFormatSize = 18;

    explicit CtWave(const CtWaveCallbacks* callbacks);
    ~CtWave();
    CtWave(const CtWave&) = delete;
    CtWave& operator=(const CtWave&) = delete;

    // Set when errors should be shown in a "CtWave Error" box; null: only m_errorText.
    QObject* m_owner = nullptr;

    bool Load(const QString& fileName);
    bool Save(const QString& fileName);
    bool Play(int device, bool loop);
    bool PlayFrom(int device, int offset);
    bool Record(int device, int nSecs);
    bool Stop();
    bool Clear();
    int GetPosition();
    int GetVolume(int device);
    bool SetVolume(int target, int percent);
    void ReportError(MMRESULT code, const QString& operation, const QString& reason = QString());
    // A done or data notification stops the running transfer only when it is about it: one
    // left over from a transfer already stopped must not end the next.
    void WindowProc(quint32 message, quint32 handle = 0);

    QString ErrorText() const { return m_errorText; }
    QString LastLog() const { return m_lastLog; }
    quint32 RecordedSize() const { return m_nRecordedSize; }
    // Bytes captured so far by the recording in progress (0 when none runs).
    quint32 RecordingPosition() const {
        return m_hWaveIn && m_pWaveHdr ? m_pWaveHdr->dwBytesRecorded : 0;
    }
    const QByteArray& Data() const { return m_data; }
    const QByteArray& Format() const { return m_format; }
    bool IsPlaying() const { return m_hWaveOut != 0; }
    bool IsRecording() const { return m_hWaveIn != 0; }
    static QByteArray RecordingFormat();

private:
    void Log(const QString& text);
    bool CreateWindow();
    TWaveCallback Callback();
    bool StartPlayback(int device, quint32 offset, bool loop, bool from);
    void ReportVolumeError(MMRESULT error);

    const CtWaveCallbacks* m_pCallbacks;
    std::unique_ptr<WAVEHDR> m_pWaveHdr;
    QByteArray m_data;  // the file's samples or the recording buffer
    quint32 m_nRecordedSize = 0;
    QByteArray m_format;  // the format block as stored in the file
    HWAVEIN m_hWaveIn = 0;
    HWAVEOUT m_hWaveOut = 0;
    qint32 m_nStartOffset = 0;
    QString m_errorText;
    bool m_bStopping = false;
    std::unique_ptr<TInvisibleWindow> m_Window;
    QString m_lastLog;
};
