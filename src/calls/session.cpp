#include "calls/session.h"

#include <QDebug>

#include "platform/atomicfile.h"
#include "platform/clock.h"
#include "platform/profile.h"
#include "platform/tfile.h"
#include "store/messagefile.h"

TSession::TSession(TSessionView& view)
    : m_view(view),
      m_outgoing(m_config, m_outgoingHistory, *this),
      m_calls(m_config, m_callLog, m_phoneBook, m_outgoing, *this, view),
      m_connection(m_config, m_calls, view),
      m_mailer(m_callLog, m_phoneBook, m_calls) {}

TSession::~TSession() = default;

bool TSession::Load() {
    const bool valid = m_configFile.LoadConfig(m_config);
    m_config.MaxItems = m_config.ClampedMaxItems();
    TFile folders;
    for (const char* folder : {"Messages", "Greetings", "Personal Sounds", "System Sounds"})
        folders.MakeDirectory(TProfile::Path(QLatin1String(folder)));
    // This program alone has the folder: what a killed one was writing is of no use.
    RemoveStaleTemporaries(TProfile::Folder());
    RemoveStaleTemporaries(TProfile::Path(QStringLiteral("Messages")));
    // A message cut short by a kill or a power cut is kept with what it holds.
    RecoverMessageFiles(TCallLog::MessagesFolder());
    m_callLog.LoadCallLog(m_config.MaxItems);
    m_outgoingHistory.LoadOutgoingHistory();
    m_phoneBook.LoadPhoneBook();
    m_mailer.Start();  // what the outbox still holds goes out
    return valid;
}

void TSession::Tick() {
    m_outgoing.Tick();
    m_connection.ReconnectCheck();
    if (m_calls.RemoteAccessLockEnded()) m_connection.UpdateConnectionStatus();
    m_mailer.Tick(TClock::Now());
}

void TSession::SaveAll() {
    if (m_saved) return;
    m_saved = true;
    m_connection.Disconnect();
    SaveData();
}

void TSession::SaveData() {
    QString problem;  // a data folder deleted under the program is made again to save into
    if (!TProfile::Prepare(TProfile::Folder(), &problem))
        qWarning().noquote() << "The data folder cannot be made again:" << problem;
    SaveConfig();
    m_callLog.SaveCallLog();
    m_phoneBook.SavePhoneBook();
    m_outgoingHistory.SaveOutgoingHistory();
}

bool TSession::ApplySettings() {
    m_config.MaxItems = m_config.ClampedMaxItems();
    SaveConfig();
    return Line() && Line()->LineName != m_config.SelectPortBox;
}

// The window's place and the lists' column widths are brought up to date before each save.
void TSession::SaveConfig() {
    m_view.StoreGeometry(m_config);
    m_configFile.SaveConfig(m_config);
}

void TSession::PortDataLine(const QString& text) {
    if (m_view.PortDataVisible()) m_view.PortDataLine(text);
}
