// The greetings list as read when a caller is answered.

#include "fuzzfolder.h"
#include "store/datafile.h"
#include "store/greetings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzFolder().Write(QStringLiteral("Greetings.txt"), data, size);
    LoadGreetingList();
    PickRandomGreeting();
    TakeDataNotices();
    return 0;
}
