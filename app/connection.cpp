#include "app/connection.h"
#include "adb/devicewatcher.h"
#include "app/cbrelvopico.h"

#include <QFile>

ConnectionLine connectionLine(const HeadsetChoice &choice, bool atStartup)
{
    const QString ready = displayNames(choice.ready);
    ConnectionLine line;
    line.state = QStringLiteral("%1 %2 %3").arg(choice.kind).arg(choice.headset.serial, ready);
    switch (choice.kind) {
    case HeadsetChoice::AdbFailed:
        line.kind = LogKind::Error;
        line.text = QStringLiteral("Error: ") + choice.problem;
        break;
    case HeadsetChoice::Ready:
        line.text = QStringLiteral("Pico headset connected: %1.").arg(choice.headset.displayName());
        if (choice.ready.size() > 1)
            line.text += QStringLiteral(" Other Android devices are connected too.");
        break;
    case HeadsetChoice::NotReady:
        if (choice.settling)
            line.state.clear();
        line.text = QStringLiteral("A headset is connected but has not allowed USB debugging "
                                   "yet. -> Please put it on and allow USB debugging for this "
                                   "computer.");
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
    }
    return line;
}

void CBrelvoPico::detectAtStartup()
{
    // Without adb there is nothing to ask; the start-up lines have said so.
    if (!QFile::exists(adbPath))
        return;
    setBusy(true);
    const HeadsetChoice choice = findDevice();
    setBusy(false);
    showConnection(choice, true);
    if (choice.kind == HeadsetChoice::AdbFailed)
        advise(choice.problem);
    adviseOnOtherAdb();
    // From now on adb reports every change itself.
    watcher->start(adbPath);
}

void CBrelvoPico::showConnection(const HeadsetChoice &choice, bool atStartup)
{
    const ConnectionLine line = connectionLine(choice, atStartup);
    if (line.state.isEmpty() || line.state == connectionState)
        return;
    connectionState = line.state;
    // An action says for itself what happens to the headset meanwhile.
    if (!busy)
        appendLogLine(line.kind, line.text);
}
