#include "extract/addresscleaner.h"
#include "extract/addressset.h"
#include "extract/extraction.h"
#include "support/plainpaths.h"
#include "support/testsupport.h"

#include <QRandomGenerator>

#include <QTest>

#include <algorithm>

using namespace Qt::Literals::StringLiterals;

class TestExtraction : public QObject
{
    Q_OBJECT

private slots:
    void extract_data();
    void extract();
    void secondExtraction_data();
    void secondExtraction();
    void cancel();
    void cleanedAddress_data();
    void cleanedAddress();
    void options_data();
    void options();
    void sameAddressAsCompare();
};

void TestExtraction::extract_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QStringList>("addresses");

    QTest::newRow("empty") << QStringList() << QStringList();
    QTest::newRow("start-up hint")
            << QStringList{placeholderLine} << QStringList();
    QTest::newRow("duplicates kept") << QStringList{"a@b a@b"} << QStringList{"a@b", "a@b"};
    QTest::newRow("two at signs") << QStringList{"a@b@c"} << QStringList{"a@b@c"};
    QTest::newRow("lone at sign") << QStringList{"@"} << QStringList{"@"};
    QTest::newRow("angle brackets, semicolon") << QStringList{"<a@b>;"} << QStringList{"<a@b>;"};
    QTest::newRow("semicolon joins") << QStringList{"<a@b>;c@d"} << QStringList{"<a@b>;c@d"};
    QTest::newRow("parentheses, delimiter") << QStringList{"(a@b),"} << QStringList{"(a@b)"};
    QTest::newRow("mailto") << QStringList{"mailto:a@b"} << QStringList{"mailto:a@b"};
    QTest::newRow("trailing dot") << QStringList{"a@b."} << QStringList{"a@b."};
    QTest::newRow("display name") << QStringList{"Service client <sc@x>"} << QStringList{"<sc@x>"};
    QTest::newRow("quoted display name")
            << QStringList{"\"Service client\" <sc@x>"} << QStringList{"<sc@x>"};
    QTest::newRow("quoted, then field") << QStringList{"a \"x y\"@z"} << QStringList{"@z"};
    QTest::newRow("empty fields and quotes")
            << QStringList{"x, y@z,,\"w v@u\""} << QStringList{"y@z", "w v@u"};
    QTest::newRow("quoted with blank") << QStringList{"\"a@b c\""} << QStringList{"a@b c"};
    QTest::newRow("quoted with delimiter") << QStringList{"\"a,b@c\""} << QStringList{"a,b@c"};
    QTest::newRow("fullwidth at sign") << QStringList{u"a\uFF20b"_s} << QStringList();
    QTest::newRow("two lines") << QStringList{"x@y z", "w@v"} << QStringList{"x@y", "w@v"};
    QTest::newRow("at sign after NUL") << QStringList{QString::fromUtf16(u"x\0a@b", 5)}
                                       << QStringList();
}

void TestExtraction::extract()
{
    QFETCH(QStringList, lines);
    QFETCH(QStringList, addresses);

    QCOMPARE(addressesInText(lines.join(u'\n')), addresses);
}

void TestExtraction::secondExtraction_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QStringList>("first");
    QTest::addColumn<QStringList>("second");

    QTest::newRow("blank") << u"\"a@b c\""_s << QStringList{"a@b c"} << QStringList{"a@b"};
    QTest::newRow("delimiter") << u"\"a,b@c\""_s << QStringList{"a,b@c"} << QStringList{"b@c"};
}

void TestExtraction::secondExtraction()
{
    QFETCH(QString, line);
    QFETCH(QStringList, first);
    QFETCH(QStringList, second);

    const QStringList once = addressesInText(line);
    QCOMPARE(once, first);
    QCOMPARE(addressesInText(once.join(u'\n')), second);
}

void TestExtraction::cancel()
{
    const Progress cancelled = [](qint64, qint64) { return false; };
    const QString text = u"a@b\n"_s.repeated(100);
    QVERIFY_THROWS_EXCEPTION(OperationCancelled, addressesInText(text, cancelled));
    const RawTextFile file{text.toUtf8(), TextEncoding::System, 0};
    QVERIFY_THROWS_EXCEPTION(OperationCancelled, addressesInFile(file, cancelled));

    qint64 lastDone = -1;
    qint64 lastTotal = -1;
    const Progress record = [&](qint64 done, qint64 total) {
        lastDone = done;
        lastTotal = total;
        return true;
    };
    QCOMPARE(addressesInFile(file, record).size(), 100);
    QCOMPARE(lastDone, file.bytes.size());
    QCOMPARE(lastTotal, file.bytes.size());
}

void TestExtraction::cleanedAddress_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("address");

    const QString none;
    // Around the address.
    QTest::newRow("angle brackets") << u"<jean@ex.fr>"_s << u"jean@ex.fr"_s;
    QTest::newRow("mailto and query") << u"mailto:contact@asso.fr?subject=x"_s << u"contact@asso.fr"_s;
    QTest::newRow("mailto in any case") << u"MailTo:contact@asso.fr"_s << u"contact@asso.fr"_s;
    QTest::newRow("mailto in brackets") << u"<mailto:a@b.fr?cc=c@d.fr>"_s << u"a@b.fr"_s;
    QTest::newRow("parentheses, comma") << u"(paul@ex.net),"_s << u"paul@ex.net"_s;
    QTest::newRow("name before brackets") << u"Nom<a@b.fr>"_s << u"a@b.fr"_s;
    QTest::newRow("quoted name and brackets") << u"Jean Dupont <jean@ex.fr>"_s << u"jean@ex.fr"_s;
    QTest::newRow("brackets, then more") << u"<a@b.fr>;c@d.fr"_s << u"a@b.fr"_s;
    QTest::newRow("guillemets, no-break spaces") << u"«\u00A0zoe@exemple.fr\u00A0»"_s << u"zoe@exemple.fr"_s;
    QTest::newRow("apostrophes") << u"'a@b.fr'"_s << u"a@b.fr"_s;
    QTest::newRow("square brackets and braces") << u"[{a@b.fr}]."_s << u"a@b.fr"_s;
    QTest::newRow("trailing punctuation") << u"a@b.fr.;:!?"_s << u"a@b.fr"_s;
    QTest::newRow("blanks around") << u" \ta@b.fr "_s << u"a@b.fr"_s;
    QTest::newRow("case kept") << u"Jean.Dupont@Exemple.FR"_s << u"Jean.Dupont@Exemple.FR"_s;
    QTest::newRow("plus, apostrophe inside") << u"o'brien+tag@ex.ie"_s << u"o'brien+tag@ex.ie"_s;
    // Address literals.
    QTest::newRow("IPv4 literal") << u"(a@[192.0.2.1])."_s << u"a@[192.0.2.1]"_s;
    QTest::newRow("IPv6 literal") << u"a@[IPv6:2001:db8::1]"_s << u"a@[IPv6:2001:db8::1]"_s;
    QTest::newRow("number above 255") << u"a@[300.1.1.1]"_s << none;
    QTest::newRow("three numbers") << u"a@[1.2.3]"_s << none;
    QTest::newRow("literal not closed") << u"a@[1.2.3.4"_s << none;
    // Internationalised domains and local parts.
    QTest::newRow("accented domain") << u"jürgen@münchen.de"_s << u"jürgen@münchen.de"_s;
    QTest::newRow("Cyrillic") << u"иван@пример.рф"_s << u"иван@пример.рф"_s;
    QTest::newRow("Japanese") << u"田中@例え.jp"_s << u"田中@例え.jp"_s;
    QTest::newRow("Devanagari with marks") << u"a@\u0939\u093F\u0928\u094D\u0926\u0940.in"_s
                                           << u"a@\u0939\u093F\u0928\u094D\u0926\u0940.in"_s;
    QTest::newRow("letter outside the BMP") << u"a@\U00020000.cn"_s << u"a@\U00020000.cn"_s;
    QTest::newRow("punycode") << u"a@xn--mnchen-3ya.de"_s << u"a@xn--mnchen-3ya.de"_s;
    QTest::newRow("mark opening a label") << u"a@\u0301b.fr"_s << none;
    QTest::newRow("lone surrogate in domain") << u"a@b\xD800.fr"_s << none;
    // Fields that hold no address.
    QTest::newRow("at sign alone") << u"@"_s << none;
    QTest::newRow("mailto alone") << u"mailto:"_s << none;
    QTest::newRow("two at signs") << u"a@b@c.fr"_s << none;
    QTest::newRow("two addresses joined") << u"a@b.fr;c@d.fr"_s << none;
    QTest::newRow("no local part") << u"@b.fr"_s << none;
    QTest::newRow("no domain") << u"a@"_s << none;
    QTest::newRow("no dot") << u"a@localhost"_s << none;
    QTest::newRow("empty label") << u"a@b..fr"_s << none;
    QTest::newRow("hyphen at a label's start") << u"a@-b.fr"_s << none;
    QTest::newRow("hyphen at a label's end") << u"a@b-.fr"_s << none;
    QTest::newRow("underscore in domain") << u"a@b_c.fr"_s << none;
    QTest::newRow("blank in local part") << u"a b@c.fr"_s << none;
    QTest::newRow("comma in local part") << u"a,b@c.fr"_s << none;
    QTest::newRow("quoted local part") << u"\"jean dupont\"@ex.fr"_s << none;
    QTest::newRow("query without mailto") << u"a@b.fr?x=1"_s << none;
}

void TestExtraction::cleanedAddress()
{
    QFETCH(QString, field);
    QFETCH(QString, address);

    QCOMPARE(::cleanedAddress(field).toString(), address);
    const bool ascii = std::all_of(field.cbegin(), field.cend(), [](QChar c) { return c.unicode() < 0x80; });
    if (ascii)
        QCOMPARE(QString::fromLatin1(cleanedAsciiAddress(field.toLatin1())), address);
}

void TestExtraction::options_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("clean");
    QTest::addColumn<bool>("unique");
    QTest::addColumn<QStringList>("addresses");

    const QString mixed = u"<Jean@Ex.fr> mailto:jean@ex.FR x@y.fr, (x@y.fr) junk@ jean@ex.fr\n"
                          "\"Élodie <ÉLODIE@exemple.fr>\" élodie@exemple.fr \u212A@x.fr k@x.fr"_s;
    QTest::newRow("both off") << mixed << false << false
                              << QStringList{"<Jean@Ex.fr>", "mailto:jean@ex.FR", "x@y.fr", "(x@y.fr)",
                                             "junk@", "jean@ex.fr", u"Élodie <ÉLODIE@exemple.fr>"_s,
                                             u"élodie@exemple.fr"_s, u"\u212A@x.fr"_s, "k@x.fr"};
    QTest::newRow("clean") << mixed << true << false
                           << QStringList{"Jean@Ex.fr", "jean@ex.FR", "x@y.fr", "x@y.fr", "jean@ex.fr",
                                          u"ÉLODIE@exemple.fr"_s, u"élodie@exemple.fr"_s,
                                          u"\u212A@x.fr"_s, "k@x.fr"};
    QTest::newRow("unique") << mixed << false << true
                            << QStringList{"<Jean@Ex.fr>", "mailto:jean@ex.FR", "x@y.fr", "(x@y.fr)",
                                           "junk@", "jean@ex.fr", u"Élodie <ÉLODIE@exemple.fr>"_s,
                                           u"élodie@exemple.fr"_s, u"\u212A@x.fr"_s};
    QTest::newRow("both") << mixed << true << true
                          << QStringList{"Jean@Ex.fr", "x@y.fr", u"ÉLODIE@exemple.fr"_s, u"\u212A@x.fr"_s};
    QTest::newRow("nothing left") << u"a@ @b (@)"_s << true << true << QStringList();
}

// The options give the same list whichever way the text comes: as a text, as the bytes
// of a file, or read as a stream; and the first of equal addresses stays where it was.
void TestExtraction::options()
{
    QFETCH(QString, text);
    QFETCH(bool, clean);
    QFETCH(bool, unique);
    QFETCH(QStringList, addresses);

    const ExtractionOptions options{clean, unique};
    QCOMPARE(addressesInText(text, {}, options), addresses);
    const RawTextFile file = rawTextFromBytes(text.toUtf8());
    QCOMPARE(addressesInFile(file, {}, options), addresses);
    AddressExtractor extractor(options);
    extractor.setPieceSize(8);
    extractor.setThreadCount(3);
    QCOMPARE(addressesInStream(text.toUtf8(), 5, extractor), addresses);
    QCOMPARE(writtenAddresses(text.toUtf8(), 0, extractor), utf8Lines(addresses));
}

// Two addresses are the same for "Sans doublons" exactly when QString::compare() with
// Qt::CaseInsensitive finds them equal, also for characters whose folding leaves ASCII or
// the Basic Multilingual Plane.
void TestExtraction::sameAddressAsCompare()
{
    const QList<QString> pieces = {
        u"a"_s, u"A"_s, u"k"_s, u"\u212A"_s, u"s"_s, u"\u017F"_s, u"ß"_s, u"ẞ"_s, u"i"_s, u"I"_s,
        u"\u0130"_s, u"\u0131"_s, u"é"_s, u"É"_s, u"\U00010400"_s, u"\U00010428"_s,
        QString(QChar(0xD801)), QString(QChar(0xDC00)), u"\u03A3"_s, u"\u03C3"_s, u"\u03C2"_s,
    };
    QRandomGenerator random(5);
    QList<QString> texts;
    for (int i = 0; i < 400; ++i) {
        QString text;
        for (int n = random.bounded(4); n >= 0; --n)
            text += pieces.at(random.bounded(int(pieces.size())));
        texts.append(text);
    }
    for (const QString &a : std::as_const(texts)) {
        QByteArray keyOfA;
        AddressSet::appendKey(QStringView(a), keyOfA);
        QByteArray keyOfUtf8;
        AddressSet::appendKey(QByteArrayView(a.toUtf8()), keyOfUtf8);
        if (!a.contains(QChar(0xD801)) && !a.contains(QChar(0xDC00)))
            QCOMPARE(keyOfUtf8, keyOfA);
        for (const QString &b : std::as_const(texts)) {
            QByteArray keyOfB;
            AddressSet::appendKey(QStringView(b), keyOfB);
            if ((keyOfA == keyOfB) != (a.compare(b, Qt::CaseInsensitive) == 0))
                QFAIL(qPrintable(u"\"%1\" and \"%2\""_s.arg(a, b)));
        }
    }
}

QTEST_GUILESS_MAIN(TestExtraction)
#include "tst_extraction.moc"

