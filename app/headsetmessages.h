#ifndef HEADSETMESSAGES_H
#define HEADSETMESSAGES_H

#include "adb/devicelisting.h"
#include "app/activitylog.h"

#include <QString>

// What the program tells the user of the headset, in one place: for each kind of headset choice
// and each state that adb lists a device in, the status line that the window shows while it
// follows the devices, and the line that an action stops with, with the advice under it.

// Whether the status line before listed any device: only then is none a disconnection.
enum class Before { NothingListed, DevicesListed };

struct StatusLine
{
    LogKind kind = LogKind::Info;
    QString text;
    // Equal for the same state; empty for a state that passes by itself and is not reported.
    QString state;
};
StatusLine statusLine(const HeadsetChoice &choice, Before before);

// Why an action cannot use the headset, and the advice under it (none where the line itself says
// what to do). Empty for a headset that can be used.
struct StopLine
{
    QString text;
    QString advice;
};
StopLine stopLine(const HeadsetChoice &choice);

// What an action says of the headset it uses when adb lists more than that one device, or
// empty.
QString usingHeadsetLine(const HeadsetChoice &choice);

// Why an action or a question ended when the headset went away in the middle.
QString headsetDisconnected();

#endif // HEADSETMESSAGES_H
