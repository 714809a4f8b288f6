#include "adb/adbcommands.h"
#include "app/cbrelvopico.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>

void CBrelvoPico::on_installPushButton_clicked()
{
    // One action at a time: the shared process runs one adb command.
    if (busy)
        return;
    beginAction();
    const auto done = qScopeGuard([this] { endAction(); });

    if (reportMissingFiles())
        return;
    bool isNeo2 = false;
    const QString headset = detectHeadset(true, isNeo2);
    if (headset.isEmpty())
        return;

    logWaitLine(QStringLiteral("Installing package, please wait ..."));
    if (!installPackage(headset))
        return;
    if (finishAction(QStringLiteral("Error installing Package: "), headset))
        logInfo(QStringLiteral("Package installed successfully!"));
}

bool CBrelvoPico::installPackage(const QString &headset)
{
    bool isNeo2 = false;
    if (!isStillTheHeadset(headset, isNeo2))
        return false;

    QString apk = apkPico2Path;
    if (!isNeo2) {
        const QString version = getPicoOsVersion(headset);
        const QString model = getDeviceModel(headset);
        if (!version.isEmpty())
            logInfo(QStringLiteral("PICO OS version: ") + version);
        if (!model.isEmpty())
            logInfo(QStringLiteral("Device model: ") + model);
        if (hasOpenXrRuntime(headset)) {
            logInfo(QStringLiteral(
                    "Firmware provides an OpenXR runtime -> installing the OpenXR build."));
            apk = apkPath;
        } else {
            logInfo(QStringLiteral("Firmware has no usable OpenXR runtime (a PICO OS update may "
                                   "add it) -> installing the Legacy build."));
            apk = apkLegacyPath;
        }
    }
    // Name the missing build ourselves rather than leave it to adb's "failed to stat".
    if (!QFile::exists(apk)) {
        logError(missingFileError(apk));
        return false;
    }
    // The absolute path as the platform writes it: with backslashes on Windows.
    runAdbCommand(
            Adb::install(headset, QDir::toNativeSeparators(QFileInfo(apk).absoluteFilePath())),
            false);
    return true;
}
