#pragma once

#include <QString>
#include <QStringView>

// The text that a browser shows of an HTML part of a mail: tags left out, the content of
// script and style elements too; blanks run together into one space; paragraphs, line
// breaks, list items, table rows and the like end a line, table cells are separated by a
// tab; character references (&eacute;, &#233;, &#xE9;) decoded for the HTML 4 entities
// and the few of HTML 5 that stand for address characters (&commat;, &period;); a
// no-break space is a blank like any other.
QString htmlToText(QStringView html);
