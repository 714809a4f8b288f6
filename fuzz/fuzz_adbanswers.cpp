// The reading of adb's answers: a success is never declared without adb's own "Success" line,
// exit code 0 and no "Failure" line; a failure always says something, and never one of adb's
// notices; a package or library counts as listed only when the answer names it.
// Input: the exit code's byte, then standard output and the error stream split at a NUL.
#include "fuzzcheck.h"

#include "adb/adbanswers.h"

#include <QString>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const int exitCode = data[0] % 4;
    const QByteArray rest(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    const qsizetype split = rest.indexOf('\0');
    const QString out = QString::fromUtf8(split < 0 ? rest : rest.left(split));
    const QString err = QString::fromUtf8(split < 0 ? QByteArray() : rest.mid(split + 1));

    const QString failure = packageCommandFailure(exitCode, out, err);
    const QStringList lines = answerLines(out) + answerLines(err);
    if (failure.isEmpty()) {
        FUZZ_CHECK(exitCode == 0);
        bool success = false;
        for (const QString &line : lines) {
            success = success || line.trimmed() == QLatin1String("Success");
            FUZZ_CHECK(!line.trimmed().startsWith(QLatin1String("Failure")));
        }
        FUZZ_CHECK(success);
    } else {
        for (const QString &line : answerLines(failure))
            FUZZ_CHECK(!isAdbNotice(line));
    }
    for (const QString &line : answerLines(withoutAdbNotices(err)))
        FUZZ_CHECK(!isAdbNotice(line));

    const QString package = QStringLiteral("com.Brelvo.BrelvoVRViewer");
    if (listsPackage(out, package))
        FUZZ_CHECK(out.contains(QLatin1String("package:") + package));
    const QStringList paths = {QStringLiteral("/system/lib64/libx.so"),
                               QStringLiteral("/vendor/lib64/libx.so")};
    if (listsAnyPath(out, paths))
        FUZZ_CHECK(out.contains(paths.at(0)) || out.contains(paths.at(1)));
    return 0;
}
