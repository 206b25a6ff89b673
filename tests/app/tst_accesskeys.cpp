#include "app/accesskeys.h"

#include <QTest>

class TestAccessKeys : public QObject
{
    Q_OBJECT

private slots:
    void withAccessKeys_data();
    void withAccessKeys();
};

void TestAccessKeys::withAccessKeys_data()
{
    QTest::addColumn<QStringList>("captions");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("the window's menu")
            << QStringList { "Extraire", "Enregistrer ...", "Copier la liste dans le presse papier ",
                             "Trier la liste", "Extraction automatique", "Adresses seules",
                             "Sans doublons", "&Tout sélectionner", "Co&ller", "C&opier",
                             "&Quitter" }
            << QStringList { "&Extraire", "E&nregistrer ...",
                             "&Copier la liste dans le presse papier ", "T&rier la liste",
                             "E&xtraction automatique", "&Adresses seules", "&Sans doublons",
                             "&Tout sélectionner", "Co&ller", "C&opier", "&Quitter" };
    // The keys of the entries above do not depend on the entries that come after them.
    QTest::newRow("the menu without the extraction options")
            << QStringList { "Extraire", "Enregistrer ...", "Copier la liste dans le presse papier ",
                             "Trier la liste", "Extraction automatique", "&Tout sélectionner",
                             "Co&ller", "C&opier", "&Quitter" }
            << QStringList { "&Extraire", "E&nregistrer ...",
                             "&Copier la liste dans le presse papier ", "T&rier la liste",
                             "E&xtraction automatique", "&Tout sélectionner", "Co&ller",
                             "C&opier", "&Quitter" };
    QTest::newRow("marks are reserved before unmarked entries above them")
            << QStringList { "Abc", "&Alpha" } << QStringList { "A&bc", "&Alpha" };
    QTest::newRow("a mark already taken is lost")
            << QStringList { "&Un", "&Usage" } << QStringList { "&Un", "U&sage" };
    QTest::newRow("lower case marks count in upper case")
            << QStringList { "&x", "X&y" } << QStringList { "&x", "X&y" };
    QTest::newRow("accented letters, blanks and punctuation never qualify")
            << QStringList { "é é-2" } << QStringList { "é é-&2" };
    QTest::newRow("digits qualify") << QStringList { "1er" } << QStringList { "&1er" };
    QTest::newRow("no free key leaves the caption as it is")
            << QStringList { "&A", "a" } << QStringList { "&A", "a" };
    QTest::newRow("a literal ampersand is not a mark")
            << QStringList { "R&&D" } << QStringList { "&R&&D" };
    QTest::newRow("an ampersand before a character that cannot be a key is kept")
            << QStringList { "&é", "é1" } << QStringList { "&é", "é&1" };
    QTest::newRow("empty caption") << QStringList { "" } << QStringList { "" };
}

void TestAccessKeys::withAccessKeys()
{
    QFETCH(QStringList, captions);
    QFETCH(QStringList, expected);
    QCOMPARE(::withAccessKeys(captions), expected);
}

QTEST_APPLESS_MAIN(TestAccessKeys)

#include "tst_accesskeys.moc"
