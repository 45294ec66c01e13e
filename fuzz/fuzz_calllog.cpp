// The call log as read at start-up, and the history rows made from it.

#include "fuzzfolder.h"
#include "store/calllog.h"
#include "store/datafile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzFolder().Write(QStringLiteral("CALL.LOG"), data, size);
    TCallLog log;
    log.LoadCallLog(200);
    for (const CallLogRecord& record : log.Records) {
        TCallLog::RowTexts(record, nullptr, 0);
        record.MessageName();
    }
    TakeDataNotices();
    return 0;
}
