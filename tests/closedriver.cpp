// Runs the window in a process of its own for the Close test: it clicks Install, and once the
// install command is running it prints the log to standard output and clicks Close.
#include "app/cbrelvopico.h"
#include "tests/support/bench.h"

#include <QApplication>
#include <QFile>
#include <QPushButton>
#include <QTimer>

#include <cstdio>

int main(int argc, char **argv)
{
    QApplication application(argc, argv);
    CBrelvoPico window;
    window.show();
    auto *install = window.findChild<QPushButton *>(QStringLiteral("installPushButton"));
    auto *close = window.findChild<QPushButton *>(QStringLiteral("closePushButton"));
    QTimer::singleShot(0, install, &QPushButton::click);

    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QFile journal(qEnvironmentVariable("FAKEADB_JOURNAL"));
        if (!journal.open(QIODevice::ReadOnly) || !journal.readAll().contains("\"install\""))
            return;
        std::printf("%s\n", qPrintable(logLines(&window).join(QLatin1Char('\n'))));
        std::fflush(stdout);
        close->click();
        std::fprintf(stderr, "Close returned\n");
    });
    poll.start(100);
    return application.exec() == 0 ? 3 : 4; // Close must end the process before this
}
