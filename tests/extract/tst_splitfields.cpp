#include "extract/splitfields.h"

#include <QTest>

using namespace Qt::Literals::StringLiterals;

class TestSplitFields : public QObject
{
    Q_OBJECT

private slots:
    void split_data();
    void split();
    void listIsEmptiedFirst();
};

void TestSplitFields::split_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QStringList>("fields");

    const QString empty;
    QTest::newRow("space") << u"a b"_s << QStringList{"a", "b"};
    QTest::newRow("tab") << u"a\tb"_s << QStringList{"a", "b"};
    QTest::newRow("carriage return") << u"a\rb"_s << QStringList{"a", "b"};
    QTest::newRow("blanks around") << u"   a   "_s << QStringList{"a"};
    QTest::newRow("delimiter") << u"a,b"_s << QStringList{"a", "b"};
    QTest::newRow("blanks around delimiter") << u"a , b"_s << QStringList{"a", "b"};
    QTest::newRow("two delimiters") << u"a,,b"_s << QStringList{"a", empty, "b"};
    QTest::newRow("two delimiters, blanks") << u"a ,, b"_s << QStringList{"a", empty, "b"};
    QTest::newRow("leading delimiter") << u",a"_s << QStringList{empty, "a"};
    QTest::newRow("delimiter only") << u","_s << QStringList{empty, empty};
    QTest::newRow("trailing delimiter") << u"a,"_s << QStringList{"a", empty};
    QTest::newRow("blank, trailing delimiter") << u"a ,"_s << QStringList{"a", empty};
    QTest::newRow("trailing delimiter, blank") << u"a, "_s << QStringList{"a"};
    QTest::newRow("two trailing delimiters") << u"a,,"_s << QStringList{"a", empty, empty};
    QTest::newRow("empty line") << empty << QStringList();
    QTest::newRow("spaces only") << u"    "_s << QStringList();
    QTest::newRow("quoted") << u"\"x y\""_s << QStringList{"x y"};
    QTest::newRow("quoted, then field") << u"a \"x y\"@z"_s << QStringList{"a", "x y", "@z"};
    QTest::newRow("doubled quote") << u"\"a\"\"b\""_s << QStringList{"a\"b"};
    QTest::newRow("quote alone") << u"\"\"\"\""_s << QStringList{"\""};
    QTest::newRow("quoted delimiter") << u"\"a,b c\""_s << QStringList{"a,b c"};
    QTest::newRow("quoted, delimiter") << u"\"a b\",c"_s << QStringList{"a b", "c"};
    QTest::newRow("quoted, no separator") << u"\"a\"b"_s << QStringList{"a", "b"};
    QTest::newRow("quote inside plain field") << u"a\"b c\""_s << QStringList{"a\"b", "c\""};
    QTest::newRow("empty quoted") << u"\"\""_s << QStringList{empty};
    QTest::newRow("empty quoted, delimiter") << u"\"\",a"_s << QStringList{empty, "a"};
    QTest::newRow("unclosed, blank") << u"\"a b"_s << QStringList{"a b"};
    QTest::newRow("unclosed") << u"\"ab"_s << QStringList{"ab"};
    QTest::newRow("unclosed, one unit") << u"\"a"_s << QStringList{"a"};
    QTest::newRow("unclosed, doubled quote") << u"\"a\"\"b"_s << QStringList{"a\"b"};
    QTest::newRow("quote at the end") << u"a \""_s << QStringList{"a", empty};
    QTest::newRow("semicolon") << u"<a@b>;c@d"_s << QStringList{"<a@b>;c@d"};
    QTest::newRow("mixed separators") << u"a@b;c@d, e@f\tg@h"_s
                                      << QStringList{"a@b;c@d", "e@f", "g@h"};
    QTest::newRow("quoted display name") << u"\"x, y\" <a@b>"_s << QStringList{"x, y", "<a@b>"};
    QTest::newRow("no-break space") << u"a\u00A0b"_s << QStringList{u"a\u00A0b"_s};
    QTest::newRow("mark after blank") << u"a \u0301b"_s << QStringList{"a", "b"};
    QTest::newRow("NUL ends the line") << QString::fromUtf16(u"x\0y z", 5) << QStringList{"x"};

    // Further cases of the character steps and of the blank class.
    QTest::newRow("every control code is a blank")
            << u"a\x01" "b\x1f" "c\vd\fe\nf"_s << QStringList{"a", "b", "c", "d", "e", "f"};
    QTest::newRow("DEL and em space are field units")
            << u"a\x7f" "b c\u2003d"_s << QStringList{u"a\x7f" "b"_s, u"c\u2003d"_s};
    QTest::newRow("marks after blanks at the start") << u" \u0301\u0302a"_s << QStringList{"a"};
    QTest::newRow("mark at the very start") << u"\u0301a"_s << QStringList{u"\u0301a"_s};
    QTest::newRow("mark inside a field") << u"e\u0301 b"_s << QStringList{u"e\u0301"_s, "b"};
    QTest::newRow("mark after delimiter") << u",\u0301b"_s << QStringList{empty, "b"};
    QTest::newRow("delimiter, then marks only") << u"a,\u0301\u0302"_s
                                                << QStringList{"a", empty};
    QTest::newRow("delimiter, marks, blank") << u"a,\u0301 "_s << QStringList{"a"};
    QTest::newRow("low surrogate after blank") << u"a \xDC00\u0301b"_s << QStringList{"a", "b"};
    QTest::newRow("second low surrogate begins a field")
            << u"a \xDC00\xDC01" "b"_s << QStringList{"a", u"\xDC01" "b"_s};
    QTest::newRow("surrogate pair after blank") << u"a \U0001F600b"_s
                                                << QStringList{"a", u"\U0001F600b"_s};
    QTest::newRow("mark right after a quoted field") << u"\"a\"\u0301"_s
                                                     << QStringList{"a", u"\u0301"_s};
    QTest::newRow("quoted reader keeps marks") << u"\" \u0301\""_s << QStringList{u" \u0301"_s};
    QTest::newRow("quote after blank and mark") << u"a \u0301\"b c\""_s
                                                << QStringList{"a", "b c"};
    QTest::newRow("NUL inside quotes") << QString::fromUtf16(u"\"a\0b\"", 5) << QStringList{"a"};
    QTest::newRow("quoted split again") << u"a,b c"_s << QStringList{"a", "b", "c"};
}

void TestSplitFields::split()
{
    QFETCH(QString, line);
    QFETCH(QStringList, fields);

    QStringList result;
    splitFields(line, result);
    QCOMPARE(result, fields);
}

void TestSplitFields::listIsEmptiedFirst()
{
    QStringList fields{"old", "older"};
    splitFields(u"new", fields);
    QCOMPARE(fields, QStringList{"new"});
    splitFields(u"  ", fields);
    QVERIFY(fields.isEmpty());
}

QTEST_GUILESS_MAIN(TestSplitFields)
#include "tst_splitfields.moc"

