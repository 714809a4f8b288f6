#include "adbbench.h"
#include "cbrelvopico.h"

#include "probe/firmwaretext.h"

#include <QTest>

using Calls = QList<QStringList>;

// The firmware version and the OpenXR runtime probes.
class TestProbes : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void versionAcceptance_data();
    void versionAcceptance();
    void versionCascade_data();
    void versionCascade();
    void libraryName_data();
    void libraryName();
    void openXrRuntime_data();
    void openXrRuntime();

private:
    AdbBench *bench = nullptr;
    CBrelvoPico *window = nullptr;
};

static const QStringList cascade = {"ro.pico.systemversion", "ro.pvr.internal.systemversion",
                                    "ro.product.build.version.incremental",
                                    "ro.system.build.version.incremental",
                                    "ro.build.version.incremental"};
static QStringList getprop(const QString &property)
{
    return {"-s", "PA1", "shell", "getprop", property};
}

void TestProbes::init()
{
    bench = new AdbBench;
    window = new CBrelvoPico;
    bench->clearJournal();
}

void TestProbes::cleanup()
{
    delete window;
    delete bench;
}

void TestProbes::versionAcceptance_data()
{
    QTest::addColumn<QString>("candidate");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("5.7.1") << "5.7.1" << true;
    QTest::newRow("leading zeros") << "5.07.10" << true;
    QTest::newRow("suffix") << "5.9.0-beta" << true;
    QTest::newRow("trailing dot") << "5." << true;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("build number") << "831" << false;
    QTest::newRow("letter first") << "V5.7.1" << false;
    QTest::newRow("dot only in the suffix") << "5-build.3" << true;
    QTest::newRow("dot first") << ".5" << false;
    QTest::newRow("sign first") << "+6m5.2" << false;
}

void TestProbes::versionAcceptance()
{
    QFETCH(QString, candidate);
    QFETCH(bool, accepted);
    QCOMPARE(isAcceptedPicoOsVersion(candidate), accepted);
}

void TestProbes::versionCascade_data()
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

void TestProbes::versionCascade()
{
    QFETCH(QStringList, values);
    QFETCH(QString, version);
    QFETCH(int, runs);

    QJsonArray rules;
    for (int i = 0; i < values.size(); ++i)
        rules << AdbBench::rule(getprop(cascade.at(i)), AdbBench::reply(values.at(i), "ignored\n"));
    rules << AdbBench::catchAll(AdbBench::reply("\n"));
    bench->setScenario({{"rules", rules}});

    QCOMPARE(window->getPicoOsVersion("PA1"), version);
    Calls expected;
    for (int i = 0; i < runs; ++i)
        expected << getprop(cascade.at(i));
    QCOMPARE(bench->journal(), expected);
}

void TestProbes::libraryName_data()
{
    QTest::addColumn<QString>("manifest");
    QTest::addColumn<QString>("library");

    const QString def = "libopenxr_forwardloader.so";
    QTest::newRow("bare name")
            << R"({"file_format_version": "1.0.0", "runtime": {"library_path": "libxr_vendor_runtime.so"}})"
            << "libxr_vendor_runtime.so";
    QTest::newRow("default name given")
            << R"({"runtime":{"library_path":"libopenxr_forwardloader.so"}})" << def;
    QTest::newRow("no manifest") << "" << def;
    QTest::newRow("first key counts")
            << R"({"library_path": "first.so", "library_path": "second.so"})"
            << "first.so";
    QTest::newRow("other letter case") << R"({"Library_Path": "libx.so"})" << def;
    QTest::newRow("blanks inside the quotes") << R"({"library_path": "  libx.so "})"
                                              << "libx.so";
    QTest::newRow("no colon") << R"({"library_path" "libx.so"})" << def;
    QTest::newRow("no closing quote") << R"({"library_path": "libx.so)" << def;
    QTest::newRow("no value quote") << R"({"library_path": 5})" << def;
    QTest::newRow("key and value on two lines") << "{\"library_path\":\r\n  \"libx.so\"}"
                                                << "libx.so";
    // A path is looked for by its file name.
    QTest::newRow("full path") << R"({"library_path": "/vendor/lib64/libopenxr_forwardloader.so"})"
                               << def;
    QTest::newRow("relative path") << R"({"library_path": "./lib/libruntime.so"})"
                                   << "libruntime.so";
    QTest::newRow("escaped slashes") << R"({"library_path": "\/vendor\/lib64\/libr.so"})"
                                     << "libr.so";
    // Nothing that names no file can be a library.
    QTest::newRow("empty value") << R"({"library_path": ""})" << def;
    QTest::newRow("blank value") << R"({"library_path": "   "})" << def;
    QTest::newRow("path ending in a slash") << R"({"library_path": "/vendor/lib64/"})" << def;
    // The name goes into a command line for the headset's shell.
    QTest::newRow("shell command") << R"({"library_path": "x;rm -r $EXTERNAL_STORAGE"})" << def;
    QTest::newRow("spaces inside") << R"({"library_path": "lib a.so"})" << def;
}

void TestProbes::libraryName()
{
    QFETCH(QString, manifest);
    QFETCH(QString, library);
    QCOMPARE(runtimeLibraryName(manifest), library);
}

void TestProbes::openXrRuntime_data()
{
    QTest::addColumn<QString>("manifest");
    QTest::addColumn<QString>("library");
    QTest::addColumn<QString>("lsOut");
    QTest::addColumn<QString>("lsErr");
    QTest::addColumn<bool>("result");

    const QString def = "libopenxr_forwardloader.so";
    const QString vendor = R"({"runtime": {"library_path": "libxr_vendor_runtime.so"}})";
    QTest::newRow("in /system/lib64")
            << "" << def << "/system/lib64/" + def + "\n"
            << "ls: /vendor/lib64/" + def + ": No such file or directory\n"
            << true;
    QTest::newRow("in both") << "" << def
                             << "/system/lib64/" + def + "\r\n/vendor/lib64/" + def + "\r\n"
                             << "" << true;
    QTest::newRow("vendor runtime") << vendor << "libxr_vendor_runtime.so"
                                    << "/vendor/lib64/libxr_vendor_runtime.so\n"
                                    << "" << true;
    QTest::newRow("named runtime missing") << vendor << "libxr_vendor_runtime.so"
                                           << ""
                                           << "ls: no such file\n"
                                           << false;
    QTest::newRow("full path") << R"({"library_path": "/vendor/lib64/libopenxr_forwardloader.so"})"
                               << def << "/vendor/lib64/" + def + "\n"
                               << "" << true;
    QTest::newRow("blank value, empty listing") << R"({"library_path": " "})" << def << ""
                                                << "" << false;
    QTest::newRow("complaint on the error stream only") << "" << def << ""
                                                        << "ls: /system/lib64/" + def
                    + ": No such file or directory\nls: /vendor/lib64/" + def
                    + ": No such file or directory\n" << false;
}

void TestProbes::openXrRuntime()
{
    QFETCH(QString, manifest);
    QFETCH(QString, library);
    QFETCH(QString, lsOut);
    QFETCH(QString, lsErr);
    QFETCH(bool, result);

    const QStringList cat = {"-s", "PA1", "shell", "cat",
                             "/vendor/etc/openxr/1/active_runtime.json"};
    const QStringList ls = {
            "-s", "PA1", "shell", "ls", "/system/lib64/" + library, "/vendor/lib64/" + library};
    const QJsonObject catReply = manifest.isEmpty()
            ? AdbBench::reply("", "cat: /vendor/etc/openxr/1/active_runtime.json: No such file\n",
                              1)
            : AdbBench::reply(manifest + "\n");
    bench->setScenario({{"rules",
                         QJsonArray{AdbBench::rule(cat, catReply),
                                    AdbBench::rule(ls, AdbBench::reply(lsOut, lsErr, 1))}}});
    QCOMPARE(window->hasOpenXrRuntime("PA1"), result);
    QCOMPARE(bench->journal(), (Calls{cat, ls}));
}

QTEST_MAIN(TestProbes)
#include "tst_probes.moc"
