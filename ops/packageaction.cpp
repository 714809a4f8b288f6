#include "adb/adbanswers.h"
#include "app/cbrelvopico.h"

#include <QProcess>
#include <QTimer>

// What Install and Uninstall share once the headset is found: the line that says to wait, and
// the verdict on what adb did.

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
    if (!waitLine.longWaitSaid && waitLine.clock.elapsed() >= waitLine.longWait) {
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
                if (!headsetLost && command.err.contains("- waiting for device -")) {
                    headsetLost = true;
                    process->kill();
                }
            });
    waitForAdb(-1);
    disconnect(lost);
    clock.stop();
    showWaitTime(); // the whole wait
    const QString reason =
            failureReason(adbRunResult(headsetLost ? AdbRun::Stopped : AdbRun::Ended), headset);
    if (!reason.isEmpty())
        logErrorWithAdvice(errorPrefix + reason);
    return reason.isEmpty();
}

QString CBrelvoPico::failureReason(const AdbRun &run, const QString &headset)
{
    if (run.outcome == AdbRun::CouldNotStart)
        return adbStartFailure();
    if (run.outcome == AdbRun::Stopped)
        return headsetDisconnected();
    if (run.outcome == AdbRun::Crashed)
        return QStringLiteral("adb stopped unexpectedly. -> Please reconnect the headset and try "
                              "again.");
    const QString said = packageCommandFailure(run.exitCode, run.out, run.err);
    // Newer clients no longer wait for a headset that went, and one that goes mid-command may
    // leave adb's sentence unfinished: the listing says what happened.
    if (said.isEmpty() || !mayMeanHeadsetLost(said))
        return said;
    const HeadsetChoice now = findDevice();
    if (now.kind == HeadsetChoice::NotReady)
        return stopLine(now).text;
    if (now.kind != HeadsetChoice::Ready || now.headset.serial != headset)
        return headsetDisconnected();
    return said;
}
