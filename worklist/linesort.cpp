#include "worklist/linesort.h"

#include "base/orderedwork.h"
#include "base/wordhash.h"

#include <QCollator>
#include <QCollatorSortKey>
#include <QHash>
#include <QLocale>

#include <algorithm>
#include <array>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <mutex>
#include <new>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

// The sort gives each line a rank, equal ranks for lines that the collation finds equal,
// and then runs the exact steps of the list sort comparing ranks. The ranks come from
// sorting the distinct texts once: equal lines share one text.
//
// Most addresses are printable ASCII, and most languages collate such a text as the order
// of its characters one by one, which costs no collation key. Whether the user's language
// does is checked once on every text of one and two such characters and of three
// lower-case letters: a language that joins letters (Czech "ch", Danish "aa", Hungarian
// "cs") fails it. When it passes, the ASCII texts are ordered by their characters and only
// the others get keys, each placed among the ASCII texts by comparing keys with its
// neighbours there. Otherwise every text gets its key once, the ASCII texts are still
// ordered by their characters first, and the order is checked pair by pair with the keys;
// should the check fail, the keys alone order the texts.

namespace {

constexpr qsizetype progressStep = 65536;
// Lines per piece of the steps that run on every core.
constexpr qsizetype pieceSize = 8192;
constexpr int maxThreadCount = 8;

int threadCountFor(qsizetype count)
{
    const int cores = qBound(1, int(std::thread::hardware_concurrency()), maxThreadCount);
    return int(qMin<qsizetype>(cores, count / pieceSize + 1));
}

// Runs part(0) on the calling thread and part(1) … part(parts - 1) on threads of their
// own, and throws the first exception any of them threw. A part whose thread cannot be
// had, for want of threads or of memory, runs on the calling thread.
template <typename Part>
void runParts(int parts, Part &&part)
{
    std::exception_ptr error;
    std::mutex errorMutex;
    const auto run = [&](int index) {
        try {
            part(index);
        } catch (...) {
            const std::lock_guard lock(errorMutex);
            if (!error)
                error = std::current_exception();
        }
    };
    std::vector<std::thread> threads;
    for (int index = 1; index < parts; ++index) {
        try {
            threads.emplace_back(run, index);
        } catch (const std::system_error &) {
            run(index);
        } catch (const std::bad_alloc &) {
            run(index);
        }
    }
    run(0);
    for (std::thread &thread : threads)
        thread.join();
    if (error)
        std::rethrow_exception(error);
}

// Runs work(from, to) on pieces of [0, count) on every core; report(done) runs on the
// calling thread after each piece it handed on, done being all that is done so far.
template <typename Work, typename Report>
void forEachPiece(qsizetype count, Work &&work, Report &&report)
{
    struct Job
    {
        struct Piece
        {
            qsizetype from = 0;
            qsizetype to = 0;
        };

        bool take(Piece &piece)
        {
            if (next == count)
                return false;
            piece.from = next;
            piece.to = qMin(count, next + pieceSize);
            next = piece.to;
            return true;
        }
        void fetch(Piece &) { }
        void settle(Piece &) { }
        void work(Piece &piece) { workOn(piece.from, piece.to); }
        void handOn(Piece &piece) { done = piece.to; }
        void afterPiece() { report(done); }

        qsizetype count;
        Work &workOn;
        Report &report;
        qsizetype next = 0;
        std::atomic<qsizetype> done = 0;
    };
    Job job{count, work, report};
    runInOrder(threadCountFor(count), job);
}

// Sorts items with a strict weak order on every core: each part on a thread of its own,
// then the parts merged.
template <typename Item, typename Less>
void parallelSort(std::vector<Item> &items, Less less)
{
    const int parts = threadCountFor(qsizetype(items.size()));
    const auto bound = [&](int part) {
        return items.begin() + qsizetype(items.size() * size_t(part) / size_t(parts));
    };
    runParts(parts, [&](int part) { std::sort(bound(part), bound(part + 1), less); });
    for (int part = 1; part < parts; ++part)
        std::inplace_merge(items.begin(), bound(part), bound(part + 1), less);
}

// The lines that hold the same text share one group, known by its first line.
struct Groups
{
    std::vector<qsizetype> firstLine;
    std::vector<qsizetype> ofLine;
};

// A hash of a text's units, eight bytes at a time.
size_t textHash(QStringView text)
{
    const quint64 h = wordHash(QByteArrayView(reinterpret_cast<const char *>(text.utf16()),
                                              text.size() * qsizetype(sizeof(char16_t))));
    return size_t(h ^ (h >> 32));
}

// Each thread groups the lines whose hash falls to its share, in order, with a table of
// its own; the groups of a share are numbered after those of the shares before it.
template <typename Report>
Groups groupEqualLines(const QList<QStringView> &lines, Report &&report)
{
    const qsizetype count = lines.size();
    std::vector<size_t> hashes(static_cast<size_t>(count));
    forEachPiece(count, [&](qsizetype from, qsizetype to) {
        for (qsizetype i = from; i < to; ++i)
            hashes[size_t(i)] = textHash(lines.at(i));
    }, report);

    const int shares = threadCountFor(count);
    const auto shareOf = [shares](size_t hash) { return int((hash >> 48) % size_t(shares)); };
    Groups groups;
    groups.ofLine.resize(static_cast<size_t>(count));
    std::vector<std::vector<qsizetype>> firstLines(static_cast<size_t>(shares));
    runParts(shares, [&](int share) {
        qsizetype mine = 0;
        for (const size_t hash : hashes)
            mine += shareOf(hash) == share;
        size_t capacity = 64;
        while (capacity < size_t(mine + mine / 2))
            capacity *= 2;
        // A slot holds the hash with the group, so that most probes read nothing else.
        struct Slot
        {
            size_t hash;
            qsizetype group;
        };
        std::vector<Slot> table(capacity, Slot{0, -1});
        std::vector<qsizetype> &firstLine = firstLines[size_t(share)];
        for (qsizetype i = 0; i < count; ++i) {
            const size_t hash = hashes[size_t(i)];
            if (shareOf(hash) != share)
                continue;
            for (size_t slot = hash & (capacity - 1);; slot = (slot + 1) & (capacity - 1)) {
                Slot &entry = table[slot];
                if (entry.group < 0) {
                    entry = {hash, qsizetype(firstLine.size())};
                    groups.ofLine[size_t(i)] = entry.group;
                    firstLine.push_back(i);
                    break;
                }
                if (entry.hash == hash && lines.at(firstLine[size_t(entry.group)]) == lines.at(i)) {
                    groups.ofLine[size_t(i)] = entry.group;
                    break;
                }
            }
        }
    });

    std::vector<qsizetype> offsets(static_cast<size_t>(shares), 0);
    for (int share = 0; share < shares; ++share) {
        offsets[size_t(share)] = qsizetype(groups.firstLine.size());
        groups.firstLine.insert(groups.firstLine.end(), firstLines[size_t(share)].begin(),
                                firstLines[size_t(share)].end());
    }
    if (shares > 1) {
        for (qsizetype i = 0; i < count; ++i)
            groups.ofLine[size_t(i)] += offsets[size_t(shareOf(hashes[size_t(i)]))];
    }
    return groups;
}

// The collation keys of the user's locale, case ignored.
class CollatorKeys
{
public:
    using Key = QCollatorSortKey;

    explicit CollatorKeys(const QLocale &locale) : m_collator(locale)
    {
        m_collator.setCaseSensitivity(Qt::CaseInsensitive);
    }
    Key key(QStringView text) const { return m_collator.sortKey(QString::fromRawData(text.data(), text.size())); }
    static int compare(const Key &a, const Key &b) { return a.compare(b); }

private:
    QCollator m_collator;
};

// The order of printable ASCII characters one by one: a rank for each, equal for the
// characters the collation finds equal (a letter and its capital), none for one that the
// collation ignores.
template <typename Keys>
std::array<uchar, 128> characterRanks(const Keys &keys)
{
    std::vector<std::pair<typename Keys::Key, char>> characters;
    for (char c = ' '; c <= '~'; ++c)
        characters.emplace_back(keys.key(QString(QChar(char16_t(c)))), c);
    std::sort(characters.begin(), characters.end(), [](const auto &a, const auto &b) {
        return Keys::compare(a.first, b.first) < 0;
    });
    const typename Keys::Key ignored = keys.key(QString());
    std::array<uchar, 128> ranks{};
    uchar rank = 0;
    for (size_t i = 0; i < characters.size(); ++i) {
        if (i == 0 || Keys::compare(characters[i - 1].first, characters[i].first) != 0)
            ++rank;
        if (Keys::compare(characters[i].first, ignored) != 0)
            ranks[size_t(characters[i].second)] = rank;
    }
    return ranks;
}

// A text ordered by its characters' ranks: the first sixteen ranks in two numbers, which
// mostly decide, then the others one by one.
struct RankedText
{
    quint64 first;
    quint64 second;
    const char16_t *text;
    qsizetype size;
    qsizetype group;
};

class CharacterOrder
{
public:
    explicit CharacterOrder(const std::array<uchar, 128> &ranks) : m_ranks(ranks) { }

    // Whether every unit of text has a rank; fills ranked when it has.
    bool rank(QStringView text, qsizetype group, RankedText &ranked) const
    {
        ranked = {0, 0, reinterpret_cast<const char16_t *>(text.utf16()), text.size(), group};
        for (qsizetype i = 0; i < text.size(); ++i) {
            const char16_t u = ranked.text[i];
            if (u >= 128 || m_ranks[u] == 0)
                return false;
            if (i < 8)
                ranked.first |= quint64(m_ranks[u]) << (56 - 8 * i);
            else if (i < 16)
                ranked.second |= quint64(m_ranks[u]) << (56 - 8 * (i - 8));
        }
        return true;
    }

    bool less(const RankedText &a, const RankedText &b) const
    {
        if (a.first != b.first)
            return a.first < b.first;
        if (a.second != b.second)
            return a.second < b.second;
        const qsizetype common = qMin(a.size, b.size);
        for (qsizetype i = 16; i < common; ++i) {
            const uchar ra = m_ranks[a.text[i]];
            const uchar rb = m_ranks[b.text[i]];
            if (ra != rb)
                return ra < rb;
        }
        return a.size < b.size;
    }

private:
    const std::array<uchar, 128> m_ranks;
};

// Sorts the texts by their characters: into buckets by their first two ranks, then each
// bucket on its own, the buckets shared out between the threads. Returns, for each text,
// whether it differs from the one before, learnt while its bucket is at hand.
std::vector<char> sortByCharacters(std::vector<RankedText> &texts, const CharacterOrder &characters)
{
    constexpr size_t bucketCount = 1 << 16;
    const auto bucketOf = [](const RankedText &text) { return size_t(text.first >> 48); };
    std::vector<size_t> starts(bucketCount + 1, 0);
    for (const RankedText &text : texts)
        ++starts[bucketOf(text) + 1];
    for (size_t b = 0; b < bucketCount; ++b)
        starts[b + 1] += starts[b];
    std::vector<RankedText> sorted(texts.size());
    std::vector<size_t> next(starts.begin(), starts.end() - 1);
    for (const RankedText &text : texts)
        sorted[next[bucketOf(text)]++] = text;

    // Texts of two buckets differ in their first two characters.
    std::vector<char> differs(texts.size());
    const auto less = [&](const RankedText &x, const RankedText &y) { return characters.less(x, y); };
    constexpr size_t bucketsAtOnce = 256;
    std::atomic<size_t> nextBucket = 0;
    runParts(threadCountFor(qsizetype(texts.size())), [&](int) {
        for (size_t from; (from = nextBucket.fetch_add(bucketsAtOnce)) < bucketCount;) {
            for (size_t b = from; b < from + bucketsAtOnce; ++b) {
                const auto begin = sorted.begin() + qsizetype(starts[b]);
                const auto end = sorted.begin() + qsizetype(starts[b + 1]);
                std::sort(begin, end, less);
                for (size_t i = starts[b]; i < starts[b + 1]; ++i)
                    differs[i] = i == starts[b] || less(sorted[i - 1], sorted[i]);
            }
        }
    });
    texts = std::move(sorted);
    return differs;
}

// Ranks the groups in order: 0 for the empty text, which comes before every other, even
// before a text made only of characters that the collation ignores; then from 1 on, equal
// for equal keys. Returns false when two neighbours of order stand the wrong way round by
// their keys: then order was not the collation order.
template <typename Keys>
bool rankInOrder(const std::vector<qsizetype> &order,
                 const std::vector<std::optional<typename Keys::Key>> &keys,
                 std::vector<qsizetype> &ranks)
{
    std::vector<signed char> steps(order.size());
    std::atomic<bool> ordered = true;
    forEachPiece(qsizetype(order.size()), [&](qsizetype from, qsizetype to) {
        for (qsizetype i = qMax(from, qsizetype(1)); i < to; ++i) {
            const int c = Keys::compare(*keys[size_t(order[size_t(i - 1)])], *keys[size_t(order[size_t(i)])]);
            if (c > 0)
                ordered = false;
            steps[size_t(i)] = c != 0;
        }
    }, [](qsizetype) {});
    if (!ordered)
        return false;
    qsizetype rank = 1;
    for (size_t i = 0; i < order.size(); ++i) {
        rank += steps[i];
        ranks[size_t(order[i])] = rank;
    }
    return true;
}

// Whether the collation orders the printable ASCII texts as their characters one by one,
// on every text of one and two characters and of three lower-case letters. Learnt once a
// locale.
template <typename Keys>
bool followsCharacterOrder(const QLocale &locale, const CharacterOrder &characters)
{
    static std::mutex mutex;
    static QHash<QString, bool> learnt;
    const std::lock_guard lock(mutex);
    const auto found = learnt.constFind(locale.name());
    if (found != learnt.cend())
        return *found;

    QStringList texts;
    for (char16_t a = ' '; a <= '~'; ++a) {
        texts.append(QString(QChar(a)));
        for (char16_t b = ' '; b <= '~'; ++b) {
            const QChar pair[] = {QChar(a), QChar(b)};
            texts.append(QString(pair, 2));
        }
    }
    for (char16_t a = 'a'; a <= 'z'; ++a) {
        for (char16_t b = 'a'; b <= 'z'; ++b) {
            for (char16_t c = 'a'; c <= 'z'; ++c) {
                const QChar triple[] = {QChar(a), QChar(b), QChar(c)};
                texts.append(QString(triple, 3));
            }
        }
    }
    std::vector<RankedText> ranked(static_cast<size_t>(texts.size()));
    std::vector<std::optional<typename Keys::Key>> keys(static_cast<size_t>(texts.size()));
    std::atomic<bool> follows = true;
    forEachPiece(texts.size(), [&](qsizetype from, qsizetype to) {
        const Keys pieceKeys(locale);
        for (qsizetype i = from; i < to; ++i) {
            if (!characters.rank(texts.at(i), i, ranked[size_t(i)]))
                follows = false;
            keys[size_t(i)] = pieceKeys.key(texts.at(i));
        }
    }, [](qsizetype) {});
    std::sort(ranked.begin(), ranked.end(), [&](const RankedText &a, const RankedText &b) {
        return characters.less(a, b);
    });
    for (size_t i = 1; i < ranked.size() && follows; ++i) {
        const int c = Keys::compare(*keys[size_t(ranked[i - 1].group)], *keys[size_t(ranked[i].group)]);
        follows = c <= 0 && (c < 0) == characters.less(ranked[i - 1], ranked[i]);
    }
    learnt.insert(locale.name(), follows);
    return follows;
}

// The key of a group, made the first time it is asked for.
template <typename Keys>
class LazyKeys
{
public:
    LazyKeys(const Keys &keys, const QList<QStringView> &lines, const Groups &groups,
             std::vector<std::optional<typename Keys::Key>> &made)
        : m_keys(keys), m_lines(lines), m_groups(groups), m_made(made)
    {
    }

    const typename Keys::Key &operator()(qsizetype group)
    {
        std::optional<typename Keys::Key> &key = m_made[size_t(group)];
        if (!key)
            key = m_keys.key(m_lines.at(m_groups.firstLine[size_t(group)]));
        return *key;
    }

private:
    const Keys &m_keys;
    const QList<QStringView> &m_lines;
    const Groups &m_groups;
    std::vector<std::optional<typename Keys::Key>> &m_made;
};

template <typename Keys, typename Report>
std::vector<qsizetype> groupRanks(const QList<QStringView> &lines, const Groups &groups, Report &&report)
{
    const qsizetype count = qsizetype(groups.firstLine.size());
    const QLocale locale = sortLocale();
    const Keys localeKeys(locale);

    // A few texts are ordered by their keys alone: learning the order of the characters
    // would cost more.
    constexpr qsizetype fewGroups = 256;
    if (count < fewGroups) {
        std::vector<std::optional<typename Keys::Key>> keys(static_cast<size_t>(count));
        std::vector<qsizetype> order;
        for (qsizetype g = 0; g < count; ++g) {
            const QStringView text = lines.at(groups.firstLine[size_t(g)]);
            keys[size_t(g)] = localeKeys.key(text);
            if (!text.isEmpty())
                order.push_back(g);
        }
        std::sort(order.begin(), order.end(), [&](qsizetype a, qsizetype b) {
            return Keys::compare(*keys[size_t(a)], *keys[size_t(b)]) < 0;
        });
        std::vector<qsizetype> ranks(static_cast<size_t>(count), 0);
        rankInOrder<Keys>(order, keys, ranks);
        return ranks;
    }

    const CharacterOrder characters(characterRanks(localeKeys));

    // The texts ordered by their characters, and the others.
    std::vector<RankedText> rankedTexts(static_cast<size_t>(count));
    std::vector<char> ranked(static_cast<size_t>(count));
    forEachPiece(count, [&](qsizetype from, qsizetype to) {
        for (qsizetype g = from; g < to; ++g)
            ranked[size_t(g)] = characters.rank(lines.at(groups.firstLine[size_t(g)]), g, rankedTexts[size_t(g)]);
    }, [](qsizetype) {});
    std::vector<qsizetype> others;
    size_t kept = 0;
    for (qsizetype g = 0; g < count; ++g) {
        if (rankedTexts[size_t(g)].size == 0)
            continue;
        if (ranked[size_t(g)])
            rankedTexts[kept++] = rankedTexts[size_t(g)];
        else
            others.push_back(g);
    }
    rankedTexts.resize(kept);
    const std::vector<char> differs = sortByCharacters(rankedTexts, characters);

    // The self-check costs as much as some ten thousand keys.
    constexpr qsizetype fewTexts = 20000;
    const bool trusted = qsizetype(rankedTexts.size()) >= fewTexts
            && followsCharacterOrder<Keys>(locale, characters);

    std::vector<std::optional<typename Keys::Key>> keys(static_cast<size_t>(count));
    const auto makeKeys = [&](const auto &groupAt, qsizetype keyCount) {
        forEachPiece(keyCount, [&](qsizetype from, qsizetype to) {
            const Keys pieceKeys(locale);
            for (qsizetype i = from; i < to; ++i) {
                const qsizetype g = groupAt(i);
                keys[size_t(g)] = pieceKeys.key(lines.at(groups.firstLine[size_t(g)]));
            }
        }, [&](qsizetype done) { report(done, keyCount); });
    };
    const auto other = [&](qsizetype i) { return others[size_t(i)]; };
    if (trusted) {
        makeKeys(other, qsizetype(others.size()));
    } else {
        makeKeys([&](qsizetype g) { return g; }, count);
    }
    const auto byKey = [&](qsizetype a, qsizetype b) {
        return Keys::compare(*keys[size_t(a)], *keys[size_t(b)]) < 0;
    };
    parallelSort(others, byKey);

    // Each other text is placed among the ranked ones after the last whose key is not
    // greater, looking one, two, four … texts ahead of the one before first, so that a text
    // placed near the one before costs few keys.
    LazyKeys<Keys> keyOf(localeKeys, lines, groups, keys);
    const auto greater = [&](qsizetype otherGroup, qsizetype rankedIndex) {
        return Keys::compare(keyOf(rankedTexts[size_t(rankedIndex)].group), keyOf(otherGroup)) > 0;
    };
    std::vector<qsizetype> order;
    std::vector<char> fromRanked;
    order.reserve(rankedTexts.size() + others.size());
    fromRanked.reserve(order.capacity());
    const qsizetype rankedCount = qsizetype(rankedTexts.size());
    qsizetype next = 0;
    for (const qsizetype otherGroup : others) {
        qsizetype low = next;
        qsizetype high = next;
        for (qsizetype step = 1; high < rankedCount && !greater(otherGroup, high); step *= 2) {
            low = high + 1;
            high = qMin(rankedCount, next + step);
        }
        while (low < high) {
            const qsizetype middle = low + (high - low) / 2;
            if (greater(otherGroup, middle))
                high = middle;
            else
                low = middle + 1;
        }
        for (; next < low; ++next) {
            order.push_back(rankedTexts[size_t(next)].group);
            fromRanked.push_back(true);
        }
        order.push_back(otherGroup);
        fromRanked.push_back(false);
    }
    for (; next < rankedCount; ++next) {
        order.push_back(rankedTexts[size_t(next)].group);
        fromRanked.push_back(true);
    }

    std::vector<qsizetype> ranks(static_cast<size_t>(count), 0);
    if (!trusted) {
        if (!rankInOrder<Keys>(order, keys, ranks)) {
            parallelSort(order, byKey);
            rankInOrder<Keys>(order, keys, ranks);
        }
        return ranks;
    }
    // Two ranked neighbours are equal when their characters are; any other pair when
    // their keys are.
    qsizetype rank = 1;
    qsizetype rankedBefore = 0;
    for (size_t i = 0; i < order.size(); ++i) {
        if (i > 0) {
            const bool equal = fromRanked[i - 1] && fromRanked[i]
                    ? !differs[size_t(rankedBefore)]
                    : Keys::compare(keyOf(order[i - 1]), keyOf(order[i])) == 0;
            rank += !equal;
        }
        ranks[size_t(order[i])] = rank;
        rankedBefore += fromRanked[i];
    }
    return ranks;
}

struct RankedLine
{
    qsizetype rank;
    qsizetype line;
};

struct Range
{
    qsizetype left;
    qsizetype right;
};

// Sorts the lines by their ranks with the exact steps of the list sort: middle pivot,
// scans that stop on equal items, the left part sorted first. The pivot's rank does not
// change while a range is parted, since the pivot index follows its item. The two parts
// of a range are disjoint, so they may be sorted in any order, on any thread: a large part
// goes to a list that every thread takes from, a small one stays with its thread.
template <typename Report>
void quickSortRanks(std::vector<RankedLine> &items, Report &&report)
{
    constexpr qsizetype sharedSize = 16384;
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<Range> shared{{0, qsizetype(items.size()) - 1}};
    int busy = 0;
    bool stopped = false;
    std::exception_ptr error;
    std::atomic<qint64> placed = 0;

    const auto run = [&](bool callingThread) {
        qint64 reported = 0;
        try {
            for (;;) {
                Range range;
                {
                    std::unique_lock lock(mutex);
                    changed.wait(lock, [&] { return stopped || !shared.empty() || busy == 0; });
                    if (stopped || shared.empty())
                        return;
                    range = shared.back();
                    shared.pop_back();
                    ++busy;
                }
                std::vector<Range> pending{range};
                while (!pending.empty()) {
                    range = pending.back();
                    pending.pop_back();
                    while (range.left < range.right) {
                        qsizetype i = range.left;
                        qsizetype j = range.right;
                        const qsizetype pivot = items[size_t((range.left + range.right) / 2)].rank;
                        do {
                            while (items[size_t(i)].rank < pivot)
                                ++i;
                            while (items[size_t(j)].rank > pivot)
                                --j;
                            if (i <= j) {
                                if (i != j)
                                    std::swap(items[size_t(i)], items[size_t(j)]);
                                ++i;
                                --j;
                            }
                        } while (i <= j);

                        qint64 newlyPlaced = i - j - 1;
                        if (range.left == j)
                            ++newlyPlaced;
                        if (i == range.right)
                            ++newlyPlaced;
                        placed += newlyPlaced;

                        Range low{range.left, j};
                        Range high{i, range.right};
                        if (low.right - low.left > high.right - high.left)
                            std::swap(low, high);
                        if (high.right - high.left >= sharedSize) {
                            {
                                const std::lock_guard lock(mutex);
                                shared.push_back(high);
                            }
                            changed.notify_one();
                        } else if (high.left < high.right) {
                            pending.push_back(high);
                        }
                        range = low;
                        if (callingThread && placed - reported >= progressStep) {
                            reported = placed;
                            report(reported);
                        }
                    }
                }
                {
                    const std::lock_guard lock(mutex);
                    --busy;
                }
                changed.notify_all();
            }
        } catch (...) {
            {
                const std::lock_guard lock(mutex);
                error = std::current_exception();
                stopped = true;
            }
            changed.notify_all();
        }
    };

    runOnThreads(threadCountFor(qsizetype(items.size())), run);
    if (error)
        std::rethrow_exception(error);
}

// Reports the progress of the sort from the calling thread, at the end of each step too,
// so that a cancel is heard however the steps were shared out; a value is passed on only
// when it moved on.
class SortProgress
{
public:
    SortProgress(const Progress &progress, qint64 total) : m_progress(progress), m_total(total) { }

    void operator()(qint64 done)
    {
        if (done <= m_last)
            return;
        m_last = done;
        reportProgress(m_progress, done, m_total);
    }

private:
    const Progress &m_progress;
    const qint64 m_total;
    qint64 m_last = 0;
};

template <typename Keys>
std::vector<qsizetype> orderOf(const QList<QStringView> &lines, const Progress &progress)
{
    // A third of the progress for grouping the lines, a third for ranking them, a third
    // for the sort.
    const qsizetype count = lines.size();
    SortProgress report(progress, 3 * qint64(count));
    const Groups groups = groupEqualLines(lines, [&](qsizetype done) { report(done); });
    report(count);
    const std::vector<qsizetype> ranks = groupRanks<Keys>(lines, groups, [&](qsizetype done, qsizetype of) {
        report(count + qint64(done) * count / qMax(of, qsizetype(1)));
    });
    report(2 * qint64(count));

    std::vector<RankedLine> items(static_cast<size_t>(count));
    for (qsizetype i = 0; i < count; ++i)
        items[size_t(i)] = {ranks[size_t(groups.ofLine[size_t(i)])], i};
    quickSortRanks(items, [&](qint64 placed) { report(2 * qint64(count) + placed); });
    report(3 * qint64(count));

    std::vector<qsizetype> order(static_cast<size_t>(count));
    for (qsizetype i = 0; i < count; ++i)
        order[size_t(i)] = items[size_t(i)].line;
    return order;
}

} // namespace

std::vector<qsizetype> sortedOrder(const QList<QStringView> &lines, const Progress &progress)
{
    if (lines.size() < 2)
        return std::vector<qsizetype>(static_cast<size_t>(lines.size()), 0);
    return orderOf<CollatorKeys>(lines, progress);
}

// Qt's collator for the C locale compares code units, which puts "Élodie" after "zoe". The
// root collation of Unicode, language-neutral, puts accented letters with their base
// letter; English collates by it and adds nothing, so it stands for it.
QLocale sortLocale()
{
    const QLocale locale = QCollator().locale();
    return locale.language() == QLocale::C ? QLocale(QLocale::English) : locale;
}

void sortLines(QStringList &lines, const Progress &progress)
{
    if (lines.size() < 2)
        return;

    QList<QStringView> views;
    views.reserve(lines.size());
    for (const QString &line : std::as_const(lines))
        views.append(line);
    const std::vector<qsizetype> order = sortedOrder(views, progress);

    QStringList sorted;
    sorted.reserve(lines.size());
    for (const qsizetype index : order)
        sorted.append(std::move(lines[index]));
    lines = std::move(sorted);
}
