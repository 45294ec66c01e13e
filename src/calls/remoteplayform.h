#pragma once
// TRemotePlayForm ("Remote Messenger"): plays the new messages to a caller who keyed the access
// code, on the modem's voice channel. Each entry plays an announcement, the message and a menu
// prompt and then waits for a key; the keys (or the window's buttons) replay the entry or move
// to the next or previous one. Ten seconds without a key after an entry, or the end of the
// list, close the window, and closing it hangs up.

#include <QDialog>
#include <QTimer>
#include <memory>
#include <vector>

#include "audio/ctwave.h"
#include "calls/sessionview.h"

class TCallLog;
class TPhoneBook;

namespace Ui {
class TRemotePlayForm;
}

// One row of the list: what is shown and the three sounds of its stages.
struct RemoteMessageEntry {
    int Stage = 0;  // 0 announcement, 1 message, 2 menu, 3 or more: played, waiting
    QString Caller;
    QString CalledFrom;
    QString When;
    QString AnnounceFile;
    QString MessageFile;
    QString MenuFile;
};

class TRemotePlayForm : public QDialog {
    Q_OBJECT
public:
    static int WaitMs;  // how long an entry that has played waits for a key

    TRemotePlayForm(TRemotePlayerListener& listener, QWidget* parent = nullptr);
    ~TRemotePlayForm() override;

    // The modem's voice channel.
    quint32 Device = 0;

    // The new messages of the call history, oldest first, each announced by its number, and
    // the closing "No more messages" entry.
    static std::vector<RemoteMessageEntry> NewMessages(TCallLog& log, const TPhoneBook& book,
                                                       const QString& menu);
    // The menu prompt for the chosen keys: the shipped one names 1, 2 and 3; for other keys
    // one is put together from spoken pieces ("System Sounds/menu-keys.wav").
    static QString MenuFor(char again, char previous, char next);

    // Appends a row; the current entry becomes the first.
    void AddRemoteMessage(const RemoteMessageEntry& entry);
    void RemoteCommand(int code);

    int CurrentIndex() const { return m_index; }
    int Rows() const { return int(m_entries.size()); }
    const RemoteMessageEntry& Entry(int row) const { return m_entries[size_t(row)]; }
    QString CurrentFile() const { return m_file; }
    QString Status() const;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void Play();
    void SetCurrentFile(const QString& file);
    void Wait();
    void OnWaveOutOpen();
    void OnWaveOutDone();
    void OnPosition();
    void PlayButtonClick();

    std::unique_ptr<Ui::TRemotePlayForm> ui;
    TRemotePlayerListener& m_listener;
    CtWaveCallbacks m_callbacks;
    CtWave m_wave;
    std::vector<RemoteMessageEntry> m_entries;
    int m_mode = 0;
    int m_index = 0;  // 1-based
    qint64 m_fileSize = 0;
    QString m_file;
    bool m_closed = false;
    QTimer m_positionTimer;
    QTimer m_waitTimer;
};
