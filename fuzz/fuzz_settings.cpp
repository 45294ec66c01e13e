// The settings file as read at start-up.

#include "fuzzfolder.h"
#include "store/config.h"
#include "store/datafile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzFolder().Write(QStringLiteral("RINGVALE.CNF"), data, size);
    TConfig config;
    TConfigFile().LoadConfig(config);
    TakeDataNotices();
    return 0;
}
