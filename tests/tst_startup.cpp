#include "app/cbrelvopico.h"
#include "tests/support/bench.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>

// What the program says when it starts, and where it looks for its files.
class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void missingFiles_data();
    void missingFiles();
    void findsItsFilesFromAnotherFolder();
};

void TestStartup::missingFiles_data()
{
    QTest::addColumn<bool>("adb");
    QTest::addColumn<int>("apks");
    QTest::addColumn<QStringList>("lines");

    const QString start = "I Starting Rivi Ravazov";
    const QString noAdb = "E Error: Cannot find adb";
    const QString noApk = "E Error: Cannot find Brelvo VR Viewer APK";
    const QString noLegacy = "E Error: Cannot find Brelvo VR Viewer Legacy APK";
    const int all = Bench::AllApks;
    QTest::newRow("everything present") << true << all << QStringList{start};
    QTest::newRow("nothing present") << false << 0 << QStringList{start, noAdb, noApk, noLegacy};
    QTest::newRow("no adb") << false << all << QStringList{start, noAdb};
    QTest::newRow("no OpenXR APK")
            << true << (all & ~Bench::OpenXrApk) << QStringList{start, noApk};
    QTest::newRow("no Legacy APK")
            << true << (all & ~Bench::LegacyApk) << QStringList{start, noLegacy};
    QTest::newRow("no Pico 2 APK is not reported")
            << true << (all & ~Bench::Pico2Apk) << QStringList{start};
    QTest::newRow("no adb, no Legacy APK")
            << false << int(Bench::OpenXrApk) << QStringList{start, noAdb, noLegacy};
    QTest::newRow("adb only") << true << 0 << QStringList{start, noApk, noLegacy};
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
    QTRY_COMPARE_WITH_TIMEOUT(bench.journal(), (QList<QStringList>{{"devices", "-l"}}), 30000);
    run.kill();
    run.waitForFinished();
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
