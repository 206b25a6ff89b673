#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <type_traits>
#include <vector>

// "Adresses seules": every address a field holds, in order, each bare, whatever stands
// around it (labels, "key=", tags, quotes, brackets, "mailto:", punctuation).
//
// First, in one pass over the field, the character references that HTML hides an "@" or
// a bracket in are decoded (every numeric one, &#64; or &#x40;, and &commat; &lt; &gt;
// &quot; &amp; &nbsp;), and so is the percent-encoding of a "mailto:" (any case), from it
// up to a blank, a quote or an angle bracket (mailto:lea%40ex.fr). Then, around each "@":
// - the local part is the longest run before it of letters, digits and marks of any
//   script and of . _ % + - ' & that holds no two dots in a row; the dots, apostrophes and
//   marks at its start stay outside, and a dot or an apostrophe right before the "@"
//   leaves that "@" without an address;
// - the domain is the longest run after it of two or more labels separated by single dots,
//   each a letter or digit of any script, then letters, digits, marks and hyphens, not
//   ending with a hyphen; its last label must be a top-level domain that exists
//   (isTopLevelDomain()). Or it is an address literal: "[" four numbers from 0 to 255
//   separated by dots "]", or "[IPv6:" hexadecimal digits, colons and dots "]".
// The search for the next "@" resumes after the address found, so that addresses never
// overlap. The case is kept. The README has the table of these rules.
//
// View is QStringView for a text, QByteArrayView for well-formed UTF-8.
template <typename View>
class AddressCleaner
{
public:
    // The addresses of field, as views into it or into its decoded copy: valid until the
    // next call, and while field is.
    const std::vector<View> &addressesIn(View field);

private:
    using Buffer = std::conditional_t<std::is_same_v<View, QStringView>, QString, QByteArray>;

    Buffer m_decoded;
    std::vector<View> m_addresses;
};

extern template class AddressCleaner<QStringView>;
extern template class AddressCleaner<QByteArrayView>;
