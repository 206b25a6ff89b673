#pragma once

#include "extract/splitdelimited.h"

#include <QString>
#include <QStringList>
#include <QStringView>

#include <cstdio>
#include <cstdlib>

// A broken property ends the run as a crash does, so that libFuzzer keeps the input.
inline void require(bool holds, const char *property)
{
    if (!holds) {
        std::fprintf(stderr, "property broken: %s\n", property);
        std::abort();
    }
}

// The extraction done the plain way: every line of a text with '\n' breaks split on its
// own, every field that holds "@" kept. The fast paths must give exactly this.
inline QStringList plainExtraction(QStringView text)
{
    QStringList addresses;
    QStringList fields;
    for (QStringView line : text.split(u'\n')) {
        SplitDelimited(line, fields);
        for (const QString &field : std::as_const(fields)) {
            if (field.contains(u'@'))
                addresses.append(field);
        }
    }
    return addresses;
}
