#include "adb/devicewatcher.h"
#include "tests/support/bench.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

// The fake adb held to the real one: every capture in tests/data/adb/ and its client folders is
// answered again by the fake's simulated devices, the same devices that the capture was made on
// (tests/data/adb/captures.json), and the fake must print what adb printed, but for serials'
// transport numbers and the speed of a push.
class TestFakeAdb : public QObject
{
    Q_OBJECT

private slots:
    void heldToTheCaptures_data();
    void heldToTheCaptures();
};

namespace {

const QString Captures = QStringLiteral(BRELVO_TEST_DATA "/adb");

QJsonObject table()
{
    QFile file(Captures + "/captures.json");
    if (!file.open(QIODevice::ReadOnly))
        qFatal("no captures.json");
    return QJsonDocument::fromJson(file.readAll()).object();
}

// An emulated device as the fake simulates it, with what differs on it.
QJsonObject simulated(QJsonObject emulated, const QJsonObject &with = {})
{
    for (auto it = with.begin(); it != with.end(); ++it)
        emulated.insert(it.key(), it.value());
    const QJsonValue authorized = emulated.value("authorized");
    // A device without the shell protocol lists no features; one that says nothing has them all.
    // (Qt 6.8 reads a missing value compared with an array as an empty array.)
    const QJsonValue features = emulated.value("features");
    QJsonObject device{{"serial", QString("127.0.0.1:%1").arg(emulated.value("port").toInt())},
                       {"state",
                        authorized == false              ? "unauthorized"
                                : authorized == "silent" ? "offline"
                                                         : "device"},
                       {"env", QJsonObject{{"EXTERNAL_STORAGE", "/storage/emulated/0"}}},
                       {"oldShell", features.isArray() && features.toArray().isEmpty()}};
    for (const char *key :
         {"product", "model", "device", "properties", "files", "packages", "installResult",
          "uninstallResult", "dropOn", "dropDuringInstall", "alsoListedAs"}) {
        if (emulated.contains(key))
            device.insert(key, emulated.value(key));
    }
    return device;
}

QString normalized(QString text)
{
    static const QRegularExpression transport("transport_id:\\d+");
    static const QRegularExpression rate("\\d+\\.\\d MB/s \\((\\d+) bytes in \\d+\\.\\d+s\\)");
    return text.replace(transport, "transport_id:N").replace(rate, "MB/s (\\1 bytes)");
}

// A track-devices stream: its messages, each with its length worked out again, and how its lines
// end.
QString normalizedStream(const QString &stream)
{
    QByteArray pending = stream.toUtf8();
    bool ok = true;
    QStringList messages;
    for (const QString &listing : takeTrackedListings(pending, ok))
        messages << normalized(listing);
    return (stream.contains("\r\n") ? "CR LF " : "LF ") + messages.join(" | ")
            + (ok ? QString() : " | not in the track form");
}

} // namespace

void TestFakeAdb::heldToTheCaptures_data()
{
    QTest::addColumn<QString>("capture");
    QTest::addColumn<QJsonObject>("made");
    QTest::addColumn<QJsonObject>("client");

    const QJsonObject all = table();
    QHash<QString, QJsonObject> rows;
    for (const QJsonValue &row : all.value("captures").toArray())
        rows.insert(row["name"].toString(), row.toObject());
    // adb 1.0.41 of platform tools 29.0.6 (Debian 12), 34.0.5 (Debian 13), and its adb.exe.
    const QList<std::pair<QString, QJsonObject>> clients = {
            {"", QJsonObject{}},
            {"adb-34.0.5/", QJsonObject{{"client", 34}}},
            {"adb-34.0.5-windows/", QJsonObject{{"client", 34}, {"crlf", true}}}};
    for (const auto &[folder, client] : clients) {
        const QStringList files = QDir(Captures + "/" + folder).entryList({"*.json"}, QDir::Files);
        QVERIFY(!files.isEmpty());
        for (const QString &file : files) {
            const QString name = file.chopped(5);
            if (name == "failures" || name == "captures")
                continue;
            // Every capture says how it was made; the few the fake cannot follow say why.
            QVERIFY2(rows.contains(name), qPrintable(name + " has no row in captures.json"));
            if (!rows.value(name).contains("fake"))
                QTest::newRow(qPrintable(folder + name))
                        << folder + name << rows.value(name) << client;
        }
    }
}

void TestFakeAdb::heldToTheCaptures()
{
    QFETCH(QString, capture);
    QFETCH(QJsonObject, made);
    QFETCH(QJsonObject, client);
    const AdbCapture real = adbCapture(capture);
    const QJsonObject emulated = table().value("devices").toObject();

    QJsonArray devices;
    for (const QJsonValue &name : made.value("devices").toArray())
        devices << simulated(emulated.value(name.toString()).toObject());
    QStringList args = real.command.split(' ').mid(1);
    if (made.contains("on"))
        devices << simulated(emulated.value(made.value("on").toString()).toObject(),
                             made.value("with").toObject());
    const QJsonObject follow = made.value("follow").toObject();
    for (const QJsonValue &name : follow.value("staying").toArray())
        devices << simulated(emulated.value(name.toString()).toObject());
    QJsonObject scenario = client;
    scenario.insert("devices", devices);
    // How one client's capture was made where it differs from the others'.
    const QJsonObject here = made.value(capture.section('/', 0, -2)).toObject();
    const QString server = here.value("server").toString(made.value("server").toString());
    // A server that is not running yet is started by the command; another version's replaced.
    if (server == "none")
        scenario.insert("serverStartMs", 0);
    if (server == "other-version")
        scenario.insert("noticesAt", QJsonArray{0});
    Bench bench(scenario);
    // The APK of the captures, where this case can write it.
    QFile apk(bench.path("BrelvoVRViewer.apk"));
    QVERIFY(apk.open(QIODevice::WriteOnly) && apk.write("PK stand-in for the viewer\n") == 27);
    apk.close();
    args.replaceInStrings(QRegularExpression("^/tmp/"), bench.path() + "/");

    QProcess adb;
    adb.start(Bench::fakeAdbProgram(), args);
    QVERIFY(adb.waitForStarted());
    if (!follow.isEmpty()) {
        // A device comes and goes while adb follows the devices, one listing at a time.
        QByteArray pending = real.out.toUtf8();
        bool ok = true;
        const qsizetype listings = takeTrackedListings(pending, ok).size();
        QTRY_COMPARE_WITH_TIMEOUT(bench.trackedListings(), 1, 20000);
        QJsonArray more = devices;
        more << simulated(emulated.value(follow.value("coming").toString()).toObject());
        scenario.insert("devices", more);
        bench.setScenario(scenario);
        QTRY_COMPARE_WITH_TIMEOUT(bench.trackedListings(), 3, 20000);
        scenario.insert("devices", devices);
        bench.setScenario(scenario);
        QTRY_COMPARE_WITH_TIMEOUT(bench.trackedListings(), int(listings), 20000);
    } else if (made.value("hangs").toBool()) {
        // adb waits for a device; the capture stopped it once it said so.
        adb.setReadChannel(QProcess::StandardError);
        QTRY_VERIFY_WITH_TIMEOUT(adb.bytesAvailable() >= real.err.toUtf8().size(), 20000);
    }
    const bool stopped = real.exitCode < 0;
    if (stopped)
        adb.kill();
    QVERIFY(adb.waitForFinished(20000));
    QCOMPARE(adb.exitStatus() == QProcess::CrashExit, stopped);
    if (!stopped)
        QCOMPARE(adb.exitCode(), real.exitCode);
    const QString local = bench.path() + "/";
    QString out = QString::fromUtf8(adb.readAllStandardOutput()).replace(local, "/tmp/");
    const QString err = QString::fromUtf8(adb.readAllStandardError()).replace(local, "/tmp/");
    if (!follow.isEmpty())
        QCOMPARE(normalizedStream(out), normalizedStream(real.out));
    else
        QCOMPARE(normalized(out), normalized(real.out));
    QCOMPARE(normalized(err), normalized(real.err));
    bench.killRunningAdb();
}

QTEST_GUILESS_MAIN(TestFakeAdb)
#include "tst_fakeadb.moc"
