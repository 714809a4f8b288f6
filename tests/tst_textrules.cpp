#include "tests/support/bench.h"

#include "adb/headsetdetection.h"
#include "app/activitylog.h"
#include "ops/uninstall.h"
#include "probe/openxrruntime.h"
#include "probe/picoosversion.h"

#include <QTest>

Q_DECLARE_METATYPE(DeviceListing)

char *toString(const DeviceListing &listing)
{
    return qstrdup(qPrintable(QStringLiteral("{anyDevice %1, serial \"%2\", isNeo2 %3}")
                                      .arg(listing.anyDevice)
                                      .arg(listing.serial)
                                      .arg(listing.isNeo2)));
}

// The rules by which the program reads adb's and the headset's texts, without a window or a
// process: real answers captured from adb (tests/data/adb/), and the edge cases around them.
class TestTextRules : public QObject
{
    Q_OBJECT

private slots:
    void deviceListing_data();
    void deviceListing();
    void picoOsVersion_data();
    void picoOsVersion();
    void runtimeLibraryName_data();
    void runtimeLibraryName();
    void storagePath_data();
    void storagePath();
    void logLine_data();
    void logLine();
};

// A query's answer as the program reads it: standard output without its line breaks.
static QString queried(const QString &capture)
{
    QString out = adbCapture(capture).out;
    out.remove(QLatin1Char('\r'));
    out.remove(QLatin1Char('\n'));
    return out.trimmed();
}

static const QString header = "List of devices attached\n";
static QString ready(const QString &serial, const QString &model)
{
    return QString("%1 device usb:1-1 product:p model:%2 device:d transport_id:1\n")
            .arg(serial, -22)
            .arg(model);
}
static QString other(const QString &serial, const QString &state)
{
    return QString("%1 %2 transport_id:2\n").arg(serial, -22).arg(state);
}

void TestTextRules::deviceListing_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<DeviceListing>("expected");

    const DeviceListing none;
    const DeviceListing notReady{true, "", false};
    const QList<std::pair<const char *, DeviceListing>> captured = {
            {"devices-none", none},
            {"devices-none-server-starts", none},
            {"devices-server-version-mismatch", none},
            {"devices-pico4", {true, "127.0.0.1:6101", false}},
            {"devices-pico4-crlf", {true, "127.0.0.1:6101", false}},
            {"devices-neo2", {true, "127.0.0.1:6103", true}},
            {"devices-unauthorized", notReady},
            {"devices-offline", notReady},
            {"devices-phone-and-pico4", {true, "127.0.0.1:6101", false}},
            {"devices-pico4-and-neo2", {true, "127.0.0.1:6101", false}}};
    for (const auto &[name, expected] : captured)
        QTest::newRow(name) << adbCapture(name).out << expected;

    QTest::newRow("empty output") << "" << none;
    QTest::newRow("recovery") << header + other("A1", "recovery") << notReady;
    QTest::newRow("authorizing") << header + other("A1", "authorizing") << notReady;
    QTest::newRow("no permissions") << header
                    + other("A1",
                            "no permissions (missing udev rules? user is in the plugdev "
                            "group); see [http://developer.android.com/tools/device.html]")
                                    << notReady;
    QTest::newRow("not ready Neo 2 stays no Neo 2")
            << header + other("A1", "unauthorized model:Pico_Neo_2") << notReady;
    QTest::newRow("unready first, ready second") << header + other("PHONE1", "unauthorized")
                    + ready("PICO1", "Pico_4") << DeviceListing{true, "PICO1", false};
    QTest::newRow("ready first, unready Neo 2 second")
            << header + ready("PICO1", "Pico_4") + other("NEO", "offline model:Pico_Neo_2")
            << DeviceListing{true, "PICO1", false};
    QTest::newRow("two ready, Neo 2 first")
            << header + ready("NEO", "Pico_Neo_2") + ready("PICO1", "Pico_4")
            << DeviceListing{true, "NEO", true};
    QTest::newRow("model in capitals")
            << header + ready("N", "PICO_NEO_2") << DeviceListing{true, "N", true};
    QTest::newRow("model with suffix")
            << header + ready("N", "pico_neo_2_eye") << DeviceListing{true, "N", true};
    QTest::newRow("only CR") << "List of devices attached\r" + ready("S1", "M").replace("\n", "\r")
                             << DeviceListing{true, "S1", false};
    QTest::newRow("server notice on standard output") << "* daemon started successfully\n" + header
                    + ready("S1", "M") << DeviceListing{true, "S1", false};
    QTest::newRow("22-character serial") << header + ready("ABCDEFGHIJKLMNOPQRSTUV", "M")
                                         << DeviceListing{true, "ABCDEFGHIJKLMNOPQRSTUV", false};
    QTest::newRow("longer serial")
            << header + ready("192.168.1.20:5555-extra-long-serial", "M")
            << DeviceListing{true, "192.168.1.20:5555-extra-long-serial", false};
    QTest::newRow("tab separated") << header + "S1\tdevice\n" << DeviceListing{true, "S1", false};
    QTest::newRow("indented notice") << header + " *  device\n" << none;
    QTest::newRow("other white space")
            << header + QString("S1\u00a0device\n") << DeviceListing{true, "S1", false};
    QTest::newRow("device word only in fields")
            << header + other("A1", "offline device:thing") << notReady;
}

void TestTextRules::deviceListing()
{
    QFETCH(QString, text);
    QFETCH(DeviceListing, expected);
    QCOMPARE(parseDeviceListing(text), expected);
}

void TestTextRules::picoOsVersion_data()
{
    QTest::addColumn<QString>("candidate");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("getprop-version") << queried("getprop-version") << true;
    QTest::newRow("getprop-unset") << queried("getprop-unset") << false;
    QTest::newRow("leading zeros") << "5.07.10" << true;
    QTest::newRow("suffix") << "5.9.0-beta" << true;
    QTest::newRow("trailing dot") << "5." << true;
    QTest::newRow("build number") << "831" << false;
    QTest::newRow("letter first") << "V5.7.1" << false;
    QTest::newRow("dot only in the suffix") << "5-build.3" << true;
    QTest::newRow("dot first") << ".5" << false;
    QTest::newRow("sign first") << "+6m5.2" << false;
}

void TestTextRules::picoOsVersion()
{
    QFETCH(QString, candidate);
    QFETCH(bool, accepted);
    QCOMPARE(isAcceptedPicoOsVersion(candidate), accepted);
}

void TestTextRules::runtimeLibraryName_data()
{
    QTest::addColumn<QString>("manifest");
    QTest::addColumn<QString>("library");

    const QString def = "libopenxr_forwardloader.so";
    QTest::newRow("cat-manifest") << adbCapture("cat-manifest").out << def;
    QTest::newRow("cat-manifest-missing") << adbCapture("cat-manifest-missing").out << def;
    QTest::newRow("bare name")
            << R"({"file_format_version": "1.0.0", "runtime": {"library_path": "libxr_vendor_runtime.so"}})"
            << "libxr_vendor_runtime.so";
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

void TestTextRules::runtimeLibraryName()
{
    QFETCH(QString, manifest);
    QFETCH(QString, library);
    QCOMPARE(::runtimeLibraryName(manifest), library);
}

void TestTextRules::storagePath_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("safe");
    QTest::newRow("echo-storage") << queried("echo-storage") << true;
    QTest::newRow("sdcard") << "/sdcard" << true;
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

void TestTextRules::storagePath()
{
    QFETCH(QString, path);
    QFETCH(bool, safe);
    QCOMPARE(isSafeStoragePath(path), safe);
}

void TestTextRules::logLine_data()
{
    QTest::addColumn<bool>("error");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("html");

    QTest::newRow("information") << false << "Starting"
                                 << "<font color=#cccccc>Starting<br/></font>";
    QTest::newRow("error") << true << "x"
                           << "<font color=#cc4400>x<br/></font>";
    QTest::newRow("markup escaped") << false << "<b>&\""
                                    << "<font color=#cccccc>&lt;b&gt;&amp;&quot;<br/></font>";
    QTest::newRow("CR LF and trailing breaks") << true << "a\r\nb\n\n"
                                               << "<font color=#cc4400>a<br/>b<br/></font>";
    QTest::newRow("lone CR") << true << "a\rb"
                             << "<font color=#cc4400>a<br/>b<br/></font>";
    QTest::newRow("NUL and other control characters")
            << false << QString("a") + QChar(0) + "b\x01\tc"
            << "<font color=#cccccc>ab\tc<br/></font>";
    QTest::newRow("empty") << false << ""
                           << "<font color=#cccccc><br/></font>";
    QTest::newRow("capped") << false << QString(MaxLogLineLength + 5, 'x')
                            << "<font color=#cccccc>" + QString(MaxLogLineLength, 'x')
                    + QChar(0x2026) + "<br/></font>";
}

void TestTextRules::logLine()
{
    QFETCH(bool, error);
    QFETCH(QString, text);
    QFETCH(QString, html);
    QCOMPARE(logLineHtml(error ? LogKind::Error : LogKind::Info, text), html);
}

QTEST_GUILESS_MAIN(TestTextRules)
#include "tst_textrules.moc"
