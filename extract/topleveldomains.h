#pragma once

#include <QByteArrayView>

// Whether a label, in UTF-8 and in any case, is a top-level domain that exists: one that
// the public suffix list names, as the system's libpsl holds it (the list Debian keeps
// current, or the one built into the library when it is newer). There is no implicit "*"
// rule, so "fr", "рф" and "xn--p1ai" are, "png", "jpg" and "localhost" are not. Each
// thread keeps the answers it was given, so that a label costs a lookup of the list only
// the first time that thread meets it; every thread may ask at once. Throws AdrelioError
// when the system holds no list.
bool isTopLevelDomain(QByteArrayView utf8Label);
