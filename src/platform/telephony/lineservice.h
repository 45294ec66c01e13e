#pragma once
// The telephony service behind the line-device functions: it lists the providers' devices,
// hands out application, line, call, phone and request handles, routes operations to the
// devices and delivers their messages to the program's callbacks through the event loop.
// A message whose line, phone or application has gone by delivery time is dropped.

#include <QHash>
#include <QObject>
#include <map>
#include <memory>

#include "platform/telephony/linedevice.h"

class TLineService : public QObject {
    Q_OBJECT
public:
    static TLineService& Instance();
    TLineService();
    ~TLineService() override;

    void Register(TLineProvider* provider);
    void Unregister(TLineProvider* provider);

    qint32 InitializeApp(quint32* app, LINECALLBACK callback, quint32* numDevs);
    qint32 ShutdownLineApp(HLINEAPP app);
    qint32 ShutdownPhoneApp(HPHONEAPP app);
    qint32 Negotiate(quint32 app, quint32 deviceId, quint32 low, quint32 high, quint32* version,
                     bool phone);
    TLineDevice* Device(quint32 app, quint32 deviceId, qint32* error, bool phone);

    qint32 OpenLine(HLINEAPP app, quint32 deviceId, HLINE* line, quintptr instance,
                    quint32 mediaModes);
    qint32 CloseLine(HLINE line);
    qint32 SetStatusMessages(HLINE line, quint32 lineStates);
    TLineDevice* LineDevice(HLINE line);
    TLineDevice* CallDevice(HCALL call);
    qint32 MakeCall(HLINE line, HCALL* call, const QByteArray& number,
                    const LINECALLPARAMS& params);

    qint32 OpenPhone(HPHONEAPP app, quint32 deviceId, HPHONE* phone, quintptr instance);
    qint32 ClosePhone(HPHONE phone);
    TLineDevice* PhoneDevice(HPHONE phone);

    qint32 NextRequestId();

private:
    class OpenLineEntry;
    class OpenPhoneEntry;
    struct App {
        LINECALLBACK Callback = nullptr;
    };

    void Enumerate();
    quint32 NextHandle() { return m_nextHandle == 0 ? (m_nextHandle = 2, 1) : m_nextHandle++; }
    void DeliverLine(HLINE line, quint32 hDevice, quint32 message, quintptr p1, quintptr p2,
                     quintptr p3);
    void DeliverPhone(HPHONE phone, quint32 message, quintptr p1, quintptr p2, quintptr p3);
    void ForgetDevice(TLineDevice* device);

    QList<TLineProvider*> m_providers;
    QList<TLineDevice*> m_devices;  // the list the apps were given; a gone device is null
    QHash<quint32, App> m_apps;
    std::map<HLINE, std::unique_ptr<OpenLineEntry>> m_lines;
    QHash<HCALL, HLINE> m_calls;
    std::map<HPHONE, std::unique_ptr<OpenPhoneEntry>> m_phones;
    quint32 m_nextHandle = 0x10001;
    qint32 m_nextRequest = 1;
};
