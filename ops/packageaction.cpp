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
    waitLine.ticks.start();
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

bool CBrelvoPico::finishAction(PackageVerb verb, const QString &headset)
{
    const int serverChanges = server.changes;
    // No bound here: a big install over USB takes minutes. The line that says to wait counts
    // the seconds meanwhile, and Close ends the program at any time.
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
    waitLine.ticks.stop();
    showWaitTime(); // the whole wait
    const QString reason =
            failureReason(adbRunResult(headsetLost ? AdbRun::Stopped : AdbRun::Ended), verb,
                          headset, serverChanges);
    if (!reason.isEmpty())
        logErrorWithAdvice((verb == PackageVerb::Install
                                    ? QStringLiteral("Error installing Package: ")
                                    : QStringLiteral("Error uninstalling Package: "))
                           + reason);
    return reason.isEmpty();
}

QString CBrelvoPico::failureReason(const AdbRun &run, PackageVerb verb, const QString &headset,
                                   int serverChanges)
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
    showConnection(now, Telling::Remember);
    // Another program's adb that replaces adb's server cuts off the command under way; the
    // headset may have had all it needed by then.
    if (server.changes != serverChanges)
        return verb == PackageVerb::Install
                ? QStringLiteral("adb's background service was replaced in the middle, most likely "
                                 "by another program's adb; the app may already be on the "
                                 "headset. -> Please press Install again to make sure.")
                : QStringLiteral("adb's background service was replaced in the middle, most likely "
                                 "by another program's adb; the app may already be gone from the "
                                 "headset. -> Please press Uninstall again to make sure.");
    if (now.kind == HeadsetChoice::NotReady)
        return stopLine(now).text;
    if (now.kind != HeadsetChoice::Ready || now.headset.serial != headset)
        return headsetDisconnected();
    return said;
}
