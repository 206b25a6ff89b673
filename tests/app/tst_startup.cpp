#include "app/mainwindow.h"
#include "extract/extraction.h"
#include "settings/identity.h"
#include "settings/profile.h"
#include "support/cleaningexamples.h"
#include "support/plainpaths.h"
#include "support/testsupport.h"
#include "support/windowdriver.h"
#include "textarea/listedit.h"

#include <QAction>
#include <QDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

// A text file with a UTF-8 mark: two lines holding three addresses.
const QByteArray fileContent = "\xEF\xBB\xBF" "Jean <jean@exemple.fr>, marie@exemple.fr\n"
                               "\"Paul, le grand\" paul@exemple.fr\n";
const QString fileLines = QStringLiteral("Jean <jean@exemple.fr>, marie@exemple.fr\r\n"
                                         "\"Paul, le grand\" paul@exemple.fr\r\n");
const QString fileAddresses = QStringLiteral("<jean@exemple.fr>\r\nmarie@exemple.fr\r\npaul@exemple.fr\r\n");

} // namespace

class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void firstStart();
    void rememberedFile_data();
    void rememberedFile();
    void extractionPathsAgree_data();
    void extractionPathsAgree();
    void rememberedPathSkipped_data();
    void rememberedPathSkipped();
    void faultyPlacement();
    void closeStoresAndStartRestores();
    void failingCloseKeepsWindowOpen();
    void sessionEndSkipsClose();
    void drop_data();
    void drop();
    void failingDropKeepsList_data();
    void failingDropKeepsList();
    void dropWithUnwritableProfile();
    void fileToOpen_data();
    void fileToOpen();
    void extractionOptions_data();
    void extractionOptions();
    void extractionOptionsRemembered();
    void cleaningExamples_data();
    void cleaningExamples();
    void filesWithoutMark_data();
    void filesWithoutMark();

private:
    QString writeFile(const QString &name, const QByteArray &content)
    {
        return ::writeFile(m_dir->path(), name, content);
    }
    void createWindow() { m_driver = std::make_unique<WindowDriver>(); }
    QAction *option() const { return m_driver->action(QStringLiteral("chk_AUTO")); }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<WindowDriver> m_driver;
};

void TestStartup::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    removeProfile();
}

void TestStartup::cleanup()
{
    m_driver.reset();
    removeProfile();
    m_dir.reset();
}

void TestStartup::firstStart()
{
    createWindow();
    QVERIFY(m_driver->errors().isEmpty());
    QCOMPARE(m_driver->window()->windowTitle(), ProgramIdentity().caption(QString()));
    QCOMPARE(m_driver->window()->size(), QSize(600, 394));
    // The window manager places it.
    QVERIFY(!m_driver->window()->testAttribute(Qt::WA_Moved));
    QVERIFY(option()->isChecked());
    QCOMPARE(m_driver->textWithCrLf(), placeholderTextWithCrLf);
    QVERIFY(!QFile::exists(profilePath()));
}

void TestStartup::rememberedFile_data()
{
    QTest::addColumn<bool>("autoExtract");
    QTest::addColumn<bool>("throughLink");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QByteArray>("savedMark");

    const QByteArray utf8Mark("\xEF\xBB\xBF");
    const QByteArray utf16 = utf16Bytes(QString(fileLines).replace(QLatin1String("\r\n"),
                                                                   QLatin1String("\n")), false);
    QTest::newRow("option on") << true << false << fileAddresses << fileContent << utf8Mark;
    QTest::newRow("option off") << false << false << fileLines << fileContent << utf8Mark;
    QTest::newRow("symbolic link") << false << true << fileLines << fileContent << utf8Mark;
    // The extracted list is in the system encoding; the loaded file keeps its own.
    QTest::newRow("UTF-16, option on") << true << false << fileAddresses << utf16 << utf8Mark;
    QTest::newRow("UTF-16, option off") << false << false << fileLines << utf16
                                        << QByteArray("\xFF\xFE");
}

void TestStartup::rememberedFile()
{
    QFETCH(bool, autoExtract);
    QFETCH(bool, throughLink);
    QFETCH(QString, expected);
    QFETCH(QByteArray, content);
    QFETCH(QByteArray, savedMark);

    QString fileName = writeFile(QStringLiteral("liste.txt"), content);
    if (throughLink) {
        const QString link = m_dir->filePath(QStringLiteral("lien.txt"));
        QVERIFY(QFile::link(fileName, link));
        fileName = link;
    }
    writeProfile(profileWithFile(fileName, autoExtract));
    createWindow();

    QVERIFY(m_driver->errors().isEmpty());
    QCOMPARE(option()->isChecked(), autoExtract);
    QCOMPARE(m_driver->textWithCrLf(), expected);
    QCOMPARE(m_driver->window()->windowTitle(), ProgramIdentity().caption(QString()));
    QCOMPARE(m_driver->window()->frameGeometry(), QRect(30, 40, 500, 300));
    QCOMPARE(m_driver->savedBytes().left(savedMark.size()), savedMark);
}

void TestStartup::extractionPathsAgree_data()
{
    QTest::addColumn<QByteArray>("content");

    QByteArray tricky;
    for (int i = 0; i < 200; ++i) {
        tricky += "\"Nom, Prénom " + QByteArray::number(i) + "\" <p" + QByteArray::number(i)
                + "@x.fr>,,a@b@c \t\"w v@u\"\r\n\"x,y@z\",mailto:m@n.org; (q@r),\r";
    }
    tricky += "\xFF\xFE tail@ansi\n";
    QTest::newRow("tricky lines, ill-formed bytes") << tricky;
    QTest::newRow("quotes across lines, no final break")
            << QByteArray("\"a b@c\nd@e\" f@g\r\n\r\n\n\"h@i");
    QTest::newRow("no-break space") << QByteArray("a\xC2\xA0" "b@c d@e\xC2\xA0\n");
    QTest::newRow("zero bytes") << QByteArray("a@b\0c@d\0\0e\n", 12);
    QTest::newRow("paragraph separator") << QByteArray("a@b\xE2\x80\xA9" "c@d \"e\xE2\x80\xA9@f\"\n");
    QTest::newRow("frame characters") << QByteArray("x@y\xEF\xB7\x90z@w \xEF\xB7\x91q@r\xEF\xB7\x92s@t");
    QTest::newRow("line separator") << QByteArray("a@b\xE2\x80\xA8" "c@d");
    QTest::newRow("UTF-8 mark") << QByteArray("\xEF\xBB\xBF" "é@x \"y\xE2\x80\xA9z@w\"");
    QTest::newRow("UTF-16") << utf16Bytes(u"a@b\u2029cd\r\n\"e\u00A0@f\uFDD1g h@i\"", false);
    QTest::newRow("empty") << QByteArray();
}

// Extracting straight from a file, at start-up and for a drop, and "Extraire" reading the
// whole text at once, must each give what splitting the area's lines one by one gives.
void TestStartup::extractionPathsAgree()
{
    QFETCH(QByteArray, content);
    const QString fileName = writeFile(QStringLiteral("dur.txt"), content);

    writeProfile(profileWithFile(fileName, false));
    createWindow();
    QString expected;
    for (const QString &address : plainExtraction(m_driver->text()))
        expected += address + QLatin1String("\r\n");
    m_driver->extract();
    QCOMPARE(m_driver->textWithCrLf(), expected);
    QVERIFY(m_driver->savedBytes().startsWith("\xEF\xBB\xBF"));
    m_driver.reset();

    writeProfile(profileWithFile(fileName, true));
    createWindow();
    QCOMPARE(m_driver->textWithCrLf(), expected);

    m_driver->setText(QStringLiteral("liste en cours"));
    m_driver->drop(QStringList{ fileName });
    QCOMPARE(m_driver->textWithCrLf(), expected);
    QVERIFY(m_driver->errors().isEmpty());
}

void TestStartup::rememberedPathSkipped_data()
{
    QTest::addColumn<QString>("name");

    QTest::newRow("deleted file") << "parti.txt";
    QTest::newRow("folder") << "dossier";
    QTest::newRow("dangling link") << "lien";
    QTest::newRow("empty path") << "";
}

void TestStartup::rememberedPathSkipped()
{
    QFETCH(QString, name);

    QDir(m_dir->path()).mkdir(QStringLiteral("dossier"));
    QFile::link(m_dir->filePath(QStringLiteral("absent")), m_dir->filePath(QStringLiteral("lien")));
    const QString fileName = name.isEmpty() ? QString() : m_dir->filePath(name);
    const QByteArray profile = profileWithFile(fileName, false);
    writeProfile(profile);
    createWindow();

    QVERIFY(m_driver->errors().isEmpty());
    QCOMPARE(m_driver->textWithCrLf(), placeholderTextWithCrLf);
    QVERIFY(!option()->isChecked());
    QCOMPARE(m_driver->window()->frameGeometry(), QRect(30, 40, 500, 300));
    QCOMPARE(readProfile(), profile);
}

void TestStartup::faultyPlacement()
{
    const QString fileName = writeFile(QStringLiteral("liste.txt"), fileContent);
    QByteArray profile = profileWithFile(fileName, false);
    profile.replace("Form1=30:40:500:300", "Form1=100:abc:800:600");
    writeProfile(profile);
    createWindow();

    // The error box comes before the window opens; the later steps are skipped.
    QCOMPARE(m_driver->errors(), QStringList { QStringLiteral("''abc'' n'est pas une valeur entière valide.") });
    QVERIFY(!m_driver->window()->isVisible());
    QCOMPARE(m_driver->window()->windowTitle(), ProgramIdentity().caption(QString()));
    QCOMPARE(m_driver->window()->frameGeometry().x(), 100);
    QCOMPARE(m_driver->window()->size(), QSize(600, 394));
    QVERIFY(option()->isChecked());
    QCOMPARE(m_driver->textWithCrLf(), placeholderTextWithCrLf);
}

void TestStartup::closeStoresAndStartRestores()
{
    createWindow();
    m_driver->window()->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_driver->window()));
    option()->setChecked(false);
    m_driver->window()->setGeometry(70, 80, 420, 260);
    QVERIFY(m_driver->window()->close());
    const QByteArray profile = readProfile();
    const QByteArray placement = "Form1=" + QByteArray::number(m_driver->window()->frameGeometry().x()) + ':'
            + QByteArray::number(m_driver->window()->frameGeometry().y()) + ':'
            + QByteArray::number(m_driver->window()->frameGeometry().width()) + ':'
            + QByteArray::number(m_driver->window()->frameGeometry().height());
    QVERIFY2(profile.contains(placement), profile.constData());
    QVERIFY2(profile.contains("chk_AUTO=0"), profile.constData());
    const QRect frame = m_driver->window()->frameGeometry();
    m_driver.reset();

    createWindow();
    QVERIFY(m_driver->errors().isEmpty());
    QVERIFY(!option()->isChecked());
    QCOMPARE(m_driver->window()->frameGeometry(), frame);
}

void TestStartup::failingCloseKeepsWindowOpen()
{
    createWindow();
    m_driver->window()->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_driver->window()));
    // A profile that is a folder cannot be written.
    QVERIFY(QDir().mkpath(profilePath()));

    QVERIFY(!m_driver->window()->close());
    QVERIFY(m_driver->window()->isVisible());
    const QString message = QStringLiteral("Impossible d'écrire dans %1.").arg(profilePath());
    QCOMPARE(m_driver->errors(), QStringList { message });

    // Each later attempt runs the close handler again, and the window keeps working.
    QVERIFY(!m_driver->window()->close());
    QCOMPARE(m_driver->errors().size(), 2);
    QDir(profilePath()).removeRecursively();
    QVERIFY(m_driver->window()->close());
    QVERIFY(readProfile().contains("chk_AUTO=1"));
}

void TestStartup::sessionEndSkipsClose()
{
    const QByteArray profile = profileWithFile(QString(), true);
    writeProfile(profile);
    createWindow();
    m_driver->window()->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_driver->window()));
    option()->setChecked(false);
    m_driver->window()->move(5, 5);

    QVERIFY(QMetaObject::invokeMethod(m_driver->window(), "endSession"));
    QVERIFY(m_driver->window()->close());
    QCOMPARE(readProfile(), profile);
}

void TestStartup::drop_data()
{
    QTest::addColumn<bool>("autoExtract");
    QTest::addColumn<int>("files");
    QTest::addColumn<QString>("expected");

    QTest::newRow("one file") << true << 1 << fileAddresses;
    QTest::newRow("three files") << true << 3 << fileAddresses;
    QTest::newRow("option off") << false << 1 << fileLines;
}

void TestStartup::drop()
{
    QFETCH(bool, autoExtract);
    QFETCH(int, files);
    QFETCH(QString, expected);

    createWindow();
    option()->setChecked(autoExtract);
    QStringList fileNames { writeFile(QStringLiteral("premier fichier.txt"), fileContent) };
    for (int i = 1; i < files; ++i)
        fileNames.append(writeFile(QStringLiteral("autre%1.txt").arg(i), "autre@fichier.fr\n"));
    m_driver->drop(fileNames);

    QVERIFY(m_driver->errors().isEmpty());
    QCOMPARE(m_driver->textWithCrLf(), expected);
    QCOMPARE(Profile().value(QStringLiteral("FICHIER"), QStringLiteral("IMPORT")),
             fileNames.constFirst());

    // The same file again replaces the edits made in between.
    m_driver->setText(QStringLiteral("modifié"));
    m_driver->drop(fileNames);
    QCOMPARE(m_driver->textWithCrLf(), expected);
}

void TestStartup::failingDropKeepsList_data()
{
    QTest::addColumn<QString>("name");

    QTest::newRow("folder") << "dossier";
    QTest::newRow("file gone") << "parti.txt";
}

void TestStartup::failingDropKeepsList()
{
    QFETCH(QString, name);

    const QString remembered = writeFile(QStringLiteral("avant.txt"), "avant@x.fr\n");
    const QByteArray profile = profileWithFile(remembered, true);
    writeProfile(profile);
    createWindow();
    QCOMPARE(m_driver->textWithCrLf(), QStringLiteral("avant@x.fr\r\n"));
    m_driver->setText(QStringLiteral("liste en cours"));

    QDir(m_dir->path()).mkdir(QStringLiteral("dossier"));
    const QString fileName = m_dir->filePath(name);
    m_driver->drop(QStringList{ fileName });

    QCOMPARE(m_driver->errors().size(), 1);
    const QString message = m_driver->errors().constFirst();
    QVERIFY2(message.startsWith(QStringLiteral("Impossible d'ouvrir le fichier \"%1\". ").arg(fileName)),
             qPrintable(message));
    QVERIFY(message.endsWith(QLatin1Char('.')));
    QCOMPARE(m_driver->textWithCrLf(), QStringLiteral("liste en cours"));
    QCOMPARE(readProfile(), profile);

    // The window goes on working: the next drop succeeds.
    m_driver->drop(QStringList{ remembered });
    QCOMPARE(m_driver->textWithCrLf(), QStringLiteral("avant@x.fr\r\n"));
}

// The file loads, but its path cannot be remembered: the lines stay unextracted.
void TestStartup::dropWithUnwritableProfile()
{
    createWindow();
    QVERIFY(QDir().mkpath(profilePath()));
    m_driver->drop(QStringList{ writeFile(QStringLiteral("liste.txt"), fileContent) });

    QCOMPARE(m_driver->errors(), QStringList { QStringLiteral("Impossible d'écrire dans %1.").arg(profilePath()) });
    QCOMPARE(m_driver->textWithCrLf(), fileLines);
}

// What a file manager's "Ouvrir avec" gives: the file is loaded as a drop loads it, in
// place of the file remembered, and remembered under its full path.
enum class GivenFile { Absolute, Relative, Missing, NameWithLineBreak };
Q_DECLARE_METATYPE(GivenFile)

void TestStartup::fileToOpen_data()
{
    QTest::addColumn<GivenFile>("given");
    QTest::addColumn<bool>("autoExtract");

    QTest::newRow("full path, option on") << GivenFile::Absolute << true;
    QTest::newRow("full path, option off") << GivenFile::Absolute << false;
    QTest::newRow("relative path") << GivenFile::Relative << true;
    QTest::newRow("missing file") << GivenFile::Missing << true;
    QTest::newRow("name with a line break") << GivenFile::NameWithLineBreak << true;
}

void TestStartup::fileToOpen()
{
    QFETCH(GivenFile, given);
    QFETCH(bool, autoExtract);

    const QString remembered = writeFile(QStringLiteral("avant.txt"), "avant@x.fr\n");
    const bool lineBreak = given == GivenFile::NameWithLineBreak;
    const QString opened =
            writeFile(lineBreak ? QStringLiteral("a\nb.txt") : QStringLiteral("ouvert.txt"), fileContent);
    // The name up to its break names another file, which a profile cut there would load.
    writeFile(QStringLiteral("a"), "autre@x.fr\n");
    const QByteArray profile = profileWithFile(remembered, autoExtract);
    writeProfile(profile);
    QVERIFY(QDir::setCurrent(m_dir->path()));
    const QString argument = given == GivenFile::Relative ? QStringLiteral("ouvert.txt")
            : given == GivenFile::Missing                 ? QStringLiteral("absent.txt")
                                                          : opened;
    m_driver = std::make_unique<WindowDriver>(argument);
    QDir::setCurrent(QDir::tempPath());

    QCOMPARE(m_driver->window()->frameGeometry(), QRect(30, 40, 500, 300));
    if (given == GivenFile::Missing) {
        QCOMPARE(m_driver->errors(),
                 QStringList{ openErrorText(m_dir->filePath(argument), ENOENT) + u'.' });
        QCOMPARE(m_driver->textWithCrLf(), placeholderTextWithCrLf);
        QCOMPARE(readProfile(), profile);
        return;
    }
    QVERIFY(m_driver->errors().isEmpty());
    QCOMPARE(m_driver->textWithCrLf(), autoExtract ? fileAddresses : fileLines);
    if (lineBreak) {
        // The profile cannot hold the name: the file before it stays remembered.
        QCOMPARE(readProfile(), profile);
        return;
    }
    QCOMPARE(Profile().value(QStringLiteral("FICHIER"), QStringLiteral("IMPORT")), opened);
}

// "Adresses seules" and "Sans doublons" in every extraction of the window: a drop, the
// start-up and "Extraire" give the list that adrelio-extract gives with --clean and
// --unique for the same file.
void TestStartup::extractionOptions_data()
{
    QTest::addColumn<bool>("clean");
    QTest::addColumn<bool>("unique");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("expected");

    const QByteArray mail = "De : \"Dupont, Jean\" <jean@exemple.fr>, JEAN@exemple.fr\r\n"
                            "mailto:contact@asso.fr?subject=x (paul@ex.net), @ a@b@c.fr\r\n"
                            "\xC3\xA9lodie@ex.fr <jean@exemple.fr>.\r\n";
    QTest::newRow("both off") << false << false << mail
                              << QStringLiteral("<jean@exemple.fr>\nJEAN@exemple.fr\n"
                                                "mailto:contact@asso.fr?subject=x\n(paul@ex.net)\n"
                                                "@\na@b@c.fr\nélodie@ex.fr\n<jean@exemple.fr>.\n");
    QTest::newRow("addresses only") << true << false << mail
                                    << QStringLiteral("jean@exemple.fr\nJEAN@exemple.fr\n"
                                                      "contact@asso.fr\npaul@ex.net\nb@c.fr\n"
                                                      "élodie@ex.fr\njean@exemple.fr\n");
    QTest::newRow("no duplicates") << false << true << mail
                                   << QStringLiteral("<jean@exemple.fr>\nJEAN@exemple.fr\n"
                                                     "mailto:contact@asso.fr?subject=x\n(paul@ex.net)\n"
                                                     "@\na@b@c.fr\nélodie@ex.fr\n<jean@exemple.fr>.\n");
    QTest::newRow("both") << true << true << mail
                          << QStringLiteral("jean@exemple.fr\ncontact@asso.fr\npaul@ex.net\n"
                                            "b@c.fr\nélodie@ex.fr\n");
    QTest::newRow("both, UTF-16") << true << true
                                  << utf16Bytes(u"A@ex.fr, <a@EX.fr> b@ex.fr\n", false)
                                  << QStringLiteral("A@ex.fr\nb@ex.fr\n");
}

void TestStartup::extractionOptions()
{
    QFETCH(bool, clean);
    QFETCH(bool, unique);
    QFETCH(QByteArray, content);
    QFETCH(QString, expected);

    const QString fileName = writeFile(QStringLiteral("liste.txt"), content);
    QStringList arguments;
    if (clean)
        arguments << QStringLiteral("--clean");
    if (unique)
        arguments << QStringLiteral("--unique");
    const ProgramRun tool = runProgram(QStringLiteral(ADRELIO_EXTRACT), arguments << fileName);
    QCOMPARE(tool.exitCode, 0);
    QCOMPARE(QString::fromUtf8(tool.output), expected);

    QByteArray profile = profileWithFile(fileName, true);
    profile += "chk_CLEAN=" + QByteArray(clean ? "1" : "0") + "\nchk_UNIQUE="
            + QByteArray(unique ? "1" : "0") + "\n";
    writeProfile(profile);
    createWindow();
    QVERIFY(m_driver->errors().isEmpty());
    QCOMPARE(m_driver->text(), expected);

    m_driver->setText(QString());
    QVERIFY(m_driver->drop(fileName));
    QCOMPARE(m_driver->text(), expected);

    m_driver->setAutoExtract(false);
    QVERIFY(m_driver->drop(fileName));
    m_driver->extract();
    QCOMPARE(m_driver->text(), expected);
}

void TestStartup::extractionOptionsRemembered()
{
    createWindow();
    QVERIFY(!m_driver->action(QStringLiteral("chk_CLEAN"))->isChecked());
    QVERIFY(!m_driver->action(QStringLiteral("chk_UNIQUE"))->isChecked());
    m_driver->trigger(QStringLiteral("chk_CLEAN"));
    QVERIFY(m_driver->close());
    QVERIFY(readProfile().contains("chk_CLEAN=1\nchk_UNIQUE=0\n"));

    createWindow();
    QVERIFY(m_driver->action(QStringLiteral("chk_CLEAN"))->isChecked());
    QVERIFY(!m_driver->action(QStringLiteral("chk_UNIQUE"))->isChecked());
}

void TestStartup::cleaningExamples_data()
{
    addCleaningExamples();
}

// Every address of each kind of file with "Adresses seules", as adrelio-extract --clean
// gives them (tst_adrelioextract): at start-up, and by "Extraire" over the lines loaded.
void TestStartup::cleaningExamples()
{
    QFETCH(QByteArray, content);
    QFETCH(QStringList, addresses);

    const QString fileName = writeFile(QStringLiteral("exemple.txt"), content);
    writeProfile(profileWithFile(fileName, true) + "chk_CLEAN=1\n");
    createWindow();
    QVERIFY(m_driver->errors().isEmpty());
    const QString expected = QString::fromUtf8(utf8Lines(addresses));
    QCOMPARE(m_driver->text(), expected);

    m_driver->setAutoExtract(false);
    QVERIFY(m_driver->drop(fileName));
    m_driver->extract();
    QCOMPARE(m_driver->text(), expected);
}

// A file without a mark is UTF-8 when its bytes are, else Windows-1252, as Windows programs
// of a French installation write it; a save writes UTF-8 with its mark, so that nothing
// is lost. The window and adrelio-extract read it alike.
void TestStartup::filesWithoutMark_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("text");

    QTest::newRow("ASCII") << QByteArray("Jean <jean@ex.fr>\r\n") << u"Jean <jean@ex.fr>\n"_s;
    QTest::newRow("UTF-8") << QByteArray("Andr\xC3\xA9 <andr\xC3\xA9@ex.fr>\n")
                           << u"André <andré@ex.fr>\n"_s;
    QTest::newRow("Windows-1252") << QByteArray("Andr\xE9 \x9Cuvre \x80 <andr\xE9@ex.fr>\r\n")
                                  << u"André œuvre € <andré@ex.fr>\n"_s;
    QTest::newRow("both mixed") << QByteArray("caf\xC3\xA9 caf\xE9@ex.fr\n")
                                << u"café café@ex.fr\n"_s;
    QTest::newRow("UTF-8 mark") << QByteArray("\xEF\xBB\xBF" "caf\xC3\xA9@ex.fr caf\xE9\n")
                                << u"café@ex.fr caf\uFFFD\n"_s;
}

void TestStartup::filesWithoutMark()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, text);

    const QString fileName = writeFile(QStringLiteral("windows.txt"), content);
    createWindow();
    m_driver->setAutoExtract(false);
    QVERIFY(m_driver->drop(fileName));
    QCOMPARE(m_driver->text(), text);
    QCOMPARE(m_driver->savedBytes(), "\xEF\xBB\xBF" + QString(text).replace(u'\n', "\r\n"_L1).toUtf8());

    m_driver->extract();
    const ProgramRun tool = runProgram(QStringLiteral(ADRELIO_EXTRACT), { fileName });
    QCOMPARE(tool.exitCode, 0);
    QCOMPARE(QString::fromUtf8(tool.output), m_driver->text());
    m_driver->setAutoExtract(true);
    QVERIFY(m_driver->drop(fileName));
    QCOMPARE(QString::fromUtf8(tool.output), m_driver->text());
}

QTEST_MAIN(TestStartup)

#include "tst_startup.moc"
