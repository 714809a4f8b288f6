#include "app/cbrelvopico.h"
#include "tests/support/bench.h"
#include "tests/support/expected.h"

#include <QTest>

using Calls = QList<QStringList>;
using namespace Expected;

// The Uninstall button from the click to the last line in the log.
class TestUninstall : public QObject
{
    Q_OBJECT

private slots:
    void earlyStops_data();
    void earlyStops();
    void removesExactlyTheAppData();
    void unsafeStorageRemovesNothing_data();
    void unsafeStorageRemovesNothing();
    void removalFails_data();
    void removalFails();
    void verdicts_data();
    void verdicts();
    void adbAnswers_data();
    void adbAnswers();
    void headsetGoneAtTheSecondDetection();
    void buttonsAreDisabledWhileAdbWorks();
};

static const QStringList uninstallPA1 = {"-s", "PA1", "uninstall", package};

// A headset with the app, its data, and other files that must survive.
static QJsonObject installedPico()
{
    QJsonObject device = Bench::pico("PA1");
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

void TestUninstall::earlyStops_data()
{
    QTest::addColumn<bool>("adb");
    QTest::addColumn<int>("apks");
    QTest::addColumn<QJsonObject>("scenario");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<Calls>("calls");

    const int all = Bench::AllApks;
    const QJsonObject headset = Bench::simulated({installedPico()});
    QTest::newRow("no adb, no APK")
            << false << 0 << headset << QStringList{"E Error: Cannot find adb"} << Calls{};
    QTest::newRow("no OpenXR APK")
            << true << (all & ~Bench::OpenXrApk) << headset
            << QStringList{"E Error: Cannot find Brelvo VR Viewer APK"} << Calls{};
    QTest::newRow("not authorized")
            << true << all
            << Bench::simulated({QJsonObject{{"serial", "PA1"}, {"state", "unauthorized"}}})
            << notAuthorized << Calls{devices};
    QTest::newRow("no headset") << true << all << Bench::simulated({}) << notFound
                                << Calls{devices};
    QTest::newRow("not installed")
            << true << all << Bench::simulated({Bench::pico("PA1")})
            << QStringList{uninstalling, alreadyUninstalled}
            << Calls{devices, {"-s", "PA1", "shell", "pm", "list", "packages", package}, devices};
}

void TestUninstall::earlyStops()
{
    QFETCH(bool, adb);
    QFETCH(int, apks);
    QFETCH(QJsonObject, scenario);
    QFETCH(QStringList, lines);
    QFETCH(Calls, calls);

    Bench bench(scenario, apks, adb);
    QCOMPARE(bench.click("uninstallPushButton"), lines);
    QCOMPARE(bench.journal(), calls);
}

void TestUninstall::removesExactlyTheAppData()
{
    Bench bench(Bench::simulated({installedPico()}));
    QCOMPARE(bench.click("uninstallPushButton"), (QStringList{uninstalling, uninstalled}));
    QCOMPARE(bench.journal(),
             (Calls{devices,
                    {"-s", "PA1", "shell", "pm", "list", "packages", package},
                    devices,
                    uninstallPA1,
                    {"-s", "PA1", "shell", "echo $EXTERNAL_STORAGE"},
                    QStringList{"-s", "PA1", "shell", "rm", "-r"} + dataPaths(storage)}));

    const QJsonObject state = bench.deviceState();
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
    // One row of each kind; the storage rule's own table holds the rest.
    QTest::newRow("empty") << "";
    QTest::newRow("two words") << "/storage/emulated/0 x";
    QTest::newRow("parent segment") << "/sdcard/../../system";
}

void TestUninstall::unsafeStorageRemovesNothing()
{
    QFETCH(QString, storageText);
    QJsonObject device = installedPico();
    device.insert("env", QJsonObject{{"EXTERNAL_STORAGE", storageText}});
    const QJsonObject before = device.value("files").toObject();
    // The storage text reaches the program unchanged, blanks included.
    Bench bench(Bench::simulated({device},
                                 {Bench::rule({"-s", "PA1", "shell", "echo $EXTERNAL_STORAGE"},
                                              Bench::reply(storageText + "\n"))}));

    QCOMPARE(bench.click("uninstallPushButton"),
             (QStringList{uninstalling, storageUnknown, uninstalled}));
    for (const QStringList &call : bench.journal())
        QVERIFY2(!call.contains("rm"), qPrintable(call.join(' ')));
    QCOMPARE(bench.deviceState().value("files").toObject(), before);
}

void TestUninstall::removalFails_data()
{
    QTest::addColumn<QJsonObject>("answer");
    QTest::addColumn<QStringList>("lines");

    // The app itself is gone; the log says which of its data may be left.
    const QStringList all = dataPaths(storage);
    QTest::newRow("no answer in time")
            << QJsonObject{{"hang", true}}
            << QStringList{uninstalling, dataLeft(all), noAnswerAdvice, uninstalled};
    QTest::newRow("link dropped") << Bench::reply(
            "", "", 255) << QStringList{uninstalling, dataLeft(all), reconnectAdvice, uninstalled};
    QTest::newRow("one folder refused")
            << Bench::reply("",
                            "rm: " + all.at(3) + "/main.1.obb: Permission denied\nrm: " + all.at(2)
                                    + ": No such file or directory\n",
                            1)
            << QStringList{uninstalling, dataLeft({all.at(3)}), uninstalled};
}

void TestUninstall::removalFails()
{
    QFETCH(QJsonObject, answer);
    QFETCH(QStringList, lines);
    Bench bench(Bench::simulated({installedPico()},
                                 {QJsonObject{{"prefix", QJsonArray{"-s", "PA1", "shell", "rm"}},
                                              {"responses", QJsonArray{answer}}}}));
    bench.window()->setAdbTimeout(2000);
    QCOMPARE(bench.click("uninstallPushButton"), lines);
}

void TestUninstall::verdicts_data()
{
    QTest::addColumn<QJsonObject>("answer");
    QTest::addColumn<QString>("line");

    QTest::newRow("uninstall-success") << Bench::replay("uninstall-success") << uninstalled;
    QTest::newRow("uninstall-not-installed")
            << Bench::replay("uninstall-not-installed")
            << "E Error uninstalling Package: Failure [DELETE_FAILED_INTERNAL_ERROR]|"
                    + deleteFailedAdvice;
    QTest::newRow("crash") << QJsonObject{{"crash", true}}
                           << "E Error uninstalling Package: adb stopped unexpectedly. -> Please "
                              "reconnect the headset and try again.";
    QTest::newRow("waits for a device")
            << QJsonObject{{"stderr", "- waiting for device -\n"}, {"hang", true}}
            << disconnected("uninstalling").join('|');
}

void TestUninstall::verdicts()
{
    QFETCH(QJsonObject, answer);
    QFETCH(QString, line);
    Bench bench(Bench::simulated({installedPico()}, {Bench::rule(uninstallPA1, answer)}));
    QCOMPARE(bench.click("uninstallPushButton"), (QStringList{uninstalling} + line.split('|')));
    QCOMPARE(bench.runningAdb(), QList<QStringList>());
}

void TestUninstall::adbAnswers_data()
{
    QTest::addColumn<QJsonObject>("scenario");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<bool>("dataKept");

    QJsonObject refusing = installedPico();
    refusing.insert("uninstallResult", "DELETE_FAILED_DEVICE_POLICY_MANAGER");
    QJsonObject olderRefusing = refusing;
    olderRefusing.insert("oldShell", true);
    QJsonObject beta = installedPico();
    beta.insert("packages", QJsonArray{package + ".beta"});
    const QString refused =
            "E Error uninstalling Package: Failure [DELETE_FAILED_DEVICE_POLICY_MANAGER]";

    QTest::newRow("refused") << Bench::simulated({refusing})
                             << QStringList{uninstalling, refused, devicePolicyAdvice} << true;
    QTest::newRow("refused by older firmware")
            << Bench::simulated({olderRefusing})
            << QStringList{uninstalling, refused, devicePolicyAdvice} << true;
    QTest::newRow("only a longer package name")
            << Bench::simulated({beta}) << QStringList{uninstalling, alreadyUninstalled} << true;
}

void TestUninstall::adbAnswers()
{
    QFETCH(QJsonObject, scenario);
    QFETCH(QStringList, lines);
    QFETCH(bool, dataKept);

    Bench bench(scenario);
    const QJsonValue before = scenario.value("devices")[0]["files"];
    QCOMPARE(bench.click("uninstallPushButton"), lines);
    QCOMPARE(bench.deviceState().value("files") == before, dataKept);
}

void TestUninstall::headsetGoneAtTheSecondDetection()
{
    Bench bench(Bench::simulated(
            {installedPico()},
            {Bench::rule(devices,
                         QJsonArray{Bench::reply(listingHeader + readyLine("PA1", "Pico_4")),
                                    Bench::replay("devices-offline")})}));
    QCOMPARE(bench.click("uninstallPushButton"),
             (QStringList{uninstalling} + notAnswering("offline")));
    QCOMPARE(bench.journal(),
             (Calls{devices, {"-s", "PA1", "shell", "pm", "list", "packages", package}, devices}));
}

void TestUninstall::buttonsAreDisabledWhileAdbWorks()
{
    Bench bench(Bench::simulated(
            {installedPico()},
            {Bench::rule(uninstallPA1, QJsonObject{{"stdout", "Success\n"}, {"delayMs", 1500}})}));

    QList<bool> during;
    probeButtonsDuringAction(bench.window(), during);
    QCOMPARE(bench.click("uninstallPushButton"), (QStringList{uninstalling, uninstalled}));
    QCOMPARE(during, (QList<bool>{false, false, true}));
    // The second clicks started nothing: exactly one uninstall reached adb.
    QCOMPARE(bench.journal().count(uninstallPA1), 1);
}

QTEST_MAIN(TestUninstall)
#include "tst_uninstall.moc"
