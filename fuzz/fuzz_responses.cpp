// The store of remembered answers to the program's messages: looked up, then written to.

#include "fuzzfolder.h"
#include "store/datafile.h"
#include "store/message.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzFolder().Write(QStringLiteral("MESSAGES.MSG"), data, size);
    for (const int id : {206, 208, 213, 304})
        TMessageStore::LookUpResponse(id);
    TMessageStore::StoreResponse(208, 0, 1);
    TMessageStore::LookUpResponse(208);
    TakeDataNotices();
    return 0;
}
