#include "app/cbrelvopico.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>

// The steps that Install and Uninstall share: the file checks, finding the headset, keeping
// the buttons out of reach while adb works, and the verdict on what adb did.

QString CBrelvoPico::adbStartFailure() const
{
    return QStringLiteral("\"%1\" could not be started. -> Please check that it is there and "
                          "complete; security software may be blocking it.")
            .arg(adbPath);
}

QStringList CBrelvoPico::missingFileErrors(bool withLegacyApk) const
{
    QStringList errors;
    if (!QFile::exists(adbPath))
        errors << QStringLiteral("Error: Cannot find adb");
    if (!QFile::exists(apkPath))
        errors << QStringLiteral("Error: Cannot find Brelvo VR Viewer APK");
    if (withLegacyApk && !QFile::exists(apkLegacyPath))
        errors << QStringLiteral("Error: Cannot find Brelvo VR Viewer Legacy APK");
    return errors;
}

bool CBrelvoPico::reportMissingFiles()
{
    // An action stops at the first file it lacks.
    const QStringList errors = missingFileErrors(false);
    if (!errors.isEmpty())
        logError(errors.first());
    return !errors.isEmpty();
}

QString CBrelvoPico::findReadyHeadset(bool &isNeo2)
{
    bool authorized = true;
    const QString serial = findDevice(authorized, isNeo2);
    if (adbCouldNotStart()) {
        // Not the headset's fault: say so rather than send the user to check the cable.
        logError(QStringLiteral("Error: ") + adbStartFailure());
        return QString();
    }
    if (!authorized) {
        logError(QStringLiteral("Device is NOT Authorized! -> Please allow USB debugging on the "
                                "Pico headset and try again."));
    } else if (serial.isEmpty()) {
        logError(QStringLiteral("Cannot find the Pico headset! -> Please make sure that it is "
                                "connected and has USB debugging enabled."));
    }
    return authorized ? serial : QString();
}

void CBrelvoPico::setActionsEnabled(bool enabled)
{
    ui.installPushButton->setEnabled(enabled);
    ui.uninstallPushButton->setEnabled(enabled);
}

void CBrelvoPico::finishAction(const QString &errorPrefix, const QString &successText)
{
    // The window stays responsive while adb works: Close must still end the program at once.
    QByteArray out;
    QByteArray err;
    bool headsetLost = false;
    while (process->state() == QProcess::Running) {
        // Waiting on the process rather than sleeping keeps its output flowing, so a chatty
        // adb is not held back, and the verdict follows its end at once.
        process->waitForFinished(PollIntervalMs);
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        out += process->readAllStandardOutput();
        err += process->readAllStandardError();
        // adb waits for ever for a headset that went away; there is nothing to wait for.
        if (err.contains("- waiting for device -")) {
            headsetLost = true;
            process->kill();
            process->waitForFinished(-1);
        }
    }
    out += process->readAllStandardOutput();
    err += process->readAllStandardError();

    QString reason;
    if (adbCouldNotStart()) {
        reason = adbStartFailure();
    } else if (headsetLost) {
        reason = QStringLiteral("The Pico headset was disconnected. -> Please reconnect it and "
                                "try again.");
    } else if (process->exitStatus() == QProcess::CrashExit) {
        reason = QStringLiteral("adb stopped unexpectedly. -> Please reconnect the headset and "
                                "try again.");
    } else if (process->exitCode() == 0 && err.isEmpty()) {
        logInfo(successText);
        return;
    } else if (!err.trimmed().isEmpty()) {
        reason = QString::fromUtf8(err);
    } else if (!out.trimmed().isEmpty()) {
        reason = QString::fromUtf8(out);
    } else {
        reason = QStringLiteral("adb ended with exit code %1.").arg(process->exitCode());
    }
    logError(errorPrefix + reason);
}
