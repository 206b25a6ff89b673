#include "worklist/linesort.h"

#include <QCollator>
#include <QCollatorSortKey>
#include <QLocale>

#include <utility>
#include <vector>

namespace {

constexpr qsizetype progressStep = 65536;

struct Range
{
    qsizetype left;
    qsizetype right;
};

// Sorts order (indexes into the lines) by the exact steps of the list sort: middle pivot
// that follows its item when exchanged, scans that stop on equal items, the left part
// sorted first. The two parts of a range are disjoint, so sorting the smaller one first
// gives the same result and keeps the pending ranges to a logarithmic number.
template <typename Compare>
void quickSortOrder(std::vector<qsizetype> &order, Compare compare, qint64 total,
                    const Progress &progress)
{
    const qint64 count = qint64(order.size());
    qint64 placed = 0;
    qint64 reported = 0;
    auto place = [&](qint64 n) {
        placed += n;
        if (placed - reported >= progressStep) {
            reported = placed;
            reportProgress(progress, total - count + placed, total);
        }
    };

    std::vector<Range> pending;
    pending.push_back({0, qsizetype(count) - 1});
    while (!pending.empty()) {
        Range range = pending.back();
        pending.pop_back();
        while (range.left < range.right) {
            qsizetype i = range.left;
            qsizetype j = range.right;
            qsizetype p = (range.left + range.right) / 2;
            do {
                while (compare(order[i], order[p]) < 0)
                    ++i;
                while (compare(order[j], order[p]) > 0)
                    --j;
                if (i <= j) {
                    if (i != j)
                        std::swap(order[i], order[j]);
                    if (p == i)
                        p = j;
                    else if (p == j)
                        p = i;
                    ++i;
                    --j;
                }
            } while (i <= j);

            place(i - j - 1);
            if (range.left == j)
                place(1);
            if (i == range.right)
                place(1);

            Range low{range.left, j};
            Range high{i, range.right};
            if (low.right - low.left > high.right - high.left)
                std::swap(low, high);
            if (high.left < high.right)
                pending.push_back(high);
            range = low;
        }
    }
}

template <typename Key, typename MakeKey>
std::vector<Key> makeKeys(const QStringList &lines, MakeKey makeKey, qint64 total,
                          const Progress &progress)
{
    std::vector<Key> keys;
    keys.reserve(lines.size());
    for (const QString &line : lines) {
        keys.push_back(makeKey(line));
        if (keys.size() % progressStep == 0)
            reportProgress(progress, qint64(keys.size()), total);
    }
    return keys;
}

// Empty lines come before every other line, as QCollator::compare puts them, even before
// lines made only of characters that the collation ignores.
template <typename Key>
std::vector<qsizetype> sortedOrder(const QStringList &lines, const std::vector<Key> &keys,
                                   qint64 total, const Progress &progress)
{
    std::vector<qsizetype> order(lines.size());
    for (qsizetype i = 0; i < lines.size(); ++i)
        order[i] = i;
    quickSortOrder(order, [&](qsizetype a, qsizetype b) {
        const bool aEmpty = lines.at(a).isEmpty();
        const bool bEmpty = lines.at(b).isEmpty();
        if (aEmpty || bEmpty)
            return int(bEmpty) - int(aEmpty);
        return keys[a].compare(keys[b]);
    }, total, progress);
    return order;
}

} // namespace

void sortLines(QStringList &lines, const Progress &progress)
{
    if (lines.size() < 2)
        return;

    const qint64 total = 2 * qint64(lines.size());
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);

    std::vector<qsizetype> order;
    // For the C locale QCollator compares case-folded UTF-16 units, but its sort keys
    // keep the case; folded strings are the keys there.
    if (collator.locale().language() == QLocale::C) {
        const auto keys = makeKeys<QString>(lines, [](const QString &line) {
            return line.toCaseFolded();
        }, total, progress);
        order = sortedOrder(lines, keys, total, progress);
    } else {
        const auto keys = makeKeys<QCollatorSortKey>(lines, [&collator](const QString &line) {
            return collator.sortKey(line);
        }, total, progress);
        order = sortedOrder(lines, keys, total, progress);
    }

    QStringList sorted;
    sorted.reserve(lines.size());
    for (const qsizetype index : order)
        sorted.append(std::move(lines[index]));
    lines = std::move(sorted);
}
