#include "base/utf8.h"
#include "base/windows1252.h"

#include <QRandomGenerator>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTest>

// The check of UTF-8 that decides whether a file without a mark is UTF-8 or Windows-1252,
// held to Qt's own: every sequence of up to two bytes and the longer ones that matter, at
// the places where the check's blocks of 32 bytes, their halves and its runs of 64 bytes
// cut them, and large texts checked in pieces on every core, damaged next to a piece's
// edge. The encoder of the clipboard's copies, held to QStringEncoder for every kind of
// unit, pairs and unpaired surrogates among them.
class TestUtf8 : public QObject
{
    Q_OBJECT

private slots:
    void shortSequences();
    void fourByteSequences();
    void piecesOfLargeTexts();
    void readThroughPieces();
    void windows1252();
    void mixedTextInPieces();
    void encodeAsQtDoes();
};

namespace {

bool agrees(const QByteArray &bytes)
{
    return isWellFormedUtf8(bytes) == QByteArrayView(bytes).isValidUtf8();
}

// bytes placed so that they start at the offsets where a half of a 32-byte block, a block
// or a run of 64 bytes ends, or at the start, between ASCII.
bool agreesAtEveryOffset(QByteArrayView bytes)
{
    for (int offset : { 0, 13, 14, 15, 29, 30, 31, 61, 62, 63 }) {
        QByteArray text(offset, 'a');
        text += bytes;
        if (!agrees(text) || !agrees(text + QByteArray(80, 'b')))
            return false;
    }
    return true;
}

const uchar interesting[] = { 0x00, 0x41, 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF, 0xC0, 0xC1,
                              0xC2, 0xDF, 0xE0, 0xED, 0xEF, 0xF0, 0xF4, 0xF5, 0xFF };

} // namespace

void TestUtf8::shortSequences()
{
    for (int a = 0; a < 256; ++a) {
        const char first = char(a);
        QVERIFY2(agreesAtEveryOffset(QByteArray(1, first)), qPrintable(QString::number(a, 16)));
        for (int b = 0; b < 256; ++b) {
            const char pair[] = { first, char(b) };
            QVERIFY2(agreesAtEveryOffset(QByteArrayView(pair, 2)),
                     qPrintable(QStringLiteral("%1 %2").arg(a, 0, 16).arg(b, 0, 16)));
            // Three bytes, with a lead byte first: the others fail on their first two.
            if (a < 0xE0)
                continue;
            for (const uchar c : interesting) {
                const char triple[] = { first, char(b), char(c) };
                const QByteArray text = QByteArray("xy") + QByteArray(triple, 3);
                QVERIFY2(agrees(text) && agrees(QByteArray(13, 'a') + text)
                                 && agrees(QByteArray(61, 'a') + text),
                         qPrintable(QStringLiteral("%1 %2 %3").arg(a, 0, 16).arg(b, 0, 16).arg(c, 0, 16)));
            }
        }
    }
}

void TestUtf8::fourByteSequences()
{
    for (int a = 0xF0; a < 0x100; ++a) {
        for (const uchar b : interesting) {
            for (const uchar c : interesting) {
                for (const uchar d : interesting) {
                    const char quad[] = { char(a), char(b), char(c), char(d) };
                    QVERIFY2(agreesAtEveryOffset(QByteArrayView(quad, 4)),
                             qPrintable(QStringLiteral("%1 %2 %3 %4").arg(a, 0, 16).arg(b, 0, 16)
                                                .arg(c, 0, 16).arg(d, 0, 16)));
                }
            }
        }
    }
}

// Texts of several pieces, with characters of every length across the pieces' edges and
// one byte damaged near an edge.
void TestUtf8::piecesOfLargeTexts()
{
    const QByteArray characters[] = { "a", "\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x98\x80" };
    QRandomGenerator random(7);
    QByteArray text;
    while (text.size() < (qsizetype(9) << 20))
        text += characters[random.bounded(4)];
    QVERIFY(isWellFormedUtf8(text));
    const qsizetype edge = qsizetype(4) << 20;
    for (const qsizetype shift : { -3, -2, -1, 0, 1, 2, 3 }) {
        for (const char damage : { char(0x80), char(0xC3), char(0xFF) }) {
            QByteArray damaged = text;
            damaged[edge + shift] = damage;
            QVERIFY2(agrees(damaged), qPrintable(QStringLiteral("edge %1%2 byte %3")
                                                 .arg(edge).arg(shift).arg(uchar(damage), 0, 16)));
        }
    }
    QVERIFY(!isWellFormedUtf8(text + "\xE2\x82"));
}

void TestUtf8::readThroughPieces()
{
    QByteArray text;
    for (int i = 0; text.size() < (qsizetype(10) << 20); ++i)
        text += "d\xC3\xA9j\xC3\xA0 \xE2\x82\xAC ";
    const auto readAt = [&text](char *buffer, qsizetype room, qint64 offset) {
        const qsizetype count = qBound(qint64(0), text.size() - offset, qint64(room));
        std::memcpy(buffer, text.constData() + offset, size_t(count));
        return count;
    };
    QVERIFY(isWellFormedUtf8(text.size(), readAt));
    text[(qsizetype(4) << 20) + 1] = char(0xE9);
    QVERIFY(!isWellFormedUtf8(text.size(), readAt));
}

// Every byte against the system's converter (ICU).
void TestUtf8::windows1252()
{
    QByteArray bytes;
    for (int b = 0; b < 256; ++b)
        bytes += char(b);
    QStringDecoder decoder("windows-1252");
    QVERIFY(decoder.isValid());
    QCOMPARE(decodeWindows1252(bytes), decoder.decode(bytes));
    for (int b = 0; b < 256; ++b)
        QCOMPARE(windows1252Unit(uchar(b)), decodeWindows1252(bytes.sliced(b, 1)).at(0).unicode());
}

// Cut anywhere, even inside a sequence, the pieces give the UTF-8 of the whole, which is
// the decoded text's.
void TestUtf8::mixedTextInPieces()
{
    const QByteArray bytes("caf\xC3\xA9 \xE9t\xE9 \xE2\x82\xAC \xF0\x9F\x98\x80 \xE2\x82 \xC3");
    const QString whole = QString::fromUtf16(u"café été € 😀 â‚ Ã");
    QCOMPARE(decodeMixedText(bytes), whole);
    for (qsizetype pieceSize = 1; pieceSize <= 5; ++pieceSize) {
        QByteArray utf8;
        QByteArray pending;
        for (qsizetype at = 0; at < bytes.size(); at += pieceSize) {
            pending += bytes.sliced(at, qMin(pieceSize, bytes.size() - at));
            const bool final = at + pieceSize >= bytes.size();
            QByteArray out(3 * pending.size(), Qt::Uninitialized);
            qsizetype used = 0;
            out.truncate(mixedTextToUtf8(pending, final, out.data(), &used));
            utf8 += out;
            pending.remove(0, used);
        }
        QVERIFY(pending.isEmpty());
        QCOMPARE(QString::fromUtf8(utf8), whole);
    }
}

void TestUtf8::encodeAsQtDoes()
{
    const char16_t units[] = { u'a', 0x7F, 0x80, 0xE9, 0x7FF, 0x800, 0xFEFF, 0xFFFF,
                               0xD83D, 0xDE00, 0xDBFF, 0xDFFF, 0xD800, 0xDC00 };
    QRandomGenerator random(21);
    for (int round = 0; round < 20000; ++round) {
        QString text;
        const int length = random.bounded(1, 8);
        for (int i = 0; i < length; ++i)
            text += QChar(units[random.bounded(int(std::size(units)))]);
        QStringEncoder encoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
        const QByteArray expected = encoder.encode(text);
        QByteArray bytes(utf8Size(text), Qt::Uninitialized);
        const char *end = encodeUtf8(text, bytes.data());
        QCOMPARE(end - bytes.constData(), bytes.size());
        QCOMPARE(bytes, expected);
    }
}

QTEST_GUILESS_MAIN(TestUtf8)
#include "tst_utf8.moc"
