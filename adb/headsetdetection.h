#ifndef HEADSETDETECTION_H
#define HEADSETDETECTION_H

#include <QString>

// What `adb devices -l` says about the attached devices.
struct DeviceListing
{
    bool anyDevice = false; // at least one device line, ready or not
    QString serial; // the first device that is ready for use; empty when none is
    bool isNeo2 = false; // that device's own line names a Pico Neo 2

    friend bool operator==(const DeviceListing &a, const DeviceListing &b)
    {
        return a.anyDevice == b.anyDevice && a.serial == b.serial && a.isNeo2 == b.isNeo2;
    }
    friend bool operator!=(const DeviceListing &a, const DeviceListing &b) { return !(a == b); }
};

DeviceListing parseDeviceListing(const QString &listing);

#endif // HEADSETDETECTION_H
