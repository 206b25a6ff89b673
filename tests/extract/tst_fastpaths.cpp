#include "extract/extraction.h"
#include "support/plainpaths.h"
#include "worklist/textfile.h"

#include <QRandomGenerator>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

// The fast paths against the plain one: decode the whole text, cut it into lines, split
// every line and keep the fields with "@". Each path also runs cut into tiny pieces on
// several threads, and as a stream that arrives a few bytes at a time, so that the edges
// of pieces fall on every kind of place: inside quotes, marks and multi-byte characters,
// next to an "@", between a CR and its LF.
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
    void randomOptions();
    void piecesArriveInOrder();
    void singleHugeLine();
    void fieldsLongerThanPieces_data();
    void fieldsLongerThanPieces();
};

namespace {

// How a comparison cuts the work: pieces of pieceSize units on threadCount threads, and a
// stream read readSize bytes at a time, or, with readSize 0, a file read by pieces.
struct Cutting
{
    qsizetype pieceSize;
    int threadCount;
    qsizetype readSize;
};

const Cutting wholeText{qsizetype(1) << 20, 1, qsizetype(1) << 20};
const QList<Cutting> cuttings = {
    wholeText, {1, 3, 1}, {2, 2, 1}, {3, 3, 2}, {4, 2, 3}, {5, 3, 5}, {7, 2, 4}, {11, 3, 16},
    {1, 3, 0}, {2, 2, 0}, {3, 3, 0}, {6, 2, 0}, {1 << 20, 2, 0},
};

AddressExtractor extractorFor(const Cutting &cutting, ExtractionOptions options = {})
{
    AddressExtractor extractor(options);
    extractor.setPieceSize(cutting.pieceSize);
    extractor.setThreadCount(cutting.threadCount);
    return extractor;
}

// The sorted output costs a collator each time: random cases check it now and then.
void compareFilePaths(const QByteArray &bytes, const Cutting &cutting, bool sortedToo)
{
    const RawTextFile file = rawTextFromBytes(bytes);
    const QString text = decodeText(file);
    const QStringList expected = plainExtraction(text);
    const AddressExtractor extractor = extractorFor(cutting);
    QCOMPARE(extractor.addressesInFile(file), expected);
    QCOMPARE(writtenAddresses(bytes, cutting.readSize, extractor), utf8Lines(expected));
    QCOMPARE(addressesInStream(bytes, cutting.readSize, extractor), expected);
    if (sortedToo)
        QCOMPARE(writtenSortedAddresses(bytes, cutting.readSize, extractor), utf8Lines(sorted(expected)));
    QCOMPARE(extractor.addressesInText(text), expected);
}

// Shows the input of a failed comparison, which a random case does not otherwise tell.
bool filePathsAgree(const QByteArray &bytes, const Cutting &cutting, bool sortedToo = false)
{
    compareFilePaths(bytes, cutting, sortedToo);
    if (!QTest::currentTestFailed())
        return true;
    qWarning() << "input" << bytes.toHex(' ') << "pieces" << cutting.pieceSize << "reads"
               << cutting.readSize;
    return false;
}

bool filePathsAgree(const QByteArray &bytes)
{
    for (const Cutting &cutting : cuttings) {
        if (!filePathsAgree(bytes, cutting, true))
            return false;
    }
    return true;
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
    QTest::newRow("at sign first and last") << QByteArray("@ab c@");
    QTest::newRow("at sign alone") << QByteArray("@");
    QTest::newRow("quotes at every edge")
            << QByteArray("\"a b@c\" d@\"e f\" \"\"\"g@h\" \"i@j\"k@l \"m n");
    QTest::newRow("quoted field over several lines")
            << QByteArray("x \"a@b\r\nc d\" e@f\n\"g\rh@i\"");
    QTest::newRow("long line of blanks then address")
            << QByteArray(200, '\0') + QByteArray(" \t,a@b") + QByteArray(100, ' ');
    QTest::newRow("CR LF lines") << QByteArray("a@b\r\nc@d e\r\n\r\n\"f@g\"\r\n");
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
        if (!filePathsAgree(bytes, cuttings.at(i % cuttings.size()), i % 16 == 0))
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
        if (!filePathsAgree(bytes, cuttings.at(i % cuttings.size()), i % 16 == 0))
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
        const AddressExtractor extractor = extractorFor(cuttings.at(i % cuttings.size()));
        QCOMPARE(extractor.addressesInText(text), plainExtraction(text));
    }
}

// The options over every path, against the plain extraction with the options, which
// cleans each field on its own and compares each address with those kept before it. ASCII
// and UTF-8 fields are cleaned as bytes on the UTF-8 paths, every other one as text; the
// inputs come as UTF-8, as Windows-1252 (when their bytes are not UTF-8) and as UTF-16.
void TestFastPaths::randomOptions()
{
    const QList<QByteArray> pieces = {
        "a", "B", "z9", "-", "_", ".", ".", "@", "@", "@", " ", ",", ";", ":", "<", ">", "(", ")",
        "[", "]", "{", "'", "\"", "?", "!", "=", "/", "+", "%", "&", "#", "x", "mailto:", "MAILTO:",
        "fr", "fr", "com", "png", "localhost", "xn--b", "xn--p1ai", "1", "255", "40", "64;", "&#",
        "&#64;", "&#x40;", "&#X0040;", "&commat;", "&lt;", "&gt;", "&quot;", "&amp;", "&nbsp;",
        "&#233;", "%40", "%C3%A9", "%E9", "%22", "%20", "\xC3\xA9", "\xC3\x89", "\xE2\x84\xAA",
        "\xC2\xAB", "\xC2\xBB", "\xC2\xA0", "\xE2\x80\xAF", "\xE2\x80\x9C", "\xD0\xB8",
        "\xD1\x80\xD1\x84", "\xD0\xA0\xD0\xA4", "\xCC\x81", "\xE0\xA4\xBF", "\xF0\xA0\x80\x80",
        "\xFF", "\n", "\r\n", "IPv6:", "::1", "\t", "@ex.fr", "@b.fr", "%40ex.fr", "&#64;ex.fr",
        "@2x.png", "@[1.2.3.4]", "mailto:a", "mailto:%C3%A9", "a.b", "..", "'e",
    };
    QRandomGenerator random(314);
    for (int i = 0; i < 3000; ++i) {
        QByteArray bytes;
        for (int n = random.bounded(40); n > 0; --n)
            bytes += pieces.at(random.bounded(int(pieces.size())));
        if (i % 4 == 3)
            bytes = utf16Bytes(decodeText(rawTextFromBytes(bytes)), i % 8 == 7);
        const RawTextFile file = rawTextFromBytes(bytes);
        const QString text = decodeText(file);
        const Cutting &cutting = cuttings.at(i % cuttings.size());
        for (const ExtractionOptions options : {ExtractionOptions{true, false}, ExtractionOptions{false, true},
                                                ExtractionOptions{true, true}}) {
            const QStringList expected = plainExtraction(text, options);
            const AddressExtractor extractor = extractorFor(cutting, options);
            QCOMPARE(extractor.addressesInFile(file), expected);
            QCOMPARE(extractor.addressesInText(text), expected);
            QCOMPARE(addressesInStream(bytes, cutting.readSize, extractor), expected);
            QCOMPARE(writtenAddresses(bytes, cutting.readSize, extractor), utf8Lines(expected));
            if (i % 8 == 0) {
                QCOMPARE(writtenSortedAddresses(bytes, cutting.readSize, extractor),
                         utf8Lines(sorted(expected)));
            }
            if (QTest::currentTestFailed()) {
                qWarning() << "input" << bytes.toHex(' ') << "clean" << options.clean << "unique"
                           << options.unique;
                return;
            }
        }
    }
}

// Megabytes of lines come out a piece at a time, in the order of the input, whatever the
// thread that found them.
void TestFastPaths::piecesArriveInOrder()
{
    QByteArray bytes;
    for (int i = 0; bytes.size() < 3 << 20; ++i)
        bytes += "Nom " + QByteArray::number(i) + " <n" + QByteArray::number(i) + "@x.fr>, t\xC3\xA9l\n";

    AddressExtractor extractor;
    extractor.setPieceSize(64 << 10);
    extractor.setThreadCount(4);
    const QByteArray expected = utf8Lines(plainExtraction(decodeText(rawTextFromBytes(bytes))));
    for (const qsizetype readSize : {100000, 0}) {
        TextInput input = readSize > 0 ? TextInput(bytes, readSize) : TextInput(bytes);
        int writes = 0;
        QByteArray all;
        extractor.writeAddressesInInput(input, [&](QByteArrayView piece) {
            ++writes;
            all += piece;
        });
        QVERIFY(writes > 20);
        QCOMPARE(all, expected);
    }
}

void TestFastPaths::singleHugeLine()
{
    QByteArray bytes;
    while (bytes.size() < 4 << 20)
        bytes += "a@b,\"c d@e\" f \xCC\x81g@h\xC3 ";
    filePathsAgree(bytes, wholeText);
    filePathsAgree(bytes, {100000, 2, 70000});
    filePathsAgree(bytes, {100000, 2, 0});
}

void TestFastPaths::fieldsLongerThanPieces_data()
{
    QTest::addColumn<QByteArray>("bytes");

    const QByteArray run(9000, 'a');
    QTest::newRow("plain field") << "x " + run + "@b c@d";
    QTest::newRow("quoted field with blanks") << "x \"" + run + " " + run + "@b\" c@d";
    QTest::newRow("unclosed quoted field") << "x \"a@b " + run + " " + run;
    QTest::newRow("quoted fields without separators") << "\"a\"" + run + "\"b@c\"" + run + "@d";
    QTest::newRow("zero bytes, then a field") << QByteArray(9000, '\0') + run + "@b";
}

// A piece of a stream or a file ends at a field boundary; when a field is longer than the
// pieces, they grow or carry the field over until it ends.
void TestFastPaths::fieldsLongerThanPieces()
{
    QFETCH(QByteArray, bytes);
    for (const qsizetype readSize : {0, 700, 5000})
        filePathsAgree(bytes, {1000, 2, readSize});
}

QTEST_GUILESS_MAIN(TestFastPaths)
#include "tst_fastpaths.moc"

