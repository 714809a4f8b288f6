#include "adbbench.h"
#include "cbrelvopico.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QImageReader>
#include <QLabel>
#include <QMetaMethod>
#include <QPushButton>
#include <QSpacerItem>
#include <QTest>
#include <QTextEdit>
#include <QToolButton>
#include <QVBoxLayout>

// The window as the user sees it: its widgets, layout, texts, colours and pictures.
class TestWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void widgets_data();
    void widgets();
    void layouts_data();
    void layouts();
    void spacers_data();
    void spacers();
    void styleSheets_data();
    void styleSheets();
    void windowLook();
    void hiddenHelpWidgets();
    void slotTable();
    void shownWindow();
    void windowsIcon();

private:
    QWidget *child(const QString &name) const
    {
        QWidget *widget = window->findChild<QWidget *>(name);
        if (!widget)
            qFatal("no widget %s", qPrintable(name));
        return widget;
    }

    AdbBench *bench = nullptr;
    CBrelvoPico *window = nullptr;
};

void TestWindow::init()
{
    bench = new AdbBench;
    window = new CBrelvoPico;
}

void TestWindow::cleanup()
{
    delete window;
    delete bench;
}

void TestWindow::widgets_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("className");
    QTest::addColumn<QString>("parentName");
    QTest::addColumn<QSize>("minimumSize");
    QTest::addColumn<bool>("pointingHand");
    QTest::addColumn<QString>("text");

    const QSize none(0, 0);
    QTest::newRow("header") << "headerLabel"
                            << "QLabel"
                            << "CBrelvoPicoClass" << none << false << "";
    QTest::newRow("welcome") << "welcomeLabel"
                             << "QLabel"
                             << "CBrelvoPicoClass" << none << false
                             << "Welcome to Brelvo VR Viewer installation manager for Pico";
    QTest::newRow("install") << "installPushButton"
                             << "QPushButton"
                             << "CBrelvoPicoClass" << QSize(170, 35) << true << "Install";
    QTest::newRow("uninstall") << "uninstallPushButton"
                               << "QPushButton"
                               << "CBrelvoPicoClass" << QSize(170, 35) << true << "Uninstall";
    QTest::newRow("log") << "logTextEdit"
                         << "QTextEdit"
                         << "CBrelvoPicoClass" << none << false << "";
    QTest::newRow("frame") << "frame"
                           << "QFrame"
                           << "CBrelvoPicoClass" << none << false << "";
    QTest::newRow("steps") << "installationLabel"
                           << "QLabel"
                           << "frame" << none << false << "Installation Steps";
    QTest::newRow("video") << "youtubePushButton"
                           << "QToolButton"
                           << "frame" << QSize(43, 36) << true << "";
    QTest::newRow("guide") << "pdfPushButton"
                           << "QToolButton"
                           << "frame" << QSize(43, 36) << true << "";
    QTest::newRow("close") << "closePushButton"
                           << "QPushButton"
                           << "frame" << QSize(75, 30) << true << "Close";
}

void TestWindow::widgets()
{
    QFETCH(QString, name);
    QFETCH(QString, className);
    QFETCH(QString, parentName);
    QFETCH(QSize, minimumSize);
    QFETCH(bool, pointingHand);
    QFETCH(QString, text);

    QWidget *widget = child(name);
    QCOMPARE(widget->metaObject()->className(), className);
    QCOMPARE(widget->parentWidget()->objectName(), parentName);
    QCOMPARE(widget->minimumSize(), minimumSize);
    QCOMPARE(widget->cursor().shape() == Qt::PointingHandCursor, pointingHand);
    QCOMPARE(widget->maximumSize(), QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
    const QVariant shown = widget->property("text");
    if (shown.isValid())
        QCOMPARE(shown.toString(), text);
}

void TestWindow::layouts_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("spacing");
    QTest::addColumn<QMargins>("margins");
    QTest::addColumn<QStringList>("items");

    // Items: a widget's object name, "layout:<name>", or "spacer".
    QTest::newRow("window") << "verticalLayout" << 0 << QMargins(0, 0, 0, 0)
                            << QStringList{"headerLabel",
                                           "spacer",
                                           "layout:horizontalLayout_3",
                                           "layout:horizontalLayout_2",
                                           "spacer",
                                           "logTextEdit",
                                           "frame"};
    QTest::newRow("welcome") << "horizontalLayout_3" << -1 << QMargins(20, 15, 20, 30)
                             << QStringList{"welcomeLabel"};
    QTest::newRow("buttons") << "horizontalLayout_2" << 30 << QMargins(0, 0, 0, 0)
                             << QStringList{"spacer", "installPushButton", "uninstallPushButton",
                                            "spacer"};
    QTest::newRow("bar") << "horizontalLayout" << 5 << QMargins(10, 10, 10, 10)
                         << QStringList{"installationLabel", "youtubePushButton", "pdfPushButton",
                                        "spacer", "closePushButton"};
}

void TestWindow::layouts()
{
    QFETCH(QString, name);
    QFETCH(int, spacing);
    QFETCH(QMargins, margins);
    QFETCH(QStringList, items);

    auto *layout = window->findChild<QBoxLayout *>(name);
    QVERIFY(layout);
    if (spacing >= 0)
        QCOMPARE(layout->spacing(), spacing);
    QCOMPARE(layout->contentsMargins(), margins);
    QStringList found;
    for (int i = 0; i < layout->count(); ++i) {
        QLayoutItem *item = layout->itemAt(i);
        QCOMPARE(layout->stretch(i), 0);
        QCOMPARE(item->alignment(), Qt::Alignment());
        if (item->widget())
            found << item->widget()->objectName();
        else if (item->layout())
            found << "layout:" + item->layout()->objectName();
        else
            found << "spacer";
    }
    QCOMPARE(found, items);
}

void TestWindow::spacers_data()
{
    QTest::addColumn<QString>("layout");
    QTest::addColumn<int>("index");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("horizontal");
    QTest::addColumn<int>("vertical");

    QTest::newRow("verticalSpacer") << "verticalLayout" << 1 << QSize(20, 40)
                                    << int(QSizePolicy::Minimum) << int(QSizePolicy::Expanding);
    QTest::newRow("verticalSpacer_2") << "verticalLayout" << 4 << QSize(20, 25)
                                      << int(QSizePolicy::Minimum) << int(QSizePolicy::Fixed);
    QTest::newRow("horizontalSpacer") << "horizontalLayout_2" << 0 << QSize(40, 20)
                                      << int(QSizePolicy::Expanding) << int(QSizePolicy::Minimum);
    QTest::newRow("horizontalSpacer_2") << "horizontalLayout_2" << 3 << QSize(40, 20)
                                        << int(QSizePolicy::Expanding) << int(QSizePolicy::Minimum);
    QTest::newRow("horizontalSpacer_3") << "horizontalLayout" << 3 << QSize(40, 20)
                                        << int(QSizePolicy::Expanding) << int(QSizePolicy::Minimum);
}

void TestWindow::spacers()
{
    QFETCH(QString, layout);
    QFETCH(int, index);
    QFETCH(QSize, size);
    QFETCH(int, horizontal);
    QFETCH(int, vertical);

    QSpacerItem *spacer = window->findChild<QBoxLayout *>(layout)->itemAt(index)->spacerItem();
    QVERIFY(spacer);
    QCOMPARE(spacer->sizeHint(), size);
    QCOMPARE(int(spacer->sizePolicy().horizontalPolicy()), horizontal);
    QCOMPARE(int(spacer->sizePolicy().verticalPolicy()), vertical);
}

void TestWindow::styleSheets_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("sheet");

    const QString picture = "background-image:url(%1); background-repeat:no-repeat; "
                            "background-position: center; background-origin: content;";
    QTest::newRow("video") << "youtubePushButton"
                           << picture.arg(":/CBrelvoPico/Resources/YouTube.png");
    QTest::newRow("guide") << "pdfPushButton" << picture.arg(":/CBrelvoPico/Resources/PDF.png");
    QTest::newRow("header") << "headerLabel"
                            << "background-color: #2d2d2d;";
    QTest::newRow("install") << "installPushButton"
                             << "background-color: #e2b639;";
    QTest::newRow("uninstall") << "uninstallPushButton"
                               << "background-color: #e2b639;";
    QTest::newRow("close") << "closePushButton"
                           << "background-color: #2d2d2d; color: #cccccc;";
    QTest::newRow("frame") << "frame"
                           << "border: 2px; background-color: #222222;";
    QTest::newRow("steps") << "installationLabel"
                           << "color: #cccccc;";
    QTest::newRow("welcome") << "welcomeLabel"
                             << "color: #cccccc;";
    QTest::newRow("log") << "logTextEdit"
                         << "color: #cccccc;";
    QTest::newRow("window") << ""
                            << "background-color: #2d2d2d;";
}

void TestWindow::styleSheets()
{
    QFETCH(QString, name);
    QFETCH(QString, sheet);
    QWidget *widget = name.isEmpty() ? window : child(name);
    QCOMPARE(widget->styleSheet(), sheet);
}

void TestWindow::windowLook()
{
    QCOMPARE(window->objectName(), "CBrelvoPicoClass");
    QCOMPARE(window->windowTitle(), "Brelvo Pico");
    QVERIFY(window->windowFlags() & Qt::FramelessWindowHint);
    QVERIFY(window->windowIcon().availableSizes().contains(QSize(130, 130)));

    auto *header = qobject_cast<QLabel *>(child("headerLabel"));
    QCOMPARE(header->pixmap().size(), QSize(492, 148));
    const QList<std::pair<const char *, QSize>> pictures = {
            {":/CBrelvoPico/Resources/Brelvo.png", QSize(130, 130)},
            {":/CBrelvoPico/Resources/Header.png", QSize(492, 148)},
            {":/CBrelvoPico/Resources/YouTube.png", QSize(43, 36)},
            {":/CBrelvoPico/Resources/PDF.png", QSize(43, 36)}};
    for (const auto &[resource, size] : pictures) {
        const QImage image(resource);
        QCOMPARE(image.size(), size);
        QVERIFY2(image.hasAlphaChannel(), resource);
    }

    auto *welcome = qobject_cast<QLabel *>(child("welcomeLabel"));
    QCOMPARE(welcome->font().pointSize(), 20);
    QVERIFY(welcome->wordWrap());
    QVERIFY(qobject_cast<QTextEdit *>(child("logTextEdit"))->isReadOnly());
    auto *frame = qobject_cast<QFrame *>(child("frame"));
    QCOMPARE(frame->frameShape(), QFrame::NoFrame);
    QCOMPARE(frame->frameShadow(), QFrame::Raised);

    const QSizePolicy video = child("youtubePushButton")->sizePolicy();
    QCOMPARE(video.horizontalPolicy(), QSizePolicy::Maximum);
    QCOMPARE(video.verticalPolicy(), QSizePolicy::Preferred);
    const QSizePolicy guide = child("pdfPushButton")->sizePolicy();
    QCOMPARE(guide.horizontalPolicy(), QSizePolicy::Preferred);
    QCOMPARE(guide.verticalPolicy(), QSizePolicy::Preferred);
    const QSizePolicy close = child("closePushButton")->sizePolicy();
    QCOMPARE(close.horizontalPolicy(), QSizePolicy::Fixed);
    QCOMPARE(close.verticalPolicy(), QSizePolicy::Fixed);
}

void TestWindow::hiddenHelpWidgets()
{
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    for (const char *name : {"youtubePushButton", "pdfPushButton", "installationLabel"})
        QVERIFY2(!child(name)->isVisible(), name);
    for (const char *name : {"installPushButton", "uninstallPushButton", "closePushButton"})
        QVERIFY2(child(name)->isVisible(), name);
}

void TestWindow::slotTable()
{
    const QMetaObject *meta = window->metaObject();
    QCOMPARE(meta->className(), "CBrelvoPico");
    QCOMPARE(meta->superClass(), &QDialog::staticMetaObject);
    QCOMPARE(meta->methodCount() - meta->methodOffset(), 5);
    const QList<QByteArray> expected = {
            "on_installPushButton_clicked()", "on_uninstallPushButton_clicked()",
            "on_closePushButton_clicked()", "on_youtubePushButton_clicked()",
            "on_pdfPushButton_clicked()"};
    for (int i = 0; i < expected.size(); ++i) {
        const QMetaMethod method = meta->method(meta->methodOffset() + i);
        QCOMPARE(method.methodSignature(), expected.at(i));
        QCOMPARE(method.methodType(), QMetaMethod::Slot);
        QCOMPARE(method.access(), QMetaMethod::Private);
    }
    QCOMPARE(meta->propertyCount(), meta->propertyOffset());
}

void TestWindow::shownWindow()
{
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QCOMPARE(window->width(), 492);
    // The header spans the window edge to edge.
    const QRect header = child("headerLabel")->geometry();
    QCOMPARE(header.topLeft(), QPoint(0, 0));
    QCOMPARE(header.width(), 492);
    // Install and Uninstall sit 30 pixels apart, centred.
    const QRect install = child("installPushButton")->geometry();
    const QRect uninstall = child("uninstallPushButton")->geometry();
    QCOMPARE(uninstall.left() - install.right() - 1, 30);
    QVERIFY(qAbs(install.left() - (window->width() - uninstall.right() - 1)) <= 1);
    // The bar shows only Close, at its right end.
    const QRect close = child("closePushButton")->geometry();
    QCOMPARE(close.right(), child("frame")->width() - 10 - 1);
}

void TestWindow::windowsIcon()
{
    // The program file's icon, drawn from the app icon's artwork in five sizes.
    QImageReader reader(QStringLiteral(QT_TESTCASE_SOURCEDIR "/../resources/brelvopico.ico"));
    QCOMPARE(reader.imageCount(), 5);
    QList<int> sizes;
    for (int i = 0; i < reader.imageCount(); ++i) {
        QVERIFY(reader.jumpToImage(i));
        const QImage image = reader.read();
        QCOMPARE(image.width(), image.height());
        QVERIFY(image.hasAlphaChannel());
        sizes << image.width();
    }
    QCOMPARE(sizes, (QList<int>{16, 24, 32, 48, 256}));
}

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
