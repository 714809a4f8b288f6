#include "adbbench.h"
#include "cbrelvopico.h"
#include "expected.h"

#include "ops/datapaths.h"

#include <QPushButton>
#include <QTest>
#include <QTimer>

using Calls = QList<QStringList>;
using namespace Expected;

// The Uninstall button from the click to the last line in the log.
class TestUninstall : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();

    void storagePath_data();
    void storagePath();
    void earlyStops_data();
    void earlyStops();
    void removesExactlyTheAppData();
    void unsafeStorageRemovesNothing_data();
    void unsafeStorageRemovesNothing();
    void verdicts_data();
    void verdicts();
    void headsetGoneAtTheSecondDetection();
    void installThenUninstallTwice();
    void buttonsAreDisabledWhileAdbWorks();

private:
    QStringList click(const char *button);

    AdbBench *bench = nullptr;
    CBrelvoPico *window = nullptr;
};

static Calls uninstallCalls(const QString &serial, bool removal = true)
{
    Calls calls{devices,
                devices,
                {"-s", serial, "shell", "pm", "list", "packages", package},
                devices,
                {"-s", serial, "shell", "echo $EXTERNAL_STORAGE"}};
    if (removal)
        calls << QStringList{"-s", serial, "shell", "rm", "-r"} + dataPaths(storage);
    calls << QStringList{"-s", serial, "uninstall", package};
    return calls;
}

// A headset with the app, its data, and other files that must survive.
static QJsonObject installedPico(const QString &serial = "PA1")
{
    QJsonObject device = AdbBench::pico(serial);
    device.insert("packages", QJsonArray{"com.android.settings", package});
    QJsonObject files = device.value("files").toObject();
    files.insert(storage + "/UE4Game/BrelvoVRViewer/Saved/Config.ini", "x");
    files.insert(storage + "/UE4Game/UE4CommandLine.txt", "x");
    files.insert(storage + "/UE4Game/OtherGame/data.pak", "keep");
    files.insert(storage + "/Android/obb/" + package + "/main.1.obb", "x");
    files.insert(storage + "/Android/obb/com.other.app/main.obb", "keep");
    files.insert(storage + "/Download/obb/" + package + "/patch.obb", "x");
    files.insert(storage + "/Download/movie.mp4", "keep");
    files.insert(storage + "/DCIM/photo.jpg", "keep");
    device.insert("files", files);
    QJsonArray dirs = device.value("dirs").toArray();
    dirs << storage + "/obb/" + package;
    device.insert("dirs", dirs);
    return device;
}

void TestUninstall::cleanup()
{
    delete window;
    window = nullptr;
    delete bench;
    bench = nullptr;
}

QStringList TestUninstall::click(const char *button)
{
    if (!window)
        window = new CBrelvoPico;
    return clickAndRead(*bench, window, button);
}

void TestUninstall::storagePath_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("safe");
    QTest::newRow("sdcard") << "/sdcard" << true;
    QTest::newRow("emulated") << "/storage/emulated/0" << true;
    QTest::newRow("trailing slash") << "/sdcard/" << true;
    QTest::newRow("dots in names") << "/mnt/user.0/a-b_c" << true;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("root") << "/" << false;
    QTest::newRow("root twice") << "//" << false;
    QTest::newRow("root with dots") << "/./." << false;
    QTest::newRow("relative") << "sdcard" << false;
    QTest::newRow("space") << "/sdcard " << false;
    QTest::newRow("space inside") << "/storage/emulated/0 x" << false;
    QTest::newRow("parent segment") << "/sdcard/../system" << false;
    QTest::newRow("parent at the end") << "/sdcard/.." << false;
    QTest::newRow("glob") << "/sdcard/*" << false;
    QTest::newRow("shell") << "/sdcard;reboot" << false;
    QTest::newRow("variable") << "$EXTERNAL_STORAGE" << false;
    QTest::newRow("line break") << "/sdcard\n/system" << false;
    QTest::newRow("final line break") << "/sdcard\n" << false;
    QTest::newRow("non-ASCII letter") << QString::fromUtf8("/sdcard/\xc3\xa9") << false;
}

void TestUninstall::storagePath()
{
    QFETCH(QString, path);
    QFETCH(bool, safe);
    QCOMPARE(isSafeStoragePath(path), safe);
    if (safe) {
        QCOMPARE(appDataPaths(path), dataPaths(path));
    }
}

void TestUninstall::earlyStops_data()
{
    QTest::addColumn<bool>("adb");
    QTest::addColumn<int>("apks");
    QTest::addColumn<QJsonObject>("scenario");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<Calls>("calls");

    const int all = AdbBench::AllApks;
    const QJsonObject headset = AdbBench::simulated({installedPico()});
    QTest::newRow("no adb, no APK")
            << false << 0 << headset << QStringList{"E Error: Cannot find adb"} << Calls{};
    QTest::newRow("no OpenXR APK")
            << true << (all & ~AdbBench::OpenXrApk) << headset
            << QStringList{"E Error: Cannot find Brelvo VR Viewer APK"} << Calls{};
    QTest::newRow("not authorized")
            << true << all
            << AdbBench::simulated({QJsonObject{{"serial", "PA1"}, {"state", "unauthorized"}}})
            << QStringList{notAuthorized} << Calls{devices};
    QTest::newRow("no headset") << true << all << AdbBench::simulated({}) << QStringList{notFound}
                                << Calls{devices};
    QTest::newRow("not installed")
            << true << all << AdbBench::simulated({AdbBench::pico("PA1")})
            << QStringList{uninstalling, "I Package is already uninstalled!"}
            << Calls{devices, {"-s", "PA1", "shell", "pm", "list", "packages", package}};
}

void TestUninstall::earlyStops()
{
    QFETCH(bool, adb);
    QFETCH(int, apks);
    QFETCH(QJsonObject, scenario);
    QFETCH(QStringList, lines);
    QFETCH(Calls, calls);

    bench = new AdbBench(apks, adb);
    bench->setScenario(scenario);
    QCOMPARE(click("uninstallPushButton"), lines);
    QCOMPARE(bench->journal(), calls);
}

void TestUninstall::removesExactlyTheAppData()
{
    bench = new AdbBench;
    bench->setScenario(AdbBench::simulated({installedPico()}));
    window = new CBrelvoPico;
    QCOMPARE(click("uninstallPushButton"), (QStringList{uninstalling, uninstalled}));
    Calls expected = uninstallCalls("PA1");
    expected.removeFirst(); // the journal was cleared after the start-up detection
    QCOMPARE(bench->journal(), expected);

    const QJsonObject state = bench->deviceState();
    QStringList left = state.value("files").toObject().keys();
    QStringList kept = {storage + "/DCIM/photo.jpg",
                        storage + "/Download/movie.mp4",
                        storage + "/Android/obb/com.other.app/main.obb",
                        storage + "/UE4Game/OtherGame/data.pak",
                        "/system/lib64/libc.so",
                        "/system/lib64/libopenxr_forwardloader.so",
                        "/vendor/etc/openxr/1/active_runtime.json"};
    left.sort();
    kept.sort();
    QCOMPARE(left, kept);
    QCOMPARE(state.value("dirs").toArray(), (QJsonArray{storage + "/Download", storage + "/DCIM"}));
    QVERIFY(!state.value("packages").toArray().contains(package));
}

void TestUninstall::unsafeStorageRemovesNothing_data()
{
    QTest::addColumn<QString>("storageText");
    QTest::newRow("empty") << "";
    QTest::newRow("space inside") << "/sd card";
    QTest::newRow("two words") << "/storage/emulated/0 x";
    QTest::newRow("root") << "/";
    QTest::newRow("parent segment") << "/sdcard/../../system";
}

void TestUninstall::unsafeStorageRemovesNothing()
{
    QFETCH(QString, storageText);
    bench = new AdbBench;
    QJsonObject device = installedPico();
    QJsonObject env{{"EXTERNAL_STORAGE", storageText}};
    device.insert("env", env);
    const QJsonObject before = device.value("files").toObject();
    // The storage text reaches the program unchanged, blanks included.
    QJsonObject scenario = AdbBench::simulated({device});
    scenario.insert("rules",
                    QJsonArray{AdbBench::rule({"-s", "PA1", "shell", "echo $EXTERNAL_STORAGE"},
                                              AdbBench::reply(storageText + "\n"))});
    bench->setScenario(scenario);

    QStringList lines = click("uninstallPushButton");
    QCOMPARE(lines, (QStringList{uninstalling, storageUnknown, uninstalled}));
    for (const QStringList &call : bench->journal())
        QVERIFY2(!call.contains("rm"), qPrintable(call.join(' ')));
    QCOMPARE(bench->deviceState().value("files").toObject(), before);
}

void TestUninstall::verdicts_data()
{
    QTest::addColumn<QJsonObject>("answer");
    QTest::addColumn<QString>("line");

    QTest::newRow("uninstalled") << AdbBench::reply("Success\r\n") << uninstalled;
    QTest::newRow("not there: stdout only, exit 1")
            << AdbBench::reply("Failure [DELETE_FAILED_INTERNAL_ERROR]\n", "", 1)
            << "E Error uninstalling Package: Failure [DELETE_FAILED_INTERNAL_ERROR]";
    QTest::newRow("error over several lines")
            << AdbBench::reply("", "adb: error: one\ntwo\n", 1)
            << "E Error uninstalling Package: adb: error: one|E two";
    QTest::newRow("crash") << QJsonObject{{"crash", true}}
                           << "E Error uninstalling Package: adb stopped unexpectedly. -> Please "
                              "reconnect the headset and try again.";
    QTest::newRow("waits for a device")
            << QJsonObject{{"stderr", "- waiting for device -\n"}, {"hang", true}}
            << "E Error uninstalling Package: The Pico headset was disconnected. -> Please "
               "reconnect it and try again.";
}

void TestUninstall::verdicts()
{
    QFETCH(QJsonObject, answer);
    QFETCH(QString, line);
    bench = new AdbBench;
    QJsonObject scenario = AdbBench::simulated({installedPico()});
    scenario.insert("rules",
                    QJsonArray{AdbBench::rule({"-s", "PA1", "uninstall", package}, answer)});
    bench->setScenario(scenario);
    QCOMPARE(click("uninstallPushButton"), (QStringList{uninstalling} + line.split('|')));
    QCOMPARE(bench->runningAdbCount(), 0);
}

void TestUninstall::headsetGoneAtTheSecondDetection()
{
    bench = new AdbBench;
    const QString ready =
            QString("%1 device usb:1-1 product:p model:Pico_4 device:d\n").arg("PA1", -22);
    QJsonObject scenario = AdbBench::simulated({installedPico()});
    scenario.insert("rules",
                    QJsonArray{AdbBench::rule(
                            devices,
                            QJsonArray{AdbBench::reply("List of devices attached\n" + ready),
                                       AdbBench::reply("List of devices attached\n"
                                                       "PA1                    "
                                                       "offline\n")})});
    window = new CBrelvoPico;
    bench->setScenario(scenario);
    QCOMPARE(click("uninstallPushButton"), (QStringList{uninstalling, notAuthorized}));
    QCOMPARE(bench->journal(),
             (Calls{devices, {"-s", "PA1", "shell", "pm", "list", "packages", package}, devices}));
}

void TestUninstall::installThenUninstallTwice()
{
    bench = new AdbBench;
    QJsonObject device = AdbBench::pico("PA1");
    device.insert("installMs", 300);
    bench->setScenario(AdbBench::simulated({device}));
    QCOMPARE(click("installPushButton"),
             (QStringList{"I Installing package, please wait ...", "I PICO OS version: 5.7.1",
                          "I Device model: Pico 4",
                          "I Firmware provides an OpenXR runtime -> installing the OpenXR build.",
                          "I Package installed successfully!"}));
    QCOMPARE(click("uninstallPushButton"), (QStringList{uninstalling, uninstalled}));
    QCOMPARE(click("uninstallPushButton"),
             (QStringList{uninstalling, "I Package is already uninstalled!"}));
}

void TestUninstall::buttonsAreDisabledWhileAdbWorks()
{
    bench = new AdbBench;
    QJsonObject scenario = AdbBench::simulated({installedPico()});
    scenario.insert(
            "rules",
            QJsonArray{AdbBench::rule({"-s", "PA1", "uninstall", package},
                                      QJsonObject{{"stdout", "Success\n"}, {"delayMs", 1500}})});
    bench->setScenario(scenario);
    window = new CBrelvoPico;

    QList<bool> during;
    probeButtonsDuringAction(window, during);
    QCOMPARE(click("uninstallPushButton"), (QStringList{uninstalling, uninstalled}));
    QCOMPARE(during, (QList<bool>{false, false, true}));
    QCOMPARE(bench->journal().size(), 6); // the second clicks started nothing
}

QTEST_MAIN(TestUninstall)
#include "tst_uninstall.moc"
