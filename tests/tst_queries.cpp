#include "adb/adbanswers.h"
#include "app/cbrelvopico.h"
#include "tests/support/bench.h"
#include "tests/support/expected.h"

#include <QTest>

using Calls = QList<QStringList>;

// What the program asks adb and the headset, and what it makes of the answers: the device
// listing, the model, storage and package queries, the firmware version and the OpenXR runtime.
class TestQueries : public QObject
{
    Q_OBJECT

private slots:
    void queries_data();
    void queries();
    void versionCascade_data();
    void versionCascade();
    void openXrRuntime_data();
    void openXrRuntime();
};

using Expected::devices;

void TestQueries::queries_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QJsonObject>("answer");
    QTest::addColumn<QString>("result");
    QTest::addColumn<bool>("answered");

    const QStringList model = {"-s", "PA1", "shell", "getprop", "ro.product.model"};
    const QStringList storage = {"-s", "PA1", "shell", "echo $EXTERNAL_STORAGE"};
    const QStringList package = {
            "-s", "PA1", "shell", "pm", "list", "packages", "com.Brelvo.BrelvoVRViewer"};
    // The captured answers reach these queries in the actions' cases, whose simulated headset
    // answers as the captures do; these are the edges. The error stream of the model and
    // storage queries is never looked at.
    QTest::newRow("model with blanks and noise")
            << "model" << model << Bench::reply(" \tPico Neo 3 \t\r\n", "noise\n") << "Pico Neo 3"
            << true;
    QTest::newRow("storage with blanks")
            << "storage" << storage << Bench::reply("/sdcard  \r\n") << "/sdcard" << true;
    QTest::newRow("storage empty")
            << "storage" << storage << Bench::reply("", "noise\n") << "" << true;
    QTest::newRow("not installed, adb's server replaced")
            << "package" << package
            << Bench::reply("", adbCapture("devices-server-version-mismatch").err) << "" << true;
    QTest::newRow("headset gone") << "package" << package << Bench::replay("shell-device-not-found")
                                  << "" << false;
}

void TestQueries::queries()
{
    QFETCH(QString, query);
    QFETCH(QStringList, args);
    QFETCH(QJsonObject, answer);
    QFETCH(QString, result);
    QFETCH(bool, answered);

    Bench bench(Bench::rules({Bench::rule(args, answer)}));
    CBrelvoPico *window = bench.window();
    bench.clearJournal();
    const HeadsetAnswer package =
            query == "package" ? window->getInstalledPackage("PA1") : HeadsetAnswer{};
    const bool gotAnswer = package.kind == HeadsetAnswer::Answered;
    const QString got = query == "model" ? window->getDeviceModel("PA1")
            : query == "storage"         ? window->getExternalStorage("PA1")
                                         : package.text;
    QCOMPARE(got, result);
    QCOMPARE(gotAnswer, answered);
    QCOMPARE(bench.journal(), Calls{args});
}

static const QStringList cascade = {"ro.pico.systemversion", "ro.pvr.internal.systemversion",
                                    "ro.product.build.version.incremental",
                                    "ro.system.build.version.incremental",
                                    "ro.build.version.incremental"};
static QStringList getprop(const QString &property)
{
    return {"-s", "PA1", "shell", "getprop", property};
}

void TestQueries::versionCascade_data()
{
    QTest::addColumn<QStringList>("values"); // getprop's output for each property, in order
    QTest::addColumn<QString>("version");
    QTest::addColumn<int>("runs");

    QTest::newRow("first property") << QStringList{"5.7.1\n", "9.9.9\n"} << "5.7.1" << 1;
    QTest::newRow("second, blanks around") << QStringList{"\n", " 4.8.19 \r\n"} << "4.8.19" << 2;
    QTest::newRow("build numbers only")
            << QStringList{"\n", "\n", "831\n", "\n", "831\n"} << "" << 5;
    QTest::newRow("suffix kept") << QStringList{"V5\n", "5.9.0-beta\n"} << "5.9.0-beta" << 2;
    QTest::newRow("fifth property")
            << QStringList{"\n", "\n", "\n", "\n", "5.07.10\n"} << "5.07.10" << 5;
}

void TestQueries::versionCascade()
{
    QFETCH(QStringList, values);
    QFETCH(QString, version);
    QFETCH(int, runs);

    QJsonArray rules;
    for (int i = 0; i < values.size(); ++i)
        rules << Bench::rule(getprop(cascade.at(i)), Bench::reply(values.at(i), "ignored\n"));
    rules << Bench::catchAll(Bench::reply("\n"));
    Bench bench(Bench::rules(rules));
    CBrelvoPico *window = bench.window();
    bench.clearJournal();

    QCOMPARE(window->getPicoOsVersion("PA1"), version);
    Calls expected;
    for (int i = 0; i < runs; ++i)
        expected << getprop(cascade.at(i));
    QCOMPARE(bench.journal(), expected);
}

void TestQueries::openXrRuntime_data()
{
    QTest::addColumn<QJsonObject>("manifest");
    QTest::addColumn<QString>("library");
    QTest::addColumn<QJsonObject>("listing");
    QTest::addColumn<bool>("result");

    const QString def = "libopenxr_forwardloader.so";
    const QJsonObject vendor =
            Bench::reply(R"({"runtime": {"library_path": "libxr_vendor_runtime.so"}})");
    QTest::newRow("in /system/lib64")
            << Bench::replay("cat-manifest") << def << Bench::replay("ls-runtime-found") << true;
    QTest::newRow("vendor runtime")
            << vendor << "libxr_vendor_runtime.so"
            << Bench::reply("/vendor/lib64/libxr_vendor_runtime.so\n") << true;
    QTest::newRow("named runtime missing") << vendor << "libxr_vendor_runtime.so"
                                           << Bench::reply("", "ls: no such file\n", 1) << false;
    QTest::newRow("no manifest, complaint on the error stream only")
            << Bench::replay("cat-manifest-missing") << def << Bench::replay("ls-runtime-missing")
            << false;
}

void TestQueries::openXrRuntime()
{
    QFETCH(QJsonObject, manifest);
    QFETCH(QString, library);
    QFETCH(QJsonObject, listing);
    QFETCH(bool, result);

    const QStringList cat = {"-s", "PA1", "shell", "cat",
                             "/vendor/etc/openxr/1/active_runtime.json"};
    const QStringList ls = {
            "-s", "PA1", "shell", "ls", "/system/lib64/" + library, "/vendor/lib64/" + library};
    Bench bench(Bench::rules({Bench::rule(cat, manifest), Bench::rule(ls, listing)}));
    CBrelvoPico *window = bench.window();
    bench.clearJournal();
    QCOMPARE(window->hasOpenXrRuntime("PA1"), result);
    QCOMPARE(bench.journal(), (Calls{cat, ls}));
}

QTEST_MAIN(TestQueries)
#include "tst_queries.moc"
