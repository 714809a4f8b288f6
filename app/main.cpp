#include "app/cbrelvopico.h"

#include <QApplication>
#include <QDir>

int main(int argc, char **argv)
{
    QApplication application(argc, argv);
    // adb and the APK files lie beside the program, wherever it was started from.
    QDir::setCurrent(QCoreApplication::applicationDirPath());

    CBrelvoPico window;
    window.show();
    return application.exec();
}
