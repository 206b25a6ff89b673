#pragma once

#include <QByteArrayView>
#include <QStringView>

// "Adresses seules": the address a field holds, or a null view when it holds none. Blanks
// at both ends go; in a field with <…> around an "@" only what is between stays; then,
// until nothing changes, blanks, the brackets and quotes <>()[]{}"'«» at both ends, the
// punctuation .,;:!? at the end, and a leading "mailto:" (any case) with its "?query" go.
// What remains must be local@domain: one "@", a local part without blanks and without
// <>()[],;:" , and a domain of at least two dot-separated labels (letters and digits of any
// script, marks after them, hyphens inside) or an address literal in brackets (an IPv4
// address, or "IPv6:" and hexadecimal digits, colons and dots). The case is kept. The
// README has the table of these rules.
QStringView cleanedAddress(QStringView field);

// The same for a field of ASCII bytes.
QByteArrayView cleanedAsciiAddress(QByteArrayView field);
