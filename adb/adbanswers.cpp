#include "adb/adbanswers.h"

#include <QRegularExpression>

#include <algorithm>

QStringList answerLines(const QString &text)
{
    static const QRegularExpression lineBreak(QStringLiteral("\r\n|\r|\n"));
    return text.split(lineBreak, Qt::SkipEmptyParts);
}

QString oneLine(const QString &text)
{
    QString line = text;
    line.remove(QLatin1Char('\r'));
    line.remove(QLatin1Char('\n'));
    return line.trimmed();
}

bool isAdbNotice(const QString &line)
{
    // Current and older clients' wordings.
    static const QRegularExpression notice(QRegularExpression::anchoredPattern(QStringLiteral(
            "\\* daemon not running[.;] start(ing it now|ing now) (on port|at) .*"
            "|\\* daemon started successfully( \\*)?"
            "|adb server version \\(\\d+\\) doesn't match this client \\(\\d+\\); killing\\.\\.\\."
            "|adb server is out of date\\.\\s+killing\\.\\.\\.")));
    return notice.match(line.trimmed()).hasMatch();
}

QString withoutAdbNotices(const QString &text)
{
    QStringList kept = answerLines(text);
    kept.removeIf([](const QString &line) { return isAdbNotice(line); });
    return kept.join(QLatin1Char('\n'));
}

ServerStart serverStart(const QString &err)
{
    ServerStart start = ServerStart::None;
    for (const QString &line : answerLines(err)) {
        const QString text = line.trimmed();
        if (text.startsWith(QLatin1String("* daemon started successfully")))
            return ServerStart::Started;
        if (text.startsWith(QLatin1String("* failed to start daemon")))
            return ServerStart::Failed;
        if (isAdbNotice(text))
            start = ServerStart::Starting;
    }
    return start;
}

QString otherAdbServerNotice(const QString &err)
{
    for (const QString &line : answerLines(err)) {
        if (isAdbNotice(line) && line.trimmed().startsWith(QLatin1String("adb server")))
            return line.trimmed();
    }
    return QString();
}

bool saidByAdb(const QString &err)
{
    static const QRegularExpression adb(QStringLiteral("^(error: |adb(\\.exe)?: |- waiting for )"));
    const QStringList lines = answerLines(err);
    return std::any_of(lines.cbegin(), lines.cend(), [](const QString &line) {
        return !isAdbNotice(line) && adb.match(line.trimmed()).hasMatch();
    });
}

QString packageCommandFailure(int exitCode, const QString &out, const QString &err)
{
    bool success = false;
    bool failure = false;
    QStringList said;
    // The cause is usually on the error stream, so it comes first.
    for (const QString &line : answerLines(err) + answerLines(out)) {
        const QString text = line.trimmed();
        success = success || text == QLatin1String("Success");
        failure = failure || text.startsWith(QLatin1String("Failure"));
        // adb's progress report: "Performing Streamed Install", "x.apk: 1 file pushed, ...".
        static const QRegularExpression progress(
                QStringLiteral("^Performing .*Install$|: \\d+ files? pushed"));
        if (!isAdbNotice(text) && !progress.match(text).hasMatch())
            said << line;
    }
    if (exitCode == 0 && success && !failure)
        return QString();
    if (!said.isEmpty())
        return said.join(QLatin1Char('\n'));
    if (exitCode != 0)
        return QStringLiteral("adb ended with exit code %1.").arg(exitCode);
    return QStringLiteral("adb did not report success.");
}

bool mayMeanHeadsetLost(const QString &failure)
{
    static const QRegularExpression lost(
            QStringLiteral("no devices/emulators found|device '[^']*' not found|device offline|"
                           "^error: closed$|adb ended with exit code|adb did not report success"),
            QRegularExpression::MultilineOption);
    const QStringList lines = answerLines(failure);
    return lost.match(failure).hasMatch()
            || (!lines.isEmpty() && lines.last().trimmed().endsWith(QLatin1Char(':')));
}

bool listsPackage(const QString &pmOutput, const QString &package)
{
    const QString wanted = QLatin1String("package:") + package;
    const QStringList lines = answerLines(pmOutput);
    return std::any_of(lines.cbegin(), lines.cend(),
                       [&wanted](const QString &line) { return line.trimmed() == wanted; });
}

bool listsAnyPath(const QString &lsOutput, const QStringList &paths)
{
    const QStringList lines = answerLines(lsOutput);
    return std::any_of(lines.cbegin(), lines.cend(),
                       [&paths](const QString &line) { return paths.contains(line.trimmed()); });
}
