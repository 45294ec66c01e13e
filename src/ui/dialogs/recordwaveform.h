#pragma once
// TRecordWaveForm ("Record Wave File"): records a greeting or a notify sound from the desk's
// sound card into a wave file the owner chose (11025 Hz, 8-bit, mono, at most a minute), plays
// it back, and closes with OK once the user is content. A recording cut short by closing the
// window is thrown away; the file keeps what it held before.

#include <QDialog>
#include <QTimer>
#include <memory>

#include "audio/ctwave.h"

namespace Ui {
class TRecordWaveForm;
}

class TRecordWaveForm : public QDialog {
    Q_OBJECT
public:
    static constexpr int kMaxSeconds = 60;

    explicit TRecordWaveForm(QWidget* parent = nullptr);
    ~TRecordWaveForm() override;

    // The sound card input and output; 0 is the first of each.
    int InputDevice = 0;
    int OutputDevice = 0;

    void SetRecordFile(const QString& fileName);

    void RecordButtonClick();
    void StopButtonClick();
    void PlayButtonClick();
    QString Status() const;

protected:
    void done(int result) override;

private:
    void OnWaveOutOpen();
    void OnWaveOutDone();
    void OnWaveInOpen();
    void OnWaveInClose();
    void SetButtons(bool record, bool stop, bool play, bool ok);
    bool SaveRecording();
    void ShowProgress();

    std::unique_ptr<Ui::TRecordWaveForm> ui;
    CtWaveCallbacks m_callbacks;
    CtWave m_wave;
    QTimer m_progress;
    QString m_file;
    bool m_closing = false;
};
