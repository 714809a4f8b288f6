#include "app/cbrelvopico.h"

// The status line: where the headset stands, told once at start-up and then at each change
// that the device watcher reports.

void CBrelvoPico::setBusy()
{
    status.busy = true;
    ui.installPushButton->setEnabled(false);
    ui.uninstallPushButton->setEnabled(false);
}

void CBrelvoPico::setIdle()
{
    status.busy = false;
    ui.installPushButton->setEnabled(true);
    ui.uninstallPushButton->setEnabled(true);
}

void CBrelvoPico::readListing(const QString &listing, Telling telling)
{
    status.heldListing = listing;
    status.listingHeld = true;
    // Asking the devices needs the shared process: while it is busy, the listing waits.
    if (status.busy)
        return;
    // A change that comes while the devices are asked is told next.
    for (; status.listingHeld; telling = Telling::Tell) {
        status.listingHeld = false;
        const QList<ListedDevice> devices = parseDeviceListing(status.heldListing);
        // The answers hold for as long as the listing does.
        if (devices != known.devices)
            known.answers = {};
        known.unanswered.clear();
        known.devices = devices;
        if (hasDevicesToAsk(devices)) {
            setBusy();
            askDevices(devices);
            setIdle();
        }
        showConnection(chooseHeadset(devices, known.answers), telling);
    }
}

void CBrelvoPico::showConnection(const HeadsetChoice &choice, Telling telling)
{
    const StatusLine line = statusLine(
            choice, status.devicesListed ? Before::DevicesListed : Before::NothingListed);
    if (line.state.isEmpty() || line.state == status.state)
        return;
    status.state = line.state;
    if (choice.kind != HeadsetChoice::AdbFailed)
        status.devicesListed = choice.kind != HeadsetChoice::NoDevice;
    if (telling == Telling::Tell)
        appendLogLine(line.kind, line.text);
}
