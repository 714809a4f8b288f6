#include "adb/adbanswers.h"
#include "app/advice.h"
#include "app/cbrelvopico.h"
#include "app/connection.h"

#include <QFile>
#include <QProcess>
#include <QTimer>

#include <utility>

// The steps that Install and Uninstall share: the file checks, finding the headset, keeping
// the buttons out of reach while adb works, and the verdict on what adb did.

QString CBrelvoPico::adbStartFailure() const
{
    return QStringLiteral("\"%1\" could not be started. -> Please check that it is there and "
                          "complete; security software may be blocking it.")
            .arg(adbPath);
}

QString CBrelvoPico::adbProblem(const AdbRun &run) const
{
    const QString retry = QStringLiteral(" -> Please close other programs that use adb, or "
                                         "restart the computer, and try again.");
    switch (run.outcome) {
    case AdbRun::CouldNotStart:
        return adbStartFailure();
    case AdbRun::Stopped:
        return QStringLiteral("adb did not answer within %1 seconds.").arg(adbTimeout / 1000)
                + retry;
    case AdbRun::Crashed:
#ifdef Q_OS_WIN
        // STATUS_DLL_NOT_FOUND: Windows could not load adb at all.
        if (uint(run.exitCode) == 0xC0000135u)
            return QStringLiteral("adb could not run: a file it needs (such as AdbWinApi.dll) is "
                                  "missing beside it. -> Please restore the tools folder beside "
                                  "the program.");
#endif
        return QStringLiteral("adb stopped unexpectedly while looking for the headset. -> Please "
                              "check that the tools folder beside the program is complete, and "
                              "try again.");
    case AdbRun::Refused:
        return QStringLiteral("adb is still busy with another command.") + retry;
    case AdbRun::Started:
    case AdbRun::Ended:
        break;
    }
    QString said = withoutAdbNotices(run.err);
    if (said.isEmpty())
        said = QStringLiteral("adb ended with exit code %1.").arg(run.exitCode);
    return QStringLiteral("adb could not look for the headset.") + retry + QLatin1Char('\n') + said;
}

QString CBrelvoPico::missingFileError(const QString &path) const
{
    const QString name = path == adbPath ? QStringLiteral("adb")
            : path == apkLegacyPath      ? QStringLiteral("Brelvo VR Viewer Legacy APK")
            : path == apkPico2Path       ? QStringLiteral("Brelvo VR Viewer Pico Neo 2 APK")
                                         : QStringLiteral("Brelvo VR Viewer APK");
    return QStringLiteral("Error: Cannot find ") + name;
}

QStringList CBrelvoPico::missingFileErrors(bool withLegacyApk) const
{
    QStringList errors;
    if (!QFile::exists(adbPath))
        errors << missingFileError(adbPath);
    if (!QFile::exists(apkPath))
        errors << missingFileError(apkPath);
    if (withLegacyApk && !QFile::exists(apkLegacyPath))
        errors << missingFileError(apkLegacyPath);
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

QString CBrelvoPico::noHeadsetReason(const HeadsetChoice &choice) const
{
    switch (choice.kind) {
    case HeadsetChoice::AdbFailed:
        // Not the headset's fault: say so rather than send the user to check the cable.
        return QStringLiteral("Error: ") + choice.problem;
    case HeadsetChoice::NotReady:
        return notReadyReason(choice.notReady.state);
    case HeadsetChoice::NoDevice:
        return QStringLiteral("Cannot find the Pico headset! -> Please make sure that it is "
                              "connected and has USB debugging enabled.");
    case HeadsetChoice::SeveralReady:
        return QStringLiteral("Several Android devices are connected: %1. -> Please unplug all "
                              "but the Pico headset and try again.")
                .arg(displayNames(choice.ready));
    case HeadsetChoice::NotAPico:
        return QStringLiteral("%1 is not a Pico headset. -> Please connect the Pico headset by "
                              "USB and try again.")
                .arg(choice.headset.displayName());
    case HeadsetChoice::Ready:
        break;
    }
    return QString();
}

QString CBrelvoPico::detectHeadset(bool announce, bool &isNeo2)
{
    const HeadsetChoice choice = findDevice();
    isNeo2 = choice.headset.isNeo2();
    if (choice.kind != HeadsetChoice::Ready) {
        // Several devices: what to do is in the line itself.
        if (choice.kind == HeadsetChoice::SeveralReady)
            logError(noHeadsetReason(choice));
        else
            logErrorWithAdvice(noHeadsetReason(choice));
        return QString();
    }
    if (announce) {
        const QString line = usingHeadsetLine(choice);
        if (!line.isEmpty())
            logInfo(line);
    }
    return choice.headset.serial;
}

bool CBrelvoPico::isStillTheHeadset(const QString &headset, bool &isNeo2)
{
    // The devices may have changed since the click; nothing goes to any other device.
    const QString serial = detectHeadset(false, isNeo2);
    if (serial.isEmpty())
        return false;
    if (serial != headset) {
        logError(QStringLiteral("The connected devices changed while the program was working. "
                                "-> Please keep only the Pico headset connected and try again."));
        return false;
    }
    return true;
}

void CBrelvoPico::setBusy(bool working)
{
    busy = working;
    ui.installPushButton->setEnabled(!working);
    ui.uninstallPushButton->setEnabled(!working);
}

void CBrelvoPico::beginAction()
{
    setBusy(true);
    deviceAnswers = {};
}

void CBrelvoPico::endAction()
{
    adviseOnOtherAdb();
    setBusy(false);
    // What the watcher saw meanwhile is known, not told: the action has told what it met.
    if (listingPending)
        readListing(pendingListing, false);
}

void CBrelvoPico::logWaitLine(const QString &text)
{
    waitLine.block = appendLogLine(LogKind::Info, text);
    waitLine.text = text;
    waitLine.clock.start();
    waitLine.longWaitSaid = false;
}

void CBrelvoPico::showWaitTime()
{
    replaceLogLine(
            waitLine.block, LogKind::Info,
            QStringLiteral("%1 %2 s").arg(waitLine.text).arg(waitLine.clock.elapsed() / 1000));
    if (!waitLine.longWaitSaid && waitLine.clock.elapsed() >= longWait) {
        waitLine.longWaitSaid = true;
        logInfo(QStringLiteral("Big installs over USB can take several minutes. -> Please keep the "
                               "headset awake and connected until the program says it is done."));
    }
}

bool CBrelvoPico::finishAction(const QString &errorPrefix, const QString &headset)
{
    // No bound here: a big install over USB takes minutes. The line that says to wait counts
    // the seconds meanwhile, and Close ends the program at any time.
    QTimer clock;
    clock.setInterval(1000);
    clock.setTimerType(Qt::PreciseTimer);
    connect(&clock, &QTimer::timeout, this, &CBrelvoPico::showWaitTime);
    clock.start();
    // adb waits for ever for a headset that went away; there is nothing to wait for.
    bool headsetLost = false;
    const QMetaObject::Connection lost =
            connect(process, &QProcess::readyReadStandardError, this, [this, &headsetLost] {
                if (!headsetLost && adbErr.contains("- waiting for device -")) {
                    headsetLost = true;
                    process->kill();
                }
            });
    waitForAdb(-1);
    disconnect(lost);
    clock.stop();
    showWaitTime(); // the whole wait
    const AdbRun run = adbRunResult(headsetLost);

    QString reason;
    switch (run.outcome) {
    case AdbRun::CouldNotStart:
        reason = adbStartFailure();
        break;
    case AdbRun::Stopped:
        reason = QStringLiteral("The Pico headset was disconnected. -> Please reconnect it and "
                                "try again.");
        break;
    case AdbRun::Crashed:
        reason = QStringLiteral("adb stopped unexpectedly. -> Please reconnect the headset and "
                                "try again.");
        break;
    case AdbRun::Refused:
        reason = adbProblem(run);
        break;
    case AdbRun::Started:
    case AdbRun::Ended:
        reason = packageCommandFailure(run.exitCode, run.out, run.err);
        // Newer clients no longer wait for a headset that went, and one that goes mid-command
        // may leave adb's sentence unfinished: the listing says what happened.
        if (!reason.isEmpty() && mayMeanHeadsetLost(reason)) {
            const HeadsetChoice now = findDevice();
            if (now.kind == HeadsetChoice::NotReady)
                reason = noHeadsetReason(now);
            else if (now.kind != HeadsetChoice::Ready || now.headset.serial != headset)
                reason = QStringLiteral("The Pico headset was disconnected. -> Please reconnect "
                                        "it and try again.");
        }
        break;
    }
    if (!reason.isEmpty())
        logErrorWithAdvice(errorPrefix + reason);
    return reason.isEmpty();
}

void CBrelvoPico::logErrorWithAdvice(const QString &text)
{
    logError(text);
    advise(text);
}

void CBrelvoPico::advise(const QString &said)
{
    const Advice advice = adviceFor(said);
    if (!advice.text.isEmpty())
        logInfo(advice.text);
}

void CBrelvoPico::adviseOnOtherAdb()
{
    if (!otherAdbNotice.isEmpty())
        advise(std::exchange(otherAdbNotice, QString()));
}
