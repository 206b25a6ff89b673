#include "extract/addressextractor.h"

#include "base/utf8.h"
#include "base/windows1252.h"
#include "extract/addresscleaner.h"
#include "extract/addressscanner.h"
#include "extract/addressset.h"
#include "extract/shardedaddressset.h"
#include "worklist/linesort.h"
#include "base/orderedwork.h"

#include <QtEndian>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

namespace {

constexpr qsizetype defaultPieceSize = qsizetype(1) << 20;
// Each thread holds a piece of a stream: the count also bounds the memory it takes.
constexpr int maxThreadCount = 8;

bool isUtf8(TextEncoding encoding)
{
    return encoding == TextEncoding::System || encoding == TextEncoding::Utf8;
}

// Whether [begin, end) is all ASCII. Every field kept passes here: 16 bytes at a time
// with overlapping reads for the rest, a word or two for a short field.
bool isAscii(const uchar *begin, const uchar *end)
{
    const qsizetype size = end - begin;
#ifdef __SSE2__
    if (size >= 16) {
        const auto highBits = [](const uchar *p) {
            return _mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i *>(p)));
        };
        int bits = highBits(end - 16);
        for (const uchar *p = begin; end - p > 16; p += 16)
            bits |= highBits(p);
        return !bits;
    }
#endif
    const auto highBitsIn = [](const uchar *p, size_t size) {
        quint64 word = 0;
        std::memcpy(&word, p, size);
        return word & 0x8080808080808080ull;
    };
    if (size >= 8) {
        quint64 bits = highBitsIn(end - 8, 8);
        for (const uchar *p = begin; end - p > 8; p += 8)
            bits |= highBitsIn(p, 8);
        return !bits;
    }
    if (size >= 4)
        return !(highBitsIn(begin, 4) | highBitsIn(end - 4, 4));
    return !(size > 0 && ((begin[0] | end[-1] | begin[size / 2]) & 0x80));
}

QString unquote(QString field, FieldForm form)
{
    if (form == FieldForm::QuotedWithDoubledQuotes)
        field.replace(QStringLiteral("\"\""), QStringLiteral("\""));
    return field;
}

// Decodes the bytes of one field exactly as they decode within the whole text. Ill-formed
// bytes give one replacement character each wherever they stand, so a field that starts
// and ends next to ASCII bytes decodes alike on its own, a U+FEFF at its start included.
QString decodeField(const uchar *begin, const uchar *end, FieldForm form)
{
    const QByteArrayView bytes(begin, end);
    QString field = decodeUtf8(bytes);
    if (form != FieldForm::Plain && bytes.contains('\0'))
        field.replace(QChar(0), QChar(u' '));
    return unquote(std::move(field), form);
}

// Room for units that is not cleared when it grows.
template <typename Unit>
class UnitBuffer
{
public:
    Unit *data() { return m_units.get(); }
    const Unit *data() const { return m_units.get(); }
    Unit *end() { return m_units.get() + m_size; }
    qsizetype size() const { return m_size; }
    bool isEmpty() const { return m_size == 0; }

    void reserve(qsizetype capacity)
    {
        if (capacity <= m_capacity)
            return;
        capacity = qMax(capacity, m_capacity + m_capacity / 2);
        auto units = std::make_unique_for_overwrite<Unit[]>(size_t(capacity));
        if (m_size > 0)
            std::copy_n(m_units.get(), m_size, units.get());
        m_units = std::move(units);
        m_capacity = capacity;
    }
    void resize(qsizetype size)
    {
        reserve(size);
        m_size = size;
    }
    void append(const Unit *from, qsizetype count)
    {
        reserve(m_size + count);
        if (count > 0)
            std::copy_n(from, count, m_units.get() + m_size);
        m_size += count;
    }
    void append(Unit unit)
    {
        reserve(m_size + 1);
        m_units[size_t(m_size++)] = unit;
    }
    void assign(const Unit *from, qsizetype count)
    {
        m_size = 0;
        append(from, count);
    }
    void clear() { m_size = 0; }

private:
    std::unique_ptr<Unit[]> m_units;
    qsizetype m_size = 0;
    qsizetype m_capacity = 0;
};

using ByteBuffer = UnitBuffer<char>;

// Well-formed UTF-8 bytes are their own encoding; only the zero bytes, which the text holds
// as spaces, and the doubled quotes need rewriting, and only a quoted field holds them.
void appendFieldUtf8(ByteBuffer &out, const uchar *begin, const uchar *end, FieldForm form)
{
    const QByteArrayView bytes(begin, end);
    if (!isAscii(begin, end) && !bytes.isValidUtf8()) {
        const QByteArray utf8 = decodeField(begin, end, form).toUtf8();
        out.append(utf8.constData(), utf8.size());
    } else if (form == FieldForm::Plain || (form == FieldForm::Quoted && !bytes.contains('\0'))) {
        out.append(bytes.data(), bytes.size());
    } else {
        for (const uchar *p = begin; p < end; ++p) {
            if (*p == 0)
                out.append(' ');
            else if (*p != '"' || form != FieldForm::QuotedWithDoubledQuotes)
                out.append(char(*p));
            else
                out.append(char(*p++));
        }
    }
    out.append('\n');
}

// The addresses of a piece as text, as UTF-8 lines, or as the units of one text that holds
// them all, each ending where the next begins.
enum class Output { Texts, Lines, Units };

// What one piece gives and, when only the first of equal addresses stays, the key and its
// hash for each address and whether it is the first of its address; the piece's number in
// the order of the text.
struct FoundAddresses
{
    quint32 piece = 0;
    QStringList texts;
    ByteBuffer lines;
    std::vector<qsizetype> lineEnds;
    QString units;
    std::vector<qsizetype> unitEnds;
    QByteArray keys;
    std::vector<qsizetype> keyEnds;
    std::vector<quint64> hashes;
    std::vector<uchar> firsts;
    std::vector<quint32> order;

    // Keeps the room taken, for the next piece.
    void clear()
    {
        texts.clear();
        lines.clear();
        lineEnds.clear();
        units.truncate(0);
        unitEnds.clear();
        keys.truncate(0);
        keyEnds.clear();
        hashes.clear();
        firsts.clear();
    }
};

// Receives the fields of a piece from the scanner and keeps what the options leave of
// them. An ASCII field is cleaned as it stands; any other is decoded first.
class FieldCollector
{
public:
    FieldCollector(const ExtractionOptions &options, Output output, FoundAddresses &found)
        : m_options(options), m_output(output), m_found(found)
    {
    }

    void operator()(const uchar *begin, const uchar *end, FieldForm form)
    {
        if (m_options.clean) {
            // A zero byte, which the text holds as a space, ends an address as a space does.
            const QByteArrayView bytes(begin, end);
            if (form != FieldForm::QuotedWithDoubledQuotes && (isAscii(begin, end) || bytes.isValidUtf8())) {
                for (const QByteArrayView address : m_utf8Cleaner.addressesIn(bytes))
                    addUtf8(address);
            } else {
                const QString field = decodeField(begin, end, form);
                for (const QStringView address : m_textCleaner.addressesIn(field))
                    addAddress(address);
            }
        } else if (m_output == Output::Lines) {
            const qsizetype start = m_found.lines.size();
            appendFieldUtf8(m_found.lines, begin, end, form);
            lineAdded(start);
        } else if (form == FieldForm::Plain && isAscii(begin, end)) {
            addAscii(QByteArrayView(begin, end));
        } else {
            addAddress(decodeField(begin, end, form));
        }
    }

    void operator()(const char16_t *begin, const char16_t *end, FieldForm form)
    {
        if (!m_options.clean) {
            addAddress(unquote(QStringView(begin, end).toString(), form));
            return;
        }
        QStringView field(begin, end);
        QString unquoted;
        if (form == FieldForm::QuotedWithDoubledQuotes) {
            unquoted = unquote(field.toString(), form);
            field = unquoted;
        }
        for (const QStringView address : m_textCleaner.addressesIn(field))
            addAddress(address);
    }

private:
    void addAscii(QByteArrayView address)
    {
        switch (m_output) {
        case Output::Lines:
            addLine(address);
            break;
        case Output::Texts:
            addText(QString::fromLatin1(address));
            break;
        case Output::Units: {
            const qsizetype start = m_found.units.size();
            m_found.units.resize(start + address.size());
            char16_t *units = reinterpret_cast<char16_t *>(m_found.units.data()) + start;
            for (const char byte : address)
                *units++ = char16_t(uchar(byte));
            unitsAdded(start);
            break;
        }
        }
    }

    // An address in well-formed UTF-8.
    void addUtf8(QByteArrayView address)
    {
        if (m_output == Output::Lines)
            addLine(address);
        else if (isAscii(reinterpret_cast<const uchar *>(address.data()),
                         reinterpret_cast<const uchar *>(address.data() + address.size())))
            addAscii(address);
        else
            addAddress(QString::fromUtf8(address));
    }

    void addAddress(QStringView address)
    {
        switch (m_output) {
        case Output::Lines:
            addLine(address.toUtf8());
            break;
        case Output::Texts:
            addText(address.toString());
            break;
        case Output::Units: {
            const qsizetype start = m_found.units.size();
            m_found.units += address;
            unitsAdded(start);
            break;
        }
        }
    }

    void addAddress(QString &&address)
    {
        if (m_output == Output::Texts)
            addText(std::move(address));
        else
            addAddress(QStringView(address));
    }

    void addLine(QByteArrayView bytes)
    {
        const qsizetype start = m_found.lines.size();
        m_found.lines.append(bytes.data(), bytes.size());
        m_found.lines.append('\n');
        lineAdded(start);
    }

    void lineAdded(qsizetype start)
    {
        if (!m_options.unique)
            return;
        m_found.lineEnds.push_back(m_found.lines.size());
        addKey(QByteArrayView(m_found.lines.data() + start, m_found.lines.size() - 1 - start));
    }

    void unitsAdded(qsizetype start)
    {
        m_found.unitEnds.push_back(m_found.units.size());
        if (m_options.unique)
            addKey(QStringView(m_found.units).sliced(start));
    }

    void addText(QString text)
    {
        if (m_options.unique)
            addKey(QStringView(text));
        m_found.texts.append(std::move(text));
    }

    template <typename Address>
    void addKey(Address address)
    {
        const qsizetype keyStart = m_found.keys.size();
        AddressSet::appendKey(address, m_found.keys);
        m_found.keyEnds.push_back(m_found.keys.size());
        m_found.hashes.push_back(AddressSet::hash(QByteArrayView(m_found.keys).sliced(keyStart)));
    }

    const ExtractionOptions &m_options;
    const Output m_output;
    FoundAddresses &m_found;
    AddressCleaner<QByteArrayView> m_utf8Cleaner;
    AddressCleaner<QStringView> m_textCleaner;
};

// Leaves in found only the addresses marked as the first ones of their addresses.
void keepFirstOnes(FoundAddresses &found, Output output)
{
    qsizetype itemBegin = 0;
    qsizetype kept = 0;
    qsizetype keptItems = 0;
    char *lines = found.lines.data();
    char16_t *units = output == Output::Units ? reinterpret_cast<char16_t *>(found.units.data()) : nullptr;
    for (size_t i = 0; i < found.firsts.size(); ++i) {
        const bool first = found.firsts[i];
        switch (output) {
        case Output::Texts:
            if (first)
                found.texts[kept++] = std::move(found.texts[qsizetype(i)]);
            break;
        case Output::Lines:
            if (first) {
                std::memmove(lines + kept, lines + itemBegin, size_t(found.lineEnds[i] - itemBegin));
                kept += found.lineEnds[i] - itemBegin;
            }
            itemBegin = found.lineEnds[i];
            break;
        case Output::Units: {
            const qsizetype itemEnd = found.unitEnds[i];
            if (first) {
                std::memmove(units + kept, units + itemBegin, size_t(itemEnd - itemBegin) * sizeof(char16_t));
                kept += itemEnd - itemBegin;
                found.unitEnds[size_t(keptItems++)] = kept;
            }
            itemBegin = itemEnd;
            break;
        }
        }
    }
    switch (output) {
    case Output::Texts:
        found.texts.resize(kept);
        break;
    case Output::Lines:
        found.lines.resize(kept);
        break;
    case Output::Units:
        found.units.truncate(kept);
        found.unitEnds.resize(size_t(keptItems));
        break;
    }
}

// How the work is cut and what is kept.
struct Plan
{
    ExtractionOptions options;
    qsizetype pieceSize;
    int threadCount;
};

// The steps every job shares: a piece's fields are collected and its first addresses
// marked on its own thread; the pieces are numbered as they are settled, in order.
template <typename Text, typename Piece, typename Deliver>
class ScanSteps
{
public:
    ScanSteps(const Plan &plan, Output output, Deliver &deliver)
        : m_plan(plan), m_output(output), m_deliver(deliver)
    {
    }

    // Every piece settled reaches work(), which passes its number on in the set even when
    // it fails: the pieces after it wait there for it.
    void work(Piece &piece)
    {
        FoundAddresses &found = piece.found;
        found.clear();
        try {
            FieldCollector collect(m_plan.options, m_output, found);
            if (m_plan.options.clean)
                AddressScanner<WithHiddenAtSigns<Text>>::scan(piece.begin(), piece.end(), collect);
            else
                AddressScanner<Text>::scan(piece.begin(), piece.end(), collect);
        } catch (...) {
            if (m_plan.options.unique)
                m_seen.skip(found.piece);
            throw;
        }
        if (m_plan.options.unique)
            m_seen.markFirstOnes(found.piece, found.keys, found.keyEnds, found.hashes, found.firsts, found.order);
    }

    void handOn(Piece &piece)
    {
        if (m_plan.options.unique)
            keepFirstOnes(piece.found, m_output);
        m_deliver(piece.found);
    }

protected:
    void number(Piece &piece) { piece.found.piece = m_settled++; }

    const Plan &m_plan;

private:
    const Output m_output;
    Deliver &m_deliver;
    quint32 m_settled = 0;
    ShardedAddressSet m_seen;
};

template <typename Unit>
struct MemoryPiece
{
    const Unit *from = nullptr;
    const Unit *to = nullptr;
    FoundAddresses found;

    const Unit *begin() const { return from; }
    const Unit *end() const { return to; }
};

// A text held in memory, cut after the first line break past each pieceSize units.
template <typename Text, typename Deliver>
class MemoryJob : public ScanSteps<Text, MemoryPiece<typename Text::Unit>, Deliver>
{
public:
    using Unit = typename Text::Unit;
    using Piece = MemoryPiece<Unit>;

    MemoryJob(const Plan &plan, const Unit *text, qsizetype size, Output output,
              Deliver &deliver, const Progress &progress)
        : ScanSteps<Text, Piece, Deliver>(plan, output, deliver),
          m_text(text), m_textEnd(text + size), m_next(text), m_progress(progress)
    {
    }

    bool take(Piece &piece)
    {
        if (m_next == m_textEnd)
            return false;
        piece.from = m_next;
        piece.to = m_textEnd - m_next > this->m_plan.pieceSize
                ? Text::nextLineStart(m_next + this->m_plan.pieceSize, m_textEnd)
                : m_textEnd;
        m_next = piece.to;
        return true;
    }
    void fetch(Piece &) { }
    void settle(Piece &piece) { this->number(piece); }
    void handOn(Piece &piece)
    {
        ScanSteps<Text, Piece, Deliver>::handOn(piece);
        m_handedOn = piece.to - m_text;
    }
    void afterPiece() { reportProgress(m_progress, m_handedOn, m_textEnd - m_text); }

private:
    const Unit *const m_text;
    const Unit *const m_textEnd;
    const Unit *m_next;
    const Progress &m_progress;
    std::atomic<qsizetype> m_handedOn = 0;
};

// The units of a UTF-8 input are its bytes.
struct Utf8Units
{
    using Unit = uchar;
    static constexpr bool readsAtOffsets = true;

    qsizetype read(TextInput &input, uchar *units, qsizetype room)
    {
        return input.read(reinterpret_cast<char *>(units), room);
    }
    static qsizetype readAt(TextInput &input, uchar *units, qsizetype room, qint64 offset, QByteArray &)
    {
        return input.readAt(reinterpret_cast<char *>(units), room, offset);
    }
};

// The units of a UTF-16 input, with each CR a line break and each U+0000 a space, as
// decodeText() gives them; a CR LF cut there gives one empty line more, which holds no
// field. An odd last byte is left out, as there.
class Utf16Units
{
public:
    using Unit = char16_t;
    static constexpr bool readsAtOffsets = true;

    explicit Utf16Units(bool bigEndian) : m_bigEndian(bigEndian) { }

    qsizetype read(TextInput &input, char16_t *units, qsizetype room)
    {
        m_bytes.resize(2 * room);
        qsizetype size = 0;
        if (m_hasOddByte) {
            m_bytes[0] = m_oddByte;
            size = 1;
            m_hasOddByte = false;
        }
        while (size < 2) {
            const qsizetype count = input.read(m_bytes.data() + size, m_bytes.size() - size);
            if (count == 0)
                return 0;
            size += count;
        }
        if (size % 2) {
            m_oddByte = m_bytes[size - 1];
            m_hasOddByte = true;
        }
        return convert(m_bytes.constData(), size / 2, units);
    }

    qsizetype readAt(TextInput &input, char16_t *units, qsizetype room, qint64 offset,
                     QByteArray &bytes) const
    {
        bytes.resize(2 * room);
        const qsizetype size = input.readAt(bytes.data(), bytes.size(), 2 * offset);
        return convert(bytes.constData(), size / 2, units);
    }

private:
    qsizetype convert(const char *bytes, qsizetype count, char16_t *units) const
    {
        if (m_bigEndian)
            qFromBigEndian<char16_t>(bytes, count, units);
        else
            qFromLittleEndian<char16_t>(bytes, count, units);
        for (char16_t *u = units; u < units + count; ++u) {
            if (*u == u'\r')
                *u = u'\n';
            else if (*u == 0)
                *u = u' ';
        }
        return count;
    }

    bool m_bigEndian;
    QByteArray m_bytes;
    char m_oddByte = 0;
    bool m_hasOddByte = false;
};

// The units of a Windows-1252 input, which may hold UTF-8 sequences too: its bytes made
// UTF-8 as they are read (mixedTextToUtf8()), a sequence that a read cuts completed by the
// next. Their UTF-8 is longer than the bytes, so such an input is read in order, never at
// an offset.
class MixedTextUnits
{
public:
    using Unit = uchar;
    static constexpr bool readsAtOffsets = false;

    qsizetype read(TextInput &input, uchar *units, qsizetype room)
    {
        while (m_handedOut == m_utf8.size()) {
            if (m_ended)
                return 0;
            const qsizetype kept = m_bytes.size();
            m_bytes.resize(kept + room);
            const qsizetype count = input.read(m_bytes.data() + kept, room);
            m_bytes.resize(kept + count);
            m_ended = count == 0;
            m_utf8.resize(3 * m_bytes.size());
            qsizetype used = 0;
            m_utf8.resize(mixedTextToUtf8(m_bytes, m_ended, m_utf8.data(), &used));
            m_bytes.remove(0, used);
            m_handedOut = 0;
        }
        const qsizetype count = qMin(room, m_utf8.size() - m_handedOut);
        std::memcpy(units, m_utf8.constData() + m_handedOut, size_t(count));
        m_handedOut += count;
        return count;
    }

private:
    QByteArray m_bytes;
    QByteArray m_utf8;
    qsizetype m_handedOut = 0;
    bool m_ended = false;
};

template <typename Unit>
struct InputPiece
{
    // The piece runs from start to cut; a file's piece is read behind room for the units
    // left over from the piece before.
    UnitBuffer<Unit> units;
    qsizetype start = 0;
    qsizetype cut = 0;
    qint64 offset = 0;
    bool endsInput = false;
    QByteArray bytes;
    FoundAddresses found;

    const Unit *begin() const { return units.data() + start; }
    const Unit *end() const { return units.data() + cut; }
};

// A text read as it comes. A piece ends at the last field boundary of what has been read,
// and what follows begins the next piece. A pipe is read piece after piece, each piece as
// soon as there is something to cut; when nothing read so far can be cut, the piece grows,
// twice as fast each time, until it can. A file is read by every thread at once, a piece
// of pieceSize units each at its offset; each piece settles, in order, where it starts and
// ends, taking what the piece before left over.
template <typename Text, typename Units, typename Deliver>
class InputJob : public ScanSteps<Text, InputPiece<typename Text::Unit>, Deliver>
{
public:
    using Unit = typename Text::Unit;
    using Piece = InputPiece<Unit>;

    InputJob(const Plan &plan, TextInput &input, Units &units, Output output, Deliver &deliver)
        : ScanSteps<Text, Piece, Deliver>(plan, output, deliver),
          m_input(input), m_units(units), m_seekable(Units::readsAtOffsets && input.isSeekable())
    {
    }

    bool take(Piece &piece)
    {
        if (m_seekable) {
            if (m_atEnd)
                return false;
            piece.offset = m_nextOffset;
            m_nextOffset += this->m_plan.pieceSize;
            return true;
        }
        if (m_ended)
            return false;
        piece.units.assign(m_carry.data(), m_carry.size());
        piece.start = 0;
        for (;;) {
            const qsizetype room = qMax(this->m_plan.pieceSize, piece.units.size());
            piece.units.reserve(piece.units.size() + room);
            const qsizetype count = m_units.read(m_input, piece.units.end(), room);
            if (count == 0) {
                m_ended = true;
                piece.cut = piece.units.size();
                return piece.cut > 0;
            }
            piece.units.resize(piece.units.size() + count);
            if (cutPiece(piece))
                return true;
        }
    }

    void fetch(Piece &piece)
    {
        if constexpr (Units::readsAtOffsets)
            fetchAtOffset(piece);
    }

    // A piece read after the end was seen holds nothing; the first piece that met the end
    // takes all that is left.
    void settle(Piece &piece)
    {
        this->number(piece);
        if (!m_seekable)
            return;
        if (m_settledEnd) {
            piece.start = piece.cut = 0;
            return;
        }
        const qsizetype room = carryRoom();
        const qsizetype read = piece.units.size() - room;
        if (m_carry.size() <= room) {
            piece.start = room - m_carry.size();
        } else {
            piece.units.resize(m_carry.size() + read);
            std::memmove(piece.units.data() + m_carry.size(), piece.units.data() + room,
                         size_t(read) * sizeof(Unit));
            piece.start = 0;
        }
        std::copy_n(m_carry.data(), m_carry.size(), piece.units.data() + piece.start);
        if (piece.endsInput) {
            m_settledEnd = true;
            piece.cut = piece.units.size();
            return;
        }
        if (!cutPiece(piece)) {
            m_carry.assign(piece.begin(), piece.units.size() - piece.start);
            piece.cut = piece.start;
        }
    }

    void afterPiece() { }

private:
    void fetchAtOffset(Piece &piece)
    {
        if (!m_seekable)
            return;
        const qsizetype size = this->m_plan.pieceSize;
        const qsizetype room = carryRoom();
        piece.units.resize(room + size);
        const qsizetype count = m_units.readAt(m_input, piece.units.data() + room, size,
                                               piece.offset, piece.bytes);
        piece.units.resize(room + count);
        piece.endsInput = count < size;
        if (piece.endsInput)
            m_atEnd = true;
    }

    // Room kept in front of a file's piece for the units left over from the one before,
    // which are mostly less than a line: a quarter of a piece takes lines of hundreds of
    // kilobytes without moving the piece.
    qsizetype carryRoom() const { return this->m_plan.pieceSize / 4; }

    bool cutPiece(Piece &piece)
    {
        const Unit *begin = piece.begin();
        const Unit *cut = AddressScanner<Text>::lastCut(begin, piece.units.end());
        if (cut == begin)
            return false;
        piece.cut = cut - piece.units.data();
        m_carry.assign(cut, piece.units.size() - piece.cut);
        return true;
    }

    TextInput &m_input;
    Units &m_units;
    const bool m_seekable;
    UnitBuffer<Unit> m_carry;
    qint64 m_nextOffset = 0;
    // A pipe's end is met by take(), a file's by fetch() on any thread and settled in
    // order.
    bool m_ended = false;
    std::atomic<bool> m_atEnd = false;
    bool m_settledEnd = false;
};

template <typename Text, typename Deliver>
void extractFromMemory(const Plan &plan, const typename Text::Unit *text, qsizetype size,
                       Output output, Deliver &&deliver, const Progress &progress)
{
    MemoryJob<Text, Deliver> job(plan, text, size, output, deliver, progress);
    runInOrder(int(qMin<qsizetype>(plan.threadCount, size / plan.pieceSize + 1)), job);
    reportProgress(progress, size, size);
}

// Encodes addresses in UTF-8 lines in the given order, a piece at a time on every core, and
// hands the pieces to write in order. Most addresses are ASCII, whose units are their
// bytes.
void writeInOrder(const QList<QStringView> &addresses, const std::vector<qsizetype> &order,
                  int threadCount, const std::function<void(QByteArrayView bytes)> &write)
{
    constexpr qsizetype pieceSize = 16384;
    struct Job
    {
        struct Piece
        {
            qsizetype from = 0;
            qsizetype to = 0;
            QByteArray bytes;
        };

        bool take(Piece &piece)
        {
            if (next == qsizetype(order.size()))
                return false;
            piece.from = next;
            piece.to = qMin(qsizetype(order.size()), next + pieceSize);
            next = piece.to;
            return true;
        }
        void fetch(Piece &) { }
        void settle(Piece &) { }
        // A text that is not ASCII is encoded as toUtf8() encodes it, as the addresses
        // written unsorted are.
        void work(Piece &piece)
        {
            qsizetype room = 0;
            for (qsizetype i = piece.from; i < piece.to; ++i)
                room += 3 * addresses.at(order[size_t(i)]).size() + 1;
            piece.bytes.resize(room);
            char *out = piece.bytes.data();
            for (qsizetype i = piece.from; i < piece.to; ++i) {
                const QStringView address = addresses.at(order[size_t(i)]);
                const char16_t *units = reinterpret_cast<const char16_t *>(address.utf16());
                qsizetype k = 0;
                for (; k < address.size() && units[k] < 0x80; ++k)
                    out[k] = char(units[k]);
                if (k == address.size()) {
                    out += k;
                } else {
                    const QByteArray utf8 = address.toUtf8();
                    out = std::copy(utf8.cbegin(), utf8.cend(), out);
                }
                *out++ = '\n';
            }
            piece.bytes.truncate(out - piece.bytes.constData());
        }
        void handOn(Piece &piece) { write(piece.bytes); }
        void afterPiece() { }

        const QList<QStringView> &addresses;
        const std::vector<qsizetype> &order;
        const std::function<void(QByteArrayView bytes)> &write;
        qsizetype next = 0;
    };

    Job job{addresses, order, write};
    runInOrder(qsizetype(order.size()) > pieceSize ? threadCount : 1, job);
}

template <typename Deliver>
void extractFromInput(const Plan &plan, TextInput &input, Output output, Deliver &&deliver)
{
    const TextEncoding encoding = input.encoding();
    if (isUtf8(encoding)) {
        Utf8Units units;
        InputJob<Utf8Bytes, Utf8Units, Deliver> job(plan, input, units, output, deliver);
        runInOrder(plan.threadCount, job);
    } else if (encoding == TextEncoding::Windows1252) {
        MixedTextUnits units;
        InputJob<Utf8Bytes, MixedTextUnits, Deliver> job(plan, input, units, output, deliver);
        runInOrder(plan.threadCount, job);
    } else {
        Utf16Units units(encoding == TextEncoding::Utf16BigEndian);
        InputJob<Utf16Text, Utf16Units, Deliver> job(plan, input, units, output, deliver);
        runInOrder(plan.threadCount, job);
    }
}

} // namespace

AddressExtractor::AddressExtractor(ExtractionOptions options)
    : m_options(options),
      m_pieceSize(defaultPieceSize),
      m_threadCount(qBound(1, int(std::thread::hardware_concurrency()), maxThreadCount))
{
}

void AddressExtractor::setPieceSize(qsizetype pieceSize)
{
    m_pieceSize = qMax(pieceSize, qsizetype(1));
}

void AddressExtractor::setThreadCount(int threadCount)
{
    m_threadCount = qBound(1, threadCount, maxThreadCount);
}

QStringList AddressExtractor::addressesInText(QStringView text, const Progress &progress) const
{
    QStringList addresses;
    extractFromMemory<Utf16Text>({m_options, m_pieceSize, m_threadCount},
                                 reinterpret_cast<const char16_t *>(text.utf16()), text.size(),
                                 Output::Texts,
                                 [&](FoundAddresses &found) { addresses.append(std::move(found.texts)); },
                                 progress);
    return addresses;
}

QStringList AddressExtractor::addressesInFile(const RawTextFile &file, const Progress &progress) const
{
    if (!isUtf8(file.encoding))
        return addressesInText(decodeText(file, progress), progress);

    QStringList addresses;
    const auto *body = reinterpret_cast<const uchar *>(file.bytes.constData()) + file.bodyStart;
    extractFromMemory<Utf8Bytes>({m_options, m_pieceSize, m_threadCount}, body,
                                 file.bytes.size() - file.bodyStart, Output::Texts,
                                 [&](FoundAddresses &found) { addresses.append(std::move(found.texts)); },
                                 progress);
    return addresses;
}

QStringList AddressExtractor::addressesInInput(TextInput &input) const
{
    QStringList addresses;
    extractFromInput({m_options, m_pieceSize, m_threadCount}, input, Output::Texts,
                     [&](FoundAddresses &found) { addresses.append(std::move(found.texts)); });
    return addresses;
}

void AddressExtractor::writeSortedAddressesInInput(TextInput &input,
                                                   const std::function<void(QByteArrayView bytes)> &write) const
{
    std::vector<QString> texts;
    QList<QStringView> addresses;
    extractFromInput({m_options, m_pieceSize, m_threadCount}, input, Output::Units,
                     [&](FoundAddresses &found) {
        texts.push_back(std::move(found.units));
        const QStringView text = texts.back();
        qsizetype begin = 0;
        for (const qsizetype end : found.unitEnds) {
            addresses.append(text.sliced(begin, end - begin));
            begin = end;
        }
    });
    writeInOrder(addresses, sortedOrder(addresses), m_threadCount, write);
}

void AddressExtractor::writeAddressesInInput(TextInput &input,
                                             const std::function<void(QByteArrayView bytes)> &write) const
{
    extractFromInput({m_options, m_pieceSize, m_threadCount}, input, Output::Lines,
                     [&](FoundAddresses &found) {
        if (!found.lines.isEmpty())
            write(QByteArrayView(found.lines.data(), found.lines.size()));
    });
}
