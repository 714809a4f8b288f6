#ifndef HEADSETDETECTION_H
#define HEADSETDETECTION_H

#include <QList>
#include <QString>

// One device line of `adb devices -l`: the serial, the state, and the named fields after it.
struct ListedDevice
{
    QString serial;
    QString state;
    QString details; // "usb:1-1 product:A8150 model:Pico_4 device:PICOA8150 transport_id:1"

    bool isReady() const;
    bool isNeo2() const;
    bool isPico() const; // its model, product or device names a Pico
    QString field(const QString &name) const;
    // How the user knows it: "Pico 4 (PA7L10MGH8)", or the serial alone.
    QString displayName() const;

    friend bool operator==(const ListedDevice &a, const ListedDevice &b)
    {
        return a.serial == b.serial && a.state == b.state && a.details == b.details;
    }
    friend bool operator!=(const ListedDevice &a, const ListedDevice &b) { return !(a == b); }
};

QList<ListedDevice> parseDeviceListing(const QString &listing);
// "Pico 4 (PA7L10MGH8), Pixel 7 (29131FDH2000AB)"
QString displayNames(const QList<ListedDevice> &devices);

// Which device the program works on.
struct HeadsetChoice
{
    enum Kind {
        AdbFailed, // adb could not list the devices; problem says why
        NoDevice,
        NotReady, // devices are listed, none ready for use
        Ready, // headset is the one to use
        SeveralReady, // several ready devices and not exactly one Pico among them
    };
    Kind kind = NoDevice;
    ListedDevice headset;
    QList<ListedDevice> ready; // every device ready for use
    // Not ready only because they are still being connected (offline, authorizing): a state
    // that passes by itself.
    bool settling = false;
    QString problem;

    friend bool operator==(const HeadsetChoice &a, const HeadsetChoice &b)
    {
        return a.kind == b.kind && a.headset == b.headset && a.ready == b.ready
                && a.settling == b.settling && a.problem == b.problem;
    }
};

// One ready device is used, whatever it is. Among several, the one Pico is.
HeadsetChoice chooseHeadset(const QList<ListedDevice> &devices);

#endif // HEADSETDETECTION_H
