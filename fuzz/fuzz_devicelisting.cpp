// The device listing parse and the choice of headset: a serial is a non-empty token of the
// listing without white space, followed in it by its state; the chosen device is a ready one
// of those listed, a Pico unless it is alone and silent about its maker, and never one of
// several when the choice is ambiguous. What the devices answer is made up from their serials.
#include "fuzzcheck.h"

#include "adb/devicelisting.h"

#include <QString>

#include <algorithm>

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
        const QString state = device.state.section(QLatin1Char(' '), 0, 0);
        if (rest.startsWith(state)
            && (rest.size() == state.size() || rest.at(state.size()).isSpace()))
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
        for (const QChar c : device.serial)
            FUZZ_CHECK(!c.isSpace());
        FUZZ_CHECK(!device.state.contains(QLatin1Char(' ')) || device.state == "no permissions");
        FUZZ_CHECK(followedByState(listing, device));
    }

    DeviceAnswers answers;
    for (const ListedDevice &device : devices) {
        if (device.serial.size() % 2)
            answers.makers.insert(device.serial, QStringLiteral("Pico"));
        else if (device.serial.size() % 3 == 0)
            answers.makers.insert(device.serial, QStringLiteral("Google"));
        answers.serialNumbers.insert(device.serial, device.serial.left(device.serial.size() / 2));
    }
    const bool anyNotReady = std::any_of(devices.cbegin(), devices.cend(),
                                         [](const ListedDevice &d) { return !d.isReady(); });
    const HeadsetChoice choice = chooseHeadset(devices, answers);
    const auto isPico = [&answers](const ListedDevice &d) {
        return d.isPico() || isPicoMaker(answers.makers.value(d.serial));
    };
    FUZZ_CHECK((choice.kind == HeadsetChoice::NoDevice) == devices.isEmpty());
    FUZZ_CHECK((choice.kind == HeadsetChoice::Ready || choice.kind == HeadsetChoice::NotAPico)
               == !choice.headset.serial.isEmpty());
    if (choice.kind == HeadsetChoice::Ready) {
        FUZZ_CHECK(choice.headset.isReady() && devices.contains(choice.headset));
        FUZZ_CHECK(choice.knownPico == isPico(choice.headset));
        FUZZ_CHECK(choice.knownPico || (choice.ready.size() == 1 && !anyNotReady));
        for (const ListedDevice &also : choice.alsoListedAs)
            FUZZ_CHECK(also.isReady() && also.serial != choice.headset.serial);
    }
    if (choice.kind == HeadsetChoice::NotAPico)
        FUZZ_CHECK(choice.ready.size() == 1 && !anyNotReady && !isPico(choice.headset));
    if (choice.kind == HeadsetChoice::NotReady) {
        FUZZ_CHECK(anyNotReady && !choice.notReady.isReady());
        FUZZ_CHECK(std::none_of(choice.ready.cbegin(), choice.ready.cend(), isPico));
    }
    if (choice.kind == HeadsetChoice::SeveralReady)
        FUZZ_CHECK(choice.ready.size() > 1);
    return 0;
}
