#include "app/unit1.h"
#include "extract/extraction.h"
#include "formtest.h"
#include "support/plainpaths.h"
#include "worklist/memoedit.h"

#include <QAction>
#include <QDir>
#include <QTest>

namespace {

// A text file with a UTF-8 mark: two lines holding three addresses.
const QByteArray fileContent = "\xEF\xBB\xBF" "Jean <jean@exemple.fr>, marie@exemple.fr\n"
                               "\"Paul, le grand\" paul@exemple.fr\n";
const QString fileLines = QStringLiteral("Jean <jean@exemple.fr>, marie@exemple.fr\r\n"
                                         "\"Paul, le grand\" paul@exemple.fr\r\n");
const QString fileAddresses = QStringLiteral("<jean@exemple.fr>\r\nmarie@exemple.fr\r\npaul@exemple.fr\r\n");

} // namespace

class tst_Startup : public FormTest
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

private:
    QString writeFile(const QString &name, const QByteArray &content)
    {
        return ::writeFile(m_dir->path(), name, content);
    }
    void dropFiles(const QStringList &fileNames) { ::dropFiles(m_memo, fileNames); }
    QAction *option() const { return m_form->findChild<QAction *>(QStringLiteral("chk_AUTO")); }
};

void tst_Startup::init()
{
    initForm();
}

void tst_Startup::cleanup()
{
    cleanupForm();
}

void tst_Startup::firstStart()
{
    createForm();
    QVERIFY(m_boxes->texts().isEmpty());
    QCOMPARE(m_form->windowTitle(), App_Caption(QString()));
    QCOMPARE(m_form->size(), QSize(600, 394));
    // The window manager places it.
    QVERIFY(!m_form->testAttribute(Qt::WA_Moved));
    QVERIFY(option()->isChecked());
    QCOMPARE(text(), placeholder);
    QVERIFY(!QFile::exists(profilePath()));
}

void tst_Startup::rememberedFile_data()
{
    QTest::addColumn<bool>("autoExtract");
    QTest::addColumn<bool>("throughLink");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<TEncoding>("encoding");

    QTest::newRow("option on") << true << false << fileAddresses << TEncoding::ANSI;
    QTest::newRow("option off") << false << false << fileLines << TEncoding::UTF8;
    QTest::newRow("symbolic link") << false << true << fileLines << TEncoding::UTF8;
}

void tst_Startup::rememberedFile()
{
    QFETCH(bool, autoExtract);
    QFETCH(bool, throughLink);
    QFETCH(QString, expected);
    QFETCH(TEncoding, encoding);

    QString fileName = writeFile(QStringLiteral("liste.txt"), fileContent);
    if (throughLink) {
        const QString link = m_dir->filePath(QStringLiteral("lien.txt"));
        QVERIFY(QFile::link(fileName, link));
        fileName = link;
    }
    writeProfile(profileWithFile(fileName, autoExtract));
    createForm();

    QVERIFY(m_boxes->texts().isEmpty());
    QCOMPARE(option()->isChecked(), autoExtract);
    QCOMPARE(text(), expected);
    QCOMPARE(m_memo->Lines()->Encoding(), encoding);
    QCOMPARE(m_form->windowTitle(), App_Caption(QString()));
    QCOMPARE(m_form->frameGeometry(), QRect(30, 40, 500, 300));
}

void tst_Startup::extractionPathsAgree_data()
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
void tst_Startup::extractionPathsAgree()
{
    QFETCH(QByteArray, content);
    const QString fileName = writeFile(QStringLiteral("dur.txt"), content);

    writeProfile(profileWithFile(fileName, false));
    createForm();
    const QString expected = extractAddresses(*m_memo->Lines()).Text();
    m_form->findChild<QAction *>(QStringLiteral("Extract"))->trigger();
    QCOMPARE(text(), expected);
    QCOMPARE(m_memo->Lines()->Encoding(), TEncoding::ANSI);
    m_form.reset();

    writeProfile(profileWithFile(fileName, true));
    createForm();
    QCOMPARE(text(), expected);
    QCOMPARE(m_memo->Lines()->Encoding(), TEncoding::ANSI);

    m_memo->setPlainText(QStringLiteral("liste en cours"));
    dropFiles({ fileName });
    QCOMPARE(text(), expected);
    QVERIFY(m_boxes->texts().isEmpty());
}

void tst_Startup::rememberedPathSkipped_data()
{
    QTest::addColumn<QString>("name");

    QTest::newRow("deleted file") << "parti.txt";
    QTest::newRow("folder") << "dossier";
    QTest::newRow("dangling link") << "lien";
    QTest::newRow("empty path") << "";
}

void tst_Startup::rememberedPathSkipped()
{
    QFETCH(QString, name);

    QDir(m_dir->path()).mkdir(QStringLiteral("dossier"));
    QFile::link(m_dir->filePath(QStringLiteral("absent")), m_dir->filePath(QStringLiteral("lien")));
    const QString fileName = name.isEmpty() ? QString() : m_dir->filePath(name);
    const QByteArray profile = profileWithFile(fileName, false);
    writeProfile(profile);
    createForm();

    QVERIFY(m_boxes->texts().isEmpty());
    QCOMPARE(text(), placeholder);
    QVERIFY(!option()->isChecked());
    QCOMPARE(m_form->frameGeometry(), QRect(30, 40, 500, 300));
    QCOMPARE(readProfile(), profile);
}

void tst_Startup::faultyPlacement()
{
    const QString fileName = writeFile(QStringLiteral("liste.txt"), fileContent);
    QByteArray profile = profileWithFile(fileName, false);
    profile.replace("Form1=30:40:500:300", "Form1=100:abc:800:600");
    writeProfile(profile);
    createForm();

    // The error box comes before the window opens; the later steps are skipped.
    QCOMPARE(m_boxes->texts(), QStringList { QStringLiteral("''abc'' n'est pas une valeur entière valide.") });
    QVERIFY(!m_form->isVisible());
    QCOMPARE(m_form->windowTitle(), App_Caption(QString()));
    QCOMPARE(m_form->frameGeometry().x(), 100);
    QCOMPARE(m_form->size(), QSize(600, 394));
    QVERIFY(option()->isChecked());
    QCOMPARE(text(), placeholder);
}

void tst_Startup::closeStoresAndStartRestores()
{
    createForm();
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
    option()->setChecked(false);
    m_form->setGeometry(70, 80, 420, 260);
    QVERIFY(m_form->close());
    const QByteArray profile = readProfile();
    const QByteArray placement = "Form1=" + QByteArray::number(m_form->frameGeometry().x()) + ':'
            + QByteArray::number(m_form->frameGeometry().y()) + ':'
            + QByteArray::number(m_form->frameGeometry().width()) + ':'
            + QByteArray::number(m_form->frameGeometry().height());
    QVERIFY2(profile.contains(placement), profile.constData());
    QVERIFY2(profile.contains("chk_AUTO=0"), profile.constData());
    const QRect frame = m_form->frameGeometry();
    m_form.reset();

    createForm();
    QVERIFY(m_boxes->texts().isEmpty());
    QVERIFY(!option()->isChecked());
    QCOMPARE(m_form->frameGeometry(), frame);
}

void tst_Startup::failingCloseKeepsWindowOpen()
{
    createForm();
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
    // A profile that is a folder cannot be written.
    QVERIFY(QDir().mkpath(profilePath()));

    QVERIFY(!m_form->close());
    QVERIFY(m_form->isVisible());
    const QString message = QStringLiteral("Impossible d'écrire dans %1.").arg(profilePath());
    QCOMPARE(m_boxes->texts(), QStringList { message });

    // Each later attempt runs the close handler again, and the window keeps working.
    QVERIFY(!m_form->close());
    QCOMPARE(m_boxes->texts().size(), 2);
    QDir(profilePath()).removeRecursively();
    QVERIFY(m_form->close());
    QVERIFY(readProfile().contains("chk_AUTO=1"));
}

void tst_Startup::sessionEndSkipsClose()
{
    const QByteArray profile = profileWithFile(QString(), true);
    writeProfile(profile);
    createForm();
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
    option()->setChecked(false);
    m_form->move(5, 5);

    QVERIFY(QMetaObject::invokeMethod(m_form.get(), "endSession"));
    QVERIFY(m_form->close());
    QCOMPARE(readProfile(), profile);
}

void tst_Startup::drop_data()
{
    QTest::addColumn<bool>("autoExtract");
    QTest::addColumn<int>("files");
    QTest::addColumn<QString>("expected");

    QTest::newRow("one file") << true << 1 << fileAddresses;
    QTest::newRow("three files") << true << 3 << fileAddresses;
    QTest::newRow("option off") << false << 1 << fileLines;
}

void tst_Startup::drop()
{
    QFETCH(bool, autoExtract);
    QFETCH(int, files);
    QFETCH(QString, expected);

    createForm();
    option()->setChecked(autoExtract);
    QStringList fileNames { writeFile(QStringLiteral("premier fichier.txt"), fileContent) };
    for (int i = 1; i < files; ++i)
        fileNames.append(writeFile(QStringLiteral("autre%1.txt").arg(i), "autre@fichier.fr\n"));
    dropFiles(fileNames);

    QVERIFY(m_boxes->texts().isEmpty());
    QCOMPARE(text(), expected);
    QCOMPARE(GetStr(QStringLiteral("FICHIER"), QStringLiteral("IMPORT"), QString(), QString()),
             fileNames.constFirst());

    // The same file again replaces the edits made in between.
    m_memo->setPlainText(QStringLiteral("modifié"));
    dropFiles(fileNames);
    QCOMPARE(text(), expected);
}

void tst_Startup::failingDropKeepsList_data()
{
    QTest::addColumn<QString>("name");

    QTest::newRow("folder") << "dossier";
    QTest::newRow("file gone") << "parti.txt";
}

void tst_Startup::failingDropKeepsList()
{
    QFETCH(QString, name);

    const QString remembered = writeFile(QStringLiteral("avant.txt"), "avant@x.fr\n");
    const QByteArray profile = profileWithFile(remembered, true);
    writeProfile(profile);
    createForm();
    QCOMPARE(text(), QStringLiteral("avant@x.fr\r\n"));
    m_memo->setPlainText(QStringLiteral("liste en cours"));

    QDir(m_dir->path()).mkdir(QStringLiteral("dossier"));
    const QString fileName = m_dir->filePath(name);
    dropFiles({ fileName });

    QCOMPARE(m_boxes->texts().size(), 1);
    const QString message = m_boxes->texts().constFirst();
    QVERIFY2(message.startsWith(QStringLiteral("Impossible d'ouvrir le fichier \"%1\". ").arg(fileName)),
             qPrintable(message));
    QVERIFY(message.endsWith(QLatin1Char('.')));
    QCOMPARE(text(), QStringLiteral("liste en cours"));
    QCOMPARE(readProfile(), profile);

    // The window goes on working: the next drop succeeds.
    dropFiles({ remembered });
    QCOMPARE(text(), QStringLiteral("avant@x.fr\r\n"));
}

// The file loads, but its path cannot be remembered: the lines stay unextracted.
void tst_Startup::dropWithUnwritableProfile()
{
    createForm();
    QVERIFY(QDir().mkpath(profilePath()));
    dropFiles({ writeFile(QStringLiteral("liste.txt"), fileContent) });

    QCOMPARE(m_boxes->texts(), QStringList { QStringLiteral("Impossible d'écrire dans %1.").arg(profilePath()) });
    QCOMPARE(text(), fileLines);
}

QTEST_MAIN(tst_Startup)

#include "tst_startup.moc"
