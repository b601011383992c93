#include "casefold.h"

#include <QRandomGenerator>
#include <QtTest>

// The key must reproduce QString::compare(..., Qt::CaseInsensitive) exactly,
// since the device table finds rows through it where the item model's own
// fixed-string search would compare that way.
class tst_CaseFold : public QObject
{
    Q_OBJECT

private slots:
    void sameKey_exactlyWhenCompareSaysEqual_data();
    void sameKey_exactlyWhenCompareSaysEqual();
    void randomTexts_agreeWithCompare();
};

namespace {

QString ucs4(std::initializer_list<uint> codePoints)
{
    QVector<uint> v(codePoints);
    return QString::fromUcs4(v.constData(), v.size());
}

} // namespace

void tst_CaseFold::sameKey_exactlyWhenCompareSaysEqual_data()
{
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");

    QTest::newRow("ascii case") << "Gate-01"
                                << "gATE-01";
    QTest::newRow("different texts") << "gate"
                                     << "gates";
    QTest::newRow("empty and null") << "" << QString();
    QTest::newRow("empty and text") << ""
                                    << "a";
    QTest::newRow("sharp s is not ss") << QStringLiteral("stra\u00dfe") << "STRASSE";
    QTest::newRow("capital sharp s") << QStringLiteral("\u1e9e") << QStringLiteral("\u00df");
    QTest::newRow("kelvin sign") << QStringLiteral("\u212a1") << "k1";
    QTest::newRow("final sigma") << QStringLiteral("\u03c2") << QStringLiteral("\u03a3");
    QTest::newRow("dotted capital i") << QStringLiteral("\u0130") << "i";
    QTest::newRow("n/a") << "n/a"
                         << "N/A";
    QTest::newRow("deseret pair") << ucs4({ 0x10400 }) << ucs4({ 0x10428 });
    QTest::newRow("osage pair") << ucs4({ 0x104B0, 0x41 }) << ucs4({ 0x104D8, 0x61 });
    QTest::newRow("lone high surrogate") << QString(QChar(0xD801)) << QString(QChar(0xD801));
    QTest::newRow("lone low and pair") << QString(QChar(0xDC00)) << ucs4({ 0x10400 }).right(1);
    QTest::newRow("surrogate unit against letter")
        << QString(QChar(0xD801)) + "a" << QStringLiteral("\u00e0a");
}

void tst_CaseFold::sameKey_exactlyWhenCompareSaysEqual()
{
    QFETCH(QString, a);
    QFETCH(QString, b);
    QCOMPARE(caseInsensitiveKey(a) == caseInsensitiveKey(b),
        QString::compare(a, b, Qt::CaseInsensitive) == 0);
}

void tst_CaseFold::randomTexts_agreeWithCompare()
{
    const QVector<QChar> alphabet
        = { 'a', 'A', 'k', 'K', QChar(0x212A), 's', 'S', QChar(0xDF), QChar(0x3A3), QChar(0x3C3),
              QChar(0x3C2), QChar(0xD801), QChar(0xDC00), QChar(0xDC28), QChar(0xD800) };
    QRandomGenerator random(7);
    QVector<QString> texts;
    for (int i = 0; i < 400; ++i) {
        QString text;
        const int length = random.bounded(4);
        for (int j = 0; j < length; ++j)
            text += alphabet.at(random.bounded(alphabet.size()));
        texts << text;
    }
    for (const QString &a : qAsConst(texts)) {
        for (const QString &b : qAsConst(texts)) {
            const bool equalKeys = caseInsensitiveKey(a) == caseInsensitiveKey(b);
            const bool equalTexts = QString::compare(a, b, Qt::CaseInsensitive) == 0;
            if (equalKeys != equalTexts)
                QFAIL(qPrintable(
                    QStringLiteral("%1 / %2").arg(a.toHtmlEscaped(), b.toHtmlEscaped())));
        }
    }
}

QTEST_GUILESS_MAIN(tst_CaseFold)
#include "tst_casefold.moc"
