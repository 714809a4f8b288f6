// Runs the window in a process of its own for the tests of how the program ends: once the
// start-up detection is done it clicks Install, and once adb has been asked for what the mode
// names it prints the log to standard output and ends the program the way the mode says.
//   closedriver close-during-install | close-during-query | escape-during-install |
//               close-during-listing (the first one, before anything is clicked)
//   closedriver close-during-real-install: with a real adb, which keeps no journal, Close half a
//                                          second after the install has started
//   closedriver close-during-real-start: Close a tenth of a second after the window is shown,
//                                        while the first listing starts adb's server
#include "app/cbrelvopico.h"
#include "tests/support/bench.h"

#include <QApplication>
#include <QFile>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <cstdio>

int main(int argc, char **argv)
{
    QApplication application(argc, argv);
    const QString mode = application.arguments().value(1);
    CBrelvoPico window;
    window.show();
    auto *install = window.findChild<QPushButton *>(QStringLiteral("installPushButton"));
    auto *close = window.findChild<QPushButton *>(QStringLiteral("closePushButton"));

    QTimer clickInstall;
    QObject::connect(&clickInstall, &QTimer::timeout, [&] {
        if (install->isEnabled()) {
            clickInstall.stop();
            install->click();
        }
    });
    if (mode != QLatin1String("close-during-real-start"))
        clickInstall.start(50);

    const QByteArray asked = mode.endsWith(QLatin1String("query")) ? "\"getprop\""
            : mode.endsWith(QLatin1String("listing"))              ? "\"devices\""
                                                                   : "\"install\"";
    const bool real = mode == QLatin1String("close-during-real-install");
    const bool start = mode == QLatin1String("close-during-real-start");
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QFile journal(qEnvironmentVariable("FAKEADB_JOURNAL"));
        if (start) {
            // the first tick
        } else if (real) {
            // The build is chosen and its install starts right after this line.
            if (!logLines(&window).join(QLatin1Char('\n')).contains(QLatin1String("-> installing")))
                return;
            QTest::qWait(500);
        } else if (!journal.open(QIODevice::ReadOnly) || !journal.readAll().contains(asked)) {
            return;
        }
        std::printf("%s\n", qPrintable(logLines(&window).join(QLatin1Char('\n'))));
        std::fflush(stdout);
        if (mode.startsWith(QLatin1String("escape")))
            QTest::keyClick(&window, Qt::Key_Escape);
        else
            close->click();
        std::fprintf(stderr, "the program went on\n");
    });
    poll.start(100);
    return application.exec() == 0 ? 3 : 4; // the program must end before this
}
