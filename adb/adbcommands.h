#ifndef ADBCOMMANDS_H
#define ADBCOMMANDS_H

#include <QLatin1StringView>
#include <QString>
#include <QStringList>

// Everything the program sends to adb and the headset's shell, in one place.
namespace Adb {

// The viewer app's Android package.
inline constexpr QLatin1StringView PackageName{"com.Brelvo.BrelvoVRViewer"};

// Device listing.
inline QStringList devicesCommand()
{
    return {QStringLiteral("devices"), QStringLiteral("-l")};
}
inline constexpr QLatin1StringView ReadyState{"device"};
inline constexpr QLatin1StringView Neo2Model{"Pico_Neo_2"};

// Properties tried in turn for the firmware version; the first that reads as a version wins.
inline QStringList picoOsVersionProperties()
{
    return {QStringLiteral("ro.pico.systemversion"),
            QStringLiteral("ro.pvr.internal.systemversion"),
            QStringLiteral("ro.product.build.version.incremental"),
            QStringLiteral("ro.system.build.version.incremental"),
            QStringLiteral("ro.build.version.incremental")};
}
inline constexpr QLatin1StringView ModelProperty{"ro.product.model"};

// The OpenXR runtime manifest, and where the runtime's library must be.
inline constexpr QLatin1StringView RuntimeManifestPath{"/vendor/etc/openxr/1/active_runtime.json"};
inline constexpr QLatin1StringView DefaultRuntimeLibrary{"libopenxr_forwardloader.so"};
inline constexpr QLatin1StringView SystemLibraryDir{"/system/lib64/"};
inline constexpr QLatin1StringView VendorLibraryDir{"/vendor/lib64/"};

// Sent as one shell argument and left unquoted, so the headset's shell expands the variable.
inline constexpr QLatin1StringView EchoExternalStorage{"echo $EXTERNAL_STORAGE"};

// Commands that name one headset start with "-s" and its serial.
inline QStringList forDevice(const QString &serial, const QStringList &command)
{
    return QStringList{QStringLiteral("-s"), serial} + command;
}

} // namespace Adb

#endif // ADBCOMMANDS_H
