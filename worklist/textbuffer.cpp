#include "worklist/textbuffer.h"

#include "base/utf8.h"

#include <QTextBoundaryFinder>
#include <QThreadPool>

#include <algorithm>
#include <utility>

using namespace Qt::Literals::StringLiterals;

namespace {

// Grapheme and word boundaries are found in a window around the position, so that a
// move in a line of tens of megabytes does not scan the whole line. Clusters and words
// are far shorter than the window.
constexpr qsizetype boundaryWindow = 1024;

struct Window
{
    qsizetype from;
    QStringView text;
};

Window windowAround(QStringView line, qsizetype pos)
{
    if (line.size() <= 4 * boundaryWindow)
        return { 0, line };
    qsizetype from = qMax<qsizetype>(0, pos - boundaryWindow);
    qsizetype to = qMin(line.size(), pos + boundaryWindow);
    if (from > 0 && line.at(from).isLowSurrogate())
        --from;
    if (to < line.size() && line.at(to).isLowSurrogate())
        ++to;
    return { from, line.sliced(from, to - from) };
}

bool insidePair(QStringView line, qsizetype column)
{
    return column > 0 && column < line.size() && line.at(column).isLowSurrogate()
            && line.at(column - 1).isHighSurrogate();
}

// The punctuation that Qt's text widgets stop at when they move by words.
bool isWordSeparator(QChar c)
{
    switch (c.unicode()) {
    case '.': case ',': case '?': case '!': case '@': case '#': case '$': case ':':
    case ';': case '-': case '<': case '>': case '[': case ']': case '(': case ')':
    case '{': case '}': case '=': case '/': case '+': case '%': case '&': case '^':
    case '*': case '\'': case '"': case '`': case '~': case '|': case '\\':
        return true;
    default:
        return false;
    }
}

bool holdsBreak(QStringView text)
{
    return text.contains(u'\n') || text.contains(u'\r');
}

// Freeing a million lines takes tens of milliseconds, which a replacement of the whole
// list need not wait for: a large array that nothing else shares goes to a worker thread.
// When no thread can be had, it is freed here.
void releaseLater(QStringList lines) noexcept
{
    if (lines.size() < 100000)
        return;
    try {
        QThreadPool::globalInstance()->start([lines = std::move(lines)]() mutable { lines = QStringList(); });
    } catch (...) {
    }
}

// Room for one more step, made before anything changes, so that recording the step
// cannot fail once the text has changed.
template <typename Steps>
void reserveStep(Steps &steps)
{
    if (steps.size() == steps.capacity())
        steps.reserve(2 * steps.size() + 8);
}

} // namespace

const QString &TextBuffer::paragraph(qsizetype index) const
{
    static const QString empty;
    return index >= 0 && index < m_lines.size() ? m_lines.at(index) : empty;
}

TextPosition TextBuffer::end() const
{
    const qsizetype last = paragraphCount() - 1;
    return { last, paragraph(last).size() };
}

QString TextBuffer::text() const
{
    QString text = m_lines.join(u'\n');
    if (m_openEnd && !m_lines.isEmpty())
        text += u'\n';
    return text;
}

QString TextBuffer::textWithCrLf() const
{
    QString text = m_lines.join(u"\r\n");
    if (m_openEnd && !m_lines.isEmpty())
        text += u"\r\n";
    return text;
}

QString TextBuffer::normalizedBreaks(QStringView text)
{
    QString result;
    result.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'\r') {
            if (i + 1 < text.size() && text.at(i + 1) == u'\n')
                ++i;
            result += u'\n';
        } else if (c.isNull()) {
            result += u' ';
        } else {
            result += c;
        }
    }
    return result;
}

TextChange TextBuffer::replaceAll(QStringList lines, bool openEnd) noexcept
{
    TextChange change{ true, 0, paragraphCount(), 0, 0, true, {}, {}, {} };
    releaseLater(std::exchange(m_lines, std::move(lines)));
    m_openEnd = openEnd || m_lines.isEmpty();
    change.insertedLines = paragraphCount();
    m_starts.clear();
    m_typingOpen = false;
    return change;
}

QStringList TextBuffer::splitAtBreaks(QStringList lines)
{
    if (std::none_of(lines.cbegin(), lines.cend(), [](const QString &l) { return holdsBreak(l); }))
        return lines;
    QStringList split;
    for (const QString &l : std::as_const(lines))
        split += normalizedBreaks(l).split(u'\n');
    return split;
}

TextChange TextBuffer::setLines(QStringList lines, ReplaceMode mode)
{
    return replaceWhole(std::move(lines), true, CaretAt::End, mode);
}

// Both kinds of whole replacement: the old lines go into the undo step, or are let go
// with the history.
TextChange TextBuffer::replaceWhole(QStringList lines, bool openEnd, CaretAt caret,
                                    ReplaceMode mode)
{
    Step step;
    step.whole = true;
    step.caretBefore = m_caret;
    step.anchorBefore = m_anchor;
    step.otherOpenEnd = m_openEnd;
    const qsizetype before = paragraphCount();
    if (mode == ReplaceMode::Undoable) {
        reserveStep(m_undo);
        step.otherLines = std::move(m_lines);
    }
    TextChange change = replaceAll(std::move(lines), openEnd);
    change.removedLines = before;
    m_caret = m_anchor = caret == CaretAt::End ? end() : TextPosition{};
    if (mode == ReplaceMode::Undoable) {
        step.caretAfter = m_caret;
        step.anchorAfter = m_anchor;
        pushStep(std::move(step));
    } else {
        clearHistory();
    }
    return change;
}

TextChange TextBuffer::loadText(const QString &text)
{
    qsizetype pos = 0;
    bool same = true;
    for (qsizetype i = 0, count = paragraphCount(); i < count && same; ++i) {
        const QString &p = paragraph(i);
        same = text.size() - pos >= p.size() && QStringView(text).sliced(pos, p.size()) == p;
        pos += p.size();
        if (same && i + 1 < count)
            same = pos < text.size() && text.at(pos++) == u'\n';
    }
    if (same && pos == text.size())
        return {};
    return loadParagraphs(text.split(u'\n'));
}

TextChange TextBuffer::loadParagraphs(QStringList paragraphs, ReplaceMode mode)
{
    if (paragraphs.isEmpty())
        paragraphs.append(QString());
    if (paragraphs.size() == paragraphCount()) {
        bool same = true;
        for (qsizetype i = 0; i < paragraphs.size() && same; ++i)
            same = paragraphs.at(i) == paragraph(i);
        if (same)
            return {};
    }
    const bool openEnd = paragraphs.constLast().isEmpty();
    if (openEnd)
        paragraphs.removeLast();
    return replaceWhole(std::move(paragraphs), openEnd, CaretAt::Start, mode);
}

QString TextBuffer::textBetween(TextPosition from, TextPosition to) const
{
    if (from.line == to.line)
        return paragraph(from.line).sliced(from.column, to.column - from.column);
    QString text = paragraph(from.line).sliced(from.column);
    for (qsizetype i = from.line + 1; i < to.line; ++i) {
        text += u'\n';
        text += paragraph(i);
    }
    text += u'\n';
    text += QStringView(paragraph(to.line)).left(to.column);
    return text;
}

QString TextBuffer::selectedText() const
{
    return textBetween(selectionStart(), selectionEnd());
}

QString TextBuffer::selectedTextWithCrLf() const
{
    QString text = selectedText();
    return text.replace(u'\n', "\r\n"_L1);
}

QByteArray TextBuffer::selectedUtf8WithCrLf() const
{
    const TextPosition from = selectionStart();
    const TextPosition to = selectionEnd();
    const auto piece = [&](qsizetype line) {
        QStringView text = paragraph(line);
        if (line == to.line)
            text = text.first(to.column);
        return line == from.line ? text.sliced(from.column) : text;
    };
    qsizetype size = 2 * (to.line - from.line);
    for (qsizetype line = from.line; line <= to.line; ++line)
        size += utf8Size(piece(line));
    QByteArray bytes(size, Qt::Uninitialized);
    char *out = bytes.data();
    for (qsizetype line = from.line; line <= to.line; ++line) {
        if (line > from.line) {
            *out++ = '\r';
            *out++ = '\n';
        }
        out = encodeUtf8(piece(line), out);
    }
    return bytes;
}

TextPosition TextBuffer::snapped(TextPosition position) const
{
    if (insidePair(paragraph(position.line), position.column))
        --position.column;
    return position;
}

TextPosition TextBuffer::clamped(TextPosition position) const
{
    position.line = std::clamp<qsizetype>(position.line, 0, paragraphCount() - 1);
    position.column = std::clamp<qsizetype>(position.column, 0, paragraph(position.line).size());
    return snapped(position);
}

void TextBuffer::setCaret(TextPosition position, bool keepAnchor)
{
    m_caret = clamped(position);
    if (!keepAnchor)
        m_anchor = m_caret;
    m_typingOpen = false;
}

void TextBuffer::setSelection(TextPosition anchor, TextPosition caret)
{
    m_anchor = clamped(anchor);
    m_caret = clamped(caret);
    m_typingOpen = false;
}

void TextBuffer::selectAll()
{
    setSelection({}, end());
}

TextPosition TextBuffer::nextCharacter(TextPosition position) const
{
    const QString &line = paragraph(position.line);
    if (position.column >= line.size()) {
        if (position.line + 1 < paragraphCount())
            return { position.line + 1, 0 };
        return position;
    }
    const Window window = windowAround(line, position.column);
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, window.text);
    finder.setPosition(position.column - window.from);
    const qsizetype next = finder.toNextBoundary();
    return snapped({ position.line, next < 0 ? window.from + window.text.size() : window.from + next });
}

TextPosition TextBuffer::previousCharacter(TextPosition position) const
{
    if (position.column <= 0) {
        if (position.line > 0)
            return { position.line - 1, paragraph(position.line - 1).size() };
        return position;
    }
    const Window window = windowAround(paragraph(position.line), position.column);
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, window.text);
    finder.setPosition(position.column - window.from);
    const qsizetype previous = finder.toPreviousBoundary();
    return snapped({ position.line, previous < 0 ? window.from : window.from + previous });
}

TextPosition TextBuffer::nextWord(TextPosition position) const
{
    const QString &line = paragraph(position.line);
    qsizetype pos = position.column;
    const qsizetype len = line.size();
    if (pos >= len)
        return position.line + 1 < paragraphCount() ? TextPosition{ position.line + 1, 0 } : position;
    if (isWordSeparator(line.at(pos))) {
        while (pos < len && isWordSeparator(line.at(pos)))
            ++pos;
    } else {
        while (pos < len && !line.at(pos).isSpace() && !isWordSeparator(line.at(pos)))
            ++pos;
    }
    while (pos < len && line.at(pos).isSpace())
        ++pos;
    return { position.line, pos };
}

TextPosition TextBuffer::previousWord(TextPosition position) const
{
    if (position.column <= 0)
        return position.line > 0 ? TextPosition{ position.line - 1, paragraph(position.line - 1).size() }
                                 : position;
    const QString &line = paragraph(position.line);
    qsizetype pos = position.column;
    while (pos > 0 && line.at(pos - 1).isSpace())
        --pos;
    if (pos > 0 && isWordSeparator(line.at(pos - 1))) {
        while (pos > 0 && isWordSeparator(line.at(pos - 1)))
            --pos;
    } else {
        while (pos > 0 && !line.at(pos - 1).isSpace() && !isWordSeparator(line.at(pos - 1)))
            --pos;
    }
    return { position.line, pos };
}

std::pair<TextPosition, TextPosition> TextBuffer::wordAt(TextPosition position) const
{
    const QString &line = paragraph(position.line);
    if (line.isEmpty())
        return { position, position };
    const qsizetype probe = qMin(position.column, line.size() - 1);
    const Window window = windowAround(line, probe);
    QTextBoundaryFinder finder(QTextBoundaryFinder::Word, window.text);
    finder.setPosition(probe - window.from + 1);
    qsizetype start = finder.toPreviousBoundary();
    finder.setPosition(probe - window.from);
    qsizetype end = finder.toNextBoundary();
    start = start < 0 ? window.from : window.from + start;
    end = end < 0 ? window.from + window.text.size() : window.from + end;
    return { snapped({ position.line, start }), snapped({ position.line, end }) };
}

TextPosition TextBuffer::positionAfter(TextPosition start, QStringView text) const
{
    const qsizetype lastBreak = text.lastIndexOf(u'\n');
    if (lastBreak < 0)
        return { start.line, start.column + text.size() };
    return { start.line + text.count(u'\n'), text.size() - lastBreak - 1 };
}

void TextBuffer::linesChangedFrom(qsizetype line) const
{
    if (qsizetype(m_starts.size()) > line + 1)
        m_starts.resize(line + 1);
}

// Everything the new text needs is made before the lines change, and of the changes to
// the array only its growth can fail, which comes first or is undone: an edit that runs
// out of memory leaves the text as it was.
TextChange TextBuffer::replaceRange(TextPosition from, TextPosition to, const QString &text)
{
    TextChange change{ true, from.line, to.line - from.line + 1, 1, from.column, false, from,
                       textBetween(from, to), text };
    m_lines.detach();
    const qsizetype count = m_lines.size();
    const bool reachesEnd = to.line == paragraphCount() - 1;
    const qsizetype first = from.line;

    if (from.line == to.line && !text.contains(u'\n')) {
        if (first < count) {
            QString &line = m_lines[first];
            line.replace(from.column, to.column - from.column, text);
            // An empty last line is the empty paragraph after the lines.
            if (reachesEnd && line.isEmpty()) {
                m_lines.removeLast();
                m_openEnd = true;
            }
        } else if (!text.isEmpty()) {
            m_lines.append(text);
            m_openEnd = false;
        }
        linesChangedFrom(first);
        return change;
    }

    // The first paragraph keeps its text before from and gets the first piece; the others
    // are the pieces that follow, the last of them with the text after to.
    const QList<QStringView> pieces = QStringView(text).split(u'\n');
    change.insertedLines = pieces.size();
    const QString tail = paragraph(to.line).sliced(to.column);
    QStringList following;
    following.reserve(pieces.size() - 1);
    for (qsizetype k = 1; k < pieces.size(); ++k)
        following.append(pieces.at(k).toString());
    QString firstText = pieces.constFirst().toString();
    if (following.isEmpty())
        firstText += tail;
    else
        following.last() += tail;

    bool openEnd = m_openEnd;
    bool keepFirst = true;
    if (reachesEnd) {
        openEnd = following.isEmpty() ? from.column == 0 && firstText.isEmpty()
                                      : following.constLast().isEmpty();
        if (openEnd && !following.isEmpty())
            following.removeLast();
        else if (openEnd)
            keepFirst = false;
    }

    if (first == count) {
        // The empty paragraph after the lines, which has no entry of its own.
        if (keepFirst)
            following.prepend(firstText);
        m_lines.append(std::move(following));
    } else if (!keepFirst) {
        m_lines.remove(first, qMin(to.line + 1, count) - first);
    } else {
        const qsizetype old = qMin(to.line + 1, count) - first - 1;
        const qsizetype added = following.size();
        if (added > old) {
            m_lines.insert(first + 1 + old, added - old, QString());
            try {
                QString &line = m_lines[first];
                line.replace(from.column, line.size() - from.column, firstText);
            } catch (...) {
                m_lines.remove(first + 1 + old, added - old);
                throw;
            }
        } else {
            QString &line = m_lines[first];
            line.replace(from.column, line.size() - from.column, firstText);
            m_lines.remove(first + 1 + added, old - added);
        }
        for (qsizetype k = 0; k < added; ++k)
            m_lines[first + 1 + k] = std::move(following[k]);
    }
    m_openEnd = openEnd || m_lines.isEmpty();
    linesChangedFrom(first);
    return change;
}

// A whole replacement keeps a whole array alive, which for a large list is as much memory
// again: the history holds the latest one only, and lets go of every step up to the one
// before it. The room for the step was reserved, so nothing here fails.
void TextBuffer::pushStep(Step step) noexcept
{
    for (Step &undone : m_redo)
        releaseLater(std::move(undone.otherLines));
    m_redo.clear();
    if (step.whole) {
        const auto previous = std::find_if(m_undo.rbegin(), m_undo.rend(),
                                           [](const Step &s) { return s.whole; });
        if (previous != m_undo.rend()) {
            const auto cut = previous.base();
            for (auto it = m_undo.begin(); it != cut; ++it)
                releaseLater(std::move(it->otherLines));
            m_undo.erase(m_undo.begin(), cut);
        }
    }
    m_undo.push_back(std::move(step));
}

// Typed text that goes on from the text typed just before it joins that step; its text is
// extended before the lines change, and shortened again if they cannot.
TextChange TextBuffer::edit(TextPosition from, TextPosition to, const QString &normalized,
                            bool typing)
{
    const bool hasBreak = normalized.contains(u'\n');
    const bool merges = typing && m_typingOpen && !m_undo.empty() && m_undo.back().typing
            && from == to && !hasBreak
            && positionAfter(m_undo.back().start, m_undo.back().inserted) == from;
    Step step;
    step.typing = typing;
    step.caretBefore = m_caret;
    step.anchorBefore = m_anchor;
    step.start = from;
    TextChange change;
    if (merges) {
        QString &typed = m_undo.back().inserted;
        typed += normalized;
        try {
            change = replaceRange(from, to, normalized);
        } catch (...) {
            typed.chop(normalized.size());
            throw;
        }
    } else {
        reserveStep(m_undo);
        change = replaceRange(from, to, normalized);
    }
    m_caret = m_anchor = snapped(positionAfter(from, normalized));
    if (merges) {
        Step &last = m_undo.back();
        last.caretAfter = last.anchorAfter = m_caret;
        m_redo.clear();
    } else {
        step.removed = change.removed;
        step.inserted = change.inserted;
        step.caretAfter = step.anchorAfter = m_caret;
        pushStep(std::move(step));
    }
    m_typingOpen = typing && !hasBreak;
    return change;
}

TextChange TextBuffer::insert(QStringView text, InsertKind kind)
{
    if (text.isEmpty() && !hasSelection())
        return {};
    const QString normalized = normalizedBreaks(text);
    return edit(selectionStart(), selectionEnd(), normalized, kind == InsertKind::Typing);
}

TextChange TextBuffer::removeSelection()
{
    if (!hasSelection())
        return {};
    return edit(selectionStart(), selectionEnd(), QString(), false);
}

TextChange TextBuffer::deleteBackward()
{
    if (hasSelection())
        return removeSelection();
    if (m_caret == TextPosition{})
        return {};
    TextPosition from = m_caret;
    if (from.column == 0) {
        from = { from.line - 1, paragraph(from.line - 1).size() };
    } else {
        const QString &line = paragraph(from.line);
        --from.column;
        if (from.column > 0 && line.at(from.column).isLowSurrogate()
            && line.at(from.column - 1).isHighSurrogate())
            --from.column;
    }
    return edit(from, m_caret, QString(), false);
}

TextChange TextBuffer::deleteForward()
{
    if (hasSelection())
        return removeSelection();
    const TextPosition to = nextCharacter(m_caret);
    if (to == m_caret)
        return {};
    return edit(m_caret, to, QString(), false);
}

TextChange TextBuffer::deleteWordBackward()
{
    if (hasSelection())
        return removeSelection();
    const TextPosition from = previousWord(m_caret);
    if (from == m_caret)
        return {};
    return edit(from, m_caret, QString(), false);
}

TextChange TextBuffer::deleteWordForward()
{
    if (hasSelection())
        return removeSelection();
    const TextPosition to = nextWord(m_caret);
    if (to == m_caret)
        return {};
    return edit(m_caret, to, QString(), false);
}

// The step moves to the other stack only once its change is done.
TextChange TextBuffer::undo()
{
    if (m_undo.empty())
        return {};
    reserveStep(m_redo);
    Step &step = m_undo.back();
    const TextChange change = step.whole
            ? swapLines(step)
            : replaceRange(step.start, positionAfter(step.start, step.inserted), step.removed);
    m_caret = step.caretBefore;
    m_anchor = step.anchorBefore;
    m_typingOpen = false;
    m_redo.push_back(std::move(step));
    m_undo.pop_back();
    return change;
}

// Moving the arrays keeps each version unshared, so that the next edit copies nothing.
TextChange TextBuffer::swapLines(Step &step) noexcept
{
    const qsizetype before = paragraphCount();
    QStringList current = std::move(m_lines);
    const bool openEnd = m_openEnd;
    TextChange change = replaceAll(std::move(step.otherLines), step.otherOpenEnd);
    change.removedLines = before;
    step.otherLines = std::move(current);
    step.otherOpenEnd = openEnd;
    return change;
}

TextChange TextBuffer::redo()
{
    if (m_redo.empty())
        return {};
    reserveStep(m_undo);
    Step &step = m_redo.back();
    const TextChange change = step.whole
            ? swapLines(step)
            : replaceRange(step.start, positionAfter(step.start, step.removed), step.inserted);
    m_caret = step.caretAfter;
    m_anchor = step.anchorAfter;
    m_typingOpen = false;
    m_undo.push_back(std::move(step));
    m_redo.pop_back();
    return change;
}

void TextBuffer::clearHistory()
{
    for (std::vector<Step> *steps : { &m_undo, &m_redo }) {
        for (Step &step : *steps)
            releaseLater(std::move(step.otherLines));
        steps->clear();
    }
    m_typingOpen = false;
}

qsizetype TextBuffer::offsetOf(TextPosition position) const
{
    if (m_starts.empty())
        m_starts.push_back(0);
    while (qsizetype(m_starts.size()) <= position.line) {
        const qsizetype i = m_starts.size() - 1;
        m_starts.push_back(m_starts.back() + paragraph(i).size() + 1);
    }
    return m_starts.at(position.line) + position.column;
}

qsizetype TextBuffer::characterCount() const
{
    return offsetOf(end());
}

TextPosition TextBuffer::positionAt(qsizetype offset) const
{
    const qsizetype total = characterCount();
    offset = std::clamp<qsizetype>(offset, 0, total);
    const auto it = std::upper_bound(m_starts.cbegin(), m_starts.cend(), offset);
    const qsizetype line = (it - m_starts.cbegin()) - 1;
    return clamped({ line, offset - m_starts.at(line) });
}
