#include "adb/adbanswers.h"
#include "adb/devicewatcher.h"
#include "app/cbrelvopico.h"
#include "tests/support/bench.h"
#include "tests/support/expected.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QWindow>

// What the program says when it starts, where it looks for its files, and how it follows the
// headset being plugged in, allowed and unplugged.
class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void missingFiles_data();
    void missingFiles();
    void findsItsFilesFromAnotherFolder();
    void shownBeforeAdbAnswers();
    void startupLine_data();
    void startupLine();
    void capturedStreams_data();
    void capturedStreams();
    void liveConnection();
};

using Expected::adbServiceAdvice;
using Expected::devices;
static const QString starting = "I Starting Rivi Ravazov";
static const QString noneYet = "I No headset is connected yet. -> Please connect the Pico headset "
                               "by USB, with developer mode and USB debugging turned on.";
static const QString unauthorized = "I A headset is connected but has not allowed USB debugging "
                                    "yet. -> Please put it on and allow USB debugging for this "
                                    "computer.";

void TestStartup::missingFiles_data()
{
    QTest::addColumn<bool>("adb");
    QTest::addColumn<int>("apks");
    QTest::addColumn<QStringList>("lines");

    const QString noAdb = "E Error: Cannot find adb";
    const QString noApk = "E Error: Cannot find Brelvo VR Viewer APK";
    const QString noLegacy = "E Error: Cannot find Brelvo VR Viewer Legacy APK";
    const int all = Bench::AllApks;
    QTest::newRow("everything present") << true << all << QStringList{starting};
    QTest::newRow("nothing present") << false << 0 << QStringList{starting, noAdb, noApk, noLegacy};
    QTest::newRow("no adb") << false << all << QStringList{starting, noAdb};
    QTest::newRow("no OpenXR APK")
            << true << (all & ~Bench::OpenXrApk) << QStringList{starting, noApk};
    QTest::newRow("no Legacy APK")
            << true << (all & ~Bench::LegacyApk) << QStringList{starting, noLegacy};
    QTest::newRow("no Pico 2 APK is not reported")
            << true << (all & ~Bench::Pico2Apk) << QStringList{starting};
    QTest::newRow("no adb, no Legacy APK")
            << false << int(Bench::OpenXrApk) << QStringList{starting, noAdb, noLegacy};
    QTest::newRow("adb only") << true << 0 << QStringList{starting, noApk, noLegacy};
}

void TestStartup::missingFiles()
{
    QFETCH(bool, adb);
    QFETCH(int, apks);
    QFETCH(QStringList, lines);
    Bench bench({}, apks, adb);
    QCOMPARE(logLines(bench.window()), lines);
    // The window opens with every button usable.
    for (const char *name : {"installPushButton", "uninstallPushButton", "closePushButton"})
        QVERIFY(bench.window()->findChild<QWidget *>(name)->isEnabled());
}

void TestStartup::findsItsFilesFromAnotherFolder()
{
    Bench bench;
    const QString program = bench.path(QFileInfo(BRELVOPICO_PROGRAM).fileName());
    QVERIFY(QFile::copy(BRELVOPICO_PROGRAM, program));
    QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    QTemporaryDir elsewhere;
    QProcess run;
    run.setWorkingDirectory(elsewhere.path());
    run.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    run.start(program, {"--unknown-option", "file.apk"});
    QVERIFY(run.waitForStarted());
    // The start-up detection runs adb from the program's own folder.
    QTRY_VERIFY_WITH_TIMEOUT(!bench.journal().isEmpty(), 30000);
    QCOMPARE(bench.journal().constFirst(), devices);
    run.kill();
    run.waitForFinished();
}

void TestStartup::shownBeforeAdbAnswers()
{
    QJsonObject slowListing = Bench::replay("devices-pico4");
    slowListing.insert("delayMs", 3000);
    Bench bench(Bench::rules({Bench::rule(devices, slowListing)}));
    CBrelvoPico *window = bench.window();
    auto *install = window->findChild<QWidget *>("installPushButton");

    // Looks, while the program waits for adb, at whether the window is on the screen.
    bool shownDuringListing = false;
    QTimer look;
    connect(&look, &QTimer::timeout, [&] {
        if (window->windowHandle() && window->windowHandle()->isExposed()
            && bench.runningAdb() == QList<QStringList>{devices} && !install->isEnabled())
            shownDuringListing = true;
    });
    look.start(100);
    window->show();
    QTRY_COMPARE_WITH_TIMEOUT(logLines(window).size(), 2, 20000);
    QVERIFY(shownDuringListing);
    QCOMPARE(logLines(window),
             (QStringList{starting, "I Pico headset connected: Pico 4 (127.0.0.1:6101)."}));
    QVERIFY(install->isEnabled());
}

void TestStartup::startupLine_data()
{
    QTest::addColumn<QString>("capture");
    QTest::addColumn<QStringList>("lines");

    // A headset alone, and none, are the first lines of the captured streams' cases below.
    QTest::newRow("devices-phone-and-pico4")
            << "devices-phone-and-pico4"
            << QStringList{"I Pico headset connected: Pico 4 (127.0.0.1:6101). Other Android "
                           "devices are connected too."};
    QTest::newRow("devices-unauthorized") << "devices-unauthorized" << QStringList{unauthorized};
    QTest::newRow("devices-pico4-and-neo2")
            << "devices-pico4-and-neo2"
            << QStringList{"I Several Android devices are connected: Pico 4 (127.0.0.1:6101), "
                           "Pico Neo 2 (127.0.0.1:6103). -> Please unplug all but the Pico headset "
                           "before you install or uninstall."};
    QStringList failing = {"E Error: adb could not look for the headset. -> Please close other "
                           "programs that use adb, or restart the computer, and try again."};
    // adb's own words follow, without its notice that it starts its server.
    for (const QString &line : answerLines(adbCapture("devices-daemon-cannot-start").err).mid(1))
        failing << "E " + line;
    failing << adbServiceAdvice;
    QTest::newRow("devices-daemon-cannot-start") << "devices-daemon-cannot-start" << failing;
}

void TestStartup::startupLine()
{
    QFETCH(QString, capture);
    QFETCH(QStringList, lines);
    Bench bench(Bench::rules({Bench::rule(devices, Bench::replay(capture)),
                              Bench::rule({"track-devices", "-l"}, QJsonObject{{"hang", true}})}));
    bench.window()->show();
    QTRY_VERIFY_WITH_TIMEOUT(logLines(bench.window()).size() > 1, 20000);
    QCOMPARE(logLines(bench.window()), QStringList{starting} + lines);
    bench.killRunningAdb();
}

// A listing that ends each case's stream: once its line is shown, all before it were read.
static const QString recovery = "PA9                    recovery transport_id:9\n";
using Expected::recoveryDevice;
using Expected::recoveryLine;

void TestStartup::capturedStreams_data()
{
    QTest::addColumn<QString>("client");
    QTest::addColumn<QString>("stream");
    QTest::addColumn<QStringList>("lines");

    const QString pico4 = "I Pico headset connected: Pico 4 (127.0.0.1:6101).";
    const QString besidePhone = pico4.chopped(1) + ". Other Android devices are connected too.";
    // A device that comes is offline first, and with adb 34 one that goes too: neither is told.
    for (const char *client : {"", "adb-34.0.5/", "adb-34.0.5-windows/"}) {
        QTest::addRow("%strack-devices-plug-in-and-out", client)
                << client << "track-devices-plug-in-and-out"
                << QStringList{noneYet, pico4, "I The headset was disconnected."};
    }
    for (const char *client : {"", "adb-34.0.5-windows/"}) {
        QTest::addRow("%strack-devices-second-device", client)
                << client << "track-devices-second-device"
                << QStringList{pico4, besidePhone, pico4};
    }
}

void TestStartup::capturedStreams()
{
    QFETCH(QString, client);
    QFETCH(QString, stream);
    QFETCH(QStringList, lines);
    const bool none = lines.constFirst() == noneYet;
    Bench bench(Bench::rules(
            {Bench::rule(devices,
                         Bench::replay(client + (none ? "devices-none" : "devices-pico4"))),
             Bench::rule(
                     {"track-devices", "-l"},
                     QJsonObject{{"stream", adbCapturePath(client + stream)}, {"then", recovery}}),
             // The phone says nothing of its maker.
             Bench::catchAll(Bench::reply("\n"))}));
    CBrelvoPico *window = bench.window();
    window->show();
    // The next listing comes once the window has read the last one, and asked what it made it
    // ask: listings that come while the window asks are read as one, the newest.
    QSignalSpy read(window->findChild<DeviceWatcher *>(), &DeviceWatcher::devicesChanged);
    QByteArray captured = adbCapture(client + stream).out.toUtf8();
    bool ok = true;
    const qsizetype listings = takeTrackedListings(captured, ok).size() + 1;
    for (qsizetype listing = 1; listing <= listings; ++listing) {
        bench.releaseListing();
        QTRY_COMPARE_WITH_TIMEOUT(read.count(), listing, 20000);
    }
    QTRY_COMPARE_WITH_TIMEOUT(logLines(window).constLast(), recoveryLine, 20000);
    QCOMPARE(logLines(window).join('\n'),
             (QStringList{starting} + lines + QStringList{recoveryLine}).join('\n'));
    QCOMPARE(bench.started({"track-devices", "-l"}), 1);
    bench.killRunningAdb();
}

void TestStartup::liveConnection()
{
    const QJsonObject notAllowed{{"serial", "PA1"}, {"state", "unauthorized"}};
    Bench bench(Bench::simulated({}));
    CBrelvoPico *window = bench.window();
    window->show();
    QTRY_COMPARE_WITH_TIMEOUT(logLines(window), (QStringList{starting, noneYet}), 20000);

    // One line for each change: plugged in, allowed, unplugged.
    bench.setScenario(Bench::simulated({notAllowed}));
    QTRY_COMPARE_WITH_TIMEOUT(logLines(window).constLast(), unauthorized, 20000);
    bench.setScenario(Bench::simulated({Bench::pico("PA1")}));
    const QString ready = "I Pico headset connected: Pico 4 (PA1).";
    QTRY_COMPARE_WITH_TIMEOUT(logLines(window).constLast(), ready, 20000);
    // An action runs beside the watching undisturbed, and nothing is said meanwhile.
    const QStringList install = bench.click("installPushButton");
    QCOMPARE(install,
             (QStringList{Expected::installing, "I PICO OS version: 5.7.1",
                          "I Device model: Pico 4", Expected::openXrLine, Expected::installed}));
    bench.setScenario(Bench::simulated({}));
    QTRY_COMPARE_WITH_TIMEOUT(logLines(window).constLast(), "I The headset was disconnected.",
                              20000);

    // Nothing while nothing changes, and one adb that follows the devices all along.
    bench.setScenario(Bench::simulated({recoveryDevice}));
    QTRY_COMPARE_WITH_TIMEOUT(logLines(window).constLast(), recoveryLine, 20000);
    QStringList lines = logLines(window);
    lines.replaceInStrings(QRegularExpression(" \\d+ s$"), QString());
    QCOMPARE(lines,
             (QStringList{starting, noneYet, unauthorized, ready} + install
              + QStringList{"I The headset was disconnected.", recoveryLine}));
    QCOMPARE(bench.started({"track-devices", "-l"}), 1);
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
