#include "app/headsetmessages.h"
#include "app/advice.h"

#include <algorithm>
#include <initializer_list>

namespace {

// The situations that the lines below tell, in the order of the table.
enum Situation {
    Unauthorized,
    NotAnswering,
    NoPermissions,
    NotReadyOther,
    NoDeviceYet,
    NoDevice,
    Several,
    NotAPico,
    NoAnswer,
    PicoReady,
    UnknownReady,
};

// %1 is the device's name, its state, or the names of the ready devices. An action stops with
// its line (none for a usable device) and the advice of that id under it (none where the line
// says what to do).
struct Wording
{
    const char *status;
    const char *action;
    const char *advice;
};

const Wording wordings[] = {
        {"A headset is connected but has not allowed USB debugging yet. -> Please put it on and "
         "allow USB debugging for this computer.",
         "Device is NOT Authorized! -> Please allow USB debugging on the Pico headset and try "
         "again.",
         "not-authorized"},
        {"The Pico headset does not answer (adb lists it as %1). -> Please reconnect it.",
         "The Pico headset does not answer (adb lists it as %1). -> Please reconnect it and try "
         "again.",
         "reconnect"},
        {"adb may not use the Pico headset's USB connection (adb lists it as \"no permissions\"). "
         "-> Please add the udev rule for it.",
         "adb may not use the Pico headset's USB connection (adb lists it as \"no permissions\"). "
         "-> Please add the udev rule for it and try again.",
         "udev"},
        {"The Pico headset is not ready (adb lists it as %1). -> Please restart it.",
         "The Pico headset is not ready (adb lists it as %1). -> Please restart it and try again.",
         "not-ready"},
        {"No headset is connected yet. -> Please connect the Pico headset by USB, with developer "
         "mode and USB debugging turned on.",
         "Cannot find the Pico headset! -> Please make sure that it is connected and has USB "
         "debugging enabled.",
         "not-found"},
        {"The headset was disconnected.",
         "Cannot find the Pico headset! -> Please make sure that it is connected and has USB "
         "debugging enabled.",
         "not-found"},
        {"Several Android devices are connected: %1. -> Please unplug all but the Pico headset "
         "before you install or uninstall.",
         "Several Android devices are connected: %1. -> Please unplug all but the Pico headset "
         "and try again.",
         nullptr},
        {"%1 is not a Pico headset. -> Please connect the Pico headset by USB, with developer mode "
         "and USB debugging turned on.",
         "%1 is not a Pico headset. -> Please connect the Pico headset by USB and try again.",
         "not-found"},
        {"%1 does not answer. -> Please unplug it and plug it in again.",
         "%1 does not answer. -> Please unplug it, plug it in again and try again.", "no-answer"},
        // Only a device that says it is a Pico is called one.
        {"Pico headset connected: %1.", nullptr, nullptr},
        {"Android device connected: %1. It does not say who made it; the program takes it for the "
         "headset.",
         nullptr, nullptr},
};

bool isOneOf(const QString &state, std::initializer_list<const char *> states)
{
    return std::any_of(states.begin(), states.end(),
                       [&state](const char *one) { return state == QLatin1String(one); });
}

// Where the choice leaves the user, and the name or state that its line tells. Not for a choice
// that adb could not make.
std::pair<Situation, QString> situation(const HeadsetChoice &choice, Before before)
{
    const QString &state = choice.notReady.state;
    switch (choice.kind) {
    case HeadsetChoice::NotReady:
        if (isOneOf(state, {"unauthorized", "authorizing"}))
            return {Unauthorized, state};
        if (isOneOf(state, {"offline", "detached", "connecting"}))
            return {NotAnswering, state};
        return {state == QLatin1String("no permissions") ? NoPermissions : NotReadyOther, state};
    case HeadsetChoice::NoDevice:
        return {before == Before::DevicesListed ? NoDevice : NoDeviceYet, QString()};
    case HeadsetChoice::SeveralReady:
        return {Several, displayNames(choice.ready)};
    case HeadsetChoice::NotAPico:
        return {NotAPico, choice.headset.displayName()};
    case HeadsetChoice::NoAnswer:
        return {NoAnswer, choice.headset.displayName()};
    case HeadsetChoice::Ready:
    case HeadsetChoice::AdbFailed:
        break;
    }
    return {choice.knownPico ? PicoReady : UnknownReady, choice.headset.displayName()};
}

QString worded(const char *text, const QString &argument)
{
    const QString line = QString::fromUtf8(text);
    return line.contains(QLatin1String("%1")) ? line.arg(argument) : line;
}

QString adbFailedLine(const HeadsetChoice &choice)
{
    // Not the headset's fault: say so rather than send the user to check the cable.
    return QStringLiteral("Error: ") + choice.problem;
}

QString serials(const QList<ListedDevice> &devices)
{
    QStringList names;
    for (const ListedDevice &device : devices)
        names << device.serial;
    return names.join(QLatin1String(", "));
}

} // namespace

StatusLine statusLine(const HeadsetChoice &choice, Before before)
{
    StatusLine line;
    line.state =
            QStringLiteral("%1 %2 %3 %4 %5")
                    .arg(choice.kind)
                    .arg(choice.headset.serial, displayNames(choice.ready), choice.notReady.state)
                    .arg(choice.knownPico);
    if (choice.kind == HeadsetChoice::AdbFailed) {
        line.kind = LogKind::Error;
        line.text = adbFailedLine(choice);
        return line;
    }
    if (choice.kind == HeadsetChoice::NotReady && choice.settling)
        line.state.clear();
    const auto [said, argument] = situation(choice, before);
    line.text = worded(wordings[said].status, argument);
    if (choice.kind == HeadsetChoice::Ready) {
        if (!choice.alsoListedAs.isEmpty())
            line.text += QStringLiteral(" It is also connected wirelessly.");
        if (choice.ready.size() > 1)
            line.text += QStringLiteral(" Other Android devices are connected too.");
    }
    return line;
}

StopLine stopLine(const HeadsetChoice &choice)
{
    if (choice.kind == HeadsetChoice::AdbFailed) {
        const QString text = adbFailedLine(choice);
        return {text, adviceFor(text).text};
    }
    const auto [said, argument] = situation(choice, Before::DevicesListed);
    const Wording &wording = wordings[said];
    if (!wording.action)
        return {};
    return {worded(wording.action, argument),
            wording.advice ? adviceWithId(QString::fromLatin1(wording.advice)).text : QString()};
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

QString headsetDisconnected()
{
    return QStringLiteral("The Pico headset was disconnected. -> Please reconnect it and try "
                          "again.");
}
