#include "adbbench.h"
#include "cbrelvopico.h"

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
    const int all = AdbBench::AllApks;
    QTest::newRow("everything present") << true << all << QStringList{start};
    QTest::newRow("nothing present") << false << 0 << QStringList{start, noAdb, noApk, noLegacy};
    QTest::newRow("no adb") << false << all << QStringList{start, noAdb};
    QTest::newRow("no OpenXR APK")
            << true << (all & ~AdbBench::OpenXrApk) << QStringList{start, noApk};
    QTest::newRow("no Legacy APK")
            << true << (all & ~AdbBench::LegacyApk) << QStringList{start, noLegacy};
    QTest::newRow("no Pico 2 APK is not reported")
            << true << (all & ~AdbBench::Pico2Apk) << QStringList{start};
    QTest::newRow("no adb, no Legacy APK")
            << false << int(AdbBench::OpenXrApk) << QStringList{start, noAdb, noLegacy};
    QTest::newRow("APKs only") << false << all << QStringList{start, noAdb};
    QTest::newRow("adb only") << true << 0 << QStringList{start, noApk, noLegacy};
}

void TestStartup::missingFiles()
{
    QFETCH(bool, adb);
    QFETCH(int, apks);
    QFETCH(QStringList, lines);
    AdbBench bench(apks, adb);
    CBrelvoPico window;
    QCOMPARE(logLines(&window), lines);
    // The window opens with every button usable.
    for (const char *name : {"installPushButton", "uninstallPushButton", "closePushButton"})
        QVERIFY(window.findChild<QWidget *>(name)->isEnabled());
}

void TestStartup::findsItsFilesFromAnotherFolder()
{
    AdbBench bench;
    bench.clearJournal();
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
