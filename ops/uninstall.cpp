#include "ops/uninstall.h"
#include "adb/adbanswers.h"
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

QStringList pathsLeft(const QStringList &paths, const QString &rmSaid)
{
    QStringList left;
    for (const QString &line : answerLines(rmSaid)) {
        if (line.endsWith(QLatin1String("No such file or directory")))
            continue;
        QStringList named;
        std::copy_if(paths.cbegin(), paths.cend(), std::back_inserter(named),
                     [&line](const QString &path) { return line.contains(path); });
        if (named.isEmpty())
            return paths;
        for (const QString &path : named) {
            if (!left.contains(path))
                left << path;
        }
    }
    return left;
}

void CBrelvoPico::on_uninstallPushButton_clicked()
{
    runAction(&CBrelvoPico::uninstall);
}

void CBrelvoPico::uninstall(const QString &headset)
{
    logWaitLine(QStringLiteral("Uninstalling package, please wait ..."));
    const HeadsetAnswer installed = getInstalledPackage(headset);
    if (installed.kind != HeadsetAnswer::Answered) {
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
    if (!uninstallPackage(headset) || !finishAction(PackageVerb::Uninstall, headset))
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
    // What rm says of folders that are not there is of no interest; the app's own folders that
    // it could not remove, or a removal that was cut, the user may want to know of.
    const QStringList paths = appDataPaths(storage);
    const HeadsetAnswer removal = queryHeadset(Adb::removeAppData(serial, paths));
    const bool cut = removal.kind == HeadsetAnswer::NotAnswered;
    const QStringList left =
            cut ? paths : pathsLeft(paths, removal.text + QLatin1Char('\n') + removal.instead);
    if (left.isEmpty())
        return;
    logError(QStringLiteral("The app is uninstalled, but not all of its data could be removed; "
                            "these may still be on the headset: %1. -> To free their space, "
                            "delete them with a file manager on the headset.")
                     .arg(left.join(QLatin1String(", "))));
    if (cut)
        advise(removal.instead);
}
