#include "adb/adbanswers.h"
#include "adb/adbcommands.h"
#include "app/cbrelvopico.h"

HeadsetAnswer CBrelvoPico::queryHeadset(const QStringList &arguments)
{
    // The first question that goes unanswered ends the asking: a headset that hung once would
    // cost the whole bound on every question after it.
    if (!known.unanswered.isEmpty())
        return {HeadsetAnswer::NotAnswered, QString(), known.unanswered};
    const AdbRun run = runAdbCommand(arguments);
    if (run.outcome == AdbRun::Ended && run.exitCode != 255 && !saidByAdb(run.err))
        return {run.exitCode == 0 ? HeadsetAnswer::Answered : HeadsetAnswer::AnsweredNo, run.out,
                withoutAdbNotices(run.err)};
    // Since adb 35, a shell whose link drops ends with exit code 255.
    known.unanswered = run.outcome == AdbRun::Stopped ? adbNoAnswer()
            : run.outcome != AdbRun::Ended            ? adbProblem(run)
            : run.exitCode == 255                     ? headsetDisconnected()
                                                      : withoutAdbNotices(run.err);
    return {HeadsetAnswer::NotAnswered, run.out, known.unanswered};
}

QString CBrelvoPico::getDeviceModel(const QString &serial)
{
    return oneLine(queryHeadset(Adb::getprop(serial, Adb::ModelProperty)).text);
}

QString CBrelvoPico::getExternalStorage(const QString &serial)
{
    // White space around a path is never part of it.
    return oneLine(queryHeadset(Adb::echoExternalStorage(serial)).text);
}

HeadsetAnswer CBrelvoPico::getInstalledPackage(const QString &serial)
{
    HeadsetAnswer answer = queryHeadset(Adb::listPackages(serial));
    answer.text = listsPackage(answer.text, Adb::PackageName)
            ? QLatin1String("package:") + Adb::PackageName
            : QString();
    return answer;
}
