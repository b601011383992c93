#include "logindata.h"
#include "testsupport.h"

#include <QSettings>
#include <QtTest>

namespace {

const QString Mac = QStringLiteral("0A:1B:2C:3D:4E:5F");

QSettings store()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Korvex"),
        QStringLiteral("Quorvel Device Finder"));
}

QStringList messages;

void collectMessage(QtMsgType, const QMessageLogContext &, const QString &message)
{
    messages << message;
}

} // namespace

class tst_LoginData : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void saveThenLoad_roundTrip_data();
    void saveThenLoad_roundTrip();
    void passwordWithSeparator_isSavedButNeverLoads();
    void charactersOutsideLatin1_areStoredAsQuestionMarks();
    void goldenStoredValue_decodes();
    void damagedValues_countAsNoLoginData_data();
    void damagedValues_countAsNoLoginData();
    void secondSave_replacesTheEntry();
    void keys_matchWithTheirLetterCase();
    void remove_deletesOnlyThatEntry();
    void nothingSecret_reachesTheMessageOutput();

private:
    std::unique_ptr<TestSupport::TemporarySettings> settings;
};

void tst_LoginData::init()
{
    settings = std::make_unique<TestSupport::TemporarySettings>();
    messages.clear();
}

void tst_LoginData::cleanup()
{
    settings.reset();
}

void tst_LoginData::saveThenLoad_roundTrip_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");

    QTest::newRow("plain") << "admin"
                           << "secret";
    QTest::newRow("latin-1") << QStringLiteral("J\u00fcrgen")
                             << QStringLiteral("\u00e5\u00df\u00ff\u00a7");
    QTest::newRow("empty user") << ""
                                << "secret";
    QTest::newRow("empty password") << "admin"
                                    << "";
    QTest::newRow("both empty") << ""
                                << "";
    QTest::newRow("colons and spaces") << "a:b c"
                                       << " :: ";
}

void tst_LoginData::saveThenLoad_roundTrip()
{
    QFETCH(QString, user);
    QFETCH(QString, password);

    const QStringList record = { Mac, user, password };
    QVERIFY(!hasLoginData(Mac));
    LoginData::save(record);
    QVERIFY(hasLoginData(Mac));
    QCOMPARE(LoginData::load(Mac), record);
    QCOMPARE(LoginData::decode(LoginData::encode(record)), record);
}

void tst_LoginData::passwordWithSeparator_isSavedButNeverLoads()
{
    LoginData::save({ Mac, "admin", "pa|ss" });
    QVERIFY(hasLoginData(Mac));
    QVERIFY(LoginData::load(Mac).isEmpty());
}

void tst_LoginData::charactersOutsideLatin1_areStoredAsQuestionMarks()
{
    LoginData::save({ Mac, QStringLiteral("\u0141ukasz"), QStringLiteral("\u20ac5") });
    QCOMPARE(LoginData::load(Mac), QStringList({ Mac, "?ukasz", "?5" }));
}

// Base64 of the 4-byte big-endian length and the zlib stream of the Latin-1
// bytes "0A:1B:2C:3D:4E:5F|J\xfcrgen|p\xe4ssw\xf6rd", made with another zlib
// binding: values written by any installation must keep loading.
void tst_LoginData::goldenStoredValue_decodes()
{
    const QString golden
        = QStringLiteral("AAAAIXicM3C0MnSyMnK2MnaxMnG1MnWr8fpTlJ6aV1PwpLi4/FtRCgCnKQxO");
    const QStringList expected
        = { Mac, QStringLiteral("J\u00fcrgen"), QStringLiteral("p\u00e4ssw\u00f6rd") };
    QCOMPARE(LoginData::decode(golden), expected);

    QSettings s = store();
    s.setValue(QStringLiteral("LoginData/") + Mac, golden);
    s.sync();
    QCOMPARE(LoginData::load(Mac), expected);
    QVERIFY(hasLoginData(Mac));
}

void tst_LoginData::damagedValues_countAsNoLoginData_data()
{
    QTest::addColumn<QString>("value");

    QTest::newRow("empty") << "";
    QTest::newRow("not base64") << "not*base64!";
    QTest::newRow("base64 of plain text")
        << QString::fromLatin1(QByteArray("0A:1B|a|b").toBase64());
    QTest::newRow("too short for a length") << "AAAA";
    QTest::newRow("corrupt stream") << "AAAACnicIGdhcmJhZ2Uh";
    QTest::newRow("huge claimed length") << "f////3icqwAAAHkAeQ==";
    QTest::newRow("four parts") << "AAAAG3icM3C0MnSyMnK2MnaxMnG1MnWrSUzJzcyrSaxJAgBg9ggn";
    QTest::newRow("golden value cut short") << "AAAAIXicM3C0MnSyMnK2MnaxMnG1MnWr8fpT";
}

void tst_LoginData::damagedValues_countAsNoLoginData()
{
    QFETCH(QString, value);

    QVERIFY(LoginData::decode(value).isEmpty());
    QSettings s = store();
    s.setValue(QStringLiteral("LoginData/") + Mac, value);
    s.sync();
    QVERIFY(hasLoginData(Mac));
    QVERIFY(LoginData::load(Mac).isEmpty());
}

void tst_LoginData::secondSave_replacesTheEntry()
{
    LoginData::save({ Mac, "first", "one" });
    LoginData::save({ Mac, "second", "two" });
    QCOMPARE(LoginData::load(Mac), QStringList({ Mac, "second", "two" }));
    QSettings s = store();
    s.beginGroup(QStringLiteral("LoginData"));
    QCOMPARE(s.childKeys(), QStringList({ Mac }));
}

void tst_LoginData::keys_matchWithTheirLetterCase()
{
    LoginData::save({ Mac, "admin", "secret" });
    const QString lower = Mac.toLower();
    QVERIFY(!hasLoginData(lower));
    QVERIFY(LoginData::load(lower).isEmpty());

    // A record stored under the lower-case key is a separate entry.
    LoginData::save({ lower, "other", "pw" });
    QCOMPARE(LoginData::load(lower), QStringList({ lower, "other", "pw" }));
    QCOMPARE(LoginData::load(Mac), QStringList({ Mac, "admin", "secret" }));
}

void tst_LoginData::remove_deletesOnlyThatEntry()
{
    const QString other = QStringLiteral("0A:1B:2C:3D:4E:60");
    LoginData::save({ Mac, "admin", "secret" });
    LoginData::save({ other, "admin", "secret" });
    removeLoginData(Mac);
    QVERIFY(!hasLoginData(Mac));
    QVERIFY(LoginData::load(Mac).isEmpty());
    QVERIFY(hasLoginData(other));
}

void tst_LoginData::nothingSecret_reachesTheMessageOutput()
{
    const QString password = QStringLiteral("Tr0ub4dor&3");
    const QStringList record = { Mac, "admin", password };
    const QString encoded = LoginData::encode(record);

    const QtMessageHandler previous = qInstallMessageHandler(collectMessage);
    LoginData::save(record);
    const QStringList loaded = LoginData::load(Mac);
    const bool stored = hasLoginData(Mac);
    LoginData::decode(QStringLiteral("AAAACnicIGdhcmJhZ2Uh"));
    removeLoginData(Mac);
    qInstallMessageHandler(previous);

    QCOMPARE(loaded, record);
    QVERIFY(stored);
    for (const QString &message : qAsConst(messages)) {
        QVERIFY2(!message.contains(password), qPrintable(message));
        QVERIFY2(!message.contains(encoded), qPrintable(message));
        QVERIFY2(!message.contains(encoded.left(12)), qPrintable(message));
    }
}

QTEST_GUILESS_MAIN(tst_LoginData)
#include "tst_logindata.moc"
