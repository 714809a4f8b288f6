#include "ops/uninstall.h"
#include "adb/adbcommands.h"
#include "app/cbrelvopico.h"

#include <QRegularExpression>

#include <algorithm>

bool isSafeStoragePath(const QString &storage)
{
    // Anchored at both ends: a "$" alone would also let a final line break through.
    static const QRegularExpression allowed(
            QRegularExpression::anchoredPattern(QStringLiteral("/[A-Za-z0-9/._-]*")));
    if (!allowed.match(storage).hasMatch())
        return false;
    const QStringList segments = storage.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (segments.contains(QLatin1String("..")))
        return false;
    // "/", "//" or "/./." all name the root.
    return std::any_of(segments.cbegin(), segments.cend(),
                       [](const QString &segment) { return segment != QLatin1String("."); });
}

QStringList appDataPaths(const QString &storage)
{
    const QString package = Adb::PackageName;
    return {storage + QLatin1String("/UE4Game/BrelvoVRViewer"),
            storage + QLatin1String("/UE4Game/UE4CommandLine.txt"),
            storage + QLatin1String("/obb/") + package,
            storage + QLatin1String("/Android/obb/") + package,
            storage + QLatin1String("/Download/obb/") + package};
}

void CBrelvoPico::on_uninstallPushButton_clicked()
{
    runAction(&CBrelvoPico::uninstall);
}

void CBrelvoPico::uninstall(const QString &headset)
{
    logWaitLine(QStringLiteral("Uninstalling package, please wait ..."));
    const HeadsetAnswer installed = getInstalledPackage(headset);
    if (!installed.answered) {
        logError(QStringLiteral("Could not read the installed apps from the Pico headset! -> "
                                "Please reconnect it and try again."));
        advise(installed.instead);
        return;
    }
    if (installed.text.isEmpty()) {
        // adb before 35.0.1 answers a query whose link dropped as an empty success: "not
        // installed" holds only if the headset is still there.
        if (stillTheHeadset(headset))
            logInfo(QStringLiteral("Package is already uninstalled!"));
        return;
    }
    if (!uninstallPackage(headset)
        || !finishAction(QStringLiteral("Error uninstalling Package: "), headset))
        return;
    // Only now that the app is gone: an app the headset refused to remove keeps its data.
    removeAppData(headset);
    logInfo(QStringLiteral("Package uninstalled successfully!"));
}

bool CBrelvoPico::uninstallPackage(const QString &headset)
{
    if (!stillTheHeadset(headset))
        return false;
    startAdbCommand(Adb::uninstall(headset));
    return true;
}

void CBrelvoPico::removeAppData(const QString &serial)
{
    // The paths reach the headset's shell unquoted: only a plain storage path may prefix them,
    // or a stray space would delete far more than the app's own folders.
    const QString storage = getExternalStorage(serial);
    if (!isSafeStoragePath(storage)) {
        logInfo(QStringLiteral("Could not find the headset's storage folder; the app's data "
                               "folders were left in place."));
        return;
    }
    // What rm says of folders that are not there is of no interest.
    runAdbCommand(Adb::removeAppData(serial, appDataPaths(storage)));
}
