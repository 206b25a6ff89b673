#pragma once

#include "support/plainpaths.h"

#include <QByteArray>
#include <QStringList>
#include <QTest>

// Files as an office user has them, one row per kind of field, with the addresses that
// "Adresses seules" gives for each, in order: the window and adrelio-extract --clean must
// give exactly these. The columns are content, the file's bytes, and addresses.
inline void addCleaningExamples()
{
    using namespace Qt::Literals::StringLiterals;
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("addresses");

    QTest::newRow("vCard")
            << QByteArray("BEGIN:VCARD\r\nVERSION:3.0\r\nFN:\xC3\x89lodie Martin\r\n"
                          "EMAIL;TYPE=INTERNET:elodie.martin@exemple.fr\r\n"
                          "EMAIL;TYPE=INTERNET,WORK:e.martin@societe.fr\r\nEND:VCARD\r\n"
                          "BEGIN:VCARD\r\nVERSION:2.1\r\nEMAIL;PREF;INTERNET:jean@orange.fr\r\nEND:VCARD\r\n")
            << QStringList{u"elodie.martin@exemple.fr"_s, u"e.martin@societe.fr"_s, u"jean@orange.fr"_s};
    QTest::newRow("semicolon CSV of a French Excel, Windows-1252")
            << QByteArray("Nom;Pr\xE9nom;Courriel;T\xE9l\xE9phone\r\n"
                          "Dupont;H\xE9l\xE8ne;helene.dupont@orange.fr;01 23 45 67 89\r\n"
                          "Martin;Lo\xEF" "c;loic.martin@free.fr;06 11 22 33 44\r\n"
                          "\"Le Gall\";Ma\xEBl;\"mael.legall@laposte.net\";\r\n")
            << QStringList{u"helene.dupont@orange.fr"_s, u"loic.martin@free.fr"_s,
                           u"mael.legall@laposte.net"_s};
    QTest::newRow("tab-separated UTF-16 of Excel")
            << utf16Bytes(u"Nom\tCourriel\r\nLefèvre\t<agnes.lefevre@wanadoo.fr>\r\n", false)
            << QStringList{u"agnes.lefevre@wanadoo.fr"_s};
    QTest::newRow("HTML link and cell")
            << QByteArray("<p>\xC3\x89" "crivez-nous : <a href=\"mailto:accueil@mairie-lyon.fr\">"
                          "accueil@mairie-lyon.fr</a></p>\n"
                          "<tr><td>Cantine</td><td>cantine@ecole.fr</td></tr>\n")
            << QStringList{u"accueil@mairie-lyon.fr"_s, u"accueil@mairie-lyon.fr"_s, u"cantine@ecole.fr"_s};
    QTest::newRow("character references and percent-encoding")
            << QByteArray("<a href=\"mailto:jean&#64;exemple.fr\">jean&#x40;exemple.fr</a>\n"
                          "paul&commat;ex.fr &lt;marie@ex.fr&gt;&nbsp;; <a href=\"mailto:lea%40ex.fr\">L\xC3\xA9" "a</a>\n")
            << QStringList{u"jean@exemple.fr"_s, u"jean@exemple.fr"_s, u"paul@ex.fr"_s, u"marie@ex.fr"_s,
                           u"lea@ex.fr"_s};
    QTest::newRow("minified JSON")
            << QByteArray("[{\"nom\":\"Luc\",\"email\":\"luc@ex.fr\"},{\"nom\":\"Zo\xC3\xA9\",\"email\":\"zoe@ex.fr\"}]")
            << QStringList{u"luc@ex.fr"_s, u"zoe@ex.fr"_s};
    QTest::newRow("XML")
            << QByteArray("<contact><nom>Dupont</nom><courriel>jean.dupont@exemple.fr</courriel></contact>\n"
                          "<email type=\"pro\">j.d@societe.fr</email>\n")
            << QStringList{u"jean.dupont@exemple.fr"_s, u"j.d@societe.fr"_s};
    QTest::newRow("SQL")
            << QByteArray("INSERT INTO contacts VALUES (1,'Dupont','jean@ex.fr'),"
                          "(2,'O''Brien','sean.obrien@ex.ie');\n")
            << QStringList{u"jean@ex.fr"_s, u"sean.obrien@ex.ie"_s};
    QTest::newRow("log with key=")
            << QByteArray("Dec 10 08:01:02 mx postfix/smtpd[123]: 4F2A1: client=mail.ex.fr[192.0.2.1], "
                          "sasl_method=PLAIN, sasl_username=jean.durand@sfr.fr\n"
                          "Dec 10 08:01:03 mx postfix/qmgr[99]: 4F2A1: from=<marie@orange.fr>, size=1234\n")
            << QStringList{u"jean.durand@sfr.fr"_s, u"marie@orange.fr"_s};
    QTest::newRow("Outlook lists")
            << QByteArray("jean@orange.fr;marie@orange.fr;paul@free.fr\r\n<sophie@ex.fr>;<luc@ex.fr>\r\n"
                          "Sophie Durand <sophie@ex.fr>; Luc <luc@ex.fr>\r\n")
            << QStringList{u"jean@orange.fr"_s, u"marie@orange.fr"_s, u"paul@free.fr"_s, u"sophie@ex.fr"_s,
                           u"luc@ex.fr"_s, u"sophie@ex.fr"_s, u"luc@ex.fr"_s};
    QTest::newRow("labels and no-break spaces")
            << QByteArray("Courriel:jean@ex.fr Contact :paul@ex.fr\n"
                          "Courriel\xC2\xA0:\xC2\xA0marie@ex.fr\nContact\xE2\x80\xAF:\xE2\x80\xAFluc@ex.fr.\n")
            << QStringList{u"jean@ex.fr"_s, u"paul@ex.fr"_s, u"marie@ex.fr"_s, u"luc@ex.fr"_s};
    QTest::newRow("typographic quotes and guillemets")
            << QByteArray("\xE2\x80\x9C" "claire@ex.fr\xE2\x80\x9D \xE2\x80\x98marc@ex.fr\xE2\x80\x99 "
                          "\xC2\xABzo\xC3\xA9@exemple.org\xC2\xBB; 'eve@ex.fr'\n")
            << QStringList{u"claire@ex.fr"_s, u"marc@ex.fr"_s, u"zoé@exemple.org"_s, u"eve@ex.fr"_s};
    QTest::newRow("image names")
            << QByteArray("<img src=\"logo@2x.png\" srcset=\"icon@3x.webp 3x\"> photo@home.jpg\n"
                          "contact@ex.fr a@localhost\n")
            << QStringList{u"contact@ex.fr"_s};
    QTest::newRow("internationalised domains")
            << QByteArray("j\xC3\xBCrgen@m\xC3\xBCnchen.de \xD0\xB8\xD0\xB2\xD0\xB0\xD0\xBD@"
                          "\xD0\xBF\xD1\x80\xD0\xB8\xD0\xBC\xD0\xB5\xD1\x80.\xD1\x80\xD1\x84 "
                          "info@xn--mnchen-3ya.de\n")
            << QStringList{u"jürgen@münchen.de"_s, u"иван@пример.рф"_s, u"info@xn--mnchen-3ya.de"_s};
    QTest::newRow("address literals")
            << QByteArray("root@[192.0.2.1] (a@[IPv6:2001:db8::1]). b@[300.1.1.1]\n")
            << QStringList{u"root@[192.0.2.1]"_s, u"a@[IPv6:2001:db8::1]"_s};
    QTest::newRow("mailto with a query, punctuation, case")
            << QByteArray("mailto:contact@asso.fr?subject=x (paul@ex.net), Jean.Dupont@Exemple.FR\n")
            << QStringList{u"contact@asso.fr"_s, u"paul@ex.net"_s, u"Jean.Dupont@Exemple.FR"_s};
}
