#include "adb/adbcommands.h"

namespace Adb {

namespace {

QStringList forDevice(const QString &serial, const QStringList &command)
{
    return QStringList{QStringLiteral("-s"), serial} + command;
}

QStringList shell(const QString &serial, const QStringList &command)
{
    return forDevice(serial, QStringList{QStringLiteral("shell")} + command);
}

} // namespace

QStringList picoOsVersionProperties()
{
    return {QStringLiteral("ro.pico.systemversion"),
            QStringLiteral("ro.pvr.internal.systemversion"),
            QStringLiteral("ro.product.build.version.incremental"),
            QStringLiteral("ro.system.build.version.incremental"),
            QStringLiteral("ro.build.version.incremental")};
}

QStringList devices()
{
    return {QStringLiteral("devices"), QStringLiteral("-l")};
}

QStringList trackDevices()
{
    return {QStringLiteral("track-devices"), QStringLiteral("-l")};
}

QStringList getprop(const QString &serial, const QString &property)
{
    return shell(serial, {QStringLiteral("getprop"), property});
}

QStringList echoExternalStorage(const QString &serial)
{
    // One shell argument, left unquoted, so that the headset's shell expands the variable.
    return shell(serial, {QStringLiteral("echo $EXTERNAL_STORAGE")});
}

QStringList listPackages(const QString &serial)
{
    return shell(serial,
                 {QStringLiteral("pm"), QStringLiteral("list"), QStringLiteral("packages"),
                  PackageName});
}

QStringList catRuntimeManifest(const QString &serial)
{
    return shell(serial, {QStringLiteral("cat"), RuntimeManifestPath});
}

QStringList listRuntimeLibrary(const QString &serial, const QString &library)
{
    return shell(serial,
                 {QStringLiteral("ls"), SystemLibraryDir + library, VendorLibraryDir + library});
}

QStringList removeAppData(const QString &serial, const QStringList &paths)
{
    return shell(serial, QStringList{QStringLiteral("rm"), QStringLiteral("-r")} + paths);
}

QStringList install(const QString &serial, const QString &apkPath)
{
    return forDevice(serial, {QStringLiteral("install"), QStringLiteral("-r"), apkPath});
}

QStringList uninstall(const QString &serial)
{
    return forDevice(serial, {QStringLiteral("uninstall"), PackageName});
}

QStringList killServer()
{
    return {QStringLiteral("kill-server")};
}

} // namespace Adb
