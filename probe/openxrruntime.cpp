#include "probe/openxrruntime.h"
#include "adb/adbanswers.h"
#include "adb/adbcommands.h"
#include "app/cbrelvopico.h"

#include <QRegularExpression>

QString runtimeLibraryName(const QString &manifest)
{
    const QString fallback = Adb::DefaultRuntimeLibrary;
    // Read as text: the first "library_path" key, then the first quoted value after its colon.
    const qsizetype key = manifest.indexOf(QLatin1String("\"library_path\""));
    if (key < 0)
        return fallback;
    const qsizetype colon = manifest.indexOf(QLatin1Char(':'), key);
    if (colon < 0)
        return fallback;
    const qsizetype open = manifest.indexOf(QLatin1Char('"'), colon + 1);
    if (open < 0)
        return fallback;
    const qsizetype close = manifest.indexOf(QLatin1Char('"'), open + 1);
    if (close < 0)
        return fallback;
    const QString value = manifest.mid(open + 1, close - open - 1);

    // The library is looked for in the library folders, so a path counts by its file name.
    // The name goes into a command for the headset's shell: anything that is not plainly a
    // file name is not taken.
    static const QRegularExpression fileName(
            QRegularExpression::anchoredPattern(QStringLiteral("[A-Za-z0-9._+-]+")));
    const QString name = value.mid(value.lastIndexOf(QLatin1Char('/')) + 1).trimmed();
    // "." and ".." name folders, and ls would list a folder's contents.
    if (name == QLatin1String(".") || name == QLatin1String(".."))
        return fallback;
    return fileName.match(name).hasMatch() ? name : fallback;
}

bool CBrelvoPico::hasOpenXrRuntime(const QString &serial)
{
    const QString library =
            runtimeLibraryName(oneLine(queryHeadset(Adb::catRuntimeManifest(serial)).text));
    // ls names each path that exists on a line of its own; older headsets add its complaints
    // about the missing ones on the same stream.
    const QString listing = queryHeadset(Adb::listRuntimeLibrary(serial, library)).text;
    return listsAnyPath(listing,
                        {Adb::SystemLibraryDir + library, Adb::VendorLibraryDir + library});
}
