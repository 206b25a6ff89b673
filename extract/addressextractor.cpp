#include "extract/addressextractor.h"

#include "base/utf8.h"
#include "extract/addresscleaner.h"
#include "extract/addressscanner.h"
#include "extract/addressset.h"
#include "extract/orderedwork.h"

#include <QtEndian>

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

constexpr quint64 everyByte = 0x0101010101010101ull;
constexpr quint64 highBits = 0x8080808080808080ull;

// Whether [begin, end) is all ASCII and, with noZero, holds no zero byte; eight bytes at a
// time, since every field kept passes here.
bool isAscii(const uchar *begin, const uchar *end, bool noZero = false)
{
    const uchar *p = begin;
    for (; end - p >= 8; p += 8) {
        quint64 word;
        std::memcpy(&word, p, 8);
        quint64 bad = word & highBits;
        if (noZero)
            bad |= (word - everyByte) & ~word & highBits;
        if (bad)
            return false;
    }
    return std::all_of(p, end, [noZero](uchar b) { return b < 0x80 && (b != 0 || !noZero); });
}

QString unquote(QString field, bool hasDoubledQuotes)
{
    if (hasDoubledQuotes)
        field.replace(QStringLiteral("\"\""), QStringLiteral("\""));
    return field;
}

// Decodes the bytes of one field exactly as they decode within the whole text. Ill-formed
// bytes give one replacement character each wherever they stand, so a field that starts
// and ends next to ASCII bytes decodes alike on its own, a U+FEFF at its start included.
QString decodeField(const uchar *begin, const uchar *end, bool hasDoubledQuotes)
{
    const QByteArrayView bytes(begin, end);
    QString field = decodeUtf8(bytes);
    if (bytes.contains('\0'))
        field.replace(QChar(0), QChar(u' '));
    return unquote(std::move(field), hasDoubledQuotes);
}

// Well-formed UTF-8 bytes are their own encoding; only the zero bytes, which the text holds
// as spaces, and the doubled quotes need rewriting.
void appendFieldUtf8(QByteArray &out, const uchar *begin, const uchar *end, bool hasDoubledQuotes)
{
    const bool ascii = isAscii(begin, end, true);
    if (ascii && !hasDoubledQuotes) {
        const qsizetype size = out.size();
        out.resize(size + (end - begin) + 1);
        std::memcpy(out.data() + size, begin, size_t(end - begin));
        out.data()[out.size() - 1] = '\n';
        return;
    }
    if (!ascii && !QByteArrayView(begin, end).isValidUtf8()) {
        out += decodeField(begin, end, hasDoubledQuotes).toUtf8();
    } else {
        for (const uchar *p = begin; p < end; ++p) {
            if (*p == 0)
                out += ' ';
            else if (*p != '"' || !hasDoubledQuotes)
                out += char(*p);
            else
                out += char(*p++);
        }
    }
    out += '\n';
}

enum class Output { Texts, Lines };

// What one piece gives: its addresses as text or as UTF-8 lines and, when only the first
// of equal addresses stays, the key and its hash for each.
struct FoundAddresses
{
    QStringList texts;
    QByteArray lines;
    std::vector<qsizetype> lineEnds;
    QByteArray keys;
    std::vector<qsizetype> keyEnds;
    std::vector<quint64> hashes;

    // Keeps the room taken, for the next piece.
    void clear()
    {
        texts.clear();
        lines.truncate(0);
        lineEnds.clear();
        keys.truncate(0);
        keyEnds.clear();
        hashes.clear();
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

    void operator()(const uchar *begin, const uchar *end, bool hasDoubledQuotes)
    {
        if (m_options.clean && !hasDoubledQuotes && isAscii(begin, end)) {
            const QByteArrayView address = cleanedAsciiAddress(QByteArrayView(begin, end));
            if (address.isNull())
                return;
            if (m_output == Output::Lines)
                addLine(address);
            else
                addText(QString::fromLatin1(address));
        } else if (m_options.clean) {
            addCleaned(decodeField(begin, end, hasDoubledQuotes));
        } else if (m_output == Output::Lines) {
            const qsizetype start = m_found.lines.size();
            appendFieldUtf8(m_found.lines, begin, end, hasDoubledQuotes);
            lineAdded(start);
        } else {
            addText(decodeField(begin, end, hasDoubledQuotes));
        }
    }

    void operator()(const char16_t *begin, const char16_t *end, bool hasDoubledQuotes)
    {
        QString field = unquote(QStringView(begin, end).toString(), hasDoubledQuotes);
        if (m_options.clean)
            addCleaned(field);
        else if (m_output == Output::Lines)
            addLine(field.toUtf8());
        else
            addText(std::move(field));
    }

private:
    void addCleaned(const QString &field)
    {
        const QStringView address = cleanedAddress(field);
        if (address.isNull())
            return;
        if (m_output == Output::Lines)
            addLine(address.toUtf8());
        else
            addText(address.toString());
    }

    void addLine(QByteArrayView bytes)
    {
        const qsizetype start = m_found.lines.size();
        m_found.lines += bytes;
        m_found.lines += '\n';
        lineAdded(start);
    }

    void lineAdded(qsizetype start)
    {
        if (!m_options.unique)
            return;
        m_found.lineEnds.push_back(m_found.lines.size());
        const qsizetype keyStart = m_found.keys.size();
        AddressSet::appendKey(QByteArrayView(m_found.lines).sliced(start, m_found.lines.size() - 1 - start),
                              m_found.keys);
        keyAdded(keyStart);
    }

    void addText(QString text)
    {
        if (m_options.unique) {
            const qsizetype keyStart = m_found.keys.size();
            AddressSet::appendKey(QStringView(text), m_found.keys);
            keyAdded(keyStart);
        }
        m_found.texts.append(std::move(text));
    }

    void keyAdded(qsizetype keyStart)
    {
        m_found.keyEnds.push_back(m_found.keys.size());
        m_found.hashes.push_back(AddressSet::hash(QByteArrayView(m_found.keys).sliced(keyStart)));
    }

    const ExtractionOptions &m_options;
    const Output m_output;
    FoundAddresses &m_found;
};

// Leaves in found only the addresses that seen did not hold yet, and adds them to it. The
// keys and hashes were made on the piece's own thread; only this runs in order.
void keepFirstOnes(FoundAddresses &found, AddressSet &seen, Output output)
{
    qsizetype keyBegin = 0;
    qsizetype lineBegin = 0;
    qsizetype kept = 0;
    char *lines = output == Output::Lines ? found.lines.data() : nullptr;
    for (size_t i = 0; i < found.keyEnds.size(); ++i) {
        const QByteArrayView key = QByteArrayView(found.keys).sliced(keyBegin, found.keyEnds[i] - keyBegin);
        keyBegin = found.keyEnds[i];
        const bool first = seen.insert(key, found.hashes[i]);
        if (output == Output::Texts) {
            if (first)
                found.texts[kept++] = std::move(found.texts[qsizetype(i)]);
            continue;
        }
        const qsizetype lineEnd = found.lineEnds[i];
        if (first) {
            std::memmove(lines + kept, lines + lineBegin, size_t(lineEnd - lineBegin));
            kept += lineEnd - lineBegin;
        }
        lineBegin = lineEnd;
    }
    if (output == Output::Texts)
        found.texts.resize(kept);
    else
        found.lines.truncate(kept);
}

struct Plan
{
    ExtractionOptions options;
    qsizetype pieceSize;
    int threadCount;
};

// Cuts a text held in memory after the first line break past each pieceSize units.
template <typename Text, typename Deliver>
void extractFromMemory(const Plan &plan, const typename Text::Unit *text, qsizetype size,
                       Output output, Deliver &&deliver, const Progress &progress)
{
    using Unit = typename Text::Unit;
    struct Piece
    {
        const Unit *begin = nullptr;
        const Unit *end = nullptr;
        FoundAddresses found;
    };

    const Unit *const textEnd = text + size;
    const Unit *next = text;
    std::atomic<qsizetype> handedOn = 0;
    AddressSet seen;
    const qsizetype pieceCount = size / plan.pieceSize + 1;
    runInOrder<Piece>(
            int(qMin<qsizetype>(plan.threadCount, pieceCount)),
            [&](Piece &piece) {
                if (next == textEnd)
                    return false;
                piece.begin = next;
                piece.end = textEnd - next > plan.pieceSize
                        ? Text::nextLineStart(next + plan.pieceSize, textEnd)
                        : textEnd;
                next = piece.end;
                return true;
            },
            [&](Piece &piece) {
                piece.found.clear();
                FieldCollector collect(plan.options, output, piece.found);
                AddressScanner<Text>::scan(piece.begin, piece.end, collect);
            },
            [&](Piece &piece) {
                if (plan.options.unique)
                    keepFirstOnes(piece.found, seen, output);
                deliver(piece.found);
                handedOn = piece.end - text;
            },
            [&] { reportProgress(progress, handedOn, size); });
    reportProgress(progress, size, size);
}

// Room for units that is not cleared when it grows.
template <typename Unit>
class UnitBuffer
{
public:
    Unit *data() { return m_units.get(); }
    Unit *end() { return m_units.get() + m_size; }
    qsizetype size() const { return m_size; }

    void reserve(qsizetype capacity)
    {
        if (capacity <= m_capacity)
            return;
        capacity = qMax(capacity, m_capacity + m_capacity / 2);
        auto units = std::make_unique_for_overwrite<Unit[]>(size_t(capacity));
        std::copy_n(m_units.get(), m_size, units.get());
        m_units = std::move(units);
        m_capacity = capacity;
    }
    void assign(const Unit *from, qsizetype count)
    {
        m_size = 0;
        reserve(count);
        std::copy_n(from, count, m_units.get());
        m_size = count;
    }
    void grow(qsizetype count) { m_size += count; }

private:
    std::unique_ptr<Unit[]> m_units;
    qsizetype m_size = 0;
    qsizetype m_capacity = 0;
};

// The units of a UTF-8 stream are its bytes.
struct Utf8Reader
{
    qsizetype read(TextInput &input, uchar *units, qsizetype room)
    {
        return input.read(reinterpret_cast<char *>(units), room);
    }
};

// The units of a UTF-16 stream, with each CR a line break and each U+0000 a space, as
// decodeText() gives them; a CR LF cut there gives one empty line more, which holds no
// field. An odd last byte is left out, as there.
class Utf16Reader
{
public:
    explicit Utf16Reader(bool bigEndian) : m_bigEndian(bigEndian) { }

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
        const qsizetype count = size / 2;
        if (size % 2) {
            m_oddByte = m_bytes[size - 1];
            m_hasOddByte = true;
        }
        if (m_bigEndian)
            qFromBigEndian<char16_t>(m_bytes.constData(), count, units);
        else
            qFromLittleEndian<char16_t>(m_bytes.constData(), count, units);
        for (char16_t *u = units; u < units + count; ++u) {
            if (*u == u'\r')
                *u = u'\n';
            else if (*u == 0)
                *u = u' ';
        }
        return count;
    }

private:
    bool m_bigEndian;
    QByteArray m_bytes;
    char m_oddByte = 0;
    bool m_hasOddByte = false;
};

// Cuts a stream as it arrives: a piece ends at the last field boundary of what has been
// read, and what follows it begins the next piece. When nothing read so far can be cut,
// the piece grows, twice as fast each time, until it can.
template <typename Text, typename Reader, typename Deliver>
void extractFromInput(const Plan &plan, TextInput &input, Reader &reader, Output output,
                      Deliver &&deliver)
{
    using Unit = typename Text::Unit;
    struct Piece
    {
        UnitBuffer<Unit> units;
        qsizetype cut = 0;
        FoundAddresses found;
    };

    UnitBuffer<Unit> carry;
    bool ended = false;
    AddressSet seen;
    runInOrder<Piece>(
            plan.threadCount,
            [&](Piece &piece) {
                if (ended)
                    return false;
                piece.units.assign(carry.data(), carry.size());
                for (;;) {
                    const qsizetype room = qMax(plan.pieceSize, piece.units.size());
                    piece.units.reserve(piece.units.size() + room);
                    const qsizetype count = reader.read(input, piece.units.end(), room);
                    if (count == 0) {
                        ended = true;
                        piece.cut = piece.units.size();
                        return piece.cut > 0;
                    }
                    piece.units.grow(count);
                    const Unit *begin = piece.units.data();
                    const Unit *cut = AddressScanner<Text>::lastCut(begin, piece.units.end());
                    if (cut > begin) {
                        piece.cut = cut - begin;
                        carry.assign(cut, piece.units.size() - piece.cut);
                        return true;
                    }
                }
            },
            [&](Piece &piece) {
                piece.found.clear();
                FieldCollector collect(plan.options, output, piece.found);
                AddressScanner<Text>::scan(piece.units.data(), piece.units.data() + piece.cut,
                                           collect);
            },
            [&](Piece &piece) {
                if (plan.options.unique)
                    keepFirstOnes(piece.found, seen, output);
                deliver(piece.found);
            },
            [] {});
}

template <typename Run>
void withReader(TextInput &input, Run &&run)
{
    const TextEncoding encoding = input.encoding();
    if (isUtf8(encoding)) {
        Utf8Reader reader;
        run(Utf8Bytes(), reader);
    } else {
        Utf16Reader reader(encoding == TextEncoding::Utf16BigEndian);
        run(Utf16Text(), reader);
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
    withReader(input, [&](auto text, auto &reader) {
        extractFromInput<decltype(text)>({m_options, m_pieceSize, m_threadCount}, input, reader,
                                         Output::Texts, [&](FoundAddresses &found) {
            addresses.append(std::move(found.texts));
        });
    });
    return addresses;
}

void AddressExtractor::writeAddressesInInput(TextInput &input,
                                             const std::function<void(QByteArray &bytes)> &write) const
{
    withReader(input, [&](auto text, auto &reader) {
        extractFromInput<decltype(text)>({m_options, m_pieceSize, m_threadCount}, input, reader,
                                         Output::Lines, [&](FoundAddresses &found) {
            if (!found.lines.isEmpty())
                write(found.lines);
        });
    });
}
