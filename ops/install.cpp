#include "adb/adbcommands.h"
#include "app/cbrelvopico.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QScopeGuard>

void CBrelvoPico::on_installPushButton_clicked()
{
    // One action at a time: the shared process runs one adb command.
    setActionsEnabled(false);
    const auto enableAgain = qScopeGuard([this] { setActionsEnabled(true); });

    if (reportMissingFiles())
        return;
    bool isNeo2 = false;
    if (findReadyHeadset(isNeo2).isEmpty())
        return;

    logInfo(QStringLiteral("Installing package, please wait ..."));
    // Paint that line before the queries hold the window.
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    if (!installPackage())
        return;
    finishAction(QStringLiteral("Error installing Package: "),
                 QStringLiteral("Package installed successfully!"));
}

bool CBrelvoPico::installPackage()
{
    // The headset may have changed since the click; what is attached now decides.
    bool isNeo2 = false;
    const QString serial = findReadyHeadset(isNeo2);
    if (serial.isEmpty())
        return false;

    QString apk = apkPico2Path;
    if (!isNeo2) {
        const QString version = getPicoOsVersion(serial);
        const QString model = getDeviceModel(serial);
        if (!version.isEmpty())
            logInfo(QStringLiteral("PICO OS version: ") + version);
        if (!model.isEmpty())
            logInfo(QStringLiteral("Device model: ") + model);
        if (hasOpenXrRuntime(serial)) {
            logInfo(QStringLiteral(
                    "Firmware provides an OpenXR runtime -> installing the OpenXR build."));
            apk = apkPath;
        } else {
            logInfo(QStringLiteral("Firmware has no usable OpenXR runtime (a PICO OS update may "
                                   "add it) -> installing the Legacy build."));
            apk = apkLegacyPath;
        }
    }

    QString unused;
    runAdbCommand(Adb::install(serial, QFileInfo(apk).absoluteFilePath()), unused, unused, false,
                  false);
    return true;
}
