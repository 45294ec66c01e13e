#pragma once
// The program under its windows: the settings, the call log, the phone book, the placed-call
// history and the outgoing queue, the incoming call handler and the connection to the modem.
// It loads them at start-up, runs the steps of the two-second tick that draw nothing, and saves
// everything, and mails messages. The windows render it through TSessionView and forward the user's
// actions; a test can drive a whole call, the tick and the saving with no window at all.

#include "calls/callhandler.h"
#include "calls/connection.h"
#include "calls/mailer.h"
#include "calls/sessionview.h"
#include "outgoing/outgoingqueue.h"
#include "store/calllog.h"
#include "store/config.h"
#include "store/outgoinghistory.h"
#include "store/phonebook.h"

class TSession : private TLineSource, private TOutgoingHost {
public:
    explicit TSession(TSessionView& view);
    ~TSession() override;
    TSession(const TSession&) = delete;
    TSession& operator=(const TSession&) = delete;

    // Reads the settings and the lists and makes the four sound folders; false when there was
    // no valid settings file (a first start).
    bool Load();
    // The tick's steps that draw nothing: a due queued action, the call in progress, one due
    // outgoing call, then the reconnect check.
    void Tick();
    // Disconnects and saves everything, once (the end of the program).
    void SaveAll();
    // Saves the settings and the lists and stays connected.
    void SaveData();
    // The settings were changed: they are saved at once. True when the line is open on
    // another modem than the one now chosen (it stays open until the user reconnects).
    bool ApplySettings();

    TConfig& Config() { return m_config; }
    TCallLog& CallLog() { return m_callLog; }
    TPhoneBook& PhoneBook() { return m_phoneBook; }
    TOutgoingHistory& OutgoingHistory() { return m_outgoingHistory; }
    TOutgoingQueue& Outgoing() { return m_outgoing; }
    TCallHandler& Calls() { return m_calls; }
    TConnection& Connection() { return m_connection; }
    TMailer& Mailer() { return m_mailer; }
    TTapi* Line() { return m_connection.Line(); }

private:
    void SaveConfig();
    TTapi* CurrentLine() override { return Line(); }
    void LineOpened() override { m_connection.UpdateConnectionStatus(); }
    void CallStatus(const QString& text) override { m_view.CallStatus(text); }
    void PortDataLine(const QString& text) override;
    void HangingUp() override { m_view.HangingUp(); }

    TSessionView& m_view;
    TConfig m_config;
    TConfigFile m_configFile;
    TCallLog m_callLog;
    TPhoneBook m_phoneBook;
    TOutgoingHistory m_outgoingHistory;
    TOutgoingQueue m_outgoing;
    TCallHandler m_calls;
    TConnection m_connection;
    TMailer m_mailer;
    bool m_saved = false;
};
