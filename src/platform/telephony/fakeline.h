#pragma once
// An in-process, scriptable line provider for tests. A test adds line devices with chosen
// names and capabilities, makes them deliver any message with any parameters, and reads back
// every operation the program asked of them. The provider joins the service while it lives.

#include <QHash>
#include <QMap>
#include <QStringList>
#include <memory>
#include <vector>

#include "platform/telephony/linedevice.h"

class TFakeLine : public TLineDevice {
public:
    explicit TFakeLine(const QString& name) : m_name(name) {}

    // Capabilities and results the test chooses.
    quint32 MediaModes = LINEMEDIAMODE_UNKNOWN | LINEMEDIAMODE_INTERACTIVEVOICE |
                         LINEMEDIAMODE_AUTOMATEDVOICE | LINEMEDIAMODE_DATAMODEM;
    bool HasPhone = true;
    QByteArray Problem;  // why the line cannot take calls, as its capabilities say
    quint32 SpeakerHookSwitchModes = PHONEHOOKSWITCHMODE_ONHOOK | PHONEHOOKSWITCHMODE_MICSPEAKER;
    // Result of an operation by its function name ("lineOpen", "lineAnswer", ...); 0 if unset.
    QHash<QString, qint32> Results;
    // Asynchronous operations report success at once.
    bool AutoReply = true;
    // Answers of lineGetID by device class.
    QHash<QByteArray, VARSTRING> Ids;
    void SetId(const QByteArray& deviceClass, quint32 id, quint32 format);

    // Every operation asked of the device, in order, with its arguments.
    QStringList Ops;
    int Count(const QString& op) const;
    bool IsOpen() const { return m_sink != nullptr; }
    bool IsPhoneOpen() const { return m_phoneSink != nullptr; }
    quint32 OpenMediaModes = 0;
    QByteArray LastNumber;
    LINECALLPARAMS LastParams;
    QList<qint32> Requests;  // request IDs handed to asynchronous operations, in order

    // Scripting the line. Each posts its message through the event loop.
    HCALL Offer(quint32 privilege = LINECALLPRIVILEGE_OWNER);
    void Ring();
    void CallerId(HCALL call, quint32 flags, const QByteArray& number, const QByteArray* name);
    void State(HCALL call, quint32 state, quint32 privilege = 0, quint32 mode = 0);
    void Digit(HCALL call, char digit);
    void Reply(qint32 requestId, qint32 result);
    void SendLineClose();  // the service closes the line under the program
    void Post(quint32 hDevice, quint32 message, quintptr p1, quintptr p2 = 0, quintptr p3 = 0);
    void PhonePost(quint32 message, quintptr p1, quintptr p2 = 0, quintptr p3 = 0);
    HLINE Line() const { return m_sink ? m_sink->Line() : 0; }
    LINECALLSTATUS& Status(HCALL call) { return m_calls[call].Status; }
    LINECALLINFO& Info(HCALL call) { return m_calls[call].Info; }

    // TLineDevice
    QString Name() const override { return m_name; }
    qint32 GetDevCaps(LINEDEVCAPS* caps) override;
    qint32 Open(TLineEventSink* sink, quint32 mediaModes) override;
    void Close() override;
    qint32 GetCallInfo(HCALL call, LINECALLINFO* info) override;
    qint32 GetCallStatus(HCALL call, LINECALLSTATUS* status) override;
    qint32 Accept(HCALL call, qint32 requestId) override;
    qint32 Answer(HCALL call, qint32 requestId) override;
    qint32 MonitorDigits(HCALL call, quint32 digitModes) override;
    qint32 Drop(HCALL call, qint32 requestId) override;
    qint32 MakeCall(qint32 requestId, const QByteArray& number, const LINECALLPARAMS& params,
                    HCALL* call) override;
    qint32 GetID(HCALL call, quint32 select, const QByteArray& deviceClass, VARSTRING* id) override;
    qint32 GetPhoneCaps(PHONECAPS* caps) override;
    qint32 OpenPhone(TPhoneEventSink* sink) override;
    void ClosePhone() override;
    qint32 SetHookSwitch(qint32 requestId, quint32 devices, quint32 mode) override;

private:
    struct Call {
        LINECALLINFO Info;
        LINECALLSTATUS Status;
    };
    qint32 Result(const QString& op, const QString& logged);
    qint32 Async(const QString& op, const QString& logged, qint32 requestId);
    HCALL NewCall(quint32 state);

    QString m_name;
    TLineEventSink* m_sink = nullptr;
    TPhoneEventSink* m_phoneSink = nullptr;
    QMap<HCALL, Call> m_calls;
};

class TFakeLineProvider : public TLineProvider {
public:
    TFakeLineProvider() { RegisterLineProvider(this); }
    ~TFakeLineProvider() override { UnregisterLineProvider(this); }
    TFakeLine* AddLine(const QString& name);
    QList<TLineDevice*> Devices() override;

private:
    std::vector<std::unique_ptr<TFakeLine>> m_lines;
};
