// The device listing parse and the choice of headset: a serial is a non-empty token of the
// listing without white space, followed in it by its state; the chosen device is a ready one
// of those listed, and never one of several when the choice is ambiguous.
#include "fuzzcheck.h"

#include "adb/headsetdetection.h"

#include <QString>

static bool followedByState(const QString &listing, const ListedDevice &device)
{
    for (qsizetype at = listing.indexOf(device.serial); at >= 0;
         at = listing.indexOf(device.serial, at + 1)) {
        qsizetype next = at + device.serial.size();
        if (next >= listing.size() || !listing.at(next).isSpace())
            continue;
        while (next < listing.size() && listing.at(next).isSpace())
            ++next;
        const QStringView rest = QStringView(listing).mid(next);
        if (rest.startsWith(device.state)
            && (rest.size() == device.state.size() || rest.at(device.state.size()).isSpace()))
            return true;
    }
    return false;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString listing =
            QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const QList<ListedDevice> devices = parseDeviceListing(listing);
    for (const ListedDevice &device : devices) {
        FUZZ_CHECK(!device.serial.isEmpty() && !device.state.isEmpty());
        FUZZ_CHECK(!device.serial.startsWith(QLatin1Char('*')));
        for (const QChar c : device.serial + device.state)
            FUZZ_CHECK(!c.isSpace());
        FUZZ_CHECK(followedByState(listing, device));
    }

    const HeadsetChoice choice = chooseHeadset(devices);
    FUZZ_CHECK((choice.kind == HeadsetChoice::NoDevice) == devices.isEmpty());
    FUZZ_CHECK((choice.kind == HeadsetChoice::Ready) == !choice.headset.serial.isEmpty());
    if (choice.kind == HeadsetChoice::Ready) {
        FUZZ_CHECK(choice.headset.isReady() && devices.contains(choice.headset));
        FUZZ_CHECK(choice.ready.size() == 1 || choice.headset.isPico());
    }
    if (choice.kind == HeadsetChoice::NotReady)
        FUZZ_CHECK(choice.ready.isEmpty());
    if (choice.kind == HeadsetChoice::SeveralReady)
        FUZZ_CHECK(choice.ready.size() > 1);
    return 0;
}
