#include "app/mainwindow.h"
#include "settings/identity.h"
#include "support/testsupport.h"
#include "support/windowdriver.h"

#include <QTemporaryDir>
#include <QTest>

// A session of the window against a fixed profile: what the close writes is compared byte
// for byte with the profile that the program wrote for the same session when the fixture
// was made. The profile names files by their full path and its placement section after
// the executable, so both stand in the fixtures as @FILE@ and @SECTION@.
class TestProfileRoundTrip : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        removeProfile();
    }
    void cleanup()
    {
        removeProfile();
        m_dir.reset();
    }

    void sessionWritesTheSameProfile_data();
    void sessionWritesTheSameProfile();

private:
    QByteArray fixture(const QString &name, const QString &fileName) const;

    std::unique_ptr<QTemporaryDir> m_dir;
};

QByteArray TestProfileRoundTrip::fixture(const QString &name, const QString &fileName) const
{
    QByteArray bytes = readFile(QStringLiteral(ADRELIO_TEST_DATA "/") + name);
    bytes.replace("@SECTION@", ProgramIdentity().baseName().toUtf8());
    bytes.replace("@FILE@", fileName.toUtf8());
    return bytes;
}

void TestProfileRoundTrip::sessionWritesTheSameProfile_data()
{
    QTest::addColumn<QString>("profileIn");
    QTest::addColumn<QString>("profileOut");

    QTest::newRow("written by hand") << QStringLiteral("session-in.INI")
                                     << QStringLiteral("session-out.INI");
    QTest::newRow("first start") << QString() << QStringLiteral("first-start-out.INI");
}

void TestProfileRoundTrip::sessionWritesTheSameProfile()
{
    QFETCH(QString, profileIn);
    QFETCH(QString, profileOut);

    const QString first = writeFile(m_dir->path(), QStringLiteral("premier.txt"),
                                    "a@b.fr c@d.fr\n");
    const QString second = writeFile(m_dir->path(), QStringLiteral("second.txt"),
                                     "e@f.fr\n");
    if (!profileIn.isEmpty())
        writeProfile(fixture(profileIn, first));

    WindowDriver driver;
    QVERIFY(driver.errors().isEmpty());
    QVERIFY(driver.drop(second));
    driver.setAutoExtract(false);
    driver.window()->move(70, 80);
    driver.window()->resize(640, 420);
    QVERIFY(driver.close());

    QCOMPARE(readProfile(), fixture(profileOut, second));
}

QTEST_MAIN(TestProfileRoundTrip)
#include "tst_profileroundtrip.moc"
