#ifndef EXPECTED_H
#define EXPECTED_H

#include <QJsonObject>
#include <QString>
#include <QStringList>

// What the tests expect: the log lines as logLines() shows them ("I " information, "E " error)
// and the fixed pieces of adb's conversation.
namespace Expected {

inline const QString installing = QStringLiteral("I Installing package, please wait ...");
inline const QString uninstalling = QStringLiteral("I Uninstalling package, please wait ...");
inline const QString installed = QStringLiteral("I Package installed successfully!");
inline const QString uninstalled = QStringLiteral("I Package uninstalled successfully!");
inline const QString alreadyUninstalled = QStringLiteral("I Package is already uninstalled!");
inline const QString openXrLine =
        QStringLiteral("I Firmware provides an OpenXR runtime -> installing the OpenXR build.");
inline const QString legacyLine =
        QStringLiteral("I Firmware has no usable OpenXR runtime (a PICO OS update may add it) -> "
                       "installing the Legacy build.");
inline const QString storageUnknown =
        QStringLiteral("I Could not find the headset's storage folder; the app's data folders "
                       "were left in place.");
inline const QString notAsked =
        QStringLiteral("E Could not read the installed apps from the Pico headset! -> Please "
                       "reconnect it and try again.");
inline const QString firmwareUnread =
        QStringLiteral("E Could not read the firmware of the Pico headset! -> Please reconnect "
                       "it and try again.");
inline QString dataLeft(const QStringList &paths)
{
    return QStringLiteral("E The app is uninstalled, but not all of its data could be removed; "
                          "these may still be on the headset: %1. -> To free their space, delete "
                          "them with a file manager on the headset.")
            .arg(paths.join(QLatin1String(", ")));
}

// Advice lines, and errors with the advice line under them.
inline const QString reconnectAdvice =
        QStringLiteral("I The headset stopped answering. -> Please unplug it and plug it in "
                       "again, wake it up (put it on or press its power button), then try again.");
inline const QString noAnswerAdvice =
        QStringLiteral("I The headset did not answer. -> Please wake it up, unplug it and plug it "
                       "in again, then try again.");
inline const QString adbBlockedAdvice =
        QStringLiteral("I Security software may have removed or blocked adb in the tools folder "
                       "beside this program. -> Please download this program again, or allow its "
                       "folder in your security software, then try again.");
inline const QString otherAdbAdvice =
        QStringLiteral("I Another program on this computer runs a different adb (VR tools, game "
                       "engines and development tools bring their own). -> If the headset keeps "
                       "disconnecting, close that program and try again.");
inline const QString adbServiceAdvice =
        QStringLiteral("I adb could not start its background service; another program may be "
                       "using its port (5037). -> Please close other programs that use adb, or "
                       "restart the computer, then try again.");
inline const QString storageAdvice =
        QStringLiteral("I The headset does not have enough free space for the app. -> Please free "
                       "some space on the headset (remove apps or videos you no longer need), "
                       "then try again.");
inline const QString downgradeAdvice =
        QStringLiteral("I The headset already has a newer version of the app. -> To go back to "
                       "this one, press Uninstall, then Install; this removes the app's saved "
                       "data from the headset.");
inline const QString deleteFailedAdvice =
        QStringLiteral("I The headset could not remove the app; it may be in use or only partly "
                       "installed. -> Please restart the headset, then try Uninstall again.");
inline const QString devicePolicyAdvice =
        QStringLiteral("I A device administration policy on the headset protects the app (for "
                       "example a company's or a kiosk's management). -> Please turn that policy "
                       "off in the headset's settings, or ask whoever manages the headset, then "
                       "try again.");
inline const QStringList notAuthorized = {
        QStringLiteral("E Device is NOT Authorized! -> Please allow USB debugging on the Pico "
                       "headset and try again."),
        QStringLiteral("I The question to allow USB debugging appears inside the headset. -> "
                       "Please put the headset on, tick \"Always allow from this computer\" and "
                       "tap Allow, then try again.")};
inline const QStringList notFound = {
        QStringLiteral("E Cannot find the Pico headset! -> Please make sure that it is connected "
                       "and has USB debugging enabled."),
        QStringLiteral("I Usually one of three things: -> developer mode and USB debugging are "
                       "not on in the headset's settings; the cable only charges (use one that "
                       "carries data, such as the headset's own); or the headset is plugged into "
                       "a hub or a front port (plug it straight into the computer).")};
// A device that adb lists as offline, detached or connecting.
inline QStringList notAnswering(const QString &state)
{
    return {QStringLiteral("E The Pico headset does not answer (adb lists it as %1). -> Please "
                           "reconnect it and try again.")
                    .arg(state),
            reconnectAdvice};
}
inline QStringList notAPico(const QString &device)
{
    return {QStringLiteral("E %1 is not a Pico headset. -> Please connect the Pico headset by USB "
                           "and try again.")
                    .arg(device),
            notFound.at(1)};
}

// action: "installing" or "uninstalling"
inline QStringList disconnected(const QString &action)
{
    return {QStringLiteral("E Error %1 Package: The Pico headset was disconnected. -> Please "
                           "reconnect it and try again.")
                    .arg(action),
            reconnectAdvice};
}

// A device in recovery mode, and its status line: the last change of a case, whose line shows
// that every listing before it was read.
inline const QJsonObject recoveryDevice{{"serial", "PA9"}, {"state", "recovery"}};
inline const QString recoveryLine =
        QStringLiteral("I The Pico headset is not ready (adb lists it as recovery). -> Please "
                       "restart it.");

inline const QString package = QStringLiteral("com.Brelvo.BrelvoVRViewer");
inline const QString storage = QStringLiteral("/storage/emulated/0");
inline const QString listingHeader = QStringLiteral("List of devices attached\n");
inline const QStringList devices = {QStringLiteral("devices"), QStringLiteral("-l")};

// One ready device's line in `adb devices -l`.
inline QString readyLine(const QString &serial, const QString &model)
{
    return QStringLiteral("%1 device usb:1-1 product:p model:%2 device:d transport_id:1\n")
            .arg(serial, -22)
            .arg(model);
}

// The app's five data paths under a storage folder.
inline QStringList dataPaths(const QString &root)
{
    return {root + QLatin1String("/UE4Game/BrelvoVRViewer"),
            root + QLatin1String("/UE4Game/UE4CommandLine.txt"),
            root + QLatin1String("/obb/") + package,
            root + QLatin1String("/Android/obb/") + package,
            root + QLatin1String("/Download/obb/") + package};
}

} // namespace Expected

#endif // EXPECTED_H
