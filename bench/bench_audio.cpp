// Rate conversion through the mapper: one minute of 11025 Hz 8-bit mono to the modem's
// 8000 Hz and back, in the 4 KB pieces the wave layer uses.

#include <benchmark/benchmark.h>

#include <cmath>

#include "platform/wave/converter.h"
#include "wavefile.h"

namespace {
QByteArray Minute() {
    return Tone(440, 60, 11025, 8, 1, 0.8);
}

QByteArray Convert(const QByteArray& in, const WAVEFORMATEX& from, const WAVEFORMATEX& to) {
    TWaveConverter converter(from, to);
    QByteArray out;
    for (qsizetype at = 0; at < in.size(); at += 4096)
        out += converter.Convert(in.mid(at, 4096), at + 4096 >= in.size());
    return out;
}

void BM_MinuteTo8kAndBack(benchmark::State& state) {
    const QByteArray minute = Minute();
    const WAVEFORMATEX file = WAVEFORMATEX::Pcm(11025, 8, 1), modem = WAVEFORMATEX::Pcm(8000, 8, 1);
    for (auto _ : state) {
        const QByteArray line = Convert(minute, file, modem);
        benchmark::DoNotOptimize(Convert(line, modem, file));
    }
}
// What a call costs in conversion: five seconds of the caller, as the voice channel hands them
// over (100 ms pieces of the modem's 8000 Hz), into the messages' 11025 Hz.
void BM_MessageFromModem(benchmark::State& state) {
    const WAVEFORMATEX file = WAVEFORMATEX::Pcm(11025, 8, 1), modem = WAVEFORMATEX::Pcm(8000, 8, 1);
    QByteArray caller = Convert(Minute(), file, modem).left(8000 * 5);
    for (auto _ : state) {
        TWaveConverter converter(modem, file);
        qsizetype total = 0;
        for (qsizetype at = 0; at < caller.size(); at += 800)
            total += converter.Convert(caller.mid(at, 800)).size();
        benchmark::DoNotOptimize(total);
    }
}
}  // namespace

BENCHMARK(BM_MinuteTo8kAndBack)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MessageFromModem)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
