#include "base/adrelioerror.h"
#include "base/fileerrors.h"
#include "documents/documentreader.h"
#include "documents/mailreader.h"
#include "documents/pdfprocess.h"
#include "support/documentfiles.h"
#include "support/pdftestmain.h"
#include "support/testsupport.h"

#include <QTemporaryDir>
#include <QTest>

#include <cerrno>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// A mail in Latin-1 whose body is quoted-printable, with a soft line break inside the
// address, beside an HTML part in base64, and headers in encoded words.
const QByteArray mail =
        "Received: from relay.exemple.fr by mx.exemple.fr\r\n"
        "From: =?UTF-8?Q?Fran=C3=A7ois_Dupont?= <francois@exemple.fr>\r\n"
        "To: secretariat@club.fr,\r\n"
        "  =?ISO-8859-1?Q?H=E9l=E8ne?= <helene@club.fr>\r\n"
        "Subject: =?ISO-8859-1?B?Uul1bmlvbg==?=\r\n"
        "Message-ID: <1234@mx.exemple.fr>\r\n"
        "MIME-Version: 1.0\r\n"
        "Content-Type: multipart/mixed; boundary=\"frontiere\"\r\n"
        "\r\n"
        "--frontiere\r\n"
        "Content-Type: text/plain; charset=iso-8859-1\r\n"
        "Content-Transfer-Encoding: quoted-printable\r\n"
        "\r\n"
        "Contact : secr=E9tariat-g=E9n=E9ral-de-la-sect=\r\n"
        "ion-sportive@club-sportif-municipal.fr\r\n"
        "--frontiere\r\n"
        "Content-Type: text/html; charset=utf-8\r\n"
        "Content-Transfer-Encoding: base64\r\n"
        "\r\n"
        + QByteArray("<p>&Eacute;crire&nbsp;&agrave; <b>zo&eacute;</b>&#64;exemple.fr</p>"
                     "<style>p { x: cache@style.fr }</style>").toBase64() + "\r\n"
        "--frontiere\r\n"
        "Content-Type: image/png\r\n"
        "Content-Transfer-Encoding: base64\r\n"
        "\r\n"
        + QByteArray("image@binaire.fr").toBase64() + "\r\n"
        "--frontiere--\r\n";

const QByteArray mailText =
        "From: François Dupont <francois@exemple.fr>\n"
        "To: secretariat@club.fr,  Hélène <helene@club.fr>\n"
        "Subject: Réunion\n"
        "Contact : secrétariat-général-de-la-section-sportive@club-sportif-municipal.fr\n"
        "Écrire à zoé@exemple.fr\n"
        "\n";

const QByteArray mailbox =
        "From jean@exemple.fr Mon Jan  1 00:00:00 2024\n"
        "From: jean@exemple.fr\n"
        "Subject: un\n"
        "\n"
        "premier@exemple.fr\n"
        ">From the start\n"
        "\n"
        "From marie@exemple.fr Mon Jan  1 00:00:00 2024\n"
        "From: marie@exemple.fr\n"
        "Subject: deux\n"
        "Content-Transfer-Encoding: base64\n"
        "\n"
        + QByteArray("second@exemple.fr\n").toBase64() + "\n";

const QByteArray csv = "Nom;Adresse\n\xC9lodie;\xE9lodie@exemple.fr\n";

// Whether every child process the reader started has been waited for.
bool noChildLeft()
{
    return ::waitpid(-1, nullptr, WNOHANG) == -1 && errno == ECHILD;
}

} // namespace

class TestDocuments : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void text_data();
    void text();
    void failures_data();
    void failures();
    void readAsText_data();
    void readAsText();
    void cancel_data();
    void cancel();
    void mailboxInPieces();

private:
    QString write(const QByteArray &bytes);

    QTemporaryDir m_dir;
    int m_files = 0;
};

void TestDocuments::initTestCase()
{
    QVERIFY(m_dir.isValid());
    PdfProcess::setStallLimit(3000);
}

QString TestDocuments::write(const QByteArray &bytes)
{
    return writeFile(m_dir.path(), u"document%1"_s.arg(++m_files), bytes);
}

void TestDocuments::text_data()
{
    QTest::addColumn<QByteArray>("document");
    QTest::addColumn<QByteArray>("text");

    QTest::newRow("xlsx: shared strings, inline strings, sheets in the workbook's order")
            << xlsxOf({{{u"Nom"_s, u"Adresse"_s}, {u"Jean"_s, u""_s, u"jean@exemple.fr"_s},
                        {u"inline:marie@exemple.fr"_s, u"42"_s}},
                       {{u"second@feuille.fr"_s}}})
            << QByteArray("Nom\tAdresse\nJean\t\tjean@exemple.fr\nmarie@exemple.fr\t42\n"
                          "second@feuille.fr\n");
    QTest::newRow("docx: an address split over runs, a table row")
            << docxOf({{u"Écrire à jean.du"_s, u"pont@exemple.fr"_s, u" ce soir"_s},
                       {u"|Marie|marie@asso.org"_s}})
            << QByteArray("Écrire à jean.dupont@exemple.fr ce soir\nMarie\tmarie@asso.org\n");
    QTest::newRow("pptx: slides in the presentation's order")
            << pptxOf({{u"Programme"_s, u"orateur@exemple.fr"_s}, {u"Merci"_s}})
            << QByteArray("Programme\norateur@exemple.fr\nMerci\n");
    QTest::newRow("ods: repeated rows and cells once, trailing empty cells left out")
            << openDocumentOf(u"application/vnd.oasis.opendocument.spreadsheet"_s,
                              u"<office:spreadsheet><table:table>"
                              "<table:table-row table:number-rows-repeated=\"3\">"
                              "<table:table-cell table:number-columns-repeated=\"4\"><text:p>r"
                              "<text:span>ep</text:span>@a.fr</text:p></table:table-cell>"
                              "<table:table-cell table:number-columns-repeated=\"1000\"/>"
                              "</table:table-row></table:table></office:spreadsheet>"_s)
            << QByteArray("rep@a.fr\n");
    QTest::newRow("odt: spans, spaces, line breaks; deleted text left out")
            << openDocumentOf(u"application/vnd.oasis.opendocument.text"_s,
                              u"<office:text><text:tracked-changes><text:changed-region>"
                              "<text:p>efface@exemple.fr</text:p></text:changed-region>"
                              "</text:tracked-changes><text:h>Titre</text:h>"
                              "<text:p>Voir<text:s text:c=\"2\"/><text:a>paul@<text:span>ex"
                              "</text:span>.net</text:a><text:line-break/>fin</text:p>"
                              "</office:text>"_s)
            << QByteArray("Titre\nVoir  paul@ex.net\nfin\n");
    QTest::newRow("pdf: two pages")
            << pdfOf({{u"Programme du club"_s, u"contact : jean@exemple.fr"_s},
                      {u"Page deux"_s, u"marie@asso.org"_s}})
            << QByteArray("Programme du club\ncontact : jean@exemple.fr\nPage deux\nmarie@asso.org\n");
    QTest::newRow("pdf that forbids copying, without a password")
            << encryptedPdfOf(pdfOf({{u"jean@exemple.fr"_s}}), QString())
            << QByteArray("jean@exemple.fr\n");
    QTest::newRow("eml: RFC 2047 headers, QP soft break, base64 HTML, image left out")
            << mail << mailText;
    QTest::newRow("mbox: two messages")
            << mailbox
            << QByteArray("From: jean@exemple.fr\nSubject: un\npremier@exemple.fr\n>From the start\n"
                          "\nFrom: marie@exemple.fr\nSubject: deux\nsecond@exemple.fr\n\n");
    QTest::newRow("gzip of a Windows-1252 CSV")
            << compressedOf(csv) << QByteArray("Nom;Adresse\nÉlodie;élodie@exemple.fr\n");
    QTest::newRow("bzip2 of a mail") << compressedOf(mail, "bzip2") << mailText;
    QTest::newRow("tar.xz of two files")
            << compressedOf(tarOf({{u"a.txt"_s, "a@exemple.fr"}, {u"b.csv"_s, csv}}), "xz")
            << QByteArray("a@exemple.fr\nNom;Adresse\nÉlodie;élodie@exemple.fr\n");
    QTest::newRow("zip holding a docx and a UTF-16 text")
            << zipOf({{u"lettre.docx"_s, docxOf({{u"lettre@exemple.fr"_s}})},
                      {u"liste.txt"_s, QByteArray("\xFF\xFEz\0@\0y\0", 8)}})
            << QByteArray("lettre@exemple.fr\nz@y\n");
    QTest::newRow("zip holding a PDF")
            << zipOf({{u"programme.pdf"_s, pdfOf({{u"Programme"_s, u"jean@exemple.fr"_s}})}})
            << QByteArray("Programme\njean@exemple.fr\n");
    QTest::newRow("three archives deep")
            << zipOf({{u"a.zip"_s, zipOf({{u"b.gz"_s, compressedOf("fond@exemple.fr")}})}})
            << QByteArray("fond@exemple.fr\n");
}

// Each kind gives the lines that a user reads in it, whatever the file's name.
void TestDocuments::text()
{
    QFETCH(QByteArray, document);
    QFETCH(QByteArray, text);

    const QString fileName = write(document);
    const DocumentKind kind = DocumentReader::kindOfFile(fileName);
    QVERIFY(kind != DocumentKind::Text);
    const RawTextFile file = DocumentReader::readFile(fileName, kind);
    QCOMPARE(file.encoding, TextEncoding::System);
    QCOMPARE(file.bodyStart, 0);
    QCOMPARE(QString::fromUtf8(file.bytes).split(u'\n'), QString::fromUtf8(text).split(u'\n'));
}

void TestDocuments::failures_data()
{
    QTest::addColumn<QByteArray>("document");
    QTest::addColumn<QString>("reason");

    const QString damaged = u"fichier endommagé"_s;
    const QString locked = u"document protégé par un mot de passe"_s;
    const QByteArray docx = docxOf({{u"jean@exemple.fr"_s}});
    QTest::newRow("truncated zip") << docx.first(docx.size() / 2) << damaged;
    const QByteArray gzip = compressedOf(tarOf({{u"a.csv"_s, csv.repeated(5000)}}));
    QTest::newRow("truncated tar.gz") << gzip.first(gzip.size() / 2) << damaged;
    // The trailer holds the text's CRC and size; the header alone leaves nothing to inflate.
    const QByteArray shortGzip = compressedOf("a@b.fr\n");
    QTest::newRow("gzip cut in its trailer") << shortGzip.first(shortGzip.size() - 2) << damaged;
    QTest::newRow("gzip cut in its header") << shortGzip.first(6) << damaged;
    QTest::newRow("damaged XML")
            << openDocumentOf(u"application/vnd.oasis.opendocument.text"_s, u"<text:p>a@b.fr"_s)
            << damaged;
    const QByteArray pdf = pdfOf({{u"a@b.fr"_s}});
    QTest::newRow("truncated PDF") << pdf.first(60) << damaged;
    const QByteArray encrypted = encryptedPdfOf(pdf);
    QVERIFY2(!encrypted.isEmpty(), "qpdf encrypts a PDF");
    QTest::newRow("encrypted PDF") << encrypted << locked;
    // pdfium loops on it: its reader is killed once it has written nothing for the stall
    // limit.
    QTest::newRow("PDF whose page tree holds itself") << pdfWithLoopingPageTree() << damaged;
    QTest::newRow("encrypted zip entry")
            << zipOf({{u"liste.txt"_s, "a@b.fr"}}, "secret") << locked;
    // 150 MB of blanks, 150 KB compressed: more than 1,000 times its size past 100 MB.
    QTest::newRow("bomb") << compressedOf(QByteArray(150'000'000, ' '))
                          << u"archive trop volumineuse une fois décompressée"_s;
    QTest::newRow("four archives deep")
            << zipOf({{u"a.zip"_s, zipOf({{u"b.zip"_s, zipOf({{u"c.gz"_s, compressedOf("a@b.fr")}})}})}})
            << u"archives imbriquées sur plus de 3 niveaux"_s;
}

void TestDocuments::failures()
{
    QFETCH(QByteArray, document);
    QFETCH(QString, reason);

    const QString fileName = write(document);
    const DocumentKind kind = DocumentReader::kindOfFile(fileName);
    QVERIFY(kind != DocumentKind::Text);
    QCOMPARE(errorOf([&] { DocumentReader::readFile(fileName, kind); }),
             u"Impossible de lire le document \"%1\". %2"_s.arg(fullPath(fileName), reason));
    QVERIFY(noChildLeft());
}

// What no reader here knows is read as text, as before.
void TestDocuments::readAsText_data()
{
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("legacy .doc") << QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1 a@b.fr");
    QTest::newRow("PNG image") << QByteArray("\x89PNG\r\n\x1A\n a@b.fr");
    QTest::newRow("a letter that starts with From") << QByteArray("From the desk of a@b.fr\nhello\n");
    QTest::newRow("headers without MIME") << QByteArray("Subject: hello\nTo: a@b.fr\n\nbody\n");
    QTest::newRow("a colon in a sentence") << QByteArray("Note: a@b.fr is new\n");
    QTest::newRow("empty") << QByteArray();
}

void TestDocuments::readAsText()
{
    QFETCH(QByteArray, bytes);
    QCOMPARE(DocumentReader::kindOfFile(write(bytes)), DocumentKind::Text);
}

void TestDocuments::cancel_data()
{
    QTest::addColumn<QByteArray>("document");

    QTest::newRow("gzip") << compressedOf(csv.repeated(100000));
    // The reader reports while it waits for pdfium, which never ends here.
    QTest::newRow("PDF whose page tree holds itself") << pdfWithLoopingPageTree();
}

// A cancel stops the read with OperationCancelled, not with an error.
void TestDocuments::cancel()
{
    QFETCH(QByteArray, document);

    const QString fileName = write(document);
    QVERIFY_THROWS_EXCEPTION(OperationCancelled,
                             DocumentReader::readFile(fileName, DocumentReader::kindOfFile(fileName),
                                                      [](qint64, qint64) { return false; }));
    QVERIFY(noChildLeft());
}

// A mailbox is read in pieces cut before "From " lines: whatever their size, it gives the
// text of one parser over the whole of it, from a file, from bytes (inside a zip) and from
// a stream, and stops where that parser stops, at a message it cannot make. fuzz_mime
// holds any mailbox to the same.
void TestDocuments::mailboxInPieces()
{
    QByteArray messages;
    for (int i = 0; i < 30; ++i) {
        messages += "From a@b.fr Mon Jan  1 00:00:00 2024\r\n" + mail + mailbox
                + "From c@d.fr Mon Jan  1 00:00:00 2024\nSubject: " + QByteArray::number(i)
                + "\n\nfin@exemple.fr\n\n\n"
                // A "From " line among headers is a part of the message.
                + "From i@j.fr Mon Jan  1 00:00:00 2024\nFrom : i@j.fr\nContent-Type: message/x\n"
                  "Subject: deux\n\ndeux@exemple.fr\n\n";
    }
    messages += "From e@f.fr Mon Jan  1 00:00:00 2024\nni en-tete ni rien\n\nperdu@exemple.fr\n"
               "From g@h.fr Mon Jan  1 00:00:00 2024\nSubject: apres\n\napres@exemple.fr\n";
    const QString fileName = write(messages);
    const QString zipName = write(zipOf({{u"boite.mbox"_s, messages}}));
    const auto readStream = [&] {
        const int fd = ::open(QFile::encodeName(fileName).constData(), O_RDONLY | O_CLOEXEC);
        const auto start = DocumentReader::readStreamStart(fd, fileName);
        const QByteArray text = DocumentReader::readStream(fd, start, fileName).bytes;
        ::close(fd);
        return text;
    };

    MailReader::setPieceSize(messages.size() + 1);
    const QByteArray whole = DocumentReader::readFile(fileName, DocumentKind::Mailbox).bytes;
    QVERIFY(whole.contains("Subject: 29\nfin@exemple.fr\n\n\n"));
    QVERIFY(!whole.contains("apres@exemple.fr"));
    for (const qsizetype pieceSize : {1, 100, 4000}) {
        MailReader::setPieceSize(pieceSize);
        QCOMPARE(DocumentReader::readFile(fileName, DocumentKind::Mailbox).bytes, whole);
        QCOMPARE(DocumentReader::readFile(zipName, DocumentKind::Zip).bytes, whole);
        QCOMPARE(readStream(), whole);
    }
    MailReader::setPieceSize(qsizetype(2) << 20);
}

ADRELIO_PDF_TEST_MAIN(TestDocuments, QCoreApplication)
#include "tst_documents.moc"
