#ifndef EXPECTED_H
#define EXPECTED_H

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
inline const QString notAuthorized =
        QStringLiteral("E Device is NOT Authorized! -> Please allow USB debugging on the Pico "
                       "headset and try again.");
inline const QString notFound =
        QStringLiteral("E Cannot find the Pico headset! -> Please make sure that it is connected "
                       "and has USB debugging enabled.");
inline const QString storageUnknown =
        QStringLiteral("I Could not find the headset's storage folder; the app's data folders "
                       "were left in place.");
inline const QString notAsked =
        QStringLiteral("E Could not read the installed apps from the Pico headset! -> Please "
                       "reconnect it and try again.");
// action: "installing" or "uninstalling"
inline QString disconnected(const QString &action)
{
    return QStringLiteral("E Error %1 Package: The Pico headset was disconnected. -> Please "
                          "reconnect it and try again.")
            .arg(action);
}

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
