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

// The error line for a device that adb lists in this state, not ready for use.
QString notReadyReason(const QString &state);
// What an action says of the headset it uses when adb lists more than that one device, or
// empty.
QString usingHeadsetLine(const HeadsetChoice &choice);

#endif // CONNECTION_H
