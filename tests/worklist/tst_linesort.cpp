#include "worklist/linesort.h"

#include <QCollator>
#include <QRandomGenerator>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

class TestLineSort : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void sort_data();
    void sort();
    void keyedSortMatchesCompare_data();
    void keyedSortMatchesCompare();
    void largeListsMatchCompare_data();
    void largeListsMatchCompare();
    void cancelLeavesLinesUntouched();
};

namespace {

// The list sort written straight from its description, comparing each pair through
// QCollator::compare: the reference for the keyed sort.
void referenceSort(QStringList &items, qsizetype left, qsizetype right, const QCollator &collator)
{
    auto compare = [&](qsizetype a, qsizetype b) {
        const int c = collator.compare(items.at(a), items.at(b));
        return c < 0 ? -1 : c > 0 ? 1 : 0;
    };
    qsizetype i;
    do {
        i = left;
        qsizetype j = right;
        qsizetype p = (left + right) / 2;
        do {
            while (compare(i, p) < 0)
                ++i;
            while (compare(j, p) > 0)
                --j;
            if (i <= j) {
                if (i != j)
                    items.swapItemsAt(i, j);
                if (p == i)
                    p = j;
                else if (p == j)
                    p = i;
                ++i;
                --j;
            }
        } while (i <= j);
        if (left < j)
            referenceSort(items, left, j, collator);
        left = i;
    } while (i < right);
}

// Case pairs, accents, a sharp s, dotted and dotless i, a character outside the BMP,
// blanks, punctuation and a control character that the collation ignores.
const QString mixedAlphabet = QStringLiteral("aAbBeEéÉèzZ ß\u0130\u0131-'.\u0001") + QChar(0xD83D)
        + QChar(0xDE00);

QStringList randomLines(quint32 seed, int count, const QString &alphabet = mixedAlphabet)
{
    QRandomGenerator random(seed);
    QStringList lines;
    for (int n = 0; n < count; ++n) {
        QString line;
        const int length = random.bounded(6);
        for (int k = 0; k < length; ++k) {
            const int at = random.bounded(alphabet.size() - 1);
            if (alphabet.at(at).isHighSurrogate())
                line += alphabet.mid(at, 2);
            else if (!alphabet.at(at).isLowSurrogate())
                line += alphabet.at(at);
        }
        lines.append(line);
    }
    return lines;
}

} // namespace

void TestLineSort::cleanup()
{
    QLocale::setDefault(QLocale::system());
}

void TestLineSort::sort_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QStringList>("expected");

    for (const char *locale : {"fr_FR", "C"}) {
        auto row = [locale](const char *name) -> QTestData & {
            return QTest::addRow("%s %s", locale, name) << QString::fromLatin1(locale);
        };
        row("empty") << QStringList() << QStringList();
        row("one line") << QStringList{"x"} << QStringList{"x"};
        row("a A") << QStringList{"a", "A"} << QStringList{"A", "a"};
        row("A a") << QStringList{"A", "a"} << QStringList{"a", "A"};
        row("b A a B") << QStringList{"b", "A", "a", "B"} << QStringList{"a", "A", "B", "b"};
        row("empty lines first") << QStringList{"b", "", "a", ""}
                                 << QStringList{"", "", "a", "b"};
        row("duplicates kept") << QStringList{"y", "x", "y", "x", "y"}
                               << QStringList{"x", "x", "y", "y", "y"};
        row("already sorted") << QStringList{"a", "b", "c", "d", "e"}
                              << QStringList{"a", "b", "c", "d", "e"};
        row("reversed") << QStringList{"e", "d", "c", "b", "a"}
                        << QStringList{"a", "b", "c", "d", "e"};
    }
    QTest::newRow("fr_FR accents count, after the plain letter")
            << "fr_FR" << QStringList{"f", "é", "e", "E"} << QStringList{"e", "E", "é", "f"};
    // No locale set: the root collation, where accented letters go with their base letter.
    QTest::newRow("C accents after the plain letter")
            << "C" << QStringList{"zoe", "Élodie", "f", "é", "e"}
            << QStringList{"e", "é", "Élodie", "f", "zoe"};
}

void TestLineSort::sort()
{
    QFETCH(QString, locale);
    QFETCH(QStringList, lines);
    QFETCH(QStringList, expected);

    QLocale::setDefault(QLocale(locale));
    sortLines(lines);
    QCOMPARE(lines, expected);
}

void TestLineSort::keyedSortMatchesCompare_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<quint32>("seed");

    for (const char *locale : {"fr_FR", "en_US", "de_DE", "tr_TR", "C"}) {
        for (quint32 seed : {1u, 2u, 3u})
            QTest::addRow("%s seed %u", locale, seed) << QString::fromLatin1(locale) << seed;
    }
}

void TestLineSort::keyedSortMatchesCompare()
{
    QFETCH(QString, locale);
    QFETCH(quint32, seed);

    QLocale::setDefault(QLocale(locale));
    QCollator collator(sortLocale());
    collator.setCaseSensitivity(Qt::CaseInsensitive);

    const QStringList lines = randomLines(seed, 3000);
    for (const QString &line : lines)
        QCOMPARE(collator.sortKey(line).compare(collator.sortKey(QString(line.constData(),
                                                                          line.size()))), 0);

    QStringList expected = lines;
    referenceSort(expected, 0, expected.size() - 1, collator);
    QStringList sorted = lines;
    sortLines(sorted);
    QCOMPARE(sorted, expected);
}

void TestLineSort::largeListsMatchCompare_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("alphabet");

    // ASCII lines are ordered by their characters first and checked against the keys;
    // where letters join, the check fails and the keys alone order them: "ch" is one
    // letter after "h" in Czech, "aa" one after "z" in Danish, "cs" and "dzs" letters in
    // Hungarian.
    const QString ascii = QStringLiteral("aAbBcChHsSzZ.-_@1");
    QTest::newRow("fr_FR, mixed") << u"fr_FR"_s << mixedAlphabet;
    QTest::newRow("fr_FR, ASCII") << u"fr_FR"_s << ascii;
    QTest::newRow("cs_CZ, ASCII") << u"cs_CZ"_s << ascii;
    QTest::newRow("da_DK, ASCII") << u"da_DK"_s << ascii;
    QTest::newRow("hu_HU, ASCII") << u"hu_HU"_s << QStringLiteral("cCsSdDzZ");
    QTest::newRow("C, mixed") << u"C"_s << mixedAlphabet;
}

// Lists long enough for every core to take part in each step.
void TestLineSort::largeListsMatchCompare()
{
    QFETCH(QString, locale);
    QFETCH(QString, alphabet);

    QLocale::setDefault(QLocale(locale));
    QCollator collator(sortLocale());
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    const QStringList lines = randomLines(11, 40000, alphabet + alphabet.toUpper());
    QStringList expected = lines;
    referenceSort(expected, 0, expected.size() - 1, collator);
    QStringList sorted = lines;
    sortLines(sorted);
    QCOMPARE(sorted, expected);
}

void TestLineSort::cancelLeavesLinesUntouched()
{
    const QStringList lines = randomLines(7, 200000);
    QStringList sorted = lines;
    int calls = 0;
    QVERIFY_THROWS_EXCEPTION(OperationCancelled, sortLines(sorted, [&](qint64, qint64) {
        return ++calls < 3;
    }));
    QCOMPARE(sorted, lines);

    qint64 last = 0;
    bool inRange = true;
    sortLines(sorted, [&](qint64 done, qint64 total) {
        inRange = inRange && done > last && done <= total;
        last = done;
        return true;
    });
    QVERIFY(inRange);
    QVERIFY(last > 0);
}

QTEST_GUILESS_MAIN(TestLineSort)
#include "tst_linesort.moc"
