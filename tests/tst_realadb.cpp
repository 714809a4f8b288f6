#include "app/cbrelvopico.h"
#include "tests/support/bench.h"
#include "tests/support/expected.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <memory>
#include <vector>

using namespace Expected;

// The whole flow through the real adb client and server, the adb in the program's tools folder,
// against headsets that tests/support/emulated_adbd.py emulates over TCP. Each case has an adb
// server port of its own, so that no case meets another's server or the user's.
class TestRealAdb : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void install_data();
    void install();
    void uninstallTwice();
    void unauthorized();
    void headsetLostDuringTheInstall();
    void headsetLostDuringThePackageQuery();
    void serverStartedByTheProgram();
    void closeDuringTheInstall();
    void closeDuringTheServerStart();

private:
    // The program folder with the real adb, and APK files of three sizes to tell them apart.
    void makeBench();
    QString adb(const QStringList &args, int *exitCode = nullptr) const;
    // Starts an emulated headset and has the server connect to it, until adb lists it so.
    QString connectHeadset(QJsonObject profile, const QString &state = "device");
    QString installedApk(const QString &serial) const;
    // This machine's Python, for free ports and whether the server listens (not every Qt for
    // Windows has its network module): a program that writes its answer to out. Under Wine, a
    // program of this machine can neither be waited for nor read through a pipe, so it answers
    // through a file in this machine's /tmp, named here by its path there.
    static QString python(const QString &program, const QStringList &args);
    static QString hostFile(const QString &name);
    // Waits for the file for up to that many seconds.
    static QString readHostFile(const QString &file, int seconds = 30);
    // "up" or "down", as a connection to the server's port tells; empty if nothing was told.
    QString server() const;
    // Runs the window in a process of its own that Close ends as the mode says, and returns
    // the log it showed then; empty if it did not end so.
    QString close(const QString &mode) const;

    std::unique_ptr<Bench> bench;
    int headsets = 0;
    quint16 serverPort = 0;
};

static const QString realAdbProgram = QStringLiteral(REAL_ADB);
static const QJsonObject pico4{
        {"product", "A8150"},
        {"model", "Pico 4"},
        {"device", "PICOA8150"},
        {"properties",
         QJsonObject{{"ro.product.model", "Pico 4"}, {"ro.pico.systemversion", "5.7.1"}}},
        {"files",
         QJsonObject{{"/vendor/etc/openxr/1/active_runtime.json",
                      R"({"runtime": {"library_path": "libopenxr_forwardloader.so"}})"},
                     {"/system/lib64/libopenxr_forwardloader.so", "ELF"}}}};

void TestRealAdb::initTestCase()
{
    if (!QFileInfo(realAdbProgram).isExecutable()) {
#ifdef BRELVO_REQUIRE_REAL_ADB
        QFAIL("no real adb here: install Debian's adb package (Linux), or put adb.exe into "
              "../shared/toolchains/adb-windows/ (Wine)");
#else
        QSKIP("no real adb here; configure with -DBRELVO_REQUIRE_REAL_ADB=ON to fail instead");
#endif
    }
    // The adb that the captures and these cases were made with, and no other.
#ifdef Q_OS_WIN
    QFile exe(realAdbProgram);
    QVERIFY(exe.open(QIODevice::ReadOnly));
    QCOMPARE(QCryptographicHash::hash(exe.readAll(), QCryptographicHash::Sha256).toHex(),
             QByteArray("73b11e3ab379e236bfcc794928fb9ff9b4687728486b0f2082217847ed53a3df"));
#else
    QProcess version;
    version.start(realAdbProgram, {"version"});
    QVERIFY(version.waitForFinished(30000));
    const QString said = QString::fromUtf8(version.readAllStandardOutput());
    QVERIFY2(said.contains("version 1.0.41\nVersion 29.0.6")
                     || said.contains("version 1.0.41\nVersion 34.0.5"),
             qPrintable(said));
#endif
}

void TestRealAdb::init()
{
    serverPort = quint16(python("import socket\ns = socket.socket()\ns.bind(('127.0.0.1', 0))\n"
                                "out.write(str(s.getsockname()[1]))",
                                {})
                                 .toUInt());
    QFile lease(QStringLiteral(HOST_DRIVE) + hostFile("lease"));
    QVERIFY(lease.open(QIODevice::WriteOnly));
    QVERIFY(serverPort != 0);
    qputenv("ANDROID_ADB_SERVER_PORT", QByteArray::number(serverPort));
    makeBench();
}

void TestRealAdb::cleanup()
{
    if (bench) {
        adb({"kill-server"});
        bench.reset();
    }
    // The emulated headsets end once their lease is gone.
    QFile::remove(QStringLiteral(HOST_DRIVE) + hostFile("lease"));
}

void TestRealAdb::makeBench()
{
    bench = std::make_unique<Bench>(QJsonObject{}, Bench::AllApks, false);
    QVERIFY(QFile::copy(realAdbProgram, bench->path(Bench::adbFileName())));
    const QList<std::pair<const char *, int>> apks = {{"BrelvoVRViewer.apk", 1000},
                                                      {"BrelvoVRViewer-Legacy.apk", 2000},
                                                      {"BrelvoVRViewer-Pico2.apk", 3000}};
    for (const auto &[name, size] : apks) {
        QFile apk(bench->path(name));
        QVERIFY(apk.open(QIODevice::WriteOnly) && apk.write(QByteArray("PK").leftJustified(size)));
    }
}

QString TestRealAdb::adb(const QStringList &args, int *exitCode) const
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(bench->path(Bench::adbFileName()), args);
    // A server that this command starts keeps its output open on some systems: read until the
    // client ends, not until the stream does.
    if (!process.waitForFinished(30000))
        process.kill();
    if (exitCode)
        *exitCode = process.exitCode();
    return QString::fromUtf8(process.readAll());
}

QString TestRealAdb::connectHeadset(QJsonObject profile, const QString &state)
{
    const QString ready = hostFile(QStringLiteral("ready-%1").arg(++headsets));
    profile.insert("port", 0);
    profile.insert("readyFile", ready);
    profile.insert("leaseFile", hostFile("lease"));
    QProcess::startDetached(
            QStringLiteral(PYTHON3),
            {QStringLiteral(EMULATED_ADBD),
             QString::fromUtf8(QJsonDocument(profile).toJson(QJsonDocument::Compact))});
    const QString serial = "127.0.0.1:" + readHostFile(ready);
    adb({"connect", serial});
    const QString line =
            QStringLiteral("%1\\s+%2\\b").arg(QRegularExpression::escape(serial), state);
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (adb({"devices"}).contains(QRegularExpression(line)))
            return serial;
        QTest::qWait(100);
    }
    qWarning() << "not listed as" << state << adb({"devices"});
    return QString();
}

QString TestRealAdb::installedApk(const QString &serial) const
{
    return adb({"-s", serial, "shell", "cat", "/data/app/" + package + "/base.apk"}).trimmed();
}

QString TestRealAdb::hostFile(const QString &name)
{
    return QStringLiteral("/tmp/brelvo-realadb-%1-%2")
            .arg(QCoreApplication::applicationPid())
            .arg(name);
}

QString TestRealAdb::readHostFile(const QString &file, int seconds)
{
    const QString local = QStringLiteral(HOST_DRIVE) + file;
    for (int attempt = 0; attempt < seconds * 20 && !QFile::exists(local); ++attempt)
        QTest::qWait(50);
    QFile result(local);
    if (!result.open(QIODevice::ReadOnly))
        return QString();
    const QString text = QString::fromUtf8(result.readAll()).trimmed();
    result.close();
    result.remove();
    return text;
}

QString TestRealAdb::python(const QString &program, const QStringList &args)
{
    static int runs = 0;
    const QString file = hostFile(QStringLiteral("python-%1").arg(++runs));
    QProcess::startDetached(
            QStringLiteral(PYTHON3),
            QStringList{"-c",
                        "import os, sys\nout = open(sys.argv[-1] + '.part', 'w')\n" + program
                                + "\nout.close()\nos.rename(sys.argv[-1] + '.part', "
                                  "sys.argv[-1])\n"}
                    + args + QStringList{file});
    return readHostFile(file);
}

QString TestRealAdb::close(const QString &mode) const
{
    QProcess driver;
    driver.setWorkingDirectory(bench->path());
    // The program ends without destroying the window, whose memory is then still allocated.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("ASAN_OPTIONS", "detect_leaks=0");
    driver.setProcessEnvironment(environment);
    driver.start(CLOSEDRIVER_PROGRAM, {mode});
    if (!driver.waitForFinished(60000) || driver.exitCode() != 0)
        return QString();
    return QString::fromUtf8(driver.readAllStandardOutput()).trimmed();
}

QString TestRealAdb::server() const
{
    return python("import socket\ntry:\n    socket.create_connection(('127.0.0.1', "
                  "int(sys.argv[1])), 3)\n    out.write('up')\nexcept OSError:\n    "
                  "out.write('down')",
                  {QString::number(serverPort)});
}

void TestRealAdb::install_data()
{
    QTest::addColumn<QJsonObject>("profile");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("apk");

    QTest::newRow("Pico 4, OpenXR build")
            << pico4
            << QStringList{installing, "I PICO OS version: 5.7.1", "I Device model: Pico 4",
                           openXrLine, installed}
            << "1000 bytes";
    // Older firmware: no shell protocol and no cmd, so adb pushes the APK and runs pm.
    QTest::newRow("old firmware, Legacy build, pushed")
            << QJsonObject{{"product", "G2"},
                           {"model", "Pico G2 4K"},
                           {"device", "PICOG2"},
                           {"features", QJsonArray{}},
                           {"properties", QJsonObject{{"ro.product.model", "Pico G2 4K"}}}}
            << QStringList{installing, "I Device model: Pico G2 4K", legacyLine, installed}
            << "2000 bytes";
}

void TestRealAdb::install()
{
    QFETCH(QJsonObject, profile);
    QFETCH(QStringList, lines);
    QFETCH(QString, apk);
    const QString serial = connectHeadset(profile);
    QVERIFY(!serial.isEmpty());
    QCOMPARE(bench->click("installPushButton"), lines);
    QCOMPARE(installedApk(serial), apk);
}

void TestRealAdb::uninstallTwice()
{
    QJsonObject profile = pico4;
    profile.insert("packages", QJsonArray{package});
    QJsonObject files = profile.value("files").toObject();
    for (const QString &path : dataPaths(storage))
        files.insert(path, "data");
    files.insert(storage + "/DCIM/photo.jpg", "keep");
    profile.insert("files", files);
    const QString serial = connectHeadset(profile);
    QVERIFY(!serial.isEmpty());

    QCOMPARE(bench->click("uninstallPushButton"), (QStringList{uninstalling, uninstalled}));
    QCOMPARE(adb({"-s", serial, "shell", "pm", "list", "packages", package}).trimmed(), "");
    int exitCode = 0;
    const QString left = adb(QStringList{"-s", serial, "shell", "ls"} + dataPaths(storage)
                                     + QStringList{storage + "/DCIM/photo.jpg"},
                             &exitCode);
    QCOMPARE(left.count("No such file or directory"), 5);
    QVERIFY(left.contains(QRegularExpression(storage + "/DCIM/photo.jpg\r?\n")));
    QCOMPARE(bench->click("uninstallPushButton"), (QStringList{uninstalling, alreadyUninstalled}));
}

void TestRealAdb::unauthorized()
{
    QVERIFY(!connectHeadset(QJsonObject{{"authorized", false}}, "unauthorized").isEmpty());
    QCOMPARE(bench->click("installPushButton"), notAuthorized);
    QCOMPARE(bench->click("uninstallPushButton"), notAuthorized);
}

void TestRealAdb::headsetLostDuringTheInstall()
{
    QJsonObject profile = pico4;
    profile.insert("dropDuringInstall", true);
    const QString serial = connectHeadset(profile);
    QVERIFY(!serial.isEmpty());
    const QStringList lines = bench->click("installPushButton");
    QCOMPARE(lines.mid(0, 4),
             (QStringList{installing, "I PICO OS version: 5.7.1", "I Device model: Pico 4",
                          openXrLine}));
    // adb lists a TCP device that went either not at all or as offline while it reconnects.
    const QStringList gone = lines.mid(4);
    if (gone != disconnected("installing"))
        QCOMPARE(gone,
                 (QStringList{"E Error installing Package: The Pico headset does not answer "
                              "(adb lists it as offline). -> Please reconnect it and try "
                              "again.",
                              reconnectAdvice}));
}

void TestRealAdb::headsetLostDuringThePackageQuery()
{
    QJsonObject profile = pico4;
    profile.insert("packages", QJsonArray{package});
    profile.insert("dropOn", "pm list packages");
    QVERIFY(!connectHeadset(profile).isEmpty());
    // The client answers the dropped query as an empty success, which must not read as "not
    // installed" while the app is still on the headset.
    const QStringList lines = bench->click("uninstallPushButton");
    QCOMPARE(lines.value(0), uninstalling);
    if (lines.mid(1) != notFound)
        QCOMPARE(lines.mid(1), notAnswering("offline"));
}

void TestRealAdb::serverStartedByTheProgram()
{
    QCOMPARE(server(), "down");
    CBrelvoPico *window = bench->window();
    window->show();
    // The first command starts the server; its "* daemon" lines are no verdict.
    QTRY_COMPARE_WITH_TIMEOUT(logLines(window).value(1),
                              "I No headset is connected yet. -> Please connect the Pico "
                              "headset by USB, with developer mode and USB debugging turned on.",
                              30000);
    const QString serial = connectHeadset(pico4);
    QVERIFY(!serial.isEmpty());
    const QString connected = "I Pico headset connected: Pico 4 (" + serial + ").";
    QTRY_COMPARE_WITH_TIMEOUT(logLines(window).constLast(), connected, 30000);
    // The server tells every change, in adb.exe's CR LF too: a phone comes beside it and goes.
    const QString phone = connectHeadset(
            QJsonObject{{"product", "panther"}, {"model", "Pixel 7"}, {"device", "panther"}});
    QVERIFY(!phone.isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(logLines(window).constLast(),
                              connected.chopped(1) + ". Other Android devices are connected too.",
                              30000);
    adb({"disconnect", phone});
    QTRY_COMPARE_WITH_TIMEOUT(logLines(window).constLast(), connected, 30000);
    QCOMPARE(bench->click("installPushButton").constLast(), installed);
    QCOMPARE(logLines(window).filter(QRegularExpression("^E |disconnected")), QStringList{});

    // The program stops the server it started, so that its folder can go.
    QCOMPARE(server(), "up");
    const QString folder = bench->path();
    bench.reset();
    QVERIFY(!QDir(folder).exists());
    QCOMPARE(server(), "down");
}

void TestRealAdb::closeDuringTheInstall()
{
    // A build under way for seconds, far bigger than what the sockets between the client, the
    // server and the device hold: what they hold still arrives after the client is gone.
    QJsonObject profile = pico4;
    profile.insert("installMs", 25);
    const QString events = hostFile("events");
    profile.insert("eventsFile", events);
    QFile apk(bench->path("BrelvoVRViewer.apk"));
    QVERIFY(apk.open(QIODevice::WriteOnly) && apk.write(QByteArray(40 << 20, 'x')) > 0);
    apk.close();
    const QString serial = connectHeadset(profile);
    QVERIFY(!serial.isEmpty());
    QVERIFY(close("close-during-real-install").contains(openXrLine.mid(2)));
    // The install that Close stopped never lands: the headset, which still answers, sees its
    // stream closed. The server, which the program did not start, still runs.
    QCOMPARE(adb({"-s", serial, "shell", "echo", "here"}).trimmed(), "here");
    // It comes at once, but for once in a few runs of every suite under Wine at a time.
    QCOMPARE(readHostFile(events, 180), "install stream closed");
    QCOMPARE(installedApk(serial),
             "cat: /data/app/" + package + "/base.apk: No such file or directory");
    QCOMPARE(server(), "up");
}

void TestRealAdb::closeDuringTheServerStart()
{
    QCOMPARE(server(), "down");
    const QString shown = close("close-during-real-start");
    QVERIFY(shown.startsWith("I Starting Rivi Ravazov"));
    // Under Wine the server takes seconds to start: Close comes before the first listing ends.
    // However soon Close came, the server that the program started is gone with it.
    if (!QStringLiteral(HOST_DRIVE).isEmpty())
        QCOMPARE(shown, QStringLiteral("I Starting Rivi Ravazov"));
    QCOMPARE(server(), "down");
    const QString folder = bench->path();
    bench.reset();
    QVERIFY(!QDir(folder).exists());
}

QTEST_MAIN(TestRealAdb)
#include "tst_realadb.moc"
