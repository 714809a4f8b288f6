#include "adb/adbcommands.h"
#include "app/cbrelvopico.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

void CBrelvoPico::on_installPushButton_clicked()
{
    runAction(&CBrelvoPico::install);
}

void CBrelvoPico::install(const QString &headset)
{
    logWaitLine(QStringLiteral("Installing package, please wait ..."));
    if (installPackage(headset) && finishAction(PackageVerb::Install, headset))
        logInfo(QStringLiteral("Package installed successfully!"));
}

bool CBrelvoPico::installPackage(const QString &headset)
{
    const std::optional<ListedDevice> device = stillTheHeadset(headset);
    if (!device)
        return false;

    QString apk = apkPico2Path;
    if (!device->isNeo2()) {
        const QString version = getPicoOsVersion(headset);
        const QString model = getDeviceModel(headset);
        const bool openXr = hasOpenXrRuntime(headset);
        // Which build suits the headset is not known without its answers: install none.
        if (!known.unanswered.isEmpty()) {
            logError(QStringLiteral("Could not read the firmware of the Pico headset! -> Please "
                                    "reconnect it and try again."));
            advise(known.unanswered);
            return false;
        }
        if (!version.isEmpty())
            logInfo(QStringLiteral("PICO OS version: ") + version);
        if (!model.isEmpty())
            logInfo(QStringLiteral("Device model: ") + model);
        if (openXr) {
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
    startAdbCommand(
            Adb::install(headset, QDir::toNativeSeparators(QFileInfo(apk).absoluteFilePath())));
    return true;
}
