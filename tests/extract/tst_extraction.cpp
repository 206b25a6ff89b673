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
    void addressesInField_data();
    void addressesInField();
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

void TestExtraction::addressesInField_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QStringList>("addresses");

    const QStringList none;
    // Around the addresses.
    QTest::newRow("several in a field") << u"a@x.fr;b@y.fr"_s << QStringList{u"a@x.fr"_s, u"b@y.fr"_s};
    QTest::newRow("brackets joined") << u"<a@x.fr>;<b@y.fr>"_s << QStringList{u"a@x.fr"_s, u"b@y.fr"_s};
    QTest::newRow("link and its text")
            << u"<a href=\"mailto:z@x.fr\">z@x.fr</a>"_s << QStringList{u"z@x.fr"_s, u"z@x.fr"_s};
    QTest::newRow("key=") << u"sasl_username=jean.durand@sfr.fr,"_s << QStringList{u"jean.durand@sfr.fr"_s};
    QTest::newRow("mailto and query") << u"mailto:contact@asso.fr?subject=x"_s << QStringList{u"contact@asso.fr"_s};
    QTest::newRow("parentheses, comma") << u"(paul@ex.net),"_s << QStringList{u"paul@ex.net"_s};
    QTest::newRow("guillemets") << u"«zoé@exemple.org»;"_s << QStringList{u"zoé@exemple.org"_s};
    QTest::newRow("Unicode blanks") << u"a\u00A0b@ex.fr\u202Fc\u3000d@ex.fr"_s
                                    << QStringList{u"b@ex.fr"_s, u"d@ex.fr"_s};
    QTest::newRow("trailing dot and punctuation") << u"a@b.fr.;:!?"_s << QStringList{u"a@b.fr"_s};
    QTest::newRow("case kept") << u"Jean.Dupont@Exemple.FR"_s << QStringList{u"Jean.Dupont@Exemple.FR"_s};
    QTest::newRow("addresses do not overlap") << u"a@b.fr_c@d.fr"_s << QStringList{u"a@b.fr"_s, u"_c@d.fr"_s};
    QTest::newRow("two at signs") << u"a@b@c.fr"_s << QStringList{u"b@c.fr"_s};
    // The local part.
    QTest::newRow("plus, percent, ampersand") << u"a+b%c&d_e-f@ex.fr"_s << QStringList{u"a+b%c&d_e-f@ex.fr"_s};
    QTest::newRow("apostrophe inside") << u"o'brien@ex.ie"_s << QStringList{u"o'brien@ex.ie"_s};
    QTest::newRow("apostrophes around") << u"'eve@ex.fr'"_s << QStringList{u"eve@ex.fr"_s};
    QTest::newRow("apostrophe before the at sign") << u"eve'@ex.fr"_s << none;
    QTest::newRow("dot before the at sign") << u"jean.@ex.fr"_s << none;
    QTest::newRow("dots at the start") << u"..jean@ex.fr"_s << QStringList{u"jean@ex.fr"_s};
    QTest::newRow("two dots in a row") << u"jean..dupont@ex.fr"_s << QStringList{u"dupont@ex.fr"_s};
    QTest::newRow("combining mark") << u"e\u0301lodie@ex.fr"_s << QStringList{u"e\u0301lodie@ex.fr"_s};
    QTest::newRow("mark at the start") << u"\u0301a@ex.fr"_s << QStringList{u"a@ex.fr"_s};
    QTest::newRow("no local part") << u"@b.fr"_s << none;
    QTest::newRow("at sign alone") << u"@"_s << none;
    // The domain.
    QTest::newRow("no domain") << u"a@"_s << none;
    QTest::newRow("one label") << u"a@localhost"_s << none;
    QTest::newRow("image names") << u"logo@2x.png photo@home.jpg icon@3x.webp"_s << none;
    QTest::newRow("top-level domain unknown") << u"a@b.zz"_s << none;
    QTest::newRow("top-level domain in capitals") << u"a@b.FR a@пример.РФ"_s
                                                  << QStringList{u"a@b.FR"_s, u"a@пример.РФ"_s};
    QTest::newRow("punycode") << u"a@xn--e1afmkfd.xn--p1ai"_s << QStringList{u"a@xn--e1afmkfd.xn--p1ai"_s};
    QTest::newRow("Japanese") << u"田中@例え.jp"_s << QStringList{u"田中@例え.jp"_s};
    QTest::newRow("Devanagari with marks") << u"a@\u0939\u093F\u0928\u094D\u0926\u0940.in"_s
                                           << QStringList{u"a@\u0939\u093F\u0928\u094D\u0926\u0940.in"_s};
    QTest::newRow("letter outside the BMP") << u"a@\U00020000.cn"_s << QStringList{u"a@\U00020000.cn"_s};
    QTest::newRow("hyphen inside a label") << u"a@mairie-lyon.fr"_s << QStringList{u"a@mairie-lyon.fr"_s};
    QTest::newRow("hyphen at a label's start") << u"a@-b.fr"_s << none;
    QTest::newRow("hyphen at a label's end") << u"a@b-.fr"_s << none;
    QTest::newRow("empty label") << u"a@b..fr"_s << none;
    QTest::newRow("underscore in domain") << u"a@b_c.fr"_s << none;
    QTest::newRow("mark opening a label") << u"a@\u0301b.fr"_s << none;
    QTest::newRow("lone surrogate in domain") << u"a@b\xD800.fr"_s << none;
    QTest::newRow("IPv4 literal") << u"(a@[192.0.2.1])."_s << QStringList{u"a@[192.0.2.1]"_s};
    QTest::newRow("IPv6 literal") << u"a@[IPv6:2001:db8::1]"_s << QStringList{u"a@[IPv6:2001:db8::1]"_s};
    QTest::newRow("number above 255") << u"a@[300.1.1.1]"_s << none;
    QTest::newRow("three numbers") << u"a@[1.2.3]"_s << none;
    QTest::newRow("literal not closed") << u"a@[1.2.3.4"_s << none;
    // What hides an "@" or a bracket.
    QTest::newRow("decimal reference") << u"jean&#64;ex.fr"_s << QStringList{u"jean@ex.fr"_s};
    QTest::newRow("hexadecimal reference") << u"jean&#x40;ex.fr jean&#X0040;ex.fr"_s
                                           << QStringList{u"jean@ex.fr"_s, u"jean@ex.fr"_s};
    QTest::newRow("named references") << u"&lt;jean&commat;ex.fr&gt;&nbsp;&quot;tom&amp;jerry@ex.fr&quot;"_s
                                      << QStringList{u"jean@ex.fr"_s, u"tom&jerry@ex.fr"_s};
    QTest::newRow("reference of a letter") << u"&#233;lodie@ex.fr"_s << QStringList{u"élodie@ex.fr"_s};
    QTest::newRow("reference without semicolon") << u"jean&#64ex.fr"_s << none;
    QTest::newRow("decoded once") << u"jean&amp;#64;ex.fr"_s << none;
    QTest::newRow("percent-encoding in a mailto") << u"MailTo:lea%40ex.fr?cc=paul%40ex.fr"_s
                                                  << QStringList{u"lea@ex.fr"_s, u"paul@ex.fr"_s};
    QTest::newRow("percent-encoded UTF-8") << u"mailto:%C3%A9lodie%40ex.fr"_s << QStringList{u"élodie@ex.fr"_s};
    QTest::newRow("ill-formed percent-encoding") << u"mailto:a%E9%40b.fr"_s << QStringList{u"a%E9@b.fr"_s};
    QTest::newRow("percent-encoding without mailto") << u"lea%40ex.fr"_s << none;
    QTest::newRow("mailto ends at a quote") << u"mailto:a@b.fr\"c%40d.fr"_s << QStringList{u"a@b.fr"_s};
}

// The cleaning of a text, of UTF-8 bytes and the plain way agree on every row.
void TestExtraction::addressesInField()
{
    QFETCH(QString, field);
    QFETCH(QStringList, addresses);

    AddressCleaner<QStringView> textCleaner;
    QStringList fromText;
    for (const QStringView address : textCleaner.addressesIn(field))
        fromText.append(address.toString());
    QCOMPARE(fromText, addresses);
    QCOMPARE(plainAddressesInField(field), addresses);
    const QByteArray utf8 = field.toUtf8();
    if (!utf8.isValidUtf8() || QString::fromUtf8(utf8) != field)
        return;
    AddressCleaner<QByteArrayView> utf8Cleaner;
    QStringList fromUtf8;
    for (const QByteArrayView address : utf8Cleaner.addressesIn(utf8))
        fromUtf8.append(QString::fromUtf8(address));
    QCOMPARE(fromUtf8, addresses);
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

