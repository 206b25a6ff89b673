#include "worklist/textbuffer.h"
#include "worklist/textfile.h"

#include "textpositiontesting.h"

#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

// Strings with lone surrogates, which string literals cannot hold.
QString units(std::initializer_list<char16_t> units)
{
    return QString(reinterpret_cast<const QChar *>(units.begin()), qsizetype(units.size()));
}

} // namespace

class TestTextBuffer : public QObject
{
    Q_OBJECT

public:
    enum class Edit { Backward, Forward, WordBackward, WordForward };
    Q_ENUM(Edit)
    enum class Step { NextCharacter, PreviousCharacter, NextWord, PreviousWord };
    Q_ENUM(Step)

private slots:
    void lineViews_data();
    void lineViews();
    void loadedFileLines_data();
    void loadedFileLines();
    void setLinesEndsEveryLineWithBreak();
    void splitAtBreaks();
    void insert_data();
    void insert();
    void deletion_data();
    void deletion();
    void moves_data();
    void moves();
    void positionsStayOutOfPairs();
    void typingMergesIntoOneStep();
    void pasteAndDeletionAreSteps();
    void undoableReplacementKeepsOldArray();
    void historyKeepsOneReplacement();
    void unrecordedReplacementClearsHistory();
    void sameTextChangesNothing();
    void offsets();

private:
    static TextBuffer loaded(const QString &text, TextPosition caret = {});
};

TextBuffer TestTextBuffer::loaded(const QString &text, TextPosition caret)
{
    TextBuffer buffer;
    buffer.loadText(text);
    buffer.setCaret(caret);
    return buffer;
}

void TestTextBuffer::lineViews_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<int>("paragraphs");

    QTest::newRow("empty") << QString() << QStringList() << 1;
    QTest::newRow("final break") << u"a\nb\n"_s << QStringList{ u"a"_s, u"b"_s } << 3;
    QTest::newRow("no final break") << u"a\nb"_s << QStringList{ u"a"_s, u"b"_s } << 2;
    QTest::newRow("empty line inside") << u"a\n\nb"_s << QStringList{ u"a"_s, QString(), u"b"_s } << 3;
    QTest::newRow("break only") << u"\n"_s << QStringList{ QString() } << 2;
    QTest::newRow("two breaks") << u"\n\n"_s << QStringList{ QString(), QString() } << 3;
    QTest::newRow("separators are characters")
            << u"a\u2029b\u2028c\uFDD0d\uFDD1\u00a0\n"_s << QStringList{ u"a\u2029b\u2028c\uFDD0d\uFDD1\u00a0"_s } << 2;
}

void TestTextBuffer::lineViews()
{
    QFETCH(QString, text);
    QFETCH(QStringList, lines);
    QFETCH(int, paragraphs);

    const TextBuffer buffer = loaded(text);
    QCOMPARE(buffer.lineCount(), lines.size());
    QCOMPARE(buffer.lines(), lines);
    for (qsizetype i = 0; i < lines.size(); ++i)
        QCOMPARE(buffer.line(i), lines.at(i));
    QCOMPARE(buffer.line(-1), QString());
    QCOMPARE(buffer.line(lines.size()), QString());
    QCOMPARE(buffer.paragraphCount(), paragraphs);
    QCOMPARE(buffer.text(), text);
    QCOMPARE(buffer.textWithCrLf(), QString(text).replace(u'\n', "\r\n"_L1));
    QCOMPARE(buffer.isEmpty(), text.isEmpty());
    QCOMPARE(buffer.characterCount(), text.size());
}

void TestTextBuffer::loadedFileLines_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("lines");

    QTest::newRow("empty file") << QByteArray() << QStringList();
    QTest::newRow("final break") << QByteArray("a\r\nb\r\n") << QStringList{ u"a"_s, u"b"_s };
    QTest::newRow("no final break") << QByteArray("a\r\nb") << QStringList{ u"a"_s, u"b"_s };
    QTest::newRow("empty line inside") << QByteArray("a\r\n\r\nb") << QStringList{ u"a"_s, QString(), u"b"_s };
    QTest::newRow("only a break") << QByteArray("\r\n") << QStringList{ QString() };
    QTest::newRow("two breaks") << QByteArray("\r\n\r\n") << QStringList{ QString(), QString() };
    QTest::newRow("empty line at the end") << QByteArray("a\r\n\r\n") << QStringList{ u"a"_s, QString() };
    QTest::newRow("LF breaks") << QByteArray("a\nb\n") << QStringList{ u"a"_s, u"b"_s };
    QTest::newRow("CR break") << QByteArray("a\rb") << QStringList{ u"a"_s, u"b"_s };
    QTest::newRow("LF CR") << QByteArray("a\n\rb") << QStringList{ u"a"_s, QString(), u"b"_s };
    QTest::newRow("CR CR LF") << QByteArray("a\r\r\nb") << QStringList{ u"a"_s, QString(), u"b"_s };
    QTest::newRow("blanks kept") << QByteArray(" a \r\n\t") << QStringList{ u" a "_s, u"\t"_s };
}

// A file's bytes as a load puts them into the list.
void TestTextBuffer::loadedFileLines()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, lines);

    TextBuffer buffer = loaded(u"old"_s, { 0, 3 });
    buffer.loadText(decodeText(rawTextFromBytes(bytes)));
    QCOMPARE(buffer.lines(), lines);
    QCOMPARE(buffer.lineCount(), lines.size());
    QCOMPARE(buffer.caret(), (TextPosition{ 0, 0 }));
}

void TestTextBuffer::setLinesEndsEveryLineWithBreak()
{
    TextBuffer buffer = loaded(u"old"_s);
    buffer.insert(u"x");
    buffer.setLines({ u"a"_s, QString(), u"b"_s });
    QCOMPARE(buffer.text(), u"a\n\nb\n"_s);
    QCOMPARE(buffer.lineCount(), 3);
    QCOMPARE(buffer.caret(), (TextPosition{ 3, 0 }));
    QVERIFY(!buffer.hasSelection());
    QVERIFY(!buffer.canUndo());

    buffer.setLines({});
    QCOMPARE(buffer.text(), QString());
    QCOMPARE(buffer.lineCount(), 0);
    QCOMPARE(buffer.caret(), (TextPosition{ 0, 0 }));
}

void TestTextBuffer::splitAtBreaks()
{
    const QStringList plain{ u"a"_s, u"b"_s };
    QCOMPARE(TextBuffer::splitAtBreaks(plain).constData(), plain.constData());
    QCOMPARE(TextBuffer::splitAtBreaks({ u"a\r\nb"_s, u"c\rd\ne"_s, QString() }),
             (QStringList{ u"a"_s, u"b"_s, u"c"_s, u"d"_s, u"e"_s, QString() }));
}

void TestTextBuffer::insert_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<TextPosition>("anchor");
    QTest::addColumn<TextPosition>("caret");
    QTest::addColumn<QString>("inserted");
    QTest::addColumn<QString>("result");
    QTest::addColumn<TextPosition>("caretAfter");

    QTest::newRow("into a line") << u"ab"_s << TextPosition{ 0, 1 } << TextPosition{ 0, 1 } << u"xy"_s
                                 << u"axyb"_s << TextPosition{ 0, 3 };
    QTest::newRow("CR LF, CR and LF are one break each")
            << u"ab"_s << TextPosition{ 0, 1 } << TextPosition{ 0, 1 } << u"1\r\n2\r3\n4"_s
            << u"a1\n2\n3\n4b"_s << TextPosition{ 3, 1 };
    QTest::newRow("CR LF split across nothing") << QString() << TextPosition{} << TextPosition{}
                                                << u"\r\r\n\n"_s << u"\n\n\n"_s << TextPosition{ 3, 0 };
    QTest::newRow("U+0000 becomes a space") << u"ab"_s << TextPosition{ 0, 2 } << TextPosition{ 0, 2 }
                                            << u"c\u0000d"_s << u"abc d"_s << TextPosition{ 0, 5 };
    QTest::newRow("separators stay characters")
            << u"a"_s << TextPosition{ 0, 1 } << TextPosition{ 0, 1 } << u"\u2029\u2028\uFDD0\uFDD1"_s
            << u"a\u2029\u2028\uFDD0\uFDD1"_s << TextPosition{ 0, 5 };
    QTest::newRow("outside the BMP") << u"ab"_s << TextPosition{ 0, 1 } << TextPosition{ 0, 1 }
                                     << u"\U0001F600"_s << u"a\U0001F600b"_s << TextPosition{ 0, 3 };
    QTest::newRow("replaces a selection across lines")
            << u"abc\ndef\nghi"_s << TextPosition{ 2, 1 } << TextPosition{ 0, 1 } << u"X\nY"_s
            << u"aX\nYhi"_s << TextPosition{ 1, 1 };
    QTest::newRow("into the empty last paragraph") << u"a\n"_s << TextPosition{ 1, 0 } << TextPosition{ 1, 0 }
                                                   << u"b"_s << u"a\nb"_s << TextPosition{ 1, 1 };
    QTest::newRow("a break at the very end") << u"a"_s << TextPosition{ 0, 1 } << TextPosition{ 0, 1 }
                                             << u"\n"_s << u"a\n"_s << TextPosition{ 1, 0 };
    QTest::newRow("nothing over a selection removes it")
            << u"abc"_s << TextPosition{ 0, 0 } << TextPosition{ 0, 2 } << QString() << u"c"_s << TextPosition{ 0, 0 };
}

void TestTextBuffer::insert()
{
    QFETCH(QString, text);
    QFETCH(TextPosition, anchor);
    QFETCH(TextPosition, caret);
    QFETCH(QString, inserted);
    QFETCH(QString, result);
    QFETCH(TextPosition, caretAfter);

    TextBuffer buffer = loaded(text);
    buffer.setSelection(anchor, caret);
    buffer.insert(inserted);
    QCOMPARE(buffer.text(), result);
    QCOMPARE(buffer.caret(), caretAfter);
    QVERIFY(!buffer.hasSelection());
    QCOMPARE(buffer.lines(), result.isEmpty() ? QStringList() : [&] {
        QStringList lines = result.split(u'\n');
        if (lines.constLast().isEmpty())
            lines.removeLast();
        return lines;
    }());

    buffer.undo();
    QCOMPARE(buffer.text(), text);
    QCOMPARE(buffer.caret(), caret);
    QCOMPARE(buffer.anchor(), anchor);
    buffer.redo();
    QCOMPARE(buffer.text(), result);
    QCOMPARE(buffer.caret(), caretAfter);
}

void TestTextBuffer::deletion_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<TextPosition>("caret");
    QTest::addColumn<Edit>("edit");
    QTest::addColumn<QString>("result");
    QTest::addColumn<TextPosition>("caretAfter");

    const QString pair = u"a\U0001F600b"_s;
    QTest::newRow("backward over a pair") << pair << TextPosition{ 0, 3 } << Edit::Backward << u"ab"_s << TextPosition{ 0, 1 };
    QTest::newRow("forward over a pair") << pair << TextPosition{ 0, 1 } << Edit::Forward << u"ab"_s << TextPosition{ 0, 1 };
    const QString marked = u"xe\u0301y"_s;
    QTest::newRow("backward takes the mark alone") << marked << TextPosition{ 0, 3 } << Edit::Backward << u"xey"_s << TextPosition{ 0, 2 };
    QTest::newRow("forward takes the cluster") << marked << TextPosition{ 0, 1 } << Edit::Forward << u"xy"_s << TextPosition{ 0, 1 };
    QTest::newRow("lone low surrogate") << units({ u'a', 0xDC00 }) << TextPosition{ 0, 2 } << Edit::Backward << u"a"_s << TextPosition{ 0, 1 };
    QTest::newRow("backward joins lines") << u"ab\ncd"_s << TextPosition{ 1, 0 } << Edit::Backward << u"abcd"_s << TextPosition{ 0, 2 };
    QTest::newRow("forward joins lines") << u"ab\ncd"_s << TextPosition{ 0, 2 } << Edit::Forward << u"abcd"_s << TextPosition{ 0, 2 };
    QTest::newRow("backward at the start") << u"ab"_s << TextPosition{ 0, 0 } << Edit::Backward << u"ab"_s << TextPosition{ 0, 0 };
    QTest::newRow("forward at the end") << u"ab\n"_s << TextPosition{ 1, 0 } << Edit::Forward << u"ab\n"_s << TextPosition{ 1, 0 };
    QTest::newRow("the final break") << u"ab\n"_s << TextPosition{ 1, 0 } << Edit::Backward << u"ab"_s << TextPosition{ 0, 2 };
    QTest::newRow("word backward") << u"jean.dupont  fr"_s << TextPosition{ 0, 13 } << Edit::WordBackward << u"jean.fr"_s << TextPosition{ 0, 5 };
    QTest::newRow("word forward") << u"ab, cd"_s << TextPosition{ 0, 2 } << Edit::WordForward << u"abcd"_s << TextPosition{ 0, 2 };
    QTest::newRow("word backward at a line start") << u"ab\ncd"_s << TextPosition{ 1, 0 } << Edit::WordBackward << u"abcd"_s << TextPosition{ 0, 2 };
}

void TestTextBuffer::deletion()
{
    QFETCH(QString, text);
    QFETCH(TextPosition, caret);
    QFETCH(Edit, edit);
    QFETCH(QString, result);
    QFETCH(TextPosition, caretAfter);

    TextBuffer buffer = loaded(text, caret);
    switch (edit) {
    case Edit::Backward: buffer.deleteBackward(); break;
    case Edit::Forward: buffer.deleteForward(); break;
    case Edit::WordBackward: buffer.deleteWordBackward(); break;
    case Edit::WordForward: buffer.deleteWordForward(); break;
    }
    QCOMPARE(buffer.text(), result);
    QCOMPARE(buffer.caret(), caretAfter);
    QCOMPARE(buffer.canUndo(), result != text);
}

void TestTextBuffer::moves_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<TextPosition>("from");
    QTest::addColumn<Step>("step");
    QTest::addColumn<TextPosition>("to");

    QTest::newRow("over a cluster") << u"e\u0301x"_s << TextPosition{ 0, 0 } << Step::NextCharacter << TextPosition{ 0, 2 };
    QTest::newRow("back over a pair") << u"\U0001F600"_s << TextPosition{ 0, 2 } << Step::PreviousCharacter << TextPosition{ 0, 0 };
    QTest::newRow("to the next line") << u"a\nb"_s << TextPosition{ 0, 1 } << Step::NextCharacter << TextPosition{ 1, 0 };
    QTest::newRow("to the previous line") << u"a\nb"_s << TextPosition{ 1, 0 } << Step::PreviousCharacter << TextPosition{ 0, 1 };
    QTest::newRow("stays at the end") << u"a"_s << TextPosition{ 0, 1 } << Step::NextCharacter << TextPosition{ 0, 1 };
    QTest::newRow("word and its blanks") << u"ab  cd"_s << TextPosition{ 0, 0 } << Step::NextWord << TextPosition{ 0, 4 };
    QTest::newRow("punctuation run") << u"a@.b"_s << TextPosition{ 0, 1 } << Step::NextWord << TextPosition{ 0, 3 };
    QTest::newRow("word back") << u"ab  cd"_s << TextPosition{ 0, 5 } << Step::PreviousWord << TextPosition{ 0, 4 };
    QTest::newRow("word back over blanks") << u"ab  cd"_s << TextPosition{ 0, 4 } << Step::PreviousWord << TextPosition{ 0, 0 };
    QTest::newRow("word at a line end") << u"ab\ncd"_s << TextPosition{ 0, 2 } << Step::NextWord << TextPosition{ 1, 0 };
}

void TestTextBuffer::moves()
{
    QFETCH(QString, text);
    QFETCH(TextPosition, from);
    QFETCH(Step, step);
    QFETCH(TextPosition, to);

    const TextBuffer buffer = loaded(text);
    switch (step) {
    case Step::NextCharacter: QCOMPARE(buffer.nextCharacter(from), to); break;
    case Step::PreviousCharacter: QCOMPARE(buffer.previousCharacter(from), to); break;
    case Step::NextWord: QCOMPARE(buffer.nextWord(from), to); break;
    case Step::PreviousWord: QCOMPARE(buffer.previousWord(from), to); break;
    }
}

void TestTextBuffer::positionsStayOutOfPairs()
{
    TextBuffer buffer = loaded(u"a\U0001F600b\nc"_s);
    buffer.setCaret({ 0, 2 });
    QCOMPARE(buffer.caret(), (TextPosition{ 0, 1 }));
    buffer.setSelection({ 0, 2 }, { 9, 9 });
    QCOMPARE(buffer.anchor(), (TextPosition{ 0, 1 }));
    QCOMPARE(buffer.caret(), (TextPosition{ 1, 1 }));
    QCOMPARE(buffer.wordAt({ 0, 0 }).first, (TextPosition{ 0, 0 }));

    // Joining a lone high and a lone low surrogate leaves the caret before the new pair.
    buffer.loadText(units({ 0xD83D, 0xDE00 }));
    buffer.setCaret({ 0, 1 });
    QCOMPARE(buffer.caret(), (TextPosition{ 0, 0 }));
    buffer.loadText(units({ 0xD83D, u'x', 0xDE00 }));
    buffer.setCaret({ 0, 2 });
    buffer.deleteBackward();
    QCOMPARE(buffer.text(), u"\U0001F600"_s);
    QCOMPARE(buffer.caret(), (TextPosition{ 0, 0 }));
}

void TestTextBuffer::typingMergesIntoOneStep()
{
    TextBuffer buffer;
    for (const QChar c : u"abc"_s)
        buffer.insert(QStringView(&c, 1), TextBuffer::InsertKind::Typing);
    buffer.insert(u"\n", TextBuffer::InsertKind::Typing);
    buffer.insert(u"d", TextBuffer::InsertKind::Typing);
    buffer.insert(u"e", TextBuffer::InsertKind::Typing);
    buffer.setCaret({ 1, 0 });
    buffer.insert(u"f", TextBuffer::InsertKind::Typing);
    QCOMPARE(buffer.text(), u"abc\nfde"_s);

    const QStringList history{ u"abc\nde"_s, u"abc\n"_s, u"abc"_s, QString() };
    for (const QString &text : history) {
        QVERIFY(buffer.canUndo());
        buffer.undo();
        QCOMPARE(buffer.text(), text);
    }
    QVERIFY(!buffer.canUndo());
    for (qsizetype i = history.size() - 2; i >= 0; --i) {
        buffer.redo();
        QCOMPARE(buffer.text(), history.at(i));
    }
    buffer.redo();
    QCOMPARE(buffer.text(), u"abc\nfde"_s);
    QCOMPARE(buffer.caret(), (TextPosition{ 1, 1 }));
    QVERIFY(!buffer.canRedo());
}

void TestTextBuffer::pasteAndDeletionAreSteps()
{
    TextBuffer buffer;
    buffer.insert(u"ab");
    buffer.insert(u"cd");
    buffer.deleteBackward();
    buffer.deleteBackward();
    buffer.undo();
    QCOMPARE(buffer.text(), u"abc"_s);
    buffer.undo();
    buffer.undo();
    QCOMPARE(buffer.text(), u"ab"_s);
    buffer.insert(u"x");
    QVERIFY(!buffer.canRedo());
    QCOMPARE(buffer.text(), u"abx"_s);
}

void TestTextBuffer::undoableReplacementKeepsOldArray()
{
    TextBuffer buffer;
    buffer.setLines({ u"b"_s, u"a"_s });
    buffer.setSelection({ 0, 0 }, { 1, 1 });
    const QString *oldArray = buffer.lines().constData();

    buffer.setLines({ u"a"_s, u"b"_s }, ReplaceMode::Undoable);
    QCOMPARE(buffer.text(), u"a\nb\n"_s);
    const QString *newArray = buffer.lines().constData();
    QVERIFY(buffer.canUndo());

    buffer.undo();
    QCOMPARE(buffer.text(), u"b\na\n"_s);
    QCOMPARE(buffer.lines().constData(), oldArray);
    QCOMPARE(buffer.anchor(), (TextPosition{ 0, 0 }));
    QCOMPARE(buffer.caret(), (TextPosition{ 1, 1 }));

    buffer.redo();
    QCOMPARE(buffer.lines().constData(), newArray);
    QCOMPARE(buffer.caret(), (TextPosition{ 2, 0 }));

    // Edits after the replacement undo back to it and then past it.
    buffer.insert(u"c");
    buffer.undo();
    buffer.undo();
    QCOMPARE(buffer.text(), u"b\na\n"_s);
}

// Each recorded replacement holds a whole array: the history keeps the latest only, with
// the edits after the one before it.
void TestTextBuffer::historyKeepsOneReplacement()
{
    TextBuffer buffer;
    buffer.setLines({ u"un"_s });
    buffer.insert(u"x");
    buffer.setLines({ u"deux"_s }, ReplaceMode::Undoable);
    buffer.insert(u"y");
    buffer.loadParagraphs({ u"trois"_s, QString() }, ReplaceMode::Undoable);
    QCOMPARE(buffer.caret(), (TextPosition{ 0, 0 }));

    buffer.undo();
    QCOMPARE(buffer.text(), u"deux\ny"_s);
    buffer.undo();
    QCOMPARE(buffer.text(), u"deux\n"_s);
    QVERIFY(!buffer.canUndo());

    buffer.redo();
    buffer.redo();
    QCOMPARE(buffer.text(), u"trois\n"_s);
    QVERIFY(!buffer.canRedo());
}

void TestTextBuffer::unrecordedReplacementClearsHistory()
{
    TextBuffer buffer;
    buffer.insert(u"typed");
    buffer.setLines({ u"x"_s });
    QVERIFY(!buffer.canUndo());
    buffer.insert(u"y");
    buffer.undo();
    buffer.loadText(u"loaded"_s);
    QVERIFY(!buffer.canUndo());
    QVERIFY(!buffer.canRedo());
}

void TestTextBuffer::sameTextChangesNothing()
{
    TextBuffer buffer = loaded(u"a\nbc\n"_s);
    buffer.insert(u"z");
    buffer.setSelection({ 0, 1 }, { 1, 2 });
    QVERIFY(!buffer.loadText(u"za\nbc\n"_s).changed);
    QVERIFY(!buffer.loadParagraphs({ u"za"_s, u"bc"_s, QString() }).changed);
    QCOMPARE(buffer.anchor(), (TextPosition{ 0, 1 }));
    QCOMPARE(buffer.caret(), (TextPosition{ 1, 2 }));
    QVERIFY(buffer.canUndo());

    // The same units with the break elsewhere, or without the final break, differ.
    QVERIFY(buffer.loadText(u"z\nabc\n"_s).changed);
    QCOMPARE(buffer.caret(), (TextPosition{ 0, 0 }));
    QVERIFY(buffer.loadText(u"z\nabc"_s).changed);
    QCOMPARE(buffer.paragraphCount(), 2);
}

void TestTextBuffer::offsets()
{
    TextBuffer buffer = loaded(u"ab\n\ncde\n"_s);
    QCOMPARE(buffer.offsetOf({ 2, 1 }), 5);
    QCOMPARE(buffer.positionAt(5), (TextPosition{ 2, 1 }));
    QCOMPARE(buffer.positionAt(3), (TextPosition{ 1, 0 }));
    QCOMPARE(buffer.positionAt(100), (TextPosition{ 3, 0 }));
    buffer.setCaret({ 0, 1 });
    buffer.insert(u"x\ny");
    QCOMPARE(buffer.text(), u"ax\nyb\n\ncde\n"_s);
    QCOMPARE(buffer.offsetOf({ 3, 1 }), 8);
    QCOMPARE(buffer.characterCount(), 11);
    for (qsizetype offset = 0; offset <= buffer.characterCount(); ++offset)
        QCOMPARE(buffer.offsetOf(buffer.positionAt(offset)), offset);
}

QTEST_GUILESS_MAIN(TestTextBuffer)
#include "tst_textbuffer.moc"
