#include "adbbench.h"
#include "cbrelvopico.h"

#include "adb/devicelisting.h"

#include <QTest>

using Calls = QList<QStringList>;

// Finding the headset, and the three simple queries put to it.
class TestHeadset : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void listing_data();
    void listing();
    void findDevice_data();
    void findDevice();
    void startupDetection();
    void queries_data();
    void queries();
    void storageOnASimulatedHeadset();
    void queriesNameTheHeadsetBesideAPhone();

private:
    AdbBench *bench = nullptr;
    CBrelvoPico *window = nullptr;
};

void TestHeadset::init()
{
    bench = new AdbBench;
    window = new CBrelvoPico;
    bench->clearJournal();
}

void TestHeadset::cleanup()
{
    delete window;
    delete bench;
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

void TestHeadset::listing_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("anyDevice");
    QTest::addColumn<QString>("serial");
    QTest::addColumn<bool>("isNeo2");

    QTest::newRow("nothing attached") << header + "\n" << false << "" << false;
    QTest::newRow("empty output") << "" << false << "" << false;
    QTest::newRow("unauthorized") << header
                    + "DEMO0001               unauthorized transport_id:1\n\n"
                                  << true << "" << false;
    QTest::newRow("ready Pico Neo 2") << header
                    + "DEMO0002               device product:demo_product model:Pico_Neo_2 "
                      "device:demo_device transport_id:2\n\n"
                                      << true << "DEMO0002" << true;
    QTest::newRow("ready other model") << header
                    + "DEMO0002               device product:demo_product model:Demo_Model "
                      "device:demo_device transport_id:2\n\n"
                                       << true << "DEMO0002" << false;
    QTest::newRow("offline") << header + other("A1", "offline") << true << "" << false;
    QTest::newRow("authorizing") << header + other("A1", "authorizing") << true << "" << false;
    QTest::newRow("recovery") << header + other("A1", "recovery") << true << "" << false;
    QTest::newRow("no permissions") << header
                    + other("A1",
                            "no permissions (missing udev rules? user is in the plugdev "
                            "group); see [http://developer.android.com/tools/device.html]")
                                    << true << "" << false;
    QTest::newRow("not ready Neo 2 stays no Neo 2")
            << header + other("A1", "unauthorized model:Pico_Neo_2") << true << "" << false;
    QTest::newRow("unready first, ready second")
            << header + other("PHONE1", "unauthorized") + ready("PICO1", "Pico_4") << true
            << "PICO1" << false;
    QTest::newRow("ready first, unready Neo 2 second")
            << header + ready("PICO1", "Pico_4") + other("NEO", "offline model:Pico_Neo_2") << true
            << "PICO1" << false;
    QTest::newRow("two ready, Neo 2 second")
            << header + ready("PICO1", "Pico_4") + ready("NEO", "Pico_Neo_2") << true << "PICO1"
            << false;
    QTest::newRow("two ready, Neo 2 first")
            << header + ready("NEO", "Pico_Neo_2") + ready("PICO1", "Pico_4") << true << "NEO"
            << true;
    QTest::newRow("model in capitals") << header + ready("N", "PICO_NEO_2") << true << "N" << true;
    QTest::newRow("model with suffix")
            << header + ready("N", "pico_neo_2_eye") << true << "N" << true;
    QTest::newRow("CR LF") << "List of devices attached\r\n"
                    + ready("S1", "M").replace("\n", "\r\n") + "\r\n"
                           << true << "S1" << false;
    QTest::newRow("only CR") << "List of devices attached\r" + ready("S1", "M").replace("\n", "\r")
                             << true << "S1" << false;
    QTest::newRow("server notice")
            << "* daemon not running; starting now at tcp:5037\n* daemon started successfully\n"
                    + header + "\n"
            << false << "" << false;
    QTest::newRow("server notice before a device")
            << "* daemon started successfully\n" + header + ready("S1", "M") << true << "S1"
            << false;
    QTest::newRow("22-character serial") << header + ready("ABCDEFGHIJKLMNOPQRSTUV", "M") << true
                                         << "ABCDEFGHIJKLMNOPQRSTUV" << false;
    QTest::newRow("longer serial") << header + ready("192.168.1.20:5555-extra-long-serial", "M")
                                   << true << "192.168.1.20:5555-extra-long-serial" << false;
    QTest::newRow("tab separated") << header + "S1\tdevice\n" << true << "S1" << false;
    QTest::newRow("indented notice") << header + " *  device\n" << false << "" << false;
    QTest::newRow("other white space")
            << header + QString("S1\u00a0device\n") << true << "S1" << false;
    QTest::newRow("device word only in fields")
            << header + other("A1", "offline device:thing") << true << "" << false;
}

void TestHeadset::listing()
{
    QFETCH(QString, text);
    QFETCH(bool, anyDevice);
    QFETCH(QString, serial);
    QFETCH(bool, isNeo2);
    const DeviceListing listing = parseDeviceListing(text);
    QCOMPARE(listing.anyDevice, anyDevice);
    QCOMPARE(listing.serial, serial);
    QCOMPARE(listing.isNeo2, isNeo2);
}

void TestHeadset::findDevice_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("presetAuthorized");
    QTest::addColumn<QString>("serial");
    QTest::addColumn<bool>("authorized");
    QTest::addColumn<bool>("isNeo2");

    QTest::newRow("nothing listed keeps true") << header + "\n" << true << "" << true << false;
    QTest::newRow("nothing listed keeps false") << header + "\n" << false << "" << false << false;
    QTest::newRow("listed, not ready")
            << header + other("A1", "unauthorized") << true << "" << false << false;
    QTest::newRow("ready Neo 2") << header + ready("N1", "Pico_Neo_2") << false << "N1" << true
                                 << true;
    QTest::newRow("ready") << header + ready("P1", "Pico_4") << false << "P1" << true << false;
}

void TestHeadset::findDevice()
{
    QFETCH(QString, text);
    QFETCH(bool, presetAuthorized);
    QFETCH(QString, serial);
    QFETCH(bool, authorized);
    QFETCH(bool, isNeo2);

    bench->setScenario({{"rules", QJsonArray{AdbBench::listing(text)}}});
    bool gotAuthorized = presetAuthorized;
    bool gotNeo2 = true; // always reset
    QCOMPARE(window->findDevice(gotAuthorized, gotNeo2), serial);
    QCOMPARE(gotAuthorized, authorized);
    QCOMPARE(gotNeo2, isNeo2);
    QCOMPARE(bench->journal(), (Calls{{"devices", "-l"}}));
}

void TestHeadset::startupDetection()
{
    bench->setScenario(
            {{"rules", QJsonArray{AdbBench::listing(header + other("A", "unauthorized"))}}});
    CBrelvoPico fresh;
    QCOMPARE(bench->journal(), (Calls{{"devices", "-l"}}));
    QCOMPARE(logLines(&fresh), QStringList{"I Starting Rivi Ravazov"});
}

void TestHeadset::queries_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("serial");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("err");
    QTest::addColumn<QString>("result");
    QTest::addColumn<bool>("answered");

    const QStringList model = {"-s", "PA1", "shell", "getprop", "ro.product.model"};
    const QStringList storage = {"-s", "PA1", "shell", "echo $EXTERNAL_STORAGE"};
    const QStringList package = {
            "-s", "PA1", "shell", "pm", "list", "packages", "com.Brelvo.BrelvoVRViewer"};
    // The error stream of the model and storage queries is never looked at.
    QTest::newRow("model") << "model"
                           << "PA1"
                           << "Pico 4\r\n"
                           << model << "noise\n"
                           << "Pico 4" << true;
    QTest::newRow("model with blanks") << "model"
                                       << "PA1"
                                       << " \tPico Neo 3 \t\n"
                                       << model << ""
                                       << "Pico Neo 3" << true;
    QTest::newRow("model, empty serial")
            << "model"
            << ""
            << "\n"
            << QStringList{"-s", "", "shell", "getprop", "ro.product.model"} << ""
            << "" << true;
    QTest::newRow("storage") << "storage"
                             << "PA1"
                             << "/storage/emulated/0\n"
                             << storage << "noise\n"
                             << "/storage/emulated/0" << true;
    QTest::newRow("storage with blanks") << "storage"
                                         << "PA1"
                                         << "/sdcard  \r\n"
                                         << storage << ""
                                         << "/sdcard" << true;
    QTest::newRow("storage empty") << "storage"
                                   << "PA1"
                                   << "" << storage << "noise\n"
                                   << "" << true;
    QTest::newRow("installed") << "package"
                               << "PA1"
                               << "package:com.Brelvo.BrelvoVRViewer\r\n"
                               << package << ""
                               << "package:com.Brelvo.BrelvoVRViewer" << true;
    QTest::newRow("two package lines")
            << "package"
            << "PA1"
            << "package:com.Brelvo.BrelvoVRViewer\npackage:com.Brelvo.BrelvoVRViewer.beta\n"
            << package << ""
            << "package:com.Brelvo.BrelvoVRViewerpackage:com.Brelvo.BrelvoVRViewer.beta" << true;
    QTest::newRow("not installed") << "package"
                                   << "PA1"
                                   << "" << package << ""
                                   << "" << true;
    QTest::newRow("headset gone") << "package"
                                  << "PA1"
                                  << "" << package << "error: device 'PA1' not found\n"
                                  << "" << false;
}

void TestHeadset::queries()
{
    QFETCH(QString, query);
    QFETCH(QString, serial);
    QFETCH(QString, out);
    QFETCH(QStringList, args);
    QFETCH(QString, err);
    QFETCH(QString, result);
    QFETCH(bool, answered);

    bench->setScenario({{"rules", QJsonArray{AdbBench::rule(args, AdbBench::reply(out, err))}}});
    bool gotAnswer = true;
    const QString got = query == "model" ? window->getDeviceModel(serial)
            : query == "storage"         ? window->getExternalStorage(serial)
                                         : window->getInstalledPackage(serial, gotAnswer);
    QCOMPARE(got, result);
    QCOMPARE(gotAnswer, answered);
    QCOMPARE(bench->journal(), Calls{args});
}

static QJsonObject pico(const QString &serial, const QStringList &packages = {})
{
    return {{"serial", serial},
            {"state", "device"},
            {"model", "Pico 4"},
            {"env", QJsonObject{{"EXTERNAL_STORAGE", "/storage/emulated/0"}}},
            {"packages", QJsonArray::fromStringList(packages)}};
}

void TestHeadset::storageOnASimulatedHeadset()
{
    // The simulated headset's shell expands the variable only when it is not quoted.
    bench->setScenario({{"devices", QJsonArray{pico("PA1")}}});
    QCOMPARE(window->getExternalStorage("PA1"), "/storage/emulated/0");
    QString out, err;
    window->runAdbCommand({"-s", "PA1", "shell", "\"echo \\$EXTERNAL_STORAGE\""}, out, err, true,
                          true);
    QCOMPARE(out, "");
    QCOMPARE(err, "/system/bin/sh: echo $EXTERNAL_STORAGE: inaccessible or not found\n");
}

void TestHeadset::queriesNameTheHeadsetBesideAPhone()
{
    bench->setScenario({{"devices",
                         QJsonArray{QJsonObject{{"serial", "PHONE"}, {"state", "device"}},
                                    pico("PA1", {"com.Brelvo.BrelvoVRViewer"})}}});
    bool authorized = true;
    bool isNeo2 = false;
    QCOMPARE(window->findDevice(authorized, isNeo2), "PHONE"); // the first ready device
    bool answered = true;
    QCOMPARE(window->getInstalledPackage("PA1", answered), "package:com.Brelvo.BrelvoVRViewer");
    QVERIFY(answered);
    QCOMPARE(window->getInstalledPackage("GONE", answered), "");
    QVERIFY(!answered);
    QCOMPARE(window->getExternalStorage("PA1"), "/storage/emulated/0");
    QCOMPARE(window->getDeviceModel("PA1"), "");
    // Without a serial, adb cannot tell which device is meant.
    QString out, err;
    window->runAdbCommand({"shell", "pm", "list", "packages"}, out, err, true, true);
    QCOMPARE(err, "error: more than one device/emulator\n");
}

QTEST_MAIN(TestHeadset)
#include "tst_headset.moc"
