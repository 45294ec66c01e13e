// The modem's byte stream as the line reads it: result lines and unsolicited lines, caller ID
// blocks (formatted and unformatted), <DLE> events and shielded voice data. The first byte of
// the input picks where the stream switches into voice data and back.

#include "platform/telephony/callerid.h"
#include "platform/telephony/dlecodec.h"
#include "platform/telephony/modemchannel.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const QByteArray stream(reinterpret_cast<const char*>(data) + 1, qsizetype(size - 1));
    const qsizetype switchAt = stream.isEmpty() ? 0 : data[0] % stream.size();
    TModemChannel channel;
    TCallerIdAssembler callerId;
    qsizetype audio = 0;
    QObject::connect(&channel, &TModemChannel::Line, [&](const QByteArray& line) {
        TModemChannel::IsFinal(line);
        if (callerId.Take(line) && callerId.Complete()) callerId.Finish();
    });
    TDleDecoder& decoder = channel.Decoder();
    decoder.OnAudio = [&](const QByteArray& bytes) { audio += bytes.size(); };
    decoder.OnEndOfData = [&] { decoder.SetReceiving(false); };
    decoder.Feed(stream.left(switchAt));
    decoder.SetReceiving(data[0] & 0x80);
    decoder.Feed(stream.mid(switchAt));
    if (callerId.HasData()) callerId.Finish();
    QByteArray number, name;
    TCallerIdAssembler::DecodeHex(stream, &number, &name);
    return 0;
}
