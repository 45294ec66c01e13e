#pragma once
// One fake line, "Fake", opened through a TTapi as the program opens its modem: the tests of
// the call handler, the answering window, the remote player and the outgoing queue drive it
// (offer, ring, caller ID, state changes) and read back what was asked of it.

#include <QByteArray>
#include <QList>
#include <QPair>
#include <memory>

#include "platform/telephony/fakeline.h"
#include "telephony/ttapi.h"

class TFakeLineFixture {
public:
    ~TFakeLineFixture() { Close(); }

    // A new line with the device ids given (class, id), opened with the events; 0 when open.
    int Open(TTapiEvents* events, const QList<QPair<QByteArray, quint32>>& ids = {}) {
        Prepare(events, ids);
        return OpenLine();
    }
    // The same in two steps, for an owner that must know its TTapi before the line opens (the
    // open already reports what the modem can do).
    TTapi* Prepare(TTapiEvents* events, const QList<QPair<QByteArray, quint32>>& ids = {}) {
        Close();
        m_provider = std::make_unique<TFakeLineProvider>();
        m_line = m_provider->AddLine(QStringLiteral("Fake"));
        for (const auto& [deviceClass, id] : ids)
            m_line->SetId(deviceClass, id, STRINGFORMAT_BINARY);
        m_tapi = std::make_unique<TTapi>(1);
        if (events) m_tapi->Events = events;  // else the default table
        m_tapi->InitLine();
        m_tapi->InitPhone();
        return m_tapi.get();
    }
    int OpenLine() { return m_tapi->OpenLine(0, nullptr); }
    void Close() {
        m_tapi.reset();
        m_provider.reset();
        m_line = nullptr;
    }
    TFakeLine* Line() const { return m_line; }
    TTapi* Tapi() const { return m_tapi.get(); }

private:
    std::unique_ptr<TFakeLineProvider> m_provider;
    TFakeLine* m_line = nullptr;
    std::unique_ptr<TTapi> m_tapi;
};
