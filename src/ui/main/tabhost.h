#pragma once
// What the tabs of the main window ask of the window that holds them: whether the line is
// open, and the password guards. Every call a tab asks for goes through QueueCalls, which asks
// for the dialling password, so no path can dial without it. The main window implements it;
// a host that leaves a guard out does not compile.

#include <QList>

#include "store/tocall.h"

class TTabHost {
public:
    virtual bool LineOpen() = 0;
    // The password guards for listening to messages and for deleting from the history.
    virtual bool ListenAllowed() = 0;
    virtual bool DeleteAllowed() = 0;
    // The guard for dialling, for a call already queued that is to be placed now.
    virtual bool DialAllowed() = 0;
    // The calls join the queue after the dialling password; false when it was refused.
    virtual bool QueueCalls(const QList<TOCALL>& calls) = 0;

protected:
    ~TTabHost() = default;
};
