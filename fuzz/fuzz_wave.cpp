// A wave file as the program loads a greeting, a sound or a message (the RIFF chunks, the
// format block and the samples), then turned into the 8 kHz form a modem plays.

#include "audio/ctwave.h"
#include "fuzzfolder.h"
#include "platform/wave/converter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzFolder().Write(QStringLiteral("sound.wav"), data, size);
    CtWave wave(nullptr);
    if (!wave.Load(FuzzFolder().Path(QStringLiteral("sound.wav")))) return 0;
    WAVEFORMATEX format;
    if (!WAVEFORMATEX::FromBlock(wave.Format(), &format) || !TWaveConverter::Supported(format))
        return 0;
    // Short files only: a long one costs the fuzzer time and finds nothing a short one does not.
    if (wave.Data().size() > 64 * 1024 || format.nSamplesPerSec > 192000) return 0;
    TWaveConverter converter(format, WAVEFORMATEX::Pcm(8000, 8, 1));
    if (converter.Valid()) {
        const QByteArray& samples = wave.Data();
        converter.Convert(samples.left(samples.size() / 2));
        converter.Convert(samples.mid(samples.size() / 2), true);
    }
    return 0;
}
