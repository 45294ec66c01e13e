// The history of placed calls as read at start-up, and the rows made from it.

#include "fuzzfolder.h"
#include "store/datafile.h"
#include "store/outgoinghistory.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzFolder().Write(QStringLiteral("Outgoing call history.och"), data, size);
    TOutgoingHistory history;
    history.LoadOutgoingHistory();
    for (TOCALL* call : TOutgoingHistory::CallsUnder(history.Root()))
        TOutgoingHistory::RowTexts(*call);
    TakeDataNotices();
    return 0;
}
