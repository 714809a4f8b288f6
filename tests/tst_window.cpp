#include "app/cbrelvopico.h"

#include <QFile>
#include <QFrame>
#include <QImageReader>
#include <QLabel>
#include <QLayout>
#include <QMetaMethod>
#include <QPushButton>
#include <QSpacerItem>
#include <QTest>
#include <QTextEdit>

// The window as the user sees it. Its widget tree (names, classes, sizes, policies, cursors,
// texts, style sheets, what is hidden), its pictures and its slots are written out and compared
// with the reference in tests/data/window.ref; BRELVO_WRITE_REFERENCE=1 writes it anew.
class TestWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void matchesTheReference();
    void shownWindow();
    void headerIsSharp();
    void windowsIcon();

private:
    QWidget *child(const QString &name) const { return window->findChild<QWidget *>(name); }

    CBrelvoPico *window = nullptr;
};

namespace {

QString size(const QSize &s)
{
    return s == QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX)
            ? QStringLiteral("max")
            : QStringLiteral("%1x%2").arg(s.width()).arg(s.height());
}

template<typename Enum>
QString enumKey(Enum value)
{
    return QString::fromLatin1(QMetaEnum::fromType<Enum>().valueToKey(int(value)));
}

QString policy(const QSizePolicy &p)
{
    return enumKey(p.horizontalPolicy()) + QLatin1Char('/') + enumKey(p.verticalPolicy());
}

QString margins(const QMargins &m)
{
    return QStringLiteral("%1,%2,%3,%4").arg(m.left()).arg(m.top()).arg(m.right()).arg(m.bottom());
}

void dumpLayout(QStringList &out, const QLayout *layout, int depth);

void dumpWidget(QStringList &out, const QWidget *widget, int depth)
{
    const QString indent(depth * 2, QLatin1Char(' '));
    out << indent
                    + QStringLiteral("%1 \"%2\"")
                              .arg(widget->metaObject()->className(), widget->objectName());
    QStringList facts;
    // A window's minimum comes from its layout, and so from the fonts of the platform.
    if (!widget->isWindow())
        facts << QStringLiteral("min %1 max %2")
                         .arg(size(widget->minimumSize()), size(widget->maximumSize()));
    facts << QStringLiteral("policy %1").arg(policy(widget->sizePolicy()));
    if (widget->testAttribute(Qt::WA_SetCursor))
        facts << QStringLiteral("cursor %1").arg(enumKey(widget->cursor().shape()));
    if (widget->testAttribute(Qt::WA_SetFont))
        facts << QStringLiteral("font %1pt").arg(widget->font().pointSize());
    if (widget->isHidden())
        facts << QStringLiteral("hidden");
    if (widget->isWindow())
        facts << QStringLiteral("title \"%1\" frameless %2")
                         .arg(widget->windowTitle())
                         .arg(bool(widget->windowFlags() & Qt::FramelessWindowHint));
    if (const auto *label = qobject_cast<const QLabel *>(widget)) {
        facts << QStringLiteral("text \"%1\" wrap %2").arg(label->text()).arg(label->wordWrap());
        if (!label->pixmap().isNull())
            facts << QStringLiteral("pixmap %1").arg(size(label->pixmap().size()));
    } else if (const auto *button = qobject_cast<const QAbstractButton *>(widget)) {
        facts << QStringLiteral("text \"%1\"").arg(button->text());
    } else if (const auto *edit = qobject_cast<const QTextEdit *>(widget)) {
        facts << QStringLiteral("read-only %1").arg(edit->isReadOnly());
    } else if (const auto *frame = qobject_cast<const QFrame *>(widget)) {
        facts << QStringLiteral("shape %1 shadow %2")
                         .arg(enumKey(frame->frameShape()), enumKey(frame->frameShadow()));
    }
    if (!widget->styleSheet().isEmpty())
        facts << QStringLiteral("sheet \"%1\"").arg(widget->styleSheet());
    for (const QString &fact : facts)
        out << indent + QStringLiteral("  . ") + fact;
    if (widget->layout())
        dumpLayout(out, widget->layout(), depth + 1);
}

void dumpLayout(QStringList &out, const QLayout *layout, int depth)
{
    const QString indent(depth * 2, QLatin1Char(' '));
    out << indent
                    + QStringLiteral("%1 \"%2\" spacing %3 margins %4")
                              .arg(layout->metaObject()->className(), layout->objectName())
                              .arg(layout->spacing())
                              .arg(margins(layout->contentsMargins()));
    for (int i = 0; i < layout->count(); ++i) {
        QLayoutItem *item = layout->itemAt(i);
        QString extra;
        if (const auto *box = qobject_cast<const QBoxLayout *>(layout); box && box->stretch(i))
            extra += QStringLiteral(" stretch %1").arg(box->stretch(i));
        if (item->alignment())
            extra += QStringLiteral(" alignment %1").arg(int(item->alignment()));
        if (!extra.isEmpty())
            out << indent + QStringLiteral("  item %1:").arg(i) + extra;
        if (item->widget())
            dumpWidget(out, item->widget(), depth + 1);
        else if (item->layout())
            dumpLayout(out, item->layout(), depth + 1);
        else if (QSpacerItem *spacer = item->spacerItem())
            out << indent
                            + QStringLiteral("  spacer %1 %2")
                                      .arg(size(spacer->sizeHint()), policy(spacer->sizePolicy()));
    }
}

QStringList dumpPictures(const QWidget *window)
{
    QStringList out;
    for (const char *resource :
         {":/CBrelvoPico/Resources/Brelvo.png", ":/CBrelvoPico/Resources/Header.png",
          ":/CBrelvoPico/Resources/YouTube.png", ":/CBrelvoPico/Resources/PDF.png"}) {
        const QImage image(QString::fromLatin1(resource));
        out << QStringLiteral("picture %1 %2 alpha %3")
                        .arg(QString::fromLatin1(resource), size(image.size()))
                        .arg(image.hasAlphaChannel());
    }
    QStringList icon;
    for (const QSize &s : window->windowIcon().availableSizes())
        icon << size(s);
    out << QStringLiteral("window icon ") + icon.join(QLatin1Char(' '));
    return out;
}

QStringList dumpSlots(const QMetaObject *meta)
{
    QStringList out{QStringLiteral("class %1 : %2 properties %3")
                            .arg(meta->className(), meta->superClass()->className())
                            .arg(meta->propertyCount() - meta->propertyOffset())};
    for (int i = meta->methodOffset(); i < meta->methodCount(); ++i) {
        const QMetaMethod method = meta->method(i);
        out << QStringLiteral("%1 %2 %3")
                        .arg(method.access() == QMetaMethod::Private ? "private" : "public")
                        .arg(method.methodType() == QMetaMethod::Slot ? "slot" : "method")
                        .arg(QString::fromLatin1(method.methodSignature()));
    }
    return out;
}

} // namespace

void TestWindow::init()
{
    window = new CBrelvoPico;
}

void TestWindow::cleanup()
{
    delete window;
}

void TestWindow::matchesTheReference()
{
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QStringList actual;
    dumpWidget(actual, window, 0);
    actual << dumpPictures(window) << dumpSlots(window->metaObject());

    const QString reference = QStringLiteral(QT_TESTCASE_SOURCEDIR "/data/window.ref");
    QFile file(reference);
    if (qEnvironmentVariableIntValue("BRELVO_WRITE_REFERENCE")) {
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(actual.join(QLatin1Char('\n')).toUtf8() + '\n');
        QSKIP("wrote the reference");
    }
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(reference));
    const QStringList expected =
            QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    if (actual != expected) {
        for (qsizetype i = 0; i < qMax(actual.size(), expected.size()); ++i) {
            if (actual.value(i) != expected.value(i))
                qWarning("line %lld\n  expected: %s\n  actual:   %s", qlonglong(i + 1),
                         qPrintable(expected.value(i)), qPrintable(actual.value(i)));
        }
    }
    QCOMPARE(actual, expected);
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
    for (const char *name : {"youtubePushButton", "pdfPushButton", "installationLabel"})
        QVERIFY2(!child(name)->isVisible(), name);
}

void TestWindow::headerIsSharp()
{
    // The header shows the picture of the screen's scale pixel for pixel (CTest runs this at
    // QT_SCALE_FACTOR=2 too): the 2x picture on a screen of twice the pixels. The layout may
    // give it less than its height, cutting rows off the top and bottom alike.
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    const qreal scale = window->devicePixelRatioF();
    if (scale != qRound(scale))
        QSKIP("pixel for pixel only at a whole scale; between them the picture is resampled");
    const QImage shown =
            child("headerLabel")->grab().toImage().convertToFormat(QImage::Format_ARGB32);
    const QImage picture = QImage(scale > 1 ? ":/CBrelvoPico/Resources/Header@2x.png"
                                            : ":/CBrelvoPico/Resources/Header.png")
                                   .convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(shown.width(), picture.width());
    // What matters of the banner stays within its middle 110 rows, which the layout always gives.
    QVERIFY2(shown.height() >= 110 * scale, qPrintable(QString::number(shown.height())));
    QCOMPARE(shown,
             picture.copy(0, (picture.height() - shown.height()) / 2, shown.width(),
                          shown.height()));
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
