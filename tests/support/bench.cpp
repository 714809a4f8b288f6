#include "tests/support/bench.h"
#include "app/cbrelvopico.h"
#include "tests/support/processidentity.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QPushButton>
#include <QRegularExpression>
#include <QSaveFile>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>
#include <QTextFragment>
#include <QThread>
#include <QTimer>

#include <algorithm>

#ifdef Q_OS_WIN
#include <qt_windows.h>
#else
#include <csignal>
#include <sys/types.h>
#endif

Bench::Bench(const QJsonObject &scenario, int apks, bool withAdb)
    : dir(QDir::tempPath() + QStringLiteral("/Brelvo Pico \u00fc-XXXXXX")),
      previousDir(QDir::currentPath())
{
    QDir(dir.path()).mkpath(QStringLiteral("tools"));
    if (withAdb) {
        const QString target = path(adbFileName());
        if (!QFile::copy(fakeAdbProgram(), target))
            qFatal("cannot copy the fake adb to %s", qPrintable(target));
        QFile(target).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        // adb.exe needs its DLL beside it; so does the fake.
        const QString dll = QStringLiteral(FAKEADB_DLL);
        if (!dll.isEmpty() && !QFile::copy(dll, path(QStringLiteral("tools/AdbWinApi.dll"))))
            qFatal("cannot copy %s", qPrintable(dll));
    }
    const QList<std::pair<int, const char *>> files = {{OpenXrApk, "BrelvoVRViewer.apk"},
                                                       {LegacyApk, "BrelvoVRViewer-Legacy.apk"},
                                                       {Pico2Apk, "BrelvoVRViewer-Pico2.apk"}};
    for (const auto &[flag, name] : files) {
        if (apks & flag) {
            QFile apk(path(QString::fromLatin1(name)));
            if (!apk.open(QIODevice::WriteOnly) || apk.write("PK stand-in\n") < 0)
                qFatal("cannot write %s", name);
        }
    }
    qputenv("FAKEADB_SCENARIO", path(QStringLiteral("scenario.json")).toLocal8Bit());
    qputenv("FAKEADB_STATE", path(QStringLiteral("state.json")).toLocal8Bit());
    qputenv("FAKEADB_JOURNAL", path(QStringLiteral("journal.jsonl")).toLocal8Bit());
    qputenv("FAKEADB_PIDS", path(QStringLiteral("pids.txt")).toLocal8Bit());
    setScenario(scenario);
    QDir::setCurrent(dir.path());
}

Bench::~Bench()
{
    theWindow.reset();
    QDir::setCurrent(previousDir);
    // On Windows an adb that was just stopped holds its program file for a moment longer, and
    // the folder cannot go before it lets go.
    for (int attempt = 0; attempt < 20 && !dir.remove(); ++attempt)
        QThread::msleep(50);
}

CBrelvoPico *Bench::window()
{
    if (!theWindow)
        theWindow = std::make_unique<CBrelvoPico>();
    return theWindow.get();
}

QStringList Bench::click(const char *button)
{
    CBrelvoPico *target = window();
    clearJournal();
    const qsizetype before = logLines(target).size();
    target->findChild<QPushButton *>(QString::fromLatin1(button))->click();
    for (const char *name : {"installPushButton", "uninstallPushButton", "closePushButton"}) {
        if (!target->findChild<QPushButton *>(QString::fromLatin1(name))->isEnabled())
            QTest::qFail(qPrintable(QStringLiteral("%1 stayed disabled").arg(name)), __FILE__,
                         __LINE__);
    }
    static const QRegularExpression counted(
            QStringLiteral("^(I (Un)?[Ii]nstalling package, please wait \\.\\.\\.) \\d+ s$"));
    QStringList lines = logLines(target).mid(before);
    for (QString &line : lines)
        line.replace(counted, QStringLiteral("\\1"));
    return lines;
}

QString Bench::path(const QString &relative) const
{
    return relative.isEmpty() ? dir.path() : dir.filePath(relative);
}

void Bench::setScenario(const QJsonObject &scenario)
{
    // The devices start afresh from the scenario, which is replaced at once: a fake adb that
    // follows the devices reads it while it changes. On Windows a file cannot be removed or
    // replaced while the fake adb has it open to read it: try again, or the devices of the state
    // would stay.
    const QString state = path(QStringLiteral("state.json"));
    for (int attempt = 0; attempt < 100; ++attempt) {
        QSaveFile file(path(QStringLiteral("scenario.json")));
        if ((!QFile::exists(state) || QFile::remove(state)) && file.open(QIODevice::WriteOnly)
            && file.write(QJsonDocument(scenario).toJson()) >= 0 && file.commit())
            return;
        QThread::msleep(20);
    }
    qFatal("cannot write the scenario");
}

void Bench::clearJournal()
{
    QFile::remove(path(QStringLiteral("journal.jsonl")));
}

QList<QStringList> Bench::journal() const
{
    QList<QStringList> calls;
    QFile file(path(QStringLiteral("journal.jsonl")));
    if (!file.open(QIODevice::ReadOnly))
        return calls;
    while (!file.atEnd()) {
        QStringList args;
        const QJsonArray array = QJsonDocument::fromJson(file.readLine()).array();
        for (const QJsonValue &value : array)
            args << value.toString();
        calls << args;
    }
    return calls;
}

QList<Bench::StartedAdb> Bench::startedAdb() const
{
    QList<StartedAdb> started;
    QFile file(path(QStringLiteral("pids.txt")));
    if (file.open(QIODevice::ReadOnly)) {
        while (!file.atEnd()) {
            const QByteArray line = file.readLine();
            const qsizetype first = line.indexOf(' ');
            const qsizetype second = line.indexOf(' ', first + 1);
            StartedAdb adb{line.left(first).toLongLong(),
                           line.mid(first + 1, second - first - 1).toLongLong(),
                           {}};
            for (const QJsonValue &arg : QJsonDocument::fromJson(line.mid(second + 1)).array())
                adb.args << arg.toString();
            started << adb;
        }
    }
    return started;
}

bool Bench::isRunning(const StartedAdb &adb)
{
    // Its id may have gone to a process started since.
    if (processStartTime(adb.pid) != adb.startTime)
        return false;
#if defined(Q_OS_WIN)
    const HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, DWORD(adb.pid));
    if (!process)
        return false;
    const bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return running;
#else
    // A child that ended but was not reaped yet is a zombie; it is not running.
    QFile status(QStringLiteral("/proc/%1/stat").arg(adb.pid));
    if (status.open(QIODevice::ReadOnly)) {
        const QByteArray stat = status.readAll();
        const qsizetype close = stat.lastIndexOf(')');
        return close > 0 && stat.mid(close + 2, 1) != "Z";
    }
    return ::kill(pid_t(adb.pid), 0) == 0;
#endif
}

QList<QStringList> Bench::runningAdb() const
{
    QList<QStringList> running;
    for (const StartedAdb &adb : startedAdb()) {
        if (isRunning(adb))
            running << adb.args;
    }
    return running;
}

int Bench::started(const QStringList &args) const
{
    const QList<StartedAdb> all = startedAdb();
    return int(std::count_if(all.cbegin(), all.cend(),
                             [&args](const StartedAdb &adb) { return adb.args == args; }));
}

void Bench::killRunningAdb() const
{
    for (const StartedAdb &adb : startedAdb()) {
        if (!isRunning(adb))
            continue;
#if defined(Q_OS_WIN)
        if (const HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, DWORD(adb.pid))) {
            TerminateProcess(process, 1);
            CloseHandle(process);
        }
#else
        ::kill(pid_t(adb.pid), SIGKILL);
#endif
    }
}

QJsonObject Bench::deviceState(int index) const
{
    QFile file(path(QStringLiteral("state.json")));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll())
            .object()
            .value(QLatin1String("devices"))
            .toArray()
            .at(index)
            .toObject();
}

int Bench::trackedListings() const
{
    QFile file(path(QStringLiteral("state.json.listings")));
    return file.open(QIODevice::ReadOnly) ? int(file.readAll().count('\n')) : 0;
}

void Bench::releaseListing() const
{
    QFile file(path(QStringLiteral("state.json.release")));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append) || file.write("\n") != 1)
        qFatal("cannot release a listing");
}

QString Bench::adbFileName()
{
#ifdef Q_OS_WIN
    return QStringLiteral("tools/adb.exe");
#else
    return QStringLiteral("tools/adb");
#endif
}

QString Bench::fakeAdbProgram()
{
    return QStringLiteral(FAKEADB_PROGRAM);
}

QJsonObject Bench::reply(const QString &out, const QString &err, int exitCode)
{
    return QJsonObject{{"stdout", out}, {"stderr", err}, {"exitCode", exitCode}};
}

QJsonObject Bench::replay(const QString &capture)
{
    return QJsonObject{{"capture", adbCapturePath(capture)}};
}

QJsonObject Bench::rule(const QStringList &args, const QJsonArray &responses)
{
    return QJsonObject{{"args", QJsonArray::fromStringList(args)}, {"responses", responses}};
}

QJsonObject Bench::catchAll(const QJsonObject &response)
{
    return QJsonObject{{"args", "*"}, {"responses", QJsonArray{response}}};
}

QJsonObject Bench::pico(const QString &serial, const QString &model, const QString &version,
                        bool openXr)
{
    QJsonObject properties{{"ro.product.model", model}, {"ro.build.version.incremental", "831"}};
    if (!version.isEmpty())
        properties.insert("ro.pico.systemversion", version);
    QJsonObject files{{"/system/lib64/libc.so", "elf"}};
    if (openXr) {
        files.insert("/vendor/etc/openxr/1/active_runtime.json",
                     R"({"file_format_version": "1.0.0", "runtime": {"library_path": )"
                     R"("libopenxr_forwardloader.so"}})");
        files.insert("/system/lib64/libopenxr_forwardloader.so", "elf");
    }
    return {{"serial", serial},
            {"state", "device"},
            {"model", model},
            {"product", "pico"},
            {"device", "pico"},
            {"properties", properties},
            {"env", QJsonObject{{"EXTERNAL_STORAGE", "/storage/emulated/0"}}},
            {"files", files},
            {"dirs", QJsonArray{"/storage/emulated/0/Download", "/storage/emulated/0/DCIM"}},
            {"packages", QJsonArray{"com.android.settings"}}};
}

QJsonObject Bench::simulated(const QJsonArray &devices, const QJsonArray &rules)
{
    QJsonObject scenario{{"devices", devices}};
    if (!rules.isEmpty())
        scenario.insert("rules", rules);
    return scenario;
}

QString adbCapturePath(const QString &name)
{
    return QStringLiteral(BRELVO_TEST_DATA "/adb/%1.json").arg(name);
}

AdbCapture adbCapture(const QString &name)
{
    QFile file(adbCapturePath(name));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("no capture %s", qPrintable(name));
    const QJsonObject capture = QJsonDocument::fromJson(file.readAll()).object();
    return {capture.value("source").toString(), capture.value("command").toString(),
            capture.value("exitCode").toInt(), capture.value("stdout").toString(),
            capture.value("stderr").toString()};
}

QStringList logLines(const QTextEdit *log)
{
    QStringList lines;
    if (log->document()->isEmpty())
        return lines;
    for (QTextBlock block = log->document()->begin(); block.isValid(); block = block.next()) {
        // A line takes the colour of its first character.
        const QTextCharFormat format =
                block.begin().atEnd() ? block.charFormat() : block.begin().fragment().charFormat();
        const QString colour = format.foreground().color().name();
        const QString mark = colour == QLatin1String("#cccccc") ? QStringLiteral("I ")
                : colour == QLatin1String("#cc4400")            ? QStringLiteral("E ")
                                                                : QStringLiteral("? ");
        lines << mark + block.text();
    }
    return lines;
}

QStringList logLines(const QWidget *window)
{
    return logLines(window->findChild<QTextEdit *>(QStringLiteral("logTextEdit")));
}

void probeButtonsDuringAction(CBrelvoPico *window, QList<bool> &enabledDuring)
{
    auto *install = window->findChild<QPushButton *>(QStringLiteral("installPushButton"));
    auto *uninstall = window->findChild<QPushButton *>(QStringLiteral("uninstallPushButton"));
    auto *close = window->findChild<QPushButton *>(QStringLiteral("closePushButton"));
    QTimer::singleShot(700, window, [=, &enabledDuring] {
        enabledDuring = {install->isEnabled(), uninstall->isEnabled(), close->isEnabled()};
        install->click();
        uninstall->click();
    });
}
