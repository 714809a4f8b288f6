#ifndef DEVICELISTING_H
#define DEVICELISTING_H

#include <QString>

// What `adb devices -l` says about the attached devices.
struct DeviceListing
{
    bool anyDevice = false; // at least one device line, ready or not
    QString serial; // the first device that is ready for use; empty when none is
    bool isNeo2 = false; // that device's own line names a Pico Neo 2
};

DeviceListing parseDeviceListing(const QString &listing);

#endif // DEVICELISTING_H
