// The profile reader and writer, through the real accessors on a file: an existing file
// (or none) from the input, one entry written with Profile::setValue(), then read back
// with Profile::value().
// Names come from a small alphabet that holds blanks, letters of both cases and non-ASCII
// letters; values and the existing file are any bytes, the file UTF-16 when they open
// with its mark.
#include "fuzzsupport.h"

#include "base/adrelioerror.h"
#include "settings/profile.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QTemporaryDir>

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

QTemporaryDir *workDir = nullptr;

QString nameFrom(FuzzedDataProvider &input)
{
    static const char16_t alphabet[] = u"aAbBzZ09 \t_-.\u00e9\u00c9\u00df";
    const std::string raw = input.ConsumeRandomLengthString(8);
    QString name;
    for (unsigned char c : raw)
        name += QChar(alphabet[c % (std::size(alphabet) - 1)]);
    return name;
}

// The only blanks the names hold are spaces and tabs, which are what the reader trims.
bool sameName(QStringView a, QStringView b)
{
    return a.trimmed().compare(b.trimmed(), Qt::CaseInsensitive) == 0;
}

// A value reads back as written unless blanks or a pair of quotes surround it, which the
// reader removes, or it holds a line break, which would end its line.
bool readsBackAsWritten(const QString &value)
{
    if (value.contains(u'\n') || value.contains(u'\r'))
        return false;
    if (!value.isEmpty()) {
        const QChar first = value.front();
        const QChar last = value.back();
        if (first == u' ' || first == u'\t' || last == u' ' || last == u'\t')
            return false;
        if (value.size() >= 2 && (first == u'"' || first == u'\'') && last == first)
            return false;
    }
    return true;
}

// A profile cut at its line feeds: bytes of UTF-8, or of UTF-16 units after a UTF-16 mark,
// whose line feed is a unit and whose odd last byte makes no unit.
struct ProfileLines
{
    QByteArray mark;
    QByteArrayList lines;
    QByteArray oddByte;
};

ProfileLines linesOf(QByteArray bytes)
{
    ProfileLines profile;
    for (const QByteArray &mark : { QByteArray("\xEF\xBB\xBF"), QByteArray("\xFF\xFE"),
                                    QByteArray("\xFE\xFF") }) {
        if (bytes.startsWith(mark)) {
            profile.mark = mark;
            bytes.remove(0, mark.size());
            break;
        }
    }
    if (profile.mark.size() != 2) {
        profile.lines = bytes.split('\n');
        return profile;
    }
    if (bytes.size() % 2 != 0) {
        profile.oddByte = bytes.last(1);
        bytes.chop(1);
    }
    const QByteArray feed = profile.mark.startsWith('\xFF') ? QByteArray("\n\0", 2)
                                                             : QByteArray("\0\n", 2);
    qsizetype start = 0;
    for (qsizetype i = 0; i < bytes.size(); i += 2) {
        if (bytes.sliced(i, 2) == feed) {
            profile.lines.append(bytes.sliced(start, i - start));
            start = i + 2;
        }
    }
    profile.lines.append(bytes.sliced(start));
    return profile;
}

// The mark and an odd last byte stay where they were, every line of before is still
// there, in order, and only the lines of the entry were added or changed. The mark belongs
// to no line: an entry may go right after it.
bool keepsForeignLines(const QByteArray &before, const QByteArray &after, bool keyExisted)
{
    const ProfileLines was = linesOf(before);
    const ProfileLines is = linesOf(after);
    if (was.mark != is.mark || was.oddByte != is.oddByte)
        return false;
    const QByteArrayList &old = was.lines;
    const QByteArrayList &now = is.lines;
    if (keyExisted) {
        if (old.size() != now.size())
            return false;
        qsizetype changed = 0;
        for (qsizetype i = 0; i < old.size(); ++i)
            changed += old.at(i) != now.at(i);
        return changed <= 1;
    }
    if (now.size() > old.size() + 3)
        return false;
    qsizetype i = 0;
    for (const QByteArray &line : now) {
        if (i < old.size() && line == old.at(i))
            ++i;
    }
    return i == old.size();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    Q_UNUSED(argc);
    Q_UNUSED(argv);
    // Every save syncs the file to disk; on a memory file system that costs nothing.
    const QString shm = QStringLiteral("/dev/shm");
    const QString base = QFileInfo(shm).isWritable() ? shm : QDir::tempPath();
    workDir = new QTemporaryDir(base + QStringLiteral("/fuzz_ini-XXXXXX"));
    std::atexit([] { delete workDir; });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    const QString section = nameFrom(input);
    const QString key = nameFrom(input);
    const QString otherSection = nameFrom(input);
    const QString otherKey = nameFrom(input);
    const std::string valueBytes = input.ConsumeRandomLengthString(2100);
    const QString value = QString::fromUtf8(valueBytes.data(), qsizetype(valueBytes.size()));
    const bool fileExists = input.ConsumeBool();
    const std::string rest = input.ConsumeRemainingBytesAsString();
    const QByteArray before =
            fileExists ? QByteArray(rest.data(), qsizetype(rest.size())) : QByteArray();

    const QString fileName = workDir->filePath(QStringLiteral("profile.INI"));
    QFile::remove(fileName);
    if (fileExists) {
        QFile file(fileName);
        require(file.open(QIODevice::WriteOnly) && file.write(before) == before.size(),
                "the existing profile can be set up");
    }

    // No stored value holds a line break, so this default tells a missing entry apart.
    const QString missing = QStringLiteral("\n");
    const bool keyExisted = Profile(fileName).value(section, key, missing) != missing;
    const QString otherBefore = Profile(fileName).value(otherSection, otherKey, missing);
    try {
        Profile(fileName).setValue(section, key, value);
    } catch (const AdrelioError &) {
        require(false, "a profile in a writable folder can be written");
    }

    const QString stored = Profile(fileName).value(section, key, missing);
    if (readsBackAsWritten(value))
        require(stored == value.left(2047), "a value comes back as written, cut to 2047 units");
    if (!sameName(section, otherSection) || !sameName(key, otherKey))
        require(Profile(fileName).value(otherSection, otherKey, missing) == otherBefore,
                "the other entries keep their values");

    QFile file(fileName);
    require(file.open(QIODevice::ReadOnly), "the written profile can be read");
    require(keepsForeignLines(before, file.readAll(), keyExisted), "foreign lines are kept");
    return 0;
}
