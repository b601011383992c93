#include <QFile>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QtTest>

// The icon bundle is linked into every program; a missing alias or an image the
// SVG plugins cannot draw would only show as a blank button.
class ResourcesTest : public QObject
{
    Q_OBJECT

private slots:
    void alias_rendersAsIcon_data();
    void alias_rendersAsIcon();
    void windowIconPng_resolvesFromRootSearchPath();
};

namespace {

bool hasVisiblePixels(const QImage &image)
{
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(image.pixel(x, y)) > 0)
                return true;
        }
    }
    return false;
}

} // namespace

void ResourcesTest::alias_rendersAsIcon_data()
{
    QTest::addColumn<QString>("path");
    for (const char *alias : {"ok", "scan", "warning", "edit", "about", "web", "exportconn", "trash",
                              "veltrano", "question_red"})
        QTest::newRow(alias) << QStringLiteral(":/") + QLatin1String(alias);
}

void ResourcesTest::alias_rendersAsIcon()
{
    QFETCH(QString, path);
    QVERIFY2(QFile::exists(path), qPrintable(path));

    const QIcon icon(path);
    QVERIFY(!icon.isNull());
    const QPixmap small = icon.pixmap(16, 16);
    QVERIFY(!small.isNull());
    QVERIFY(hasVisiblePixels(small.toImage()));

    const QImage large(path);
    QVERIFY(!large.isNull());
    QVERIFY(hasVisiblePixels(large));
}

void ResourcesTest::windowIconPng_resolvesFromRootSearchPath()
{
    const QImage image(QStringLiteral(":/icons/windowicon.png"));
    QVERIFY(!image.isNull());
    QCOMPARE(image.size(), QSize(48, 48));
    QVERIFY(hasVisiblePixels(image));
}

QTEST_MAIN(ResourcesTest)
#include "tst_resources.moc"
