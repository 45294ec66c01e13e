#include "platform/telephony/lineservice.h"

#include <QMetaObject>

class TLineService::OpenLineEntry : public TLineEventSink {
public:
    OpenLineEntry(TLineService* service, HLINE line, quint32 app, TLineDevice* device,
                  quintptr instance)
        : Service(service), Handle(line), AppHandle(app), Device(device), Instance(instance) {}
    HLINE Line() const override { return Handle; }
    HCALL NewCall() override {
        const HCALL call = Service->NextHandle();
        Service->m_calls.insert(call, Handle);
        return call;
    }
    void Post(quint32 hDevice, quint32 message, quintptr p1, quintptr p2, quintptr p3) override {
        TLineService* service = Service;
        const HLINE line = Handle;
        QMetaObject::invokeMethod(
            service, [=] { service->DeliverLine(line, hDevice, message, p1, p2, p3); },
            Qt::QueuedConnection);
    }

    TLineService* Service;
    HLINE Handle;
    quint32 AppHandle;
    TLineDevice* Device;
    quintptr Instance;
    quint32 StatusMask = 0;
};

class TLineService::OpenPhoneEntry : public TPhoneEventSink {
public:
    OpenPhoneEntry(TLineService* service, HPHONE phone, quint32 app, TLineDevice* device,
                   quintptr instance)
        : Service(service), Handle(phone), AppHandle(app), Device(device), Instance(instance) {}
    HPHONE Phone() const override { return Handle; }
    void Post(quint32 message, quintptr p1, quintptr p2, quintptr p3) override {
        TLineService* service = Service;
        const HPHONE phone = Handle;
        QMetaObject::invokeMethod(
            service, [=] { service->DeliverPhone(phone, message, p1, p2, p3); },
            Qt::QueuedConnection);
    }

    TLineService* Service;
    HPHONE Handle;
    quint32 AppHandle;
    TLineDevice* Device;
    quintptr Instance;
};

TLineService::TLineService() = default;
TLineService::~TLineService() = default;

// Closes every entry an application opened; close removes the entry from the map.
template <typename Map, typename Close>
void CloseAll(const Map& entries, quint32 app, Close close) {
    std::vector<quint32> handles;
    for (const auto& entry : entries)
        if (entry.second->AppHandle == app) handles.push_back(entry.first);
    for (quint32 handle : handles)
        close(handle);
}

TLineService& TLineService::Instance() {
    static TLineService service;
    return service;
}

void TLineService::Register(TLineProvider* provider) {
    if (!m_providers.contains(provider)) m_providers.append(provider);
}

void TLineService::Unregister(TLineProvider* provider) {
    if (!m_providers.removeOne(provider)) return;
    for (TLineDevice* device : provider->Devices())
        ForgetDevice(device);
}

void TLineService::ForgetDevice(TLineDevice* device) {
    for (auto it = m_lines.begin(); it != m_lines.end();) {
        if (it->second->Device == device) {
            device->Close();
            it = m_lines.erase(it);
        } else {
            ++it;
        }
    }
    for (auto it = m_phones.begin(); it != m_phones.end();) {
        if (it->second->Device == device) {
            device->ClosePhone();
            it = m_phones.erase(it);
        } else {
            ++it;
        }
    }
    for (TLineDevice*& listed : m_devices)
        if (listed == device) listed = nullptr;
}

// The device list is taken anew only while no application holds it, so that the device IDs
// an application was given stay valid.
void TLineService::Enumerate() {
    if (!m_apps.isEmpty()) return;
    m_devices.clear();
    for (TLineProvider* provider : std::as_const(m_providers))
        for (TLineDevice* device : provider->Devices()) {
            device->DeviceId = static_cast<quint32>(m_devices.size());
            m_devices.append(device);
        }
}

qint32 TLineService::InitializeApp(quint32* app, LINECALLBACK callback, quint32* numDevs) {
    if (!app || !callback || !numDevs) return LINEERR_INVALPOINTER;
    Enumerate();
    *app = NextHandle();
    m_apps.insert(*app, App{callback});
    *numDevs = static_cast<quint32>(m_devices.size());
    return 0;
}

qint32 TLineService::ShutdownLineApp(HLINEAPP app) {
    if (!m_apps.contains(app)) return LINEERR_INVALAPPHANDLE;
    CloseAll(m_lines, app, [this](HLINE line) { CloseLine(line); });
    m_apps.remove(app);
    return 0;
}

qint32 TLineService::ShutdownPhoneApp(HPHONEAPP app) {
    if (!m_apps.contains(app)) return PHONEERR_INVALAPPHANDLE;
    CloseAll(m_phones, app, [this](HPHONE phone) { ClosePhone(phone); });
    m_apps.remove(app);
    return 0;
}

TLineDevice* TLineService::Device(quint32 app, quint32 deviceId, qint32* error, bool phone) {
    if (!m_apps.contains(app)) {
        *error = phone ? PHONEERR_INVALAPPHANDLE : LINEERR_INVALAPPHANDLE;
        return nullptr;
    }
    TLineDevice* device = deviceId < quint32(m_devices.size()) ? m_devices[deviceId] : nullptr;
    if (!device) *error = phone ? PHONEERR_BADDEVICEID : LINEERR_BADDEVICEID;
    return device;
}

qint32 TLineService::Negotiate(quint32 app, quint32 deviceId, quint32 low, quint32 high,
                               quint32* version, bool phone) {
    qint32 error = 0;
    if (!Device(app, deviceId, &error, phone)) return error;
    if (!version) return phone ? PHONEERR_INVALPOINTER : LINEERR_INVALPOINTER;
    if (low > TAPI_VERSION_1_4 || high < TAPI_VERSION_1_4)
        return phone ? PHONEERR_INCOMPATIBLEAPIVERSION : LINEERR_INCOMPATIBLEAPIVERSION;
    *version = TAPI_VERSION_1_4;
    return 0;
}

qint32 TLineService::OpenLine(HLINEAPP app, quint32 deviceId, HLINE* line, quintptr instance,
                              quint32 mediaModes) {
    qint32 error = 0;
    TLineDevice* device = Device(app, deviceId, &error, false);
    if (!device) return error;
    if (!line) return LINEERR_INVALPOINTER;
    for (const auto& open : m_lines)
        if (open.second->Device == device) return LINEERR_ALLOCATED;
    const HLINE handle = NextHandle();
    auto entry = std::make_unique<OpenLineEntry>(this, handle, app, device, instance);
    const qint32 result = device->Open(entry.get(), mediaModes);
    if (result < 0) return result;
    m_lines[handle] = std::move(entry);
    *line = handle;
    return 0;
}

qint32 TLineService::CloseLine(HLINE line) {
    auto it = m_lines.find(line);
    if (it == m_lines.end()) return LINEERR_INVALLINEHANDLE;
    std::unique_ptr<OpenLineEntry> entry = std::move(it->second);
    m_lines.erase(it);
    for (auto call = m_calls.begin(); call != m_calls.end();)
        call = call.value() == line ? m_calls.erase(call) : std::next(call);
    entry->Device->Close();
    return 0;
}

qint32 TLineService::SetStatusMessages(HLINE line, quint32 lineStates) {
    auto it = m_lines.find(line);
    if (it == m_lines.end()) return LINEERR_INVALLINEHANDLE;
    it->second->StatusMask = lineStates;
    return 0;
}

TLineDevice* TLineService::LineDevice(HLINE line) {
    auto it = m_lines.find(line);
    return it == m_lines.end() ? nullptr : it->second->Device;
}

TLineDevice* TLineService::CallDevice(HCALL call) {
    return call && m_calls.contains(call) ? LineDevice(m_calls.value(call)) : nullptr;
}

qint32 TLineService::MakeCall(HLINE line, HCALL* call, const QByteArray& number,
                              const LINECALLPARAMS& params) {
    TLineDevice* device = LineDevice(line);
    if (!device) return LINEERR_INVALLINEHANDLE;
    if (!call) return LINEERR_INVALPOINTER;
    const qint32 request = NextRequestId();
    const qint32 result = device->MakeCall(request, number, params, call);
    return result < 0 ? result : request;
}

qint32 TLineService::OpenPhone(HPHONEAPP app, quint32 deviceId, HPHONE* phone, quintptr instance) {
    qint32 error = 0;
    TLineDevice* device = Device(app, deviceId, &error, true);
    if (!device) return error;
    if (!phone) return PHONEERR_INVALPOINTER;
    for (const auto& open : m_phones)
        if (open.second->Device == device) return PHONEERR_ALLOCATED;
    const HPHONE handle = NextHandle();
    auto entry = std::make_unique<OpenPhoneEntry>(this, handle, app, device, instance);
    const qint32 result = device->OpenPhone(entry.get());
    if (result < 0) return result;
    m_phones[handle] = std::move(entry);
    *phone = handle;
    return 0;
}

qint32 TLineService::ClosePhone(HPHONE phone) {
    auto it = m_phones.find(phone);
    if (it == m_phones.end()) return PHONEERR_INVALPHONEHANDLE;
    TLineDevice* device = it->second->Device;
    m_phones.erase(it);
    device->ClosePhone();
    return 0;
}

TLineDevice* TLineService::PhoneDevice(HPHONE phone) {
    auto it = m_phones.find(phone);
    return it == m_phones.end() ? nullptr : it->second->Device;
}

qint32 TLineService::NextRequestId() {
    const qint32 id = m_nextRequest;
    m_nextRequest = m_nextRequest == 0x7FFFFFFF ? 1 : m_nextRequest + 1;
    return id;
}

void TLineService::DeliverLine(HLINE line, quint32 hDevice, quint32 message, quintptr p1,
                               quintptr p2, quintptr p3) {
    auto it = m_lines.find(line);
    if (it == m_lines.end()) return;
    const OpenLineEntry& entry = *it->second;
    if (message == LINE_LINEDEVSTATE &&
        !(p1 & (entry.StatusMask | LINEDEVSTATE_REINIT | LINEDEVSTATE_CAPSCHANGE)))
        return;
    const LINECALLBACK callback = m_apps.value(entry.AppHandle).Callback;
    if (callback) callback(hDevice, message, entry.Instance, p1, p2, p3);
}

void TLineService::DeliverPhone(HPHONE phone, quint32 message, quintptr p1, quintptr p2,
                                quintptr p3) {
    auto it = m_phones.find(phone);
    if (it == m_phones.end()) return;
    const LINECALLBACK callback = m_apps.value(it->second->AppHandle).Callback;
    if (callback) callback(phone, message, it->second->Instance, p1, p2, p3);
}

void RegisterLineProvider(TLineProvider* provider) {
    TLineService::Instance().Register(provider);
}

void UnregisterLineProvider(TLineProvider* provider) {
    TLineService::Instance().Unregister(provider);
}
