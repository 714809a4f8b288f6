#include "app/connection.h"
#include "adb/devicewatcher.h"
#include "app/cbrelvopico.h"

#include <QFile>

#include <algorithm>
#include <initializer_list>

namespace {

bool isOneOf(const QString &state, std::initializer_list<const char *> states)
{
    return std::any_of(states.begin(), states.end(),
                       [&state](const char *one) { return state == QLatin1String(one); });
}

QString serials(const QList<ListedDevice> &devices)
{
    QStringList names;
    for (const ListedDevice &device : devices)
        names << device.serial;
    return names.join(QLatin1String(", "));
}

} // namespace

QString notReadyReason(const QString &state)
{
    if (isOneOf(state, {"unauthorized", "authorizing"}))
        return QStringLiteral("Device is NOT Authorized! -> Please allow USB debugging on the Pico "
                              "headset and try again.");
    if (isOneOf(state, {"offline", "detached", "connecting"}))
        return QStringLiteral("The Pico headset does not answer (adb lists it as %1). -> Please "
                              "reconnect it and try again.")
                .arg(state);
    if (state == QLatin1String("no permissions"))
        return QStringLiteral("adb may not use the Pico headset's USB connection (adb lists it as "
                              "\"no permissions\"). -> Please add the udev rule for it and try "
                              "again.");
    return QStringLiteral("The Pico headset is not ready (adb lists it as %1). -> Please restart "
                          "it and try again.")
            .arg(state);
}

QString usingHeadsetLine(const HeadsetChoice &choice)
{
    if (choice.kind != HeadsetChoice::Ready
        || (choice.ready.size() < 2 && choice.alsoListedAs.isEmpty()))
        return QString();
    QString line = QStringLiteral("Using the Pico headset %1").arg(choice.headset.displayName());
    if (!choice.alsoListedAs.isEmpty())
        line += QStringLiteral("; it is also connected wirelessly (%1)")
                        .arg(serials(choice.alsoListedAs));
    if (choice.ready.size() > 1)
        line += QStringLiteral("; other Android devices are connected too");
    return line + QLatin1Char('.');
}

ConnectionLine connectionLine(const HeadsetChoice &choice, bool atStartup)
{
    const QString ready = displayNames(choice.ready);
    ConnectionLine line;
    line.state = QStringLiteral("%1 %2 %3 %4 %5")
                         .arg(choice.kind)
                         .arg(choice.headset.serial, ready, choice.notReady.state)
                         .arg(choice.knownPico);
    switch (choice.kind) {
    case HeadsetChoice::AdbFailed:
        line.kind = LogKind::Error;
        line.text = QStringLiteral("Error: ") + choice.problem;
        break;
    case HeadsetChoice::Ready:
        // Only a device that says it is a Pico is called one.
        line.text = choice.knownPico
                ? QStringLiteral("Pico headset connected: %1.").arg(choice.headset.displayName())
                : QStringLiteral("Android device connected: %1. It does not say who made it; the "
                                 "program takes it for the headset.")
                          .arg(choice.headset.displayName());
        if (!choice.alsoListedAs.isEmpty())
            line.text += QStringLiteral(" It is also connected wirelessly.");
        if (choice.ready.size() > 1)
            line.text += QStringLiteral(" Other Android devices are connected too.");
        break;
    case HeadsetChoice::NotReady:
        if (choice.settling)
            line.state.clear();
        if (isOneOf(choice.notReady.state, {"unauthorized", "authorizing"}))
            line.text = QStringLiteral("A headset is connected but has not allowed USB debugging "
                                       "yet. -> Please put it on and allow USB debugging for this "
                                       "computer.");
        else
            line.text = notReadyReason(choice.notReady.state)
                                .replace(QLatin1String(" and try again."), QLatin1String("."));
        break;
    case HeadsetChoice::NoDevice:
        line.text = atStartup ? QStringLiteral("No headset is connected yet. -> Please connect "
                                               "the Pico headset by USB, with developer mode and "
                                               "USB debugging turned on.")
                              : QStringLiteral("The headset was disconnected.");
        break;
    case HeadsetChoice::SeveralReady:
        line.text = QStringLiteral("Several Android devices are connected: %1. -> Please unplug "
                                   "all but the Pico headset before you install or uninstall.")
                            .arg(ready);
        break;
    case HeadsetChoice::NotAPico:
        line.text = QStringLiteral("%1 is not a Pico headset. -> Please connect the Pico headset "
                                   "by USB, with developer mode and USB debugging turned on.")
                            .arg(choice.headset.displayName());
        break;
    }
    return line;
}

void CBrelvoPico::detectAtStartup()
{
    // Without adb there is nothing to ask; the start-up lines have said so.
    if (!QFile::exists(adbPath))
        return;
    // An action clicked before the first paint tells where the headset stands itself.
    if (!busy) {
        beginAction();
        const HeadsetChoice choice = findDevice();
        setBusy(false);
        showConnection(choice, true, true);
        if (choice.kind == HeadsetChoice::AdbFailed)
            advise(choice.problem);
        adviseOnOtherAdb();
    }
    // From now on adb reports every change itself.
    watcher->start(adbPath);
}

void CBrelvoPico::devicesChanged(const QString &listing)
{
    readListing(listing, true);
}

void CBrelvoPico::readListing(const QString &listing, bool tell)
{
    // Asking the devices needs the shared process: while it is busy, the listing waits.
    if (busy) {
        pendingListing = listing;
        listingPending = true;
        return;
    }
    listingPending = false;
    const QList<ListedDevice> devices = parseDeviceListing(listing);
    // The answers hold for as long as the listing does.
    if (devices != answeredDevices)
        deviceAnswers = {};
    answeredDevices = devices;
    if (hasDevicesToAsk(devices)) {
        setBusy(true);
        askDevices(devices);
        setBusy(false);
    }
    showConnection(chooseHeadset(devices, deviceAnswers), false, tell);
    // A change that came while the devices were asked is told next.
    if (listingPending)
        readListing(pendingListing, true);
}

void CBrelvoPico::showConnection(const HeadsetChoice &choice, bool atStartup, bool tell)
{
    const ConnectionLine line = connectionLine(choice, atStartup);
    if (line.state.isEmpty() || line.state == connectionState)
        return;
    connectionState = line.state;
    if (tell)
        appendLogLine(line.kind, line.text);
}
