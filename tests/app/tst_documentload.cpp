// Documents dropped on the window: their lines become the list as a text file's do, and a
// document that cannot be read leaves the list and the profile as they were.
#include "support/documentfiles.h"
#include "support/pdftestmain.h"
#include "support/progresswatcher.h"
#include "support/windowdriver.h"

#include "app/progressguard.h"
#include "base/fileerrors.h"

#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestDocumentLoad : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void lines_data();
    void lines();
    void unreadableDocument_data();
    void unreadableDocument();
    void cancelStalledPdf();

private:
    QTemporaryDir m_dir;
};

void TestDocumentLoad::init()
{
    removeProfile();
}

void TestDocumentLoad::cleanup()
{
    removeProfile();
}

void TestDocumentLoad::lines_data()
{
    QTest::addColumn<QByteArray>("document");
    QTest::addColumn<bool>("autoExtract");
    QTest::addColumn<QString>("text");

    const QByteArray xlsx = xlsxOf({{{u"Nom"_s, u"Adresse"_s}, {u"Élodie"_s, u"élodie@exemple.fr"_s}}});
    QTest::newRow("xlsx, lines") << xlsx << false << u"Nom\tAdresse\nÉlodie\télodie@exemple.fr\n"_s;
    QTest::newRow("xlsx, extracted") << xlsx << true << u"élodie@exemple.fr\n"_s;
    const QByteArray eml = "From: =?UTF-8?Q?Fran=C3=A7ois?= <f@exemple.fr>\nMIME-Version: 1.0\n"
                           "Content-Type: text/plain; charset=iso-8859-1\n"
                           "Content-Transfer-Encoding: quoted-printable\n\nsoci=E9t=\n=E9@ex.fr\n";
    QTest::newRow("eml, lines") << eml << false << u"From: François <f@exemple.fr>\nsociété@ex.fr\n\n"_s;
    QTest::newRow("eml, extracted") << eml << true << u"<f@exemple.fr>\nsociété@ex.fr\n"_s;
}

void TestDocumentLoad::lines()
{
    QFETCH(QByteArray, document);
    QFETCH(bool, autoExtract);
    QFETCH(QString, text);

    const QString fileName = writeFile(m_dir.path(), u"sans extension"_s, document);
    WindowDriver window;
    window.setAutoExtract(autoExtract);
    QVERIFY(window.drop(fileName));
    QCOMPARE(window.takeErrors(), QStringList());
    QCOMPARE(window.text(), text);
    QVERIFY(readProfile().contains("IMPORT=" + fileName.toUtf8()));
    // A document's list is saved as UTF-8 with its mark.
    QVERIFY(window.savedBytes().startsWith("\xEF\xBB\xBF"));
}

void TestDocumentLoad::unreadableDocument_data()
{
    QTest::addColumn<QByteArray>("document");
    QTest::addColumn<QString>("reason");

    const QByteArray docx = docxOf({{u"a@b.fr"_s}});
    QTest::newRow("truncated") << docx.first(docx.size() - 30) << u"fichier endommagé"_s;
    QTest::newRow("encrypted PDF") << encryptedPdfOf(pdfOf({{u"a@b.fr"_s}}))
                                   << u"document protégé par un mot de passe"_s;
    QTest::newRow("four archives deep")
            << zipOf({{u"a"_s, zipOf({{u"b"_s, zipOf({{u"c"_s, compressedOf("a@b.fr")}})}})}})
            << u"archives imbriquées sur plus de 3 niveaux"_s;
}

void TestDocumentLoad::unreadableDocument()
{
    QFETCH(QByteArray, document);
    QFETCH(QString, reason);

    const QString before = writeFile(m_dir.path(), u"before.txt"_s, "x@y.fr\n");
    const QString bad = writeFile(m_dir.path(), u"bad.docx"_s, document);
    for (const bool autoExtract : {false, true}) {
        WindowDriver window;
        window.setAutoExtract(autoExtract);
        QVERIFY(window.drop(before));
        QCOMPARE(window.takeErrors(), QStringList());
        const QString list = window.text();
        QVERIFY(window.drop(bad));
        QCOMPARE(window.takeErrors(),
                 QStringList{u"Impossible de lire le document \"%1\". %2."_s.arg(bad, reason)});
        QCOMPARE(window.text(), list);
        QVERIFY(readProfile().contains("IMPORT=" + before.toUtf8()));
    }
}

// pdfium never ends reading this PDF: "Annuler" stops it at once, and the list and the
// profile stay as they were.
void TestDocumentLoad::cancelStalledPdf()
{
    const QString before = writeFile(m_dir.path(), u"before.txt"_s, "x@y.fr\n");
    const QString pdf = writeFile(m_dir.path(), u"boucle.pdf"_s, pdfWithLoopingPageTree());
    WindowDriver window;
    QVERIFY(window.drop(before));
    const QString list = window.text();
    const QByteArray profile = readProfile();
    ProgressGuard::setShowDelay(0);
    const ProgressWatcher watcher(u"Lecture du fichier…"_s);
    QVERIFY(window.drop(pdf));
    ProgressGuard::setShowDelay(1000);
    QVERIFY(watcher.cancelled);
    QCOMPARE(window.takeErrors(), QStringList());
    QCOMPARE(window.text(), list);
    QCOMPARE(readProfile(), profile);
}

ADRELIO_PDF_TEST_MAIN(TestDocumentLoad, QApplication)
#include "tst_documentload.moc"
