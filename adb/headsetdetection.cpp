#include "adb/adbanswers.h"
#include "adb/adbcommands.h"
#include "app/cbrelvopico.h"

#include <algorithm>

// Finding the headset: the device listing, and asking the devices that it leaves in doubt.

HeadsetChoice CBrelvoPico::findDevice()
{
    bool newServer = false;
    for (int attempt = 1;; ++attempt) {
        const AdbRun run = runAdbCommand(Adb::devices());
        // A listing is an answer whatever else adb said; without one, adb itself is in trouble.
        const bool listed = run.out.contains(QLatin1String("List of devices attached"));
        if (run.outcome != AdbRun::Ended || (run.exitCode != 0 && !listed)) {
            HeadsetChoice failed;
            failed.kind = HeadsetChoice::AdbFailed;
            failed.problem = adbProblem(run);
            return failed;
        }
        const QList<ListedDevice> devices = parseDeviceListing(run.out);
        // A server that had to be started for this listing (none ran, or another program's was
        // replaced) is still connecting the devices: ask it again once they had time.
        newServer = newServer || serverStart(run.err) != ServerStart::None;
        if (newServer && attempt < SettleAttempts && !devices.isEmpty()
            && std::all_of(devices.cbegin(), devices.cend(),
                           [](const ListedDevice &device) { return device.isConnecting(); })) {
            pauseFor(SettleMs);
            continue;
        }
        askDevices(devices);
        known.devices = devices;
        return chooseHeadset(devices, known.answers);
    }
}

bool CBrelvoPico::hasDevicesToAsk(const QList<ListedDevice> &devices) const
{
    const auto unasked = [](const QStringList &serials, const QHash<QString, QString> &asked) {
        return std::any_of(serials.cbegin(), serials.cend(),
                           [&asked](const QString &serial) { return !asked.contains(serial); });
    };
    return unasked(devicesToAskSerialNumber(devices), known.answers.serialNumbers)
            || unasked(devicesToAskMaker(devices, known.answers), known.answers.makers);
}

void CBrelvoPico::askDevices(const QList<ListedDevice> &devices)
{
    // Each device is asked once while its answers are kept (an action, or one listing).
    for (const QString &serial : devicesToAskSerialNumber(devices)) {
        if (!known.answers.serialNumbers.contains(serial))
            known.answers.serialNumbers.insert(
                    serial,
                    oneLine(queryHeadset(Adb::getprop(serial, Adb::SerialNumberProperty)).text));
    }
    for (const QString &serial : devicesToAskMaker(devices, known.answers)) {
        if (known.answers.makers.contains(serial))
            continue;
        known.answers.makers.insert(serial, getDeviceMaker(serial));
        if (!known.unanswered.isEmpty())
            known.answers.unanswered.insert(serial);
    }
}

QString CBrelvoPico::getDeviceMaker(const QString &serial)
{
    const QString manufacturer =
            oneLine(queryHeadset(Adb::getprop(serial, Adb::ManufacturerProperty)).text);
    if (isPicoMaker(manufacturer))
        return manufacturer;
    // Some firmware names the factory that built it, and Pico only as the brand.
    const QString brand = oneLine(queryHeadset(Adb::getprop(serial, Adb::BrandProperty)).text);
    return isPicoMaker(brand) || manufacturer.isEmpty() ? brand : manufacturer;
}
