#include "audio/ctwave.h"

#include <QLoggingCategory>
#include <QtEndian>

#include "platform/prompts.h"
#include "platform/tfile.h"
#include "platform/wave/riff.h"

Q_LOGGING_CATEGORY(lcWave, "ringvale.wave", QtWarningMsg)

namespace {
QByteArray Le32(quint32 value) {
    QByteArray bytes(4, '\0');
    qToLittleEndian(value, bytes.data());
    return bytes;
}

// The mode flag of every open: a specific device still goes through the mapper.
quint32 ModeFor(int device) {
    return device == WAVE_MAPPER ? 0u : quint32(WAVE_MAPPED);
}
}  // namespace

void TInvisibleWindow::Deliver(quint32 message, quint32 handle) {
    m_sink->WindowProc(message, handle);
}

CtWave::CtWave(const CtWaveCallbacks* callbacks) : m_pCallbacks(callbacks) {}

CtWave::~CtWave() {
    Clear();
}

void CtWave::Log(const QString& text) {
    m_lastLog = text;
    qCDebug(lcWave).noquote() << text.trimmed();
}

QByteArray CtWave::RecordingFormat() {
    const WAVEFORMATEX f = WAVEFORMATEX::Pcm(kRecordRate, 8, 1);
    QByteArray block(int(kRecordFormatSize), '\0');
    qToLittleEndian(f.wFormatTag, block.data());
    qToLittleEndian(f.nChannels, block.data() + 2);
    qToLittleEndian(f.nSamplesPerSec, block.data() + 4);
    qToLittleEndian(f.nAvgBytesPerSec, block.data() + 8);
    qToLittleEndian(f.nBlockAlign, block.data() + 12);
    qToLittleEndian(f.wBitsPerSample, block.data() + 14);
    return block;  // cbSize 0
}

void CtWave::ReportError(MMRESULT code, const QString& operation, const QString& reason) {
    const QString why = reason.isNull() ? waveOutGetErrorText(code) : reason;
    m_errorText =
        (QStringLiteral("Sound error during ") + operation + QStringLiteral("\rReason:") + why)
            .left(255);
    if (m_owner) Prompts().MessageBox(m_errorText, QStringLiteral("CtWave Error"), prompt::MB_OK);
}

bool CtWave::Load(const QString& fileName) {
    Clear();
    TRiffReader riff;
    if (!riff.Open(fileName)) {
        ReportError(MMIOERR_CANNOTOPEN, QStringLiteral("mmioOpen()"),
                    QStringLiteral("Failed to open file: "));
        return false;
    }
    if (const int error = riff.DescendRiff("WAVE")) {
        ReportError(MMRESULT(error), QStringLiteral("mmioDescend"), TRiffReader::ErrorText(error));
        return false;
    }
    qint64 at = 0;
    quint32 size = 0;
    if (const int error = riff.FindChunk("fmt ", &at, &size)) {
        // A chunk that claims more than the file holds is a short read.
        if (error == MMIOERR_CANNOTREAD)
            Log(QStringLiteral("mmioRead() -- Failed to read FMT chunk\n"));
        else
            ReportError(MMRESULT(error), QStringLiteral("mmioDescend"),
                        TRiffReader::ErrorText(error));
        return false;
    }
    const QByteArray format = riff.Read(at, size);
    if (qsizetype(size) != format.size()) {
        Log(QStringLiteral("mmioRead() -- Failed to read FMT chunk\n"));
        return false;
    }
    if (const int error = riff.FindChunk("data", &at, &size)) {
        if (error == MMIOERR_CANNOTREAD)
            Log(QStringLiteral("mmioRead() -- Failed to read waveform data subchunk\n"));
        else
            ReportError(MMRESULT(error), QStringLiteral("mmioDescend"),
                        TRiffReader::ErrorText(error));
        return false;
    }
    if (size == 0) {
        Log(QStringLiteral("Data chunk actually has no data\n"));
        return false;
    }
    const QByteArray data = riff.Read(at, size);
    if (qsizetype(size) != data.size()) {
        Log(QStringLiteral("mmioRead() -- Failed to read waveform data subchunk\n"));
        return false;
    }
    m_format = format;
    m_data = data;
    m_nRecordedSize = size;
    return true;
}

bool CtWave::Save(const QString& fileName) {
    if (m_data.isNull()) return false;
    TFile file;
    if (file.Open(fileName, TFile::ModeRewrite) < 0) {
        Log(QStringLiteral("CreateFile() -- Can't open file: ") + fileName + QStringLiteral("\n"));
        return false;
    }
    const quint32 formatSize = quint32(m_format.size());
    const QByteArray samples = m_data.left(m_nRecordedSize);
    const struct {
        QByteArray Bytes;
        const char* Failure;
    } parts[] = {
        {"RIFF" + Le32(formatSize + m_nRecordedSize + 20) + "WAVE", "Can't write RIFF chunk\n"},
        {"fmt " + Le32(formatSize), "Can't write fmt chunk\n"},
        {m_format, "Can't write WAVEFORMATEX chunk\n"},
        {"data" + Le32(m_nRecordedSize), "Can't write data chunk tag\n"},
        {samples, "Can't write data chunk\n"},
    };
    for (const auto& part : parts) {
        if (file.Write(part.Bytes.constData(), part.Bytes.size()) != part.Bytes.size()) {
            Log(QLatin1String(part.Failure));
            return false;  // what was written stays
        }
    }
    // On the disk before anyone is told the file is complete.
    if (!file.Flush()) {
        Log(QStringLiteral("Can't flush file: ") + fileName + QStringLiteral("\n"));
        return false;
    }
    return true;
}

bool CtWave::CreateWindow() {
    if (!m_Window) m_Window = std::make_unique<TInvisibleWindow>(this);
    return m_Window != nullptr;
}

TWaveCallback CtWave::Callback() {
    TInvisibleWindow* window = m_Window.get();
    return TWaveCallback{
        window, [window](quint32 message, quint32 handle) { window->Deliver(message, handle); }};
}

bool CtWave::Play(int device, bool loop) {
    return StartPlayback(device, 0, loop, false);
}

bool CtWave::PlayFrom(int device, int offset) {
    return StartPlayback(device, quint32(qBound(0, offset, int(m_nRecordedSize))), false, true);
}

bool CtWave::StartPlayback(int device, quint32 offset, bool loop, bool from) {
    if (m_data.isNull()) return false;
    m_nStartOffset = 0;
    Stop();
    WAVEFORMATEX format;
    WAVEFORMATEX::FromBlock(m_format, &format);
    if (const MMRESULT error =
            waveOutOpen(nullptr, device, &format, nullptr, ModeFor(device) | WAVE_FORMAT_QUERY)) {
        ReportError(error, QStringLiteral("Open sound device"));
        return false;
    }
    if (!CreateWindow()) {
        if (from)
            ReportError(MMSYSERR_ERROR, QStringLiteral("Create window"),
                        QStringLiteral("Couldn't create window for callbacks"));
        else
            Log(QStringLiteral("Couldn't create window for callbacks\n"));
        return false;
    }
    const TWaveCallback callback = Callback();
    HWAVEOUT handle = 0;
    if (const MMRESULT error =
            waveOutOpen(&handle, device, &format, &callback, ModeFor(device) | CALLBACK_WINDOW)) {
        ReportError(
            error, from ? QStringLiteral("Open sound device") : QStringLiteral("Open wave device"));
        return false;
    }
    auto header = std::make_unique<WAVEHDR>();
    m_nStartOffset = qint32(offset);
    header->lpData = m_data.data() + offset;
    header->dwBufferLength = m_nRecordedSize - offset;
    if (loop) {
        header->dwFlags = WHDR_BEGINLOOP | WHDR_ENDLOOP;
        header->dwLoops = 0xFFFFFFFF;
    }
    MMRESULT error = waveOutPrepareHeader(handle, header.get());
    const bool prepared = error == MMSYSERR_NOERROR;
    if (prepared) error = waveOutWrite(handle, header.get());
    if (error != MMSYSERR_NOERROR) {
        ReportError(error, prepared && !from ? QStringLiteral("Wave out write")
                                             : QStringLiteral("Wave out prepare header"));
        waveOutUnprepareHeader(handle, header.get());
        waveOutClose(handle);
        return false;
    }
    m_pWaveHdr = std::move(header);
    m_hWaveOut = handle;
    return true;
}

bool CtWave::Record(int device, int nSecs) {
    Clear();
    if (nSecs < 1) return false;
    const QByteArray block = RecordingFormat();
    WAVEFORMATEX format;
    WAVEFORMATEX::FromBlock(block, &format);
    if (waveInOpen(nullptr, device, &format, nullptr, ModeFor(device) | WAVE_FORMAT_QUERY) !=
        MMSYSERR_NOERROR)
        return false;
    if (!CreateWindow()) {
        Log(QStringLiteral("Couldn't create window for callbacks\n"));
        return false;
    }
    const TWaveCallback callback = Callback();
    HWAVEIN handle = 0;
    if (const MMRESULT error =
            waveInOpen(&handle, device, &format, &callback, ModeFor(device) | CALLBACK_WINDOW)) {
        ReportError(error, QStringLiteral("Record open"));
        return false;
    }
    m_data = QByteArray(qsizetype(nSecs) * format.nSamplesPerSec * format.wBitsPerSample / 8, '\0');
    auto header = std::make_unique<WAVEHDR>();
    header->lpData = m_data.data();  // the device fills the held buffer itself
    header->dwBufferLength = quint32(m_data.size());
    if (waveInPrepareHeader(handle, header.get()) || waveInAddBuffer(handle, header.get()) ||
        waveInStart(handle)) {
        waveInReset(handle);
        waveInUnprepareHeader(handle, header.get());
        waveInClose(handle);
        m_data = QByteArray();
        return false;
    }
    m_hWaveIn = handle;
    m_nRecordedSize = 0;
    m_format = block;
    m_pWaveHdr = std::move(header);
    return true;
}

bool CtWave::Stop() {
    if (m_bStopping || !m_pWaveHdr) return true;
    m_bStopping = true;
    if (m_hWaveOut) {
        waveOutReset(m_hWaveOut);
        waveOutUnprepareHeader(m_hWaveOut, m_pWaveHdr.get());
        waveOutClose(m_hWaveOut);
        m_hWaveOut = 0;
    } else if (m_hWaveIn) {
        waveInReset(m_hWaveIn);
        waveInUnprepareHeader(m_hWaveIn, m_pWaveHdr.get());
        m_nRecordedSize = m_pWaveHdr->dwBytesRecorded;
        waveInClose(m_hWaveIn);
        m_hWaveIn = 0;
    }
    m_pWaveHdr.reset();
    m_bStopping = false;
    return true;
}

bool CtWave::Clear() {
    Stop();
    m_format.clear();
    m_data = QByteArray();
    m_nRecordedSize = 0;
    return true;
}

int CtWave::GetPosition() {
    if (!m_pWaveHdr || !m_hWaveOut) return 0;
    quint32 bytes = 0;
    if (waveOutGetPosition(m_hWaveOut, &bytes) != MMSYSERR_NOERROR) return 0;
    return int(bytes) + m_nStartOffset;
}

int CtWave::GetVolume(int device) {
    quint32 volume = 0;
    const MMRESULT error = m_hWaveOut ? waveOutGetVolume(m_hWaveOut, &volume)
                                      : waveOutGetDeviceVolume(device, &volume);
    if (error == MMSYSERR_NOERROR) return int(double((volume >> 16) & 0xFFFF) / 65535.0 * 100.0);
    ReportVolumeError(error);
    return -1;
}

bool CtWave::SetVolume(int target, int percent) {
    if (target != 2) return false;
    const quint32 value = quint32(percent * 0.01 * 65535) & 0xFFFF;
    const MMRESULT error = waveOutSetVolume(m_hWaveOut, value * 65537u);
    if (error == MMSYSERR_NOERROR) return true;
    ReportVolumeError(error);
    return false;
}

// Both directions report their failures under the one operation text "Get Volume".
void CtWave::ReportVolumeError(MMRESULT error) {
    if (error == MMSYSERR_INVALHANDLE)
        ReportError(error, QStringLiteral("Get Volume"),
                    QStringLiteral("The specified device handle is invalid."));
    else if (error == MMSYSERR_NODRIVER)
        ReportError(error, QStringLiteral("Get Volume"), QStringLiteral("No Driver"));
    else if (error == MMSYSERR_NOTSUPPORTED)
        ReportError(error, QStringLiteral("Get Volume"),
                    QStringLiteral("The function isn't supported."));
}

void CtWave::WindowProc(quint32 message, quint32 handle) {
    if (!m_pCallbacks) return;
    auto call = [](const std::function<void()>& f) {
        if (f) f();
    };
    switch (message) {
        case MM_WOM_OPEN:
            return call(m_pCallbacks->OnWaveOutOpen);
        case MM_WOM_CLOSE:
            return call(m_pCallbacks->OnWaveOutClose);
        case MM_WOM_DONE:
            if (handle == 0 || handle == m_hWaveOut) Stop();
            return call(m_pCallbacks->OnWaveOutDone);
        case MM_WIM_OPEN:
            return call(m_pCallbacks->OnWaveInOpen);
        case MM_WIM_CLOSE:
            return call(m_pCallbacks->OnWaveInClose);
        case MM_WIM_DATA:
            if (handle == 0 || handle == m_hWaveIn) Stop();
            return call(m_pCallbacks->OnWaveInData);
        default:
            return;
    }
}
