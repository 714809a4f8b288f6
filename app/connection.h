#ifndef CONNECTION_H
#define CONNECTION_H

#include "adb/headsetdetection.h"
#include "app/activitylog.h"

#include <QString>

// What the log says of where the headset stands: once at start-up, then at each change.
struct ConnectionLine
{
    LogKind kind = LogKind::Info;
    QString text;
    // Equal for the same state; empty for a state that passes by itself and is not reported.
    QString state;
};

ConnectionLine connectionLine(const HeadsetChoice &choice, bool atStartup);

#endif // CONNECTION_H
