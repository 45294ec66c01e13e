#pragma once
// The modem simulator as the modem "Sim" of a lines.conf under a test's home folder, opened
// through a TTapi as the program opens its modem. Every line event is kept as "code:text"
// and every caller ID as "flags|name|number". The test points XDG_CONFIG_HOME and the port
// lock folder into its home first.

#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTest>
#include <memory>

#include "platform/telephony/v253line.h"
#include "simulator.h"
#include "telephony/ttapi.h"

class TSimulatedLine {
public:
    explicit TSimulatedLine(const QString& home) : m_home(home) {
        m_table.OnLineEvent = [this](int code, const QString& text) {
            Events << QString::number(code) + ":" + text;
        };
        m_table.OnCallerId = [this](quint32 flags, const QString& name, const QString& number) {
            CallerIds << QString::number(flags) + "|" + name + "|" + number;
        };
    }
    ~TSimulatedLine() { Close(); }

    QStringList Events;
    QStringList CallerIds;

    // Starts a simulator with the options and readies a TTapi that lists it: its line id, or
    // below 0 when the simulator did not start or is not listed.
    int Start(const QStringList& options = {}) {
        Close();
        m_sim = std::make_unique<TSimulator>(options);
        if (m_sim->Device.isEmpty() || !m_sim->WriteLinesConf(m_home, "Sim")) return -1000;
        m_provider = std::make_unique<TV253Provider>();
        m_provider->ByIdFolder = QDir(m_home).filePath("no-by-id");
        m_tapi = std::make_unique<TTapi>(1);
        m_tapi->Events = &m_table;
        m_tapi->InitLine();
        m_tapi->InitPhone();
        const int id = m_tapi->FindLineDevice("Sim");
        return id < 0 ? -2000 : id;
    }
    // Opens the started line; 0 once it is open and the modem has said what it can do (the
    // set-up goes on after the open returns).
    int Open(QString* text = nullptr) {
        QString ignored;
        const int opened =
            m_tapi->OpenLine(quint32(m_tapi->FindLineDevice("Sim")), text ? text : &ignored);
        if (opened == 0)
            (void)QTest::qWaitFor(
                [&] { return Seen("5016:Modem capabilities known") || Seen("3:Line Close"); },
                5000);
        return opened;
    }
    int Connect(const QStringList& options = {}) {
        const int id = Start(options);
        return id < 0 ? id : Open();
    }
    // True when the event has come, or comes within ms.
    bool Saw(const QString& event, int ms = 5000) {
        return Seen(event) || (ms > 0 && QTest::qWaitFor([&] { return Seen(event); }, ms));
    }
    // The line, its provider and the simulator, gone; the port locks removed.
    void Close() {
        m_tapi.reset();
        m_provider.reset();
        m_sim.reset();
        const QDir locks(QDir(m_home).filePath("locks"));
        for (const QString& name : locks.entryList(QDir::Files))
            QFile::remove(locks.filePath(name));
    }
    TSimulator* Sim() const { return m_sim.get(); }
    TTapi* Tapi() const { return m_tapi.get(); }

private:
    bool Seen(const QString& event) const { return Events.contains(event); }

    QString m_home;
    TTapiEvents m_table;
    std::unique_ptr<TSimulator> m_sim;
    std::unique_ptr<TV253Provider> m_provider;
    std::unique_ptr<TTapi> m_tapi;
};
