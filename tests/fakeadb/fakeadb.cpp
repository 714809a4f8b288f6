// A stand-in for adb that tests put at tools/adb. It appends each argument list to the journal
// named by FAKEADB_JOURNAL, one JSON array a line, and its process id, start time and arguments
// to FAKEADB_PIDS, then
// answers from the scenario file (JSON) named by FAKEADB_SCENARIO, or fakeadb.json beside it.
//
// The scenario's "rules" are tried first, in order; what no rule answers is left to the
// simulated devices of simulatedheadset.h:
//   {"rules": [{"args": ["devices", "-l"],            exact argument list, or
//               "prefix": ["-s", "X", "shell"],       the list starts with these, or
//               "args": "*",                          any list
//               "responses": [{...}, {...}]}],        first call, second call, ...; the
//                                                     last repeats; none: the simulated
//                                                     devices answer
//    "devices": [...]}
// A response: {"stdout": text, "stdoutBase64": bytes, "stdoutRepeat": n, "stderr": text,
//              "stderrBase64": bytes, "stderrRepeat": n, "exitCode": n, "delayMs": n, "hang": true,
//              "crash": true, "breakAdb": true (this adb cannot be started again afterwards),
//              "capture": path (the streams and exit code of a capture of the real adb),
//              "stream": path (a capture of `adb track-devices`: its listings one by one, each
//              once the test has added a line to the state file's name with ".release" after it,
//              then the listing "then"; then it waits to be stopped)}.
#include "../support/processidentity.h"
#include "simulatedheadset.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QThread>

#include <cstdio>
#include <cstdlib>
#ifdef Q_OS_WIN
#include <fcntl.h>
#include <io.h>

// In AdbWinApi.dll beside the program, as adb.exe needs its own.
extern "C" __declspec(dllimport) int adbWinApiStandIn();
#endif

namespace {

bool ruleMatches(const QJsonObject &rule, const QStringList &args)
{
    if (rule.value(QLatin1String("args")).toString() == QLatin1String("*"))
        return true;
    if (rule.contains(QLatin1String("prefix"))) {
        const QStringList prefix = toStringList(rule.value(QLatin1String("prefix")).toArray());
        return args.mid(0, prefix.size()) == prefix;
    }
    return toStringList(rule.value(QLatin1String("args")).toArray()) == args;
}

int selectRule(const QJsonArray &rules, const QStringList &args)
{
    for (int i = 0; i < rules.size(); ++i) {
        if (ruleMatches(rules.at(i).toObject(), args))
            return i;
    }
    return -1;
}

// Writes a response's text on its stream as many times as it asks, without holding it all.
void writeStream(std::FILE *stream, const QJsonObject &response, const QString &name)
{
    const QString base64 = name + QLatin1String("Base64");
    const QByteArray bytes = response.contains(base64)
            ? QByteArray::fromBase64(response.value(base64).toString().toLatin1())
            : response.value(name).toString().toUtf8();
    const int repeat = qMax(1, response.value(name + QLatin1String("Repeat")).toInt(1));
    for (int i = 0; i < repeat; ++i)
        std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

// Ends the process the way a crash does, without a crash dialog on Windows.
[[noreturn]] void crash()
{
#ifdef Q_OS_WIN
    std::_Exit(static_cast<int>(0xC0000005u)); // an access violation's status
#else
    std::abort();
#endif
}

// Replays a captured track-devices stream, a listing at a time as the test releases them.
// adb.exe's lines end in CR LF, which the lengths do not count.
[[noreturn]] void replayStream(const QJsonObject &response, const QString &statePath)
{
    int written = 0;
    const auto write = [&](const QByteArray &listing) {
        QFile released(statePath + QLatin1String(".release"));
        while (!released.open(QIODevice::ReadOnly) || released.readAll().count('\n') <= written) {
            released.close();
            QThread::msleep(20);
        }
        writeOut(listing, {});
        ++written;
    };
    const QByteArray stream = readJson(response.value(QLatin1String("stream")).toString())
                                      .object()
                                      .value(QLatin1String("stdout"))
                                      .toString()
                                      .toUtf8();
    const bool crlf = stream.contains("\r\n");
    QByteArray then = response.value(QLatin1String("then")).toString().toUtf8();
    const QByteArray length = QByteArray::number(then.size(), 16).rightJustified(4, '0');
    then = length + (crlf ? then.replace("\n", "\r\n") : then);
    for (qsizetype at = 0; at < stream.size();) {
        qsizetype end = at + 4;
        for (qsizetype left = stream.mid(at, 4).toInt(nullptr, 16); left > 0; --left)
            end += crlf && stream.mid(end, 2) == "\r\n" ? 2 : 1;
        write(stream.mid(at, end - at));
        at = end;
    }
    write(then);
    hang();
}

int answerFromRule(QJsonObject response, const QString &statePath)
{
    if (response.contains(QLatin1String("stream")))
        replayStream(response, statePath);
    // A capture of the real adb: its streams and its exit code, as the real client gave them.
    const QString capture = response.value(QLatin1String("capture")).toString();
    if (!capture.isEmpty()) {
        const QJsonObject recorded = readJson(capture).object();
        for (const char *key : {"stdout", "stderr", "exitCode"})
            response.insert(QLatin1String(key), recorded.value(QLatin1String(key)));
    }
    QThread::msleep(ulong(response.value(QLatin1String("delayMs")).toInt()));
    writeStream(stdout, response, QStringLiteral("stdout"));
    writeStream(stderr, response, QStringLiteral("stderr"));
    if (response.value(QLatin1String("breakAdb")).toBool()) {
        // From now on this adb cannot be started, as when security software blocks it.
        const QString self = QCoreApplication::applicationFilePath();
#ifdef Q_OS_WIN
        QFile::rename(self, self + QLatin1String(".blocked"));
#else
        QFile::setPermissions(self, QFile::ReadOwner | QFile::WriteOwner);
#endif
    }
    if (response.value(QLatin1String("crash")).toBool())
        crash();
    if (response.value(QLatin1String("hang")).toBool())
        hang();
    return response.value(QLatin1String("exitCode")).toInt();
}

} // namespace

int main(int argc, char **argv)
{
#ifdef Q_OS_WIN
    adbWinApiStandIn();
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
#endif
    QCoreApplication application(argc, argv);
    const QStringList args = application.arguments().mid(1);

    QString scenarioPath = qEnvironmentVariable("FAKEADB_SCENARIO");
    if (scenarioPath.isEmpty())
        scenarioPath = QDir(QCoreApplication::applicationDirPath())
                               .filePath(QStringLiteral("fakeadb.json"));
    const QString journalPath = qEnvironmentVariable("FAKEADB_JOURNAL");
    QString statePath = qEnvironmentVariable("FAKEADB_STATE");
    if (statePath.isEmpty())
        statePath = scenarioPath + QLatin1String(".state");

    const QJsonObject scenario = readJson(scenarioPath).object();
    const QJsonArray rules = scenario.value(QLatin1String("rules")).toArray();

    // Tests check that no adb is left running: they look up the process ids listed here.
    const QString pidsPath = qEnvironmentVariable("FAKEADB_PIDS");
    if (!pidsPath.isEmpty()) {
        QFile pids(pidsPath);
        if (pids.open(QIODevice::WriteOnly | QIODevice::Append))
            pids.write(
                    QByteArray::number(QCoreApplication::applicationPid()) + ' '
                    + QByteArray::number(processStartTime(QCoreApplication::applicationPid())) + ' '
                    + QJsonDocument(QJsonArray::fromStringList(args)).toJson(QJsonDocument::Compact)
                    + '\n');
    }

    // The journal comes first: the call count of each rule is read back from it.
    int call = 0;
    int earlierCalls = 0;
    const int rule = selectRule(rules, args);
    if (!journalPath.isEmpty()) {
        QFile journal(journalPath);
        if (journal.open(QIODevice::ReadWrite | QIODevice::Append)) {
            journal.seek(0);
            while (!journal.atEnd()) {
                const QJsonArray earlier = QJsonDocument::fromJson(journal.readLine()).array();
                ++earlierCalls;
                if (rule >= 0 && selectRule(rules, toStringList(earlier)) == rule)
                    ++call;
            }
            journal.write(
                    QJsonDocument(QJsonArray::fromStringList(args)).toJson(QJsonDocument::Compact)
                    + '\n');
        }
    }

    // A rule without responses leaves the answer to the simulated headset.
    const QJsonArray responses = rule < 0
            ? QJsonArray()
            : rules.at(rule).toObject().value(QLatin1String("responses")).toArray();
    if (!responses.isEmpty())
        return answerFromRule(responses.at(qMin(call, int(responses.size()) - 1)).toObject(),
                              statePath);
    if (scenario.contains(QLatin1String("devices")))
        return simulate(scenarioPath, scenario, statePath, earlierCalls, args);
    writeOut({},
             "fakeadb: the scenario has no answer for: " + args.join(QLatin1Char(' ')).toUtf8()
                     + '\n');
    return 1;
}
