#ifndef DEVICELISTING_H
#define DEVICELISTING_H

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

// What `adb devices -l` lists, read without adb or a window: the devices, the ones ready for use
// (one headset listed twice counted once), and the choice of the headset among them.

// One device line of `adb devices -l`: the serial, the state, and the named fields after it.
struct ListedDevice
{
    QString serial;
    QString state;
    QString details; // "usb:1-1 product:A8150 model:Pico_4 device:PICOA8150 transport_id:1"

    bool isReady() const;
    // Not ready only because it is still being connected: a state that passes by itself.
    bool isConnecting() const;
    bool isNeo2() const;
    bool isPico() const; // its model, product or device names a Pico
    // adb lists a device it also reaches over the network under that connection's name: "IP:port"
    // after `adb connect`, or the mDNS service "adb-<serial>-<suffix>._adb-tls-connect._tcp" of
    // a paired device, whose serial it names.
    bool isAddressEntry() const;
    QString mdnsSerial() const; // empty for other entries
    QString field(const QString &name) const;
    // How the user knows it, then what identifies it: "Pico 4 (A8110, PA8110MGH7200123)",
    // "Pixel 7 (0A1B2C3D4E5F)", or the serial alone.
    QString displayName() const;

    friend bool operator==(const ListedDevice &a, const ListedDevice &b)
    {
        return a.serial == b.serial && a.state == b.state && a.details == b.details;
    }
};

QList<ListedDevice> parseDeviceListing(const QString &listing);

// The name that users know a Pico headset by, from the model field of its listing, or empty for
// a model that is not a known Pico's.
QString headsetName(const QString &modelField);

// What ready devices said of themselves where their listing leaves it open, by serial: their
// maker (ro.product.manufacturer, else ro.product.brand; empty when they did not say), and the
// serial number of a network entry (ro.serialno), which names the device it is a second way to.
struct DeviceAnswers
{
    QHash<QString, QString> makers;
    QHash<QString, QString> serialNumbers;
    QSet<QString> unanswered; // asked who made them, and did not answer
};

bool isPicoMaker(const QString &maker);

// One ready device, however many entries adb lists it under: the one to use (by USB where it
// has that), and the others.
struct ReadyDevice
{
    ListedDevice entry;
    QList<ListedDevice> alsoListedAs;
};
QList<ReadyDevice> readyDevices(const QList<ListedDevice> &devices,
                                const QHash<QString, QString> &serialNumbers = {});

// Whom to ask, before the choice: the network entries whose serial number may make them one
// with another entry, then the ready devices whose listing does not name a Pico.
QStringList devicesToAskSerialNumber(const QList<ListedDevice> &devices);
QStringList devicesToAskMaker(const QList<ListedDevice> &devices, const DeviceAnswers &answers);
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
        NotAPico, // the one ready device says another maker made it
        NoAnswer, // a ready device did not answer who made it, and none said Pico
    };
    Kind kind = NoDevice;
    // Ready: the one to use; NotAPico and NoAnswer: the device that is not one, or did not say
    ListedDevice headset;
    bool knownPico = false; // its listing or its own answer names a Pico
    QList<ListedDevice> alsoListedAs; // the headset's other entries: it is also on the network
    QList<ListedDevice> ready; // every device ready for use, once each
    ListedDevice notReady; // NotReady: the device whose state is told
    // Not ready only because they are still being connected (offline, authorizing): a state
    // that passes by itself.
    bool settling = false;
    QString problem;
};

// Only a Pico is used: the one Pico among the ready devices, whether its listing or its answer
// names it. While none is, a device that is listed but not ready may be the headset, and is
// told; a device that says another maker made it is never used. One ready device that says
// nothing of its maker is used.
HeadsetChoice chooseHeadset(const QList<ListedDevice> &devices, const DeviceAnswers &answers = {});

#endif // DEVICELISTING_H
