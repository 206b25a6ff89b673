#include "textarea/listedit.h"

#include "textpositiontesting.h"

#include <QAccessible>
#include <QClipboard>
#include <QMimeData>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTextLayout>

#include <algorithm>

using namespace Qt::Literals::StringLiterals;

namespace {

// The row starts of one layout of the whole line at width.
std::vector<qsizetype> wrapOf(const QString &line, const QFont &font, qreal width)
{
    QTextLayout layout(line, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    for (QTextLine row = layout.createLine(); row.isValid(); row = layout.createLine())
        row.setLineWidth(width);
    layout.endLayout();
    std::vector<qsizetype> starts;
    for (int i = 0; i < layout.lineCount(); ++i)
        starts.push_back(layout.lineAt(i).textStart());
    return starts;
}

// Keys as QKeySequence spells them; an entry that starts with "'" is typed text.
void press(QWidget *widget, const QStringList &keys)
{
    for (const QString &key : keys) {
        if (key.startsWith(u'\'')) {
            QTest::keyClicks(widget, key.mid(1));
        } else {
            const QKeyCombination combination = QKeySequence::fromString(key)[0];
            QTest::keyClick(widget, combination.key(), combination.keyboardModifiers());
        }
    }
}

void sendMouse(QWidget *viewport, QEvent::Type type, QPoint pos, Qt::MouseButton button,
               Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers = {})
{
    QMouseEvent event(type, pos, viewport->mapToGlobal(pos), button, buttons, modifiers);
    QCoreApplication::sendEvent(viewport, &event);
}

QList<QAccessible::Event> s_accessibleEvents;

void recordAccessibleEvent(QAccessibleEvent *event)
{
    s_accessibleEvents.append(event->type());
}

} // namespace

class TestEditing : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void keys_data();
    void keys();
    void homeAndEndOfDisplayRow();
    void pageKeys();
    void mouseSelection();
    void dragAboveAndBelowScrolls();
    void doubleClickSelectsWords();
    void inputMethod();
    void inputMethodQueries();
    void copyAndCutGiveListText_data();
    void copyAndCutGiveListText();
    void copyHandsOverUtf8();
    void pasteNormalisesBreaks();
    void primarySelection();
    void plainTextDropInsertsAtPoint();
    void notifications();
    void accessibleText();
    void accessibleEvents();
    void wrap_data();
    void wrap();
    void piecesWrapAsWholeLine_data();
    void piecesWrapAsWholeLine();
    void scrollBars();
    void caretRowTextPerRow();
    void caretRowTextEnds();
    void selectionShownOnlyWithFocus();
    void eventsReachFilters();
    void sameTextKeepsView();
    void longLineLaidOutLazily();
    void farRowsOfLongLineShowAtOnce();

private:
    // A hard line of words that the area wraps into exactly three rows.
    QString threeRowLine();

    ListEdit *m_edit = nullptr;
};

void TestEditing::init()
{
    m_edit = new ListEdit;
    m_edit->resize(220, 150);
    m_edit->show();
    m_edit->activateWindow();
    m_edit->setFocus();
    QVERIFY(QTest::qWaitForWindowActive(m_edit));
    QVERIFY(m_edit->hasFocus());
}

void TestEditing::cleanup()
{
    delete m_edit;
    RowCache::setPieceLength(4096);
    RowCache::setFarDistance(256 * 1024);
}

QString TestEditing::threeRowLine()
{
    QString line;
    for (int i = 0; i < 200; ++i)
        line += u"mot%1 "_s.arg(i);
    m_edit->setLoadedText(line);
    // Wrapping is greedy, so the text of the first three rows wraps the same way alone.
    return line.left(m_edit->rowColumns({ 0, m_edit->rowColumns({ 0, 0 }).second }).second
                     + m_edit->rowText(0, 2).size());
}

void TestEditing::keys_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<TextPosition>("caret");
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<QString>("result");
    QTest::addColumn<TextPosition>("caretAfter");
    QTest::addColumn<TextPosition>("anchorAfter");

    auto row = [](const char *name, const QString &text, TextPosition caret, const QStringList &keys,
                  const QString &result, TextPosition caretAfter, TextPosition anchorAfter) {
        QTest::newRow(name) << text << caret << keys << result << caretAfter << anchorAfter;
    };
    row("typing", {}, {}, { u"'abc"_s }, u"abc"_s, { 0, 3 }, { 0, 3 });
    row("backspace and delete", u"abcd"_s, { 0, 2 }, { u"Backspace"_s, u"Delete"_s }, u"ad"_s, { 0, 1 }, { 0, 1 });
    row("enter and shift+enter are hard breaks", u"ab"_s, { 0, 1 }, { u"Return"_s, u"Shift+Return"_s },
        u"a\n\nb"_s, { 2, 0 }, { 2, 0 });
    row("tab does nothing", u"ab"_s, { 0, 1 }, { u"Tab"_s }, u"ab"_s, { 0, 1 }, { 0, 1 });
    row("arrows cross lines", u"ab\ncd"_s, {}, { u"Right"_s, u"Right"_s, u"Right"_s, u"Left"_s }, u"ab\ncd"_s,
        { 0, 2 }, { 0, 2 });
    row("shift+arrows select and typing replaces", u"abcd"_s, {}, { u"Shift+Right"_s, u"Shift+Right"_s, u"'x"_s },
        u"xcd"_s, { 0, 1 }, { 0, 1 });
    row("left collapses a selection to its start", u"abcd"_s, { 0, 1 }, { u"Shift+Right"_s, u"Shift+Right"_s, u"Left"_s },
        u"abcd"_s, { 0, 1 }, { 0, 1 });
    row("ctrl+end", u"ab\ncd"_s, { 0, 1 }, { u"Ctrl+End"_s }, u"ab\ncd"_s, { 1, 2 }, { 1, 2 });
    row("ctrl+shift+home", u"ab\ncd"_s, { 1, 1 }, { u"Ctrl+Shift+Home"_s }, u"ab\ncd"_s, { 0, 0 }, { 1, 1 });
    row("ctrl+right by words", u"jean.dupont fr"_s, {}, { u"Ctrl+Right"_s, u"Ctrl+Right"_s, u"Ctrl+Right"_s },
        u"jean.dupont fr"_s, { 0, 12 }, { 0, 12 });
    row("ctrl+left by words", u"ab  cd"_s, { 0, 6 }, { u"Ctrl+Left"_s, u"Ctrl+Shift+Left"_s }, u"ab  cd"_s,
        { 0, 0 }, { 0, 4 });
    row("ctrl+backspace", u"ab cd"_s, { 0, 5 }, { u"Ctrl+Backspace"_s }, u"ab "_s, { 0, 3 }, { 0, 3 });
    row("ctrl+delete", u"ab cd"_s, {}, { u"Ctrl+Del"_s }, u"cd"_s, {}, {});
    row("ctrl+a and backspace", u"a\nb"_s, {}, { u"Ctrl+A"_s, u"Backspace"_s }, QString(), {}, {});
    row("up at the first row goes to the start", u"abc"_s, { 0, 2 }, { u"Up"_s }, u"abc"_s, {}, {});
    row("down at the last row goes to the end", u"abc"_s, { 0, 1 }, { u"Down"_s }, u"abc"_s, { 0, 3 }, { 0, 3 });
    row("up and down keep the column", u"abcdef\nab\nabcdef"_s, { 0, 4 }, { u"Down"_s, u"Down"_s },
        u"abcdef\nab\nabcdef"_s, { 2, 4 }, { 2, 4 });
    const QStringList typing{ u"'ab"_s, u"Return"_s, u"'c"_s };
    row("undo undoes typed words, then the break", {}, {}, typing + QStringList{ u"Ctrl+Z"_s, u"Ctrl+Z"_s },
        u"ab"_s, { 0, 2 }, { 0, 2 });
    row("redo by both keys", {}, {}, typing + QStringList{ u"Ctrl+Z"_s, u"Ctrl+Z"_s, u"Ctrl+Shift+Z"_s, u"Ctrl+Y"_s },
        u"ab\nc"_s, { 1, 1 }, { 1, 1 });
}

void TestEditing::keys()
{
    QFETCH(QString, text);
    QFETCH(TextPosition, caret);
    QFETCH(QStringList, keys);
    QFETCH(QString, result);
    QFETCH(TextPosition, caretAfter);
    QFETCH(TextPosition, anchorAfter);

    m_edit->setLoadedText(text);
    m_edit->setCaretPosition(caret);
    press(m_edit, keys);
    QCOMPARE(m_edit->text(), result);
    QCOMPARE(m_edit->caretPosition(), caretAfter);
    QCOMPARE(m_edit->anchorPosition(), anchorAfter);
    QVERIFY(m_edit->hasFocus());
}

void TestEditing::homeAndEndOfDisplayRow()
{
    const QString line = threeRowLine();
    m_edit->setLoadedText(u"debut\n"_s + line);
    const auto [start, end] = m_edit->rowColumns({ 1, m_edit->rowText(1, 0).size() + 2 });
    QVERIFY(end < line.size());
    m_edit->setCaretPosition({ 1, start + 2 });
    press(m_edit, { u"Home"_s });
    QCOMPARE(m_edit->caretPosition(), (TextPosition{ 1, start }));
    press(m_edit, { u"Shift+End"_s });
    // Before the blank that ends the row, so that the caret stays on it.
    QCOMPARE(m_edit->caretPosition(), (TextPosition{ 1, end - 1 }));
    QCOMPARE(m_edit->selectedText(), line.sliced(start, end - 1 - start));
}

void TestEditing::pageKeys()
{
    QStringList lines;
    for (int i = 0; i < 100; ++i)
        lines << u"ligne %1"_s.arg(i);
    m_edit->setLines(lines);
    m_edit->setCaretPosition({ 0, 3 });
    QCOMPARE(m_edit->topRow(), (TextPosition{ 0, 0 }));
    const int page = (m_edit->viewport()->height() - 2) / m_edit->fontMetrics().height();
    QVERIFY(page > 2);

    press(m_edit, { u"PgDown"_s });
    const TextPosition down = m_edit->caretPosition();
    QVERIFY2(qAbs(down.line - page) <= 1, qPrintable(QString::number(down.line)));
    QCOMPARE(down.column, 3);
    QVERIFY(m_edit->topRow().line > 0);
    QVERIFY(!m_edit->caretRect().isNull());

    press(m_edit, { u"Shift+PgUp"_s });
    QCOMPARE(m_edit->caretPosition(), (TextPosition{ 0, 3 }));
    QCOMPARE(m_edit->anchorPosition(), down);
    QCOMPARE(m_edit->topRow(), (TextPosition{ 0, 0 }));
}

void TestEditing::mouseSelection()
{
    m_edit->setLoadedText(u"premier mot\ndeuxieme ligne\ntroisieme"_s);
    QWidget *viewport = m_edit->viewport();
    const int rowHeight = m_edit->fontMetrics().height();
    const QPoint first(30, 2 + rowHeight / 2);
    const QPoint third(20, 2 + 2 * rowHeight + rowHeight / 2);

    QTest::mouseClick(viewport, Qt::LeftButton, {}, first);
    const TextPosition clicked = m_edit->caretPosition();
    QCOMPARE(clicked.line, 0);
    QVERIFY(clicked.column > 0 && clicked.column < 11);
    QCOMPARE(m_edit->positionAt(first), clicked);

    sendMouse(viewport, QEvent::MouseButtonPress, first, Qt::LeftButton, Qt::LeftButton);
    sendMouse(viewport, QEvent::MouseMove, third, Qt::NoButton, Qt::LeftButton);
    sendMouse(viewport, QEvent::MouseButtonRelease, third, Qt::LeftButton, Qt::NoButton);
    QCOMPARE(m_edit->anchorPosition(), clicked);
    QCOMPARE(m_edit->caretPosition(), m_edit->positionAt(third));
    QCOMPARE(m_edit->caretPosition().line, 2);

    QTest::mouseClick(viewport, Qt::LeftButton, Qt::ShiftModifier, QPoint(5, 2 + rowHeight + rowHeight / 2));
    QCOMPARE(m_edit->anchorPosition(), clicked);
    QCOMPARE(m_edit->caretPosition(), (TextPosition{ 1, 0 }));

    // Past the end of a row's text, and below the last row.
    QTest::mouseClick(viewport, Qt::LeftButton, {}, QPoint(viewport->width() - 3, first.y()));
    QCOMPARE(m_edit->caretPosition(), (TextPosition{ 0, 11 }));
    QTest::mouseClick(viewport, Qt::LeftButton, {}, QPoint(viewport->width() - 3, viewport->height() - 2));
    QCOMPARE(m_edit->caretPosition(), (TextPosition{ 2, 9 }));
}

void TestEditing::dragAboveAndBelowScrolls()
{
    QStringList lines;
    for (int i = 0; i < 100; ++i)
        lines << u"ligne %1"_s.arg(i);
    m_edit->setLines(lines);
    m_edit->setCaretPosition({});
    QWidget *viewport = m_edit->viewport();
    const QPoint start(10, 5);
    const QPoint below(10, viewport->height() + 40);
    const TextPosition pressed = m_edit->positionAt(start);

    sendMouse(viewport, QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
    sendMouse(viewport, QEvent::MouseMove, below, Qt::NoButton, Qt::LeftButton);
    QTRY_VERIFY(m_edit->topRow().line > 10);
    const TextPosition caret = m_edit->caretPosition();
    QVERIFY(caret.line > 10);
    QCOMPARE(m_edit->anchorPosition(), pressed);

    sendMouse(viewport, QEvent::MouseMove, QPoint(10, -40), Qt::NoButton, Qt::LeftButton);
    QTRY_COMPARE(m_edit->topRow(), (TextPosition{ 0, 0 }));
    sendMouse(viewport, QEvent::MouseButtonRelease, QPoint(10, -40), Qt::LeftButton, Qt::NoButton);
    QCOMPARE(m_edit->caretPosition(), pressed);
    const TextPosition top = m_edit->topRow();
    QTest::qWait(150);
    QCOMPARE(m_edit->topRow(), top);
}

void TestEditing::doubleClickSelectsWords()
{
    m_edit->setLoadedText(u"un deux trois"_s);
    QWidget *viewport = m_edit->viewport();
    const int y = 2 + m_edit->fontMetrics().height() / 2;
    const QPoint inDeux(m_edit->fontMetrics().horizontalAdvance(u"un de"_s) + 4, y);
    const QPoint inTrois(m_edit->fontMetrics().horizontalAdvance(u"un deux tr"_s) + 4, y);

    QTest::mouseDClick(viewport, Qt::LeftButton, {}, inDeux);
    QCOMPARE(m_edit->selectedText(), u"deux"_s);

    // The drag that goes on from a double click selects whole words.
    sendMouse(viewport, QEvent::MouseButtonPress, inDeux, Qt::LeftButton, Qt::LeftButton);
    sendMouse(viewport, QEvent::MouseButtonDblClick, inDeux, Qt::LeftButton, Qt::LeftButton);
    sendMouse(viewport, QEvent::MouseMove, inTrois, Qt::NoButton, Qt::LeftButton);
    sendMouse(viewport, QEvent::MouseButtonRelease, inTrois, Qt::LeftButton, Qt::NoButton);
    QCOMPARE(m_edit->selectedText(), u"deux trois"_s);
}

void TestEditing::inputMethod()
{
    m_edit->setLoadedText(u"ab"_s);
    m_edit->setCaretPosition({ 0, 1 });
    QSignalSpy changed(m_edit, &ListEdit::textChanged);

    QInputMethodEvent preedit(u"^"_s, { { QInputMethodEvent::Cursor, 1, 1, {} } });
    QCoreApplication::sendEvent(m_edit, &preedit);
    QCOMPARE(m_edit->text(), u"ab"_s);
    QCOMPARE(changed.count(), 0);
    m_edit->viewport()->repaint();

    QInputMethodEvent commit;
    commit.setCommitString(u"ê"_s);
    QCoreApplication::sendEvent(m_edit, &commit);
    QCOMPARE(m_edit->text(), u"aêb"_s);
    QCOMPARE(m_edit->caretPosition(), (TextPosition{ 0, 2 }));
    QCOMPARE(changed.count(), 1);

    // A compose sequence started over a selection replaces it.
    m_edit->setSelection({ 0, 0 }, { 0, 2 });
    QInputMethodEvent compose(u"'"_s, {});
    QCoreApplication::sendEvent(m_edit, &compose);
    QCOMPARE(m_edit->text(), u"b"_s);
    QInputMethodEvent composed;
    composed.setCommitString(u"é"_s);
    QCoreApplication::sendEvent(m_edit, &composed);
    QCOMPARE(m_edit->text(), u"éb"_s);
    m_edit->undo();
    QCOMPARE(m_edit->text(), u"aêb"_s);
}

void TestEditing::inputMethodQueries()
{
    m_edit->setLoadedText(u"premiere\nbonjour tout le monde"_s);
    m_edit->setSelection({ 1, 3 }, { 1, 7 });
    QCOMPARE(m_edit->inputMethodQuery(Qt::ImEnabled).toBool(), true);
    QCOMPARE(m_edit->inputMethodQuery(Qt::ImSurroundingText).toString(), u"bonjour tout le monde"_s);
    QCOMPARE(m_edit->inputMethodQuery(Qt::ImCursorPosition).toInt(), 7);
    QCOMPARE(m_edit->inputMethodQuery(Qt::ImAnchorPosition).toInt(), 3);
    QCOMPARE(m_edit->inputMethodQuery(Qt::ImCurrentSelection).toString(), u"jour"_s);
    QCOMPARE(m_edit->inputMethodQuery(Qt::ImTextBeforeCursor).toString(), u"bonjour"_s);
    const QRect caret = m_edit->inputMethodQuery(Qt::ImCursorRectangle).toRect();
    QVERIFY(!caret.isEmpty());
    QVERIFY(m_edit->rect().contains(caret));
    QCOMPARE(caret.topLeft(), m_edit->caretRect().topLeft() + m_edit->viewport()->pos());
}

void TestEditing::copyAndCutGiveListText_data()
{
    QTest::addColumn<TextPosition>("from");
    QTest::addColumn<TextPosition>("to");
    QTest::addColumn<QString>("copied");
    QTest::addColumn<QString>("left");

    QTest::newRow("all") << TextPosition{} << TextPosition{ 4, 0 }
                         << u"a\u00a0b\r\nc\u2028d\r\n\r\ne\r\n"_s << QString();
    QTest::newRow("across a break") << TextPosition{ 0, 2 } << TextPosition{ 1, 1 } << u"b\r\nc"_s
                                    << u"a\u00a0\u2028d\n\ne\n"_s;
}

void TestEditing::copyAndCutGiveListText()
{
    QFETCH(TextPosition, from);
    QFETCH(TextPosition, to);
    QFETCH(QString, copied);
    QFETCH(QString, left);

    m_edit->setLoadedText(u"a\u00a0b\nc\u2028d\n\ne\n"_s);
    m_edit->setSelection(from, to);
    press(m_edit, { u"Ctrl+C"_s });
    QCOMPARE(QGuiApplication::clipboard()->text(), copied);
    QCOMPARE(QGuiApplication::clipboard()->mimeData()->formats(),
             (QStringList{ u"text/plain"_s, u"text/plain;charset=utf-8"_s }));

    QGuiApplication::clipboard()->clear();
    press(m_edit, { u"Ctrl+X"_s });
    QCOMPARE(QGuiApplication::clipboard()->text(), copied);
    QCOMPARE(m_edit->text(), left);
    QCOMPARE(m_edit->caretPosition(), from);
    m_edit->undo();
    QCOMPARE(m_edit->selectedText(), QString(copied).replace("\r\n"_L1, "\n"_L1));
}

// Another program reading the clipboard is handed the bytes made at the copy; this one's
// own paste gets the text back, a U+FEFF at its start included, an unpaired surrogate as
// U+FFFD.
void TestEditing::copyHandsOverUtf8()
{
    m_edit->setLoadedText(u"\uFEFF\u00e9\U0001F600\nx"_s + QChar(0xD800));
    press(m_edit, { u"Ctrl+A"_s, u"Ctrl+C"_s });
    const QMimeData *copied = QGuiApplication::clipboard()->mimeData();
    const QByteArray utf8 = "\xEF\xBB\xBF\xC3\xA9\xF0\x9F\x98\x80\r\nx\xEF\xBF\xBD";
    QCOMPARE(copied->data(u"text/plain"_s), utf8);
    QCOMPARE(copied->data(u"text/plain;charset=utf-8"_s), utf8);
    QVERIFY(copied->data(u"text/html"_s).isNull());
    m_edit->setLoadedText(u"-"_s);
    press(m_edit, { u"Ctrl+V"_s });
    QCOMPARE(m_edit->text(), u"\uFEFF\u00e9\U0001F600\nx\uFFFD-"_s);
}

void TestEditing::pasteNormalisesBreaks()
{
    m_edit->setLoadedText(u"[]"_s);
    m_edit->setCaretPosition({ 0, 1 });
    QGuiApplication::clipboard()->setText(u"x\r\ny\rz\n\u0000\u2029"_s);
    press(m_edit, { u"Ctrl+V"_s });
    QCOMPARE(m_edit->text(), u"[x\ny\nz\n \u2029]"_s);
    QCOMPARE(m_edit->lineCount(), 4);
    QCOMPARE(m_edit->caretPosition(), (TextPosition{ 3, 2 }));
    press(m_edit, { u"Ctrl+Z"_s });
    QCOMPARE(m_edit->text(), u"[]"_s);
}

void TestEditing::primarySelection()
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (!clipboard->supportsSelection())
        QSKIP("This platform has no selection clipboard (X11's primary selection).");
    m_edit->setLoadedText(u"un deux\ntrois"_s);
    QWidget *viewport = m_edit->viewport();
    const int y = 2 + m_edit->fontMetrics().height() / 2;
    QTest::mouseDClick(viewport, Qt::LeftButton, {}, QPoint(m_edit->fontMetrics().horizontalAdvance(u"un de"_s) + 4, y));
    QCOMPARE(clipboard->text(QClipboard::Selection), u"deux"_s);
    QTest::mouseClick(viewport, Qt::MiddleButton, {}, QPoint(viewport->width() - 3, y + m_edit->fontMetrics().height()));
    QCOMPARE(m_edit->text(), u"un deux\ntroisdeux"_s);
}

void TestEditing::plainTextDropInsertsAtPoint()
{
    m_edit->setLoadedText(u"abc\ndef"_s);
    QWidget *viewport = m_edit->viewport();
    const QPoint point(4 + m_edit->fontMetrics().horizontalAdvance(u"d"_s), 2 + m_edit->fontMetrics().height() * 3 / 2);
    const TextPosition target = m_edit->positionAt(point);
    QCOMPARE(target, (TextPosition{ 1, 1 }));

    QMimeData dragged;
    dragged.setText(u"X\r\nY"_s);
    QDragEnterEvent enter(point, Qt::CopyAction | Qt::MoveAction, &dragged, Qt::LeftButton, {});
    QCoreApplication::sendEvent(viewport, &enter);
    QVERIFY(enter.isAccepted());
    QDragMoveEvent move(point, Qt::CopyAction | Qt::MoveAction, &dragged, Qt::LeftButton, {});
    QCoreApplication::sendEvent(viewport, &move);
    QVERIFY(move.isAccepted());
    QDropEvent drop(point, Qt::CopyAction | Qt::MoveAction, &dragged, Qt::LeftButton, {});
    QCoreApplication::sendEvent(viewport, &drop);
    QVERIFY(drop.isAccepted());
    QCOMPARE(drop.dropAction(), Qt::CopyAction);
    QCOMPARE(m_edit->text(), u"abc\ndX\nYef"_s);
    QCOMPARE(m_edit->caretPosition(), (TextPosition{ 2, 1 }));
}

void TestEditing::notifications()
{
    QSignalSpy changed(m_edit, &ListEdit::textChanged);
    QSignalSpy selection(m_edit, &ListEdit::selectionChanged);
    QSignalSpy copyAvailable(m_edit, &ListEdit::copyAvailable);
    QSignalSpy undoAvailable(m_edit, &ListEdit::undoAvailable);
    QSignalSpy redoAvailable(m_edit, &ListEdit::redoAvailable);

    press(m_edit, { u"'ab"_s });
    QCOMPARE(changed.count(), 2);
    QCOMPARE(undoAvailable.count(), 1);
    QCOMPARE(undoAvailable.last().at(0).toBool(), true);
    QCOMPARE(selection.count(), 0);

    press(m_edit, { u"Shift+Left"_s, u"Shift+Left"_s });
    QCOMPARE(selection.count(), 2);
    QCOMPARE(copyAvailable.count(), 1);
    QCOMPARE(copyAvailable.last().at(0).toBool(), true);

    press(m_edit, { u"Ctrl+Z"_s });
    QCOMPARE(changed.count(), 3);
    QCOMPARE(undoAvailable.last().at(0).toBool(), false);
    QCOMPARE(redoAvailable.last().at(0).toBool(), true);
    QCOMPARE(copyAvailable.last().at(0).toBool(), false);

    // A load of the text already there changes nothing, so it says nothing.
    m_edit->setLoadedText(QString());
    QCOMPARE(changed.count(), 3);
    m_edit->setLines({ u"x"_s });
    QCOMPARE(changed.count(), 4);
    QCOMPARE(redoAvailable.last().at(0).toBool(), false);
}

void TestEditing::accessibleText()
{
    m_edit->setLoadedText(u"bonjour monde\n\U0001F600 fin\n"_s);
    QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(m_edit);
    QVERIFY(accessible);
    QCOMPARE(accessible->role(), QAccessible::EditableText);
    QVERIFY(accessible->state().multiLine);
    QVERIFY(accessible->state().editable);
    QAccessibleTextInterface *text = accessible->textInterface();
    QVERIFY(text);
    QCOMPARE(text->characterCount(), 21);
    QCOMPARE(text->text(8, 16), u"monde\n\U0001F600"_s);

    text->setCursorPosition(16);
    QCOMPARE(m_edit->caretPosition(), (TextPosition{ 1, 2 }));
    QCOMPARE(text->cursorPosition(), 16);
    // Never inside the pair.
    text->setCursorPosition(15);
    QCOMPARE(text->cursorPosition(), 14);
    text->setSelection(0, 3, 8);
    QCOMPARE(m_edit->selectedText(), u"jour "_s);
    QCOMPARE(text->selectionCount(), 1);
    int start = 0;
    int end = 0;
    text->selection(0, &start, &end);
    QCOMPARE(start, 3);
    QCOMPARE(end, 8);

    QCOMPARE(text->textAtOffset(14, QAccessible::CharBoundary, &start, &end), u"\U0001F600"_s);
    QCOMPARE(start, 14);
    QCOMPARE(end, 16);
    QCOMPARE(text->textAtOffset(10, QAccessible::WordBoundary, &start, &end), u"monde"_s);
    QCOMPARE(start, 8);
    QCOMPARE(text->textAtOffset(2, QAccessible::LineBoundary, &start, &end), u"bonjour monde"_s);
    QCOMPARE(text->textAfterOffset(2, QAccessible::LineBoundary, &start, &end), u"\U0001F600 fin"_s);
    QCOMPARE(start, 14);

    QAccessibleEditableTextInterface *editable = accessible->editableTextInterface();
    QVERIFY(editable);
    editable->insertText(0, u">"_s);
    editable->deleteText(8, 14);
    editable->replaceText(0, 1, u"<<"_s);
    QCOMPARE(m_edit->text(), u"<<bonjour\n\U0001F600 fin\n"_s);
}

void TestEditing::accessibleEvents()
{
    QAccessible::setActive(true);
    if (!QAccessible::isActive())
        QSKIP("This platform has no accessibility bridge; the area sends events only to one.");
    QAccessible::installUpdateHandler(recordAccessibleEvent);
    s_accessibleEvents.clear();
    press(m_edit, { u"'a"_s, u"Backspace"_s, u"Shift+Left"_s });
    m_edit->setLines({ u"x"_s });
    QAccessible::setActive(false);
    QAccessible::installUpdateHandler(nullptr);

    QVERIFY(s_accessibleEvents.contains(QAccessible::TextInserted));
    QVERIFY(s_accessibleEvents.contains(QAccessible::TextRemoved));
    QVERIFY(s_accessibleEvents.contains(QAccessible::TextCaretMoved));
    QVERIFY(s_accessibleEvents.contains(QAccessible::TextUpdated));
}

void TestEditing::wrap_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("pieceLength");

    for (const int width : { 60, 130, 300 }) {
        QTest::addRow("%d px, whole layout", width) << width << 4096;
        QTest::addRow("%d px, in pieces", width) << width << 24;
    }
}

void TestEditing::wrap()
{
    QFETCH(int, width);
    QFETCH(int, pieceLength);

    RowCache::setPieceLength(pieceLength);
    const QString line = u"aa bbb ccccccccccccccccccccccccccccccccccccccc dd eeee f gg hhhhhhh iii "
                         "jjjjjjjjjjjjjjjjjjjjjjjjjjjjjjjjjjjjjjjjjjjjjjjjjjjjjjjjjjjjjjjjj k ll"_s;
    m_edit->resize(width + m_edit->verticalScrollBar()->sizeHint().width() + 12, 150);
    m_edit->setLoadedText(u"avant\n"_s + line + u"\napres"_s);
    const qreal wrapWidth = m_edit->wrapWidth();
    const QFontMetricsF metrics(m_edit->font());

    QString joined;
    const qsizetype rows = m_edit->rowCount(1);
    QVERIFY(rows > 1);
    for (qsizetype row = 0; row < rows; ++row) {
        const QString rowText = m_edit->rowText(1, row);
        QVERIFY(!rowText.isEmpty());
        joined += rowText;
        if (row + 1 == rows)
            break;
        // A row that ends inside a word holds only that word, which does not fit.
        const qsizetype end = joined.size();
        if (line.at(end - 1) != u' ' && line.at(end) != u' ') {
            const qsizetype wordStart = line.lastIndexOf(u' ', end - 1) + 1;
            const qsizetype wordEnd = line.indexOf(u' ', end) < 0 ? line.size() : line.indexOf(u' ', end);
            QVERIFY2(metrics.horizontalAdvance(line.sliced(wordStart, wordEnd - wordStart)) > wrapWidth,
                     qPrintable(rowText));
            QVERIFY(!rowText.contains(u' '));
        } else {
            // The next word did not fit beside this row's text.
            const QString next = line.sliced(end).section(u' ', 0, 0);
            QVERIFY2(metrics.horizontalAdvance(rowText.trimmed() + u' ' + next) > wrapWidth, qPrintable(rowText));
        }
    }
    QCOMPARE(joined, line);
    QCOMPARE(m_edit->rowCount(0), 1);
    QCOMPARE(m_edit->rowText(2, 0), u"apres"_s);
}

// A long line is laid out a piece at a time, and again from a row before an edit; its rows
// must be those of one layout of the whole line, also where a row opens with a combining
// mark, which is shaped and broken with the character before it.
void TestEditing::piecesWrapAsWholeLine_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<int>("width");

    QTest::newRow("a mark after a tab, edited before it")
            << u"a a\t\u0301a@a"_s << QStringList{ u"Home"_s, u"Shift+Right"_s, u"'aaaaaaa"_s } << 10;
    QTest::newRow("marks after blanks and tabs")
            << u"aa \u0301bb \u0301\u0301cc\t\u0308d ee\t\u0301 f"_s.repeated(6) << QStringList{} << 40;
}

void TestEditing::piecesWrapAsWholeLine()
{
    QFETCH(QString, line);
    QFETCH(QStringList, keys);
    QFETCH(int, width);

    m_edit->resize(m_edit->width() + width - qRound(m_edit->wrapWidth()), 150);
    QCOMPARE(m_edit->wrapWidth(), qreal(width));
    for (const qsizetype pieceLength : { 8, 13, 24 }) {
        RowCache::setPieceLength(pieceLength);
        m_edit->setLoadedText(line);
        press(m_edit, keys);
        const QString edited = m_edit->lines().constFirst();
        std::vector<qsizetype> starts;
        for (qsizetype row = 0, start = 0; row < m_edit->rowCount(0); ++row) {
            starts.push_back(start);
            start += m_edit->rowText(0, row).size();
        }
        QCOMPARE(starts, wrapOf(edited, m_edit->font(), width));
    }
}

void TestEditing::scrollBars()
{
    QVERIFY(m_edit->verticalScrollBar()->isVisible());
    QVERIFY(!m_edit->horizontalScrollBar()->isVisible());
    QCOMPARE(m_edit->verticalScrollBar()->maximum(), 0);
    m_edit->setLoadedText(QString(5000, u'x'));
    QVERIFY(m_edit->verticalScrollBar()->isVisible());
    QVERIFY(!m_edit->horizontalScrollBar()->isVisible());
    QVERIFY(m_edit->rowCount(0) > 10);
    QCOMPARE(m_edit->frameShape(), QFrame::StyledPanel);
    QCOMPARE(m_edit->frameShadow(), QFrame::Sunken);
    QCOMPARE(m_edit->viewport()->backgroundRole(), QPalette::Base);

    QStringList lines;
    for (int i = 0; i < 300; ++i)
        lines << u"ligne %1"_s.arg(i);
    m_edit->setLines(lines);
    QScrollBar *bar = m_edit->verticalScrollBar();
    QVERIFY(bar->maximum() > 250);
    QCOMPARE(bar->value(), bar->maximum());
    bar->setValue(100);
    QCOMPARE(m_edit->topRow(), (TextPosition{ 100, 0 }));
    QWheelEvent wheel(QPointF(10, 10), m_edit->viewport()->mapToGlobal(QPointF(10, 10)), QPoint(),
                      QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(m_edit->viewport(), &wheel);
    QCOMPARE(m_edit->topRow(), (TextPosition{ 100 + QApplication::wheelScrollLines(), 0 }));
    QCOMPARE(bar->value(), 100 + QApplication::wheelScrollLines());

    // A view made larger shows rows above instead of empty space below the last row: a
    // list put in while the area was small is seen whole once it is large enough.
    m_edit->resize(220, 40);
    m_edit->setLines({ u"a"_s, u"b"_s, u"c"_s, u"d"_s, u"e"_s });
    QVERIFY(m_edit->topRow().line > 0);
    m_edit->resize(220, 300);
    QCOMPARE(m_edit->topRow(), (TextPosition{ 0, 0 }));
    QCOMPARE(bar->value(), 0);
}

void TestEditing::caretRowTextPerRow()
{
    const QString line = threeRowLine();
    m_edit->setLoadedText(u"debut\n"_s + line + u"\nfin"_s);
    QCOMPARE(m_edit->rowCount(1), 3);

    QStringList rows;
    for (qsizetype row = 0, start = 0; row < 3; start += rows.constLast().size(), ++row) {
        m_edit->setCaretPosition({ 1, start + 1 });
        rows << m_edit->caretRowText();
    }
    QVERIFY(rows.at(1).size() < line.size() / 2);
    QCOMPARE(rows.join(QString()), line);

    // The lower end of a selection counts, whichever end the caret is.
    m_edit->setSelection({ 2, 2 }, { 1, rows.at(0).size() + 1 });
    QCOMPARE(m_edit->caretRowText(), rows.at(1));
}

void TestEditing::caretRowTextEnds()
{
    m_edit->setLoadedText(u"abc\n"_s);
    press(m_edit, { u"Ctrl+End"_s });
    QCOMPARE(m_edit->caretRowText(), QString());
    press(m_edit, { u"Ctrl+Home"_s });
    QCOMPARE(m_edit->caretRowText(), u"abc"_s);

    m_edit->setLoadedText(u"ab\u2028cd\u00a0e"_s);
    QCOMPARE(m_edit->caretRowText(), u"ab"_s);
    press(m_edit, { u"Ctrl+End"_s });
    QCOMPARE(m_edit->caretRowText(), u"cd\u00a0e"_s);

    // One row of 6000 units, on an area wide enough to hold it.
    const QString longRow = QString(3000, u'i') + QString(3000, u'l');
    m_edit->resize(int(QFontMetricsF(m_edit->font()).horizontalAdvance(longRow)) + 100, 150);
    m_edit->setLoadedText(longRow);
    QCOMPARE(m_edit->rowCount(0), 1);
    QCOMPARE(m_edit->caretRowText(), longRow.left(4096));
}

void TestEditing::selectionShownOnlyWithFocus()
{
    m_edit->setLoadedText(u"selection visible"_s);
    const QColor highlight = m_edit->palette().color(QPalette::Active, QPalette::Highlight);
    auto highlighted = [this, highlight] {
        const QImage image = m_edit->viewport()->grab().toImage();
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                if (image.pixelColor(x, y) == highlight)
                    return true;
            }
        }
        return false;
    };
    QVERIFY(!highlighted());
    press(m_edit, { u"Ctrl+A"_s });
    QVERIFY(highlighted());
    m_edit->clearFocus();
    QVERIFY(!m_edit->hasFocus());
    QVERIFY(!highlighted());
    QVERIFY(m_edit->hasSelection());
}

// The window handles the context menu and some keys through filters on the area and
// its viewport: those events must come by the usual way, and the area must not take the
// context menu for itself.
void TestEditing::eventsReachFilters()
{
    struct Recorder : QObject
    {
        QList<QEvent::Type> types;
        bool eventFilter(QObject *, QEvent *event) override
        {
            types.append(event->type());
            return false;
        }
    };
    Recorder onArea;
    Recorder onViewport;
    m_edit->installEventFilter(&onArea);
    m_edit->viewport()->installEventFilter(&onViewport);

    QContextMenuEvent menu(QContextMenuEvent::Mouse, QPoint(5, 5), m_edit->viewport()->mapToGlobal(QPoint(5, 5)));
    QCoreApplication::sendEvent(m_edit->viewport(), &menu);
    QVERIFY(onViewport.types.contains(QEvent::ContextMenu));
    QVERIFY(!menu.isAccepted());

    QTest::keyClick(m_edit, Qt::Key_A, Qt::ControlModifier);
    QVERIFY(onArea.types.contains(QEvent::KeyPress));
    QVERIFY(onArea.types.contains(QEvent::ShortcutOverride));
    QTest::mouseClick(m_edit->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
    QVERIFY(onViewport.types.contains(QEvent::MouseButtonPress));
    QVERIFY(onViewport.types.contains(QEvent::MouseButtonRelease));
}

void TestEditing::sameTextKeepsView()
{
    QString text;
    for (int i = 0; i < 200; ++i)
        text += u"ligne %1\n"_s.arg(i);
    m_edit->setLoadedText(text);
    m_edit->setSelection({ 120, 1 }, { 125, 3 });
    m_edit->verticalScrollBar()->setValue(40);
    const TextPosition top = m_edit->topRow();
    QVERIFY(top.line > 0);

    QSignalSpy changed(m_edit, &ListEdit::textChanged);
    m_edit->setLoadedText(text);
    QCOMPARE(changed.count(), 0);
    QCOMPARE(m_edit->anchorPosition(), (TextPosition{ 120, 1 }));
    QCOMPARE(m_edit->caretPosition(), (TextPosition{ 125, 3 }));
    QCOMPARE(m_edit->topRow(), top);

    m_edit->setLoadedText(text + u"x"_s);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(m_edit->caretPosition(), (TextPosition{ 0, 0 }));
    QCOMPARE(m_edit->topRow(), (TextPosition{ 0, 0 }));
}

void TestEditing::longLineLaidOutLazily()
{
    QString line;
    while (line.size() < 400000)
        line += u"adresse@exemple.fr, "_s;
    m_edit->setLoadedText(line + u"\nfin"_s);
    m_edit->viewport()->repaint();
    QScrollBar *bar = m_edit->verticalScrollBar();
    QVERIFY(bar->maximum() > 1000);

    // The rest of the line's rows are found in the background, as one layout of the
    // whole line wraps it; the scroll bar then counts them exactly.
    const qsizetype rows = wrapOf(line, m_edit->font(), m_edit->wrapWidth()).size();
    QTRY_COMPARE_WITH_TIMEOUT(bar->maximum() + bar->pageStep(), int(rows + 1), 20000);
    QCOMPARE(m_edit->rowCount(0), rows);
    bar->setValue(bar->maximum());
    QCOMPARE(m_edit->topRow().line, 0);
    press(m_edit, { u"Ctrl+End"_s });
    QCOMPARE(m_edit->caretRowText(), u"fin"_s);
    QCOMPARE(m_edit->caretRect().isNull(), false);
    press(m_edit, { u"'!"_s });
    QCOMPARE(m_edit->line(1), u"fin!"_s);
    press(m_edit, { u"Ctrl+Home"_s, u"'<"_s });
    QCOMPARE(m_edit->line(0).size(), line.size() + 1);
    QCOMPARE(m_edit->topRow(), (TextPosition{ 0, 0 }));
}

// Rows far into a long line are laid out from a blank near them, not after every row
// before them; once the rows from the line's start reach them, the view keeps showing
// the same text on rows of the whole line's wrap.
void TestEditing::farRowsOfLongLineShowAtOnce()
{
    RowCache::setFarDistance(4000);
    QString line;
    for (int i = 0; line.size() < 200000; ++i)
        line += u"mot%1 "_s.arg(i % 1000);
    m_edit->setLoadedText(line + u"\nfin"_s);
    press(m_edit, { u"Ctrl+End"_s, u"Up"_s });
    const TextPosition caret = m_edit->caretPosition();
    QCOMPARE(caret.line, 0);
    QVERIFY(caret.column > line.size() - 200);
    QVERIFY(!m_edit->caretRect().isNull());
    QVERIFY(m_edit->topRow().column > line.size() - 5000);

    // Up through the island's start, and a page further.
    for (int i = 0; i < 6; ++i)
        press(m_edit, { u"PgUp"_s });
    const auto [start, end] = m_edit->rowColumns(m_edit->caretPosition());
    QVERIFY(start < end);
    QVERIFY(line.sliced(start, end - start).startsWith(m_edit->caretRowText()));
    const TextPosition top = m_edit->topRow();
    QVERIFY(top.column < caret.column);

    const std::vector<qsizetype> rows = wrapOf(line, m_edit->font(), m_edit->wrapWidth());
    QScrollBar *bar = m_edit->verticalScrollBar();
    QTRY_COMPARE_WITH_TIMEOUT(bar->maximum() + bar->pageStep(), int(rows.size() + 1), 20000);
    QVERIFY(std::binary_search(rows.cbegin(), rows.cend(), m_edit->topRow().column));
    QVERIFY(qAbs(m_edit->topRow().column - top.column) < 200);
    const auto exact = m_edit->rowColumns(m_edit->caretPosition());
    QVERIFY(std::binary_search(rows.cbegin(), rows.cend(), exact.first));
}

QTEST_MAIN(TestEditing)
#include "tst_editing.moc"
