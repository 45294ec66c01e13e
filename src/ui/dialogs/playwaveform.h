#pragma once
// TPlayWaveForm ("Listen to message"): plays one recorded message on the desk's sound card,
// shows who left it and when, lets the user move the play position and the volume, and closes
// with the user's decision: keep (6), erase (7), stop the walk through new messages (3), or
// the close box (2). It starts playing by itself about a second after it is shown.

#include <QDialog>
#include <QTimer>
#include <memory>

#include "audio/ctwave.h"

namespace Ui {
class TPlayWaveForm;
}

enum PlayerResult : int { PLAYER_CLOSED = 2, PLAYER_QUIT = 3, PLAYER_KEEP = 6, PLAYER_ERASE = 7 };

class TPlayWaveForm : public QDialog {
    Q_OBJECT
public:
    explicit TPlayWaveForm(QWidget* parent = nullptr);
    ~TPlayWaveForm() override;

    void SetCaller(const QString& caller, const QString& number, const QString& when);
    void ShowQuit(bool shown);
    // The sound card output: 0 is the first, and the system's default is tried when it fails.
    int Device = 0;
    void SetCurrentFile(const QString& path);

    void PlayButtonClick();
    void StopButtonClick();
    QString Status() const;
    bool Playing() const;
    // Whether any of the message was played (a machine without sound plays none).
    bool Played() const { return m_played; }
    void SetPosition(int percent);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void OnTimer();
    void OnWaveOutOpen();
    void OnWaveOutDone();
    void RefreshVolume();

    std::unique_ptr<Ui::TPlayWaveForm> ui;
    CtWaveCallbacks m_callbacks;
    CtWave m_wave;
    QTimer m_timer;
    QString m_file;
    qint64 m_fileSize = 0;
    bool m_autoStart = false;
    bool m_played = false;
};
