#include "extract/extraction.h"
#include "support/plainpaths.h"
#include "worklist/textfile.h"

#include <QRandomGenerator>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

// The fast paths against the plain one: decode the whole text, cut it into lines, split
// every line and keep the fields with "@".
class TestFastPaths : public QObject
{
    Q_OBJECT

private slots:
    void craftedBytes_data();
    void craftedBytes();
    void craftedUtf16_data();
    void craftedUtf16();
    void randomBytes();
    void randomUtf16();
    void randomText();
    void largeOutputIsFlushedInOrder();
    void singleHugeLine();
};

namespace {

void compareFilePaths(const QByteArray &bytes)
{
    const RawTextFile file = rawTextFromBytes(bytes);
    const QString text = decodeText(file);
    const QStringList expected = plainExtraction(text);
    QCOMPARE(addressesInFile(file), expected);
    QCOMPARE(writtenAddresses(file), utf8Lines(expected));
    QCOMPARE(addressesInText(text), expected);
}

// Shows the input of a failed comparison, which a random case does not otherwise tell.
bool filePathsAgree(const QByteArray &bytes)
{
    compareFilePaths(bytes);
    if (!QTest::currentTestFailed())
        return true;
    qWarning() << "input" << bytes.toHex(' ');
    return false;
}

// Pieces that meet every rule: separators, quotes, breaks, zero bytes, marks after blanks,
// characters of every length, and ill-formed, truncated and overlong sequences.
const QList<QByteArray> bytePieces = {
    "a", "b", "xyz", "@", "@", "@", ",", ",", " ", " ", "\t", "\"", "\"", "\"\"", "\r", "\n",
    "\r\n", QByteArray(1, '\0'), "\x01", "\x7f", ";", "<", ">",
    "\xCC\x81", "\xCC\x81", "\xE2\x83\x90", "\xC2\xA0", "\xC3\xA9", "\xE2\x82\xAC",
    "\xF0\x9F\x98\x80", "\xEF\xBB\xBF", "\xEF\xBC\xA0", "\xEF\xBF\xBE",
    "\x80", "\xBF", "\xC3", "\xE2\x82", "\xF0\x9F\x98", "\xED\xB0\x80", "\xE0\x8C\x81",
    "\xC0\x80", "\xF5", "\xFF", "\xCD", "\xE3\x80",
};

const QList<QString> unitPieces = {
    u"a"_s, u"b"_s, u"@"_s, u"@"_s, u","_s, u" "_s, u"\t"_s, u"\""_s, u"\"\""_s,
    u"\r"_s, u"\n"_s, u"\r\n"_s, QString(QChar(0)), u"\u0301"_s, u"\u20D0"_s,
    u"\u00A0"_s, u"\u00E9"_s, u"\U0001F600"_s, QString(QChar(0xDC00)),
    QString(QChar(0xD800)), u"\uFEFF"_s, u"\uFF20"_s, u"\x1f"_s,
};

template <typename Piece>
Piece randomPieces(QRandomGenerator &random, const QList<Piece> &pieces)
{
    Piece text;
    const int count = random.bounded(60);
    for (int i = 0; i < count; ++i)
        text += pieces.at(random.bounded(int(pieces.size())));
    return text;
}

} // namespace

void TestFastPaths::craftedBytes_data()
{
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("ill-formed before at sign") << QByteArray("\xE2\x82@a b");
    QTest::newRow("truncated at field end") << QByteArray("a@\xE2\x82 b a@\xC3,b x@\xF0\x9F\x98\"");
    QTest::newRow("truncated at text end") << QByteArray("a@\xE2\x82");
    QTest::newRow("truncated before break") << QByteArray("a@\xE2\r\nb@\xC3\n");
    QTest::newRow("mark after blank") << QByteArray("x \xCC\x81@y");
    QTest::newRow("three-byte mark after delimiter") << QByteArray("x,\xE2\x83\x90@y");
    QTest::newRow("marks after blank and delimiter") << QByteArray("x ,\xCC\x81 \xCC\x81\xCC\x82@y");
    QTest::newRow("overlong mark is no mark") << QByteArray("x \xE0\x8C\x81@y");
    QTest::newRow("truncated mark") << QByteArray("x \xCC@y");
    QTest::newRow("encoded surrogate after blank") << QByteArray("x \xED\xB0\x80@y");
    QTest::newRow("non-mark after blank") << QByteArray("x \xC3\xA9@y");
    QTest::newRow("zero bytes") << QByteArray("a@b\0c@d \"e@\0f\"", 15);
    QTest::newRow("break mixes") << QByteArray("a@b\rc@d\r\n\"e@f\rg\"\n\r@h\n\n\r\r@i");
    QTest::newRow("second mark kept") << QByteArray("\xEF\xBB\xBF\xEF\xBB\xBF@a");
    QTest::newRow("mark inside text") << QByteArray("a \xEF\xBB\xBF@b");
    QTest::newRow("no-break space") << QByteArray("a\xC2\xA0@b c");
    QTest::newRow("doubled quotes") << QByteArray("\"a\"\"@b\" \"c@d\"\"\" \"\"\"@\"");
    QTest::newRow("unclosed quote ends at break") << QByteArray("\"a@b c\nd@ e\"");
    QTest::newRow("four-byte character") << QByteArray("\xF0\x9F\x98\x80@x");
    QTest::newRow("fullwidth at sign") << QByteArray("a\xEF\xBC\xA0" "b");
    QTest::newRow("mark only") << QByteArray("\xEF\xBB\xBF");
    QTest::newRow("empty") << QByteArray();
}

void TestFastPaths::craftedBytes()
{
    QFETCH(QByteArray, bytes);
    filePathsAgree(bytes);
}

void TestFastPaths::craftedUtf16_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("oddByte");

    QTest::newRow("lone low surrogate after blank") << u"a \xDC00@b c"_s << false;
    QTest::newRow("surrogate pair after blank") << u"a \U0001F600@b"_s << false;
    QTest::newRow("mark after blank") << u"a \u0301@b"_s << true;
    QTest::newRow("NUL and breaks") << QString::fromUtf16(u"a@b\0c@d\r\ne@f\rg@h", 17) << true;
    QTest::newRow("lone high surrogate") << u"\xD800@b"_s << false;
}

void TestFastPaths::craftedUtf16()
{
    QFETCH(QString, text);
    QFETCH(bool, oddByte);

    for (bool bigEndian : {false, true}) {
        QByteArray bytes = utf16Bytes(text, bigEndian);
        if (oddByte)
            bytes += '@';
        filePathsAgree(bytes);
    }
}

void TestFastPaths::randomBytes()
{
    QRandomGenerator random(20240611);
    for (int i = 0; i < 6000; ++i) {
        QByteArray bytes = randomPieces(random, bytePieces);
        if (i % 3 == 0)
            bytes.prepend("\xEF\xBB\xBF");
        if (!filePathsAgree(bytes))
            return;
    }
}

void TestFastPaths::randomUtf16()
{
    QRandomGenerator random(7);
    for (int i = 0; i < 3000; ++i) {
        const QString text = randomPieces(random, unitPieces);
        QByteArray bytes = utf16Bytes(text, i % 2);
        if (i % 5 == 0)
            bytes += 'x';
        if (!filePathsAgree(bytes))
            return;
    }
}

// The text of the text area breaks lines at '\n' only: a carriage return there is a blank,
// and a line ends at its first U+0000.
void TestFastPaths::randomText()
{
    QRandomGenerator random(99);
    for (int i = 0; i < 3000; ++i) {
        const QString text = randomPieces(random, unitPieces);
        QCOMPARE(addressesInText(text), plainExtraction(text));
    }
}

void TestFastPaths::largeOutputIsFlushedInOrder()
{
    QByteArray bytes;
    for (int i = 0; bytes.size() < 3 << 20; ++i)
        bytes += "Nom " + QByteArray::number(i) + " <n" + QByteArray::number(i) + "@x.fr>, t\xC3\xA9l\n";
    const RawTextFile file = rawTextFromBytes(bytes);

    int flushes = 0;
    QByteArray all;
    QByteArray out;
    writeAddressesInFile(file, out, [&](QByteArray &full) {
        QVERIFY(full.size() >= 1 << 20);
        ++flushes;
        all += full;
        full.clear();
    });
    QVERIFY(flushes >= 1);
    QCOMPARE(all + out, utf8Lines(plainExtraction(decodeText(file))));
}

void TestFastPaths::singleHugeLine()
{
    QByteArray bytes;
    while (bytes.size() < 4 << 20)
        bytes += "a@b,\"c d@e\" f \xCC\x81g@h\xC3 ";
    filePathsAgree(bytes);
}

QTEST_GUILESS_MAIN(TestFastPaths)
#include "tst_fastpaths.moc"

