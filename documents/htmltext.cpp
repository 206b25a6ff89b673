#include "documents/htmltext.h"

#include <QHash>

namespace {

// The entities of Latin-1, U+00A0 to U+00FF, in order.
constexpr const char *latin1Entities[96] = {
    "nbsp", "iexcl", "cent", "pound", "curren", "yen", "brvbar", "sect",
    "uml", "copy", "ordf", "laquo", "not", "shy", "reg", "macr",
    "deg", "plusmn", "sup2", "sup3", "acute", "micro", "para", "middot",
    "cedil", "sup1", "ordm", "raquo", "frac14", "frac12", "frac34", "iquest",
    "Agrave", "Aacute", "Acirc", "Atilde", "Auml", "Aring", "AElig", "Ccedil",
    "Egrave", "Eacute", "Ecirc", "Euml", "Igrave", "Iacute", "Icirc", "Iuml",
    "ETH", "Ntilde", "Ograve", "Oacute", "Ocirc", "Otilde", "Ouml", "times",
    "Oslash", "Ugrave", "Uacute", "Ucirc", "Uuml", "Yacute", "THORN", "szlig",
    "agrave", "aacute", "acirc", "atilde", "auml", "aring", "aelig", "ccedil",
    "egrave", "eacute", "ecirc", "euml", "igrave", "iacute", "icirc", "iuml",
    "eth", "ntilde", "ograve", "oacute", "ocirc", "otilde", "ouml", "divide",
    "oslash", "ugrave", "uacute", "ucirc", "uuml", "yacute", "thorn", "yuml",
};

struct Entity
{
    const char *name;
    char32_t character;
};

constexpr Entity otherEntities[] = {
    {"quot", 0x22}, {"amp", 0x26}, {"apos", 0x27}, {"lt", 0x3C}, {"gt", 0x3E},
    {"commat", 0x40}, {"period", 0x2E}, {"lowbar", 0x5F}, {"hyphen", 0x2010},
    {"OElig", 0x152}, {"oelig", 0x153}, {"Scaron", 0x160}, {"scaron", 0x161},
    {"Yuml", 0x178}, {"fnof", 0x192}, {"circ", 0x2C6}, {"tilde", 0x2DC},
    {"ensp", 0x2002}, {"emsp", 0x2003}, {"thinsp", 0x2009}, {"zwnj", 0x200C},
    {"zwj", 0x200D}, {"lrm", 0x200E}, {"rlm", 0x200F}, {"ndash", 0x2013},
    {"mdash", 0x2014}, {"lsquo", 0x2018}, {"rsquo", 0x2019}, {"sbquo", 0x201A},
    {"ldquo", 0x201C}, {"rdquo", 0x201D}, {"bdquo", 0x201E}, {"dagger", 0x2020},
    {"Dagger", 0x2021}, {"bull", 0x2022}, {"hellip", 0x2026}, {"permil", 0x2030},
    {"prime", 0x2032}, {"Prime", 0x2033}, {"lsaquo", 0x2039}, {"rsaquo", 0x203A},
    {"euro", 0x20AC}, {"trade", 0x2122},
};

const QHash<QString, char32_t> &entities()
{
    static const QHash<QString, char32_t> table = [] {
        QHash<QString, char32_t> names;
        for (int i = 0; i < 96; ++i)
            names.insert(QString::fromLatin1(latin1Entities[i]), char32_t(0xA0 + i));
        for (const Entity &entity : otherEntities)
            names.insert(QString::fromLatin1(entity.name), entity.character);
        return names;
    }();
    return table;
}

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f';
}

bool endsLine(QStringView tag)
{
    static const QStringView names[] = {
        u"br", u"p", u"div", u"tr", u"li", u"h1", u"h2", u"h3", u"h4", u"h5", u"h6",
        u"table", u"ul", u"ol", u"dl", u"dt", u"dd", u"blockquote", u"hr", u"pre",
        u"title", u"section", u"article", u"header", u"footer", u"address",
    };
    for (QStringView name : names) {
        if (tag.compare(name, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

// The character that the reference at html[at] ("&...;") stands for, and its length;
// 0 when it is none.
char32_t reference(QStringView html, qsizetype at, qsizetype *length)
{
    const qsizetype semicolon = html.sliced(at, qMin<qsizetype>(34, html.size() - at)).indexOf(u';');
    if (semicolon < 0)
        return 0;
    const qsizetype end = at + semicolon;
    const QStringView body = html.sliced(at + 1, end - at - 1);
    *length = end - at + 1;
    if (body.startsWith(u'#')) {
        bool ok = false;
        const bool hexadecimal = body.size() > 1 && (body[1] == u'x' || body[1] == u'X');
        const uint value = body.sliced(hexadecimal ? 2 : 1).toUInt(&ok, hexadecimal ? 16 : 10);
        if (!ok || value == 0 || value > 0x10FFFF || (value >= 0xD800 && value < 0xE000))
            return 0;
        return char32_t(value);
    }
    return entities().value(body.toString(), 0);
}

} // namespace

QString htmlToText(QStringView html)
{
    QString text;
    bool blank = false;
    const auto breakLine = [&](QChar separator) {
        while (text.endsWith(u' '))
            text.chop(1);
        if (separator == u'\t' || !(text.isEmpty() || text.endsWith(u'\n')))
            text += separator;
        blank = false;
    };
    for (qsizetype i = 0; i < html.size();) {
        const QChar c = html[i];
        if (c == u'<') {
            if (html.sliced(i).startsWith(u"<!--")) {
                const qsizetype end = html.indexOf(u"-->", i + 4);
                i = end < 0 ? html.size() : end + 3;
                continue;
            }
            qsizetype end = i + 1;
            QChar quote;
            for (; end < html.size(); ++end) {
                const QChar d = html[end];
                if (!quote.isNull()) {
                    if (d == quote)
                        quote = QChar();
                } else if (d == u'"' || d == u'\'') {
                    quote = d;
                } else if (d == u'>') {
                    break;
                }
            }
            const bool closing = i + 1 < html.size() && html[i + 1] == u'/';
            qsizetype nameEnd = i + (closing ? 2 : 1);
            while (nameEnd < end && html[nameEnd].isLetterOrNumber())
                ++nameEnd;
            const QStringView name = html.sliced(i + (closing ? 2 : 1), nameEnd - i - (closing ? 2 : 1));
            i = end + 1;
            if (!closing && (name.compare(u"script", Qt::CaseInsensitive) == 0
                             || name.compare(u"style", Qt::CaseInsensitive) == 0)) {
                const QString close = QLatin1String("</") + name.toString();
                const qsizetype closeAt = html.indexOf(close, i, Qt::CaseInsensitive);
                const qsizetype closeEnd = closeAt < 0 ? -1 : html.indexOf(u'>', closeAt);
                i = closeEnd < 0 ? html.size() : closeEnd + 1;
            } else if (endsLine(name)) {
                breakLine(u'\n');
            } else if (closing && (name.compare(u"td", Qt::CaseInsensitive) == 0
                                   || name.compare(u"th", Qt::CaseInsensitive) == 0)) {
                breakLine(u'\t');
            }
            continue;
        }
        if (isBlank(c)) {
            blank = true;
            ++i;
            continue;
        }
        if (blank && !text.isEmpty() && !text.endsWith(u'\n') && !text.endsWith(u'\t'))
            text += u' ';
        blank = false;
        qsizetype length = 0;
        const char32_t character = c == u'&' ? reference(html, i, &length) : 0;
        if (character == 0xA0) {
            // A no-break space is a blank to whoever reads the text.
            blank = true;
            i += length;
        } else if (character != 0) {
            text += QString::fromUcs4(&character, 1);
            i += length;
        } else {
            text += c;
            ++i;
        }
    }
    while (text.endsWith(u'\n') || text.endsWith(u' '))
        text.chop(1);
    return text;
}
