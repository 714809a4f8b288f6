#include "adb/adbcommands.h"
#include "app/cbrelvopico.h"

QString CBrelvoPico::queryHeadset(const QStringList &arguments, bool *answered)
{
    QString stdOut;
    QString stdErr;
    const bool ran = runAdbCommand(arguments, stdOut, stdErr, true, true);
    // Empty output is an answer only when adb ran and had nothing to complain about; a headset
    // that is gone or hangs has not answered.
    if (answered && (!ran || (stdOut.isEmpty() && !stdErr.trimmed().isEmpty())))
        *answered = false;
    return stdOut;
}

QString CBrelvoPico::getDeviceModel(const QString &serial)
{
    return queryHeadset(Adb::getprop(serial, Adb::ModelProperty)).trimmed();
}

QString CBrelvoPico::getExternalStorage(const QString &serial)
{
    // White space around a path is never part of it.
    return queryHeadset(Adb::echoExternalStorage(serial)).trimmed();
}

QString CBrelvoPico::getInstalledPackage(const QString &serial, bool &answered)
{
    return queryHeadset(Adb::listPackages(serial), &answered);
}
