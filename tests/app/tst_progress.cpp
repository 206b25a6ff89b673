#include "app/mainwindow.h"
#include "app/progressguard.h"
#include "settings/identity.h"
#include "settings/profile.h"
#include "support/plainpaths.h"
#include "support/progresswatcher.h"
#include "support/testsupport.h"
#include "support/windowdriver.h"
#include "textarea/listedit.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QTest>

#include <map>

namespace {

const QString reading = QStringLiteral("Lecture du fichier…");
const QString extracting = QStringLiteral("Extraction des adresses…");
const QString sorting = QStringLiteral("Tri de la liste…");
const QString saving = QStringLiteral("Enregistrement…");

} // namespace

// Every long operation of the window shows the wait cursor and a progress dialog (at once
// here, since the tests set no delay); a cancel leaves the list, its encoding, the
// profile and the files as they were.
class TestProgress : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void cancelLoad_data();
    void cancelLoad();
    void cancelCommand_data();
    void cancelCommand();
    void cancelSave_data();
    void cancelSave();
    void dialogShowsTheStep();
    void failedLoadRestoresCursor();
    void dropWaitsForTheLoadBefore();

private:
    void createWindow() { m_driver = std::make_unique<WindowDriver>(); }
    // The name and contents of every file in the test folder.
    std::map<QString, QByteArray> files() const;
    void checkCancelled(const ProgressWatcher &watcher);
    // Puts text in the list as a file in encoding loaded with the option off, so that the
    // list has that encoding; the file is removed again.
    void loadList(const QString &text, bool bigEndian);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<WindowDriver> m_driver;
};

void TestProgress::initTestCase()
{
    ProgressGuard::setShowDelay(0);
}

void TestProgress::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    removeProfile();
}

void TestProgress::cleanup()
{
    m_driver.reset();
    removeProfile();
    m_dir.reset();
}

std::map<QString, QByteArray> TestProgress::files() const
{
    std::map<QString, QByteArray> contents;
    const QStringList names = QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden);
    for (const QString &name : names)
        contents[name] = readFile(m_dir->filePath(name));
    return contents;
}

void TestProgress::checkCancelled(const ProgressWatcher &watcher)
{
    QVERIFY(watcher.cancelled);
    QVERIFY(watcher.waitCursor);
    QVERIFY(!QApplication::overrideCursor());
    QVERIFY(m_driver->errors().isEmpty());
}

void TestProgress::loadList(const QString &text, bool bigEndian)
{
    const bool autoExtract = m_driver->autoExtract();
    m_driver->setAutoExtract(false);
    const QString fileName = writeFile(QDir::tempPath(), QStringLiteral("tst_progress-liste.txt"),
                                       utf16Bytes(text, bigEndian));
    // Loading a file remembers it; the profile is put back as it was.
    const QByteArray profile = readProfile();
    const bool hadProfile = QFile::exists(profilePath());
    m_driver->drop(fileName);
    QFile::remove(fileName);
    if (hadProfile)
        writeProfile(profile);
    else
        QFile::remove(profilePath());
    m_driver->setAutoExtract(autoExtract);
}

void TestProgress::cancelLoad_data()
{
    QTest::addColumn<bool>("startup");
    QTest::addColumn<bool>("autoExtract");
    QTest::addColumn<QString>("cancelAt");

    QTest::newRow("start-up") << true << false << reading;
    QTest::newRow("start-up, option on") << true << true << extracting;
    QTest::newRow("drop") << false << false << reading;
    QTest::newRow("drop, option on, reading") << false << true << reading;
    QTest::newRow("drop, option on, extracting") << false << true << extracting;
}

void TestProgress::cancelLoad()
{
    QFETCH(bool, startup);
    QFETCH(bool, autoExtract);
    QFETCH(QString, cancelAt);

    const QString remembered = writeFile(m_dir->path(), QStringLiteral("avant.txt"),
                                         "avant@x.fr\n");
    const QString dropped = writeFile(m_dir->path(), QStringLiteral("liste.txt"),
                                      "\xEF\xBB\xBF" "Jean <jean@exemple.fr>, marie@exemple.fr\n");
    writeProfile(profileWithFile(startup ? dropped : remembered, autoExtract));
    const QByteArray profile = readProfile();
    const auto before = files();

    QString expected = placeholderTextWithCrLf;
    QByteArray savedMark("\xEF\xBB\xBF");
    std::unique_ptr<ProgressWatcher> watcher;
    if (startup) {
        watcher = std::make_unique<ProgressWatcher>(cancelAt);
        createWindow();
    } else {
        createWindow();
        expected = QStringLiteral("liste en cours\r\n");
        savedMark = QByteArray("\xFF\xFE");
        loadList(QStringLiteral("liste en cours\n"), false);
        m_driver->setAutoExtract(autoExtract);
        watcher = std::make_unique<ProgressWatcher>(cancelAt);
        m_driver->drop(QStringList{ dropped });
    }

    checkCancelled(*watcher);
    QCOMPARE(watcher->states.constLast(), cancelAt);
    QCOMPARE(m_driver->textWithCrLf(), expected);
    QCOMPARE(readProfile(), profile);
    QVERIFY(files() == before);
    QCOMPARE(m_driver->savedBytes().left(savedMark.size()), savedMark);
}

void TestProgress::cancelCommand_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("cancelAt");
    QTest::addColumn<QString>("list");

    QTest::newRow("Extraire") << "Adrelio" << extracting
                              << "a@b, \"c d@e\"\nf g@h\n\"i@j\nk\"\n";
    // The sort reports at the end of each of its steps.
    QString lines;
    for (int i = 70000; i > 0; --i)
        lines += QStringLiteral("ligne%1@x.fr\n").arg(i);
    QTest::newRow("Trier la liste") << "SORT" << sorting << lines;
}

void TestProgress::cancelCommand()
{
    QFETCH(QString, command);
    QFETCH(QString, cancelAt);
    QFETCH(QString, list);

    createWindow();
    loadList(list, true);
    const QString before = m_driver->textWithCrLf();
    const QByteArray profile = readProfile();

    ProgressWatcher watcher(cancelAt);
    m_driver->trigger(command);
    checkCancelled(watcher);
    QCOMPARE(m_driver->textWithCrLf(), before);
    QCOMPARE(readProfile(), profile);
    QVERIFY(m_driver->savedBytes().startsWith("\xFE\xFF"));
}

void TestProgress::cancelSave_data()
{
    QTest::addColumn<bool>("replacing");

    QTest::newRow("over a file") << true;
    QTest::newRow("new file") << false;
}

void TestProgress::cancelSave()
{
    QFETCH(bool, replacing);

    if (replacing)
        writeFile(m_dir->path(), QStringLiteral("ADRESSES.TXT"), "ancien@contenu.fr\r\n");
    const auto before = files();
    createWindow();
    m_driver->setText(QStringLiteral("a@b\nc@d\n"));

    ProgressWatcher watcher(saving);
    whenModalOpens(this, [this](QWidget *modal) {
        auto *dialog = qobject_cast<QFileDialog *>(modal);
        QVERIFY(dialog);
        dialog->setDirectory(m_dir->path());
        confirmReplace();
        QMetaObject::invokeMethod(dialog, "accept");
    });
    m_driver->trigger(QStringLiteral("Enregistrer1"));
    checkCancelled(watcher);
    QVERIFY(files() == before);
    QCOMPARE(m_driver->textWithCrLf(), QStringLiteral("a@b\r\nc@d\r\n"));
}

// The dialog names the step, with the program's title and its "Annuler" button, and the
// operation that is not cancelled ends with its result in place.
void TestProgress::dialogShowsTheStep()
{
    createWindow();
    m_driver->setText(QStringLiteral("x a@b y\nc@d"));

    ProgressWatcher watcher;
    m_driver->extract();
    QCOMPARE(watcher.states, QStringList{ extracting });
    QCOMPARE(watcher.dialog, ProgramIdentity().title() + QStringLiteral("|Annuler|modal"));
    QVERIFY(!watcher.cancelled);
    QVERIFY(watcher.waitCursor);
    QVERIFY(!QApplication::overrideCursor());
    QCOMPARE(m_driver->textWithCrLf(), QStringLiteral("a@b\r\nc@d\r\n"));
}

void TestProgress::failedLoadRestoresCursor()
{
    createWindow();
    m_driver->drop(QStringList{ m_dir->filePath(QStringLiteral("absent.txt")) });
    QCOMPARE(m_driver->errors().size(), 1);
    QVERIFY(!QApplication::overrideCursor());
    QCOMPARE(m_driver->textWithCrLf(), placeholderTextWithCrLf);
}

// Both drops are taken before the first load starts, and that load lets events through
// while its dialog is up.
void TestProgress::dropWaitsForTheLoadBefore()
{
    createWindow();
    const QString first = writeFile(m_dir->path(), QStringLiteral("premier.txt"), "premier@x.fr\n");
    const QString second = writeFile(m_dir->path(), QStringLiteral("second.txt"), "second@x.fr\n");
    QVERIFY(sendDrop(m_driver->listEdit(), { QUrl::fromLocalFile(first) }));
    QVERIFY(sendDrop(m_driver->listEdit(), { QUrl::fromLocalFile(second) }));
    QTRY_COMPARE(m_driver->textWithCrLf(), QStringLiteral("second@x.fr\r\n"));
    QCOMPARE(Profile().value(QStringLiteral("FICHIER"), QStringLiteral("IMPORT")), second);
    QVERIFY(m_driver->errors().isEmpty());
    QVERIFY(!QApplication::overrideCursor());
}

QTEST_MAIN(TestProgress)

#include "tst_progress.moc"
