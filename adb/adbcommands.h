#ifndef ADBCOMMANDS_H
#define ADBCOMMANDS_H

#include <QLatin1StringView>
#include <QString>
#include <QStringList>

// Everything the program sends to adb and the headset's shell, in one place: each command line
// is built by one function here, as adb's arguments, one process argument each.
namespace Adb {

// The viewer app's Android package.
inline constexpr QLatin1StringView PackageName{"com.Brelvo.BrelvoVRViewer"};

// What the device listing says of a device that is ready for use, and of a Pico Neo 2.
inline constexpr QLatin1StringView ReadyState{"device"};
inline constexpr QLatin1StringView Neo2Model{"Pico_Neo_2"};

// Properties tried in turn for the firmware version; the first that reads as a version wins.
QStringList picoOsVersionProperties();
inline constexpr QLatin1StringView ModelProperty{"ro.product.model"};
// Who made a device that its listing does not name, and a network entry's serial number.
inline constexpr QLatin1StringView ManufacturerProperty{"ro.product.manufacturer"};
inline constexpr QLatin1StringView BrandProperty{"ro.product.brand"};
inline constexpr QLatin1StringView SerialNumberProperty{"ro.serialno"};

// The OpenXR runtime manifest, and where the runtime's library must be.
inline constexpr QLatin1StringView RuntimeManifestPath{"/vendor/etc/openxr/1/active_runtime.json"};
inline constexpr QLatin1StringView DefaultRuntimeLibrary{"libopenxr_forwardloader.so"};
inline constexpr QLatin1StringView SystemLibraryDir{"/system/lib64/"};
inline constexpr QLatin1StringView VendorLibraryDir{"/vendor/lib64/"};

// The command lines. Those that name one headset start with "-s" and its serial.
QStringList devices();
// Runs until stopped, writing a listing whenever the devices change.
QStringList trackDevices();
QStringList getprop(const QString &serial, const QString &property);
QStringList echoExternalStorage(const QString &serial);
QStringList listPackages(const QString &serial);
QStringList catRuntimeManifest(const QString &serial);
QStringList listRuntimeLibrary(const QString &serial, const QString &library);
QStringList removeAppData(const QString &serial, const QStringList &paths);
QStringList install(const QString &serial, const QString &apkPath);
QStringList uninstall(const QString &serial);
QStringList killServer();

} // namespace Adb

#endif // ADBCOMMANDS_H
