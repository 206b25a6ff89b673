#include "app/accesskeys.h"

#include <QSet>

namespace {

bool isCandidate(QChar c)
{
    const QChar upper = c.toUpper();
    return (upper >= QLatin1Char('0') && upper <= QLatin1Char('9'))
        || (upper >= QLatin1Char('A') && upper <= QLatin1Char('Z'));
}

// The index of the character marked by a single "&", or -1; "&&" is a literal ampersand.
qsizetype markedIndex(const QString &caption)
{
    for (qsizetype i = 0; i + 1 < caption.size(); ++i) {
        if (caption.at(i) != QLatin1Char('&'))
            continue;
        if (caption.at(i + 1) != QLatin1Char('&'))
            return i + 1;
        ++i;
    }
    return -1;
}

} // namespace

QStringList withAccessKeys(const QStringList &captions)
{
    QStringList result = captions;
    QSet<QChar> taken;
    QList<qsizetype> unmarked;

    for (qsizetype n = 0; n < result.size(); ++n) {
        const qsizetype marked = markedIndex(result.at(n));
        if (marked < 0) {
            unmarked.append(n);
            continue;
        }
        const QChar key = result.at(n).at(marked).toUpper();
        if (!isCandidate(key))
            continue;
        if (taken.contains(key)) {
            result[n].remove(marked - 1, 1);
            unmarked.append(n);
        } else {
            taken.insert(key);
        }
    }

    for (const qsizetype n : std::as_const(unmarked)) {
        QString &caption = result[n];
        for (qsizetype i = 0; i < caption.size(); ++i) {
            const QChar c = caption.at(i);
            if (c == QLatin1Char('&')) {
                ++i;
                continue;
            }
            if (isCandidate(c) && !taken.contains(c.toUpper())) {
                taken.insert(c.toUpper());
                caption.insert(i, QLatin1Char('&'));
                break;
            }
        }
    }
    return result;
}
