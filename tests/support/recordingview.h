#pragma once
// Test doubles for what surrounds the session's parts: a view that records, one line each,
// what it was asked to do, and a line source that hands out the test's own TTapi.

#include <QStringList>

#include "calls/callhandler.h"
#include "calls/sessionview.h"
#include "outgoing/outgoingqueue.h"
#include "store/calllog.h"

class TRecordingView : public TSessionView {
public:
    QStringList Asked;     // "PlayGreeting", "row SMITH J", "status Calling ...", ...
    QStringList PortData;  // lines written while the port data window shows
    bool PortDataShown = false;
    bool StopListeningPasses = true;  // the password guard's answer

    bool PortDataVisible() const override { return PortDataShown; }
    void PortDataLine(const QString& line) override { PortData << line; }
    void RestoreWindow() override { Asked << "RestoreWindow"; }
    void ShowWindow() override { Asked << "ShowWindow"; }
    void ShowCallerPopup(const QString& text) override { Asked << "popup " + text; }
    void HistoryRowAdded(CallLogRecord* record) override { Asked << "row " + record->Name; }
    void CallControlsChanged() override {}
    void ConnectionChanged() override { Asked << "ConnectionChanged"; }
    void PagingStatusChanged() override {}
    void CallStatus(const QString& text) override { Asked << "status " + text; }
    void StartLineClosedTimer() override { Asked << "LineClosedTimer"; }
    void StoreGeometry(TConfig&) override {}
    void PlayGreeting() override { Asked << "PlayGreeting"; }
    void TakeMessage() override { Asked << "TakeMessage"; }
    void CallerGone() override { Asked << "CallerGone"; }
    void HangingUp() override { Asked << "HangingUp"; }
    void CallEnded() override { Asked << "CallEnded"; }
    void HistoryChanged() override {}
    void RemoteAccessChanged() override { Asked << "RemoteAccessChanged"; }
    void StartRemoteRetrieval() override { Asked << "StartRemoteRetrieval"; }
    void RemoteCommand(int code) override { Asked << "remote " + QString::number(code); }
    bool StopListeningAllowed() override {
        Asked << "StopListeningAllowed";
        return StopListeningPasses;
    }
};

// The line a test holds, for the call handler and the outgoing queue.
class TTestLines : public TLineSource, public TOutgoingHost {
public:
    explicit TTestLines(TRecordingView& view) : m_view(view) {}
    TTapi* Line = nullptr;
    int Opened = 0;
    TTapi* CurrentLine() override { return Line; }
    void LineOpened() override { ++Opened; }
    void CallStatus(const QString& text) override { m_view.CallStatus(text); }
    void PortDataLine(const QString& text) override { m_view.PortDataLine(text); }
    void HangingUp() override { m_view.HangingUp(); }

private:
    TRecordingView& m_view;
};
