#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <optional>

// The bytes of a profile file, read and changed by the profile rules: "[name]" opens a
// section, "key=value" lines hold its entries, ';' starts a comment line; names match
// without regard to case and the first of duplicates wins. The file is UTF-8, with or
// without its mark, or UTF-16 in either byte order after its mark, as the "Unicode" of a
// Windows editor; a change is written in the file's own encoding. It touches only the
// units of the one value it replaces or the lines it adds, so every other line, even one
// that is not valid UTF-8 or UTF-16, stays exactly as it was.
class IniDocument
{
public:
    explicit IniDocument(const QByteArray &data);

    // The value as the program reads it: blanks around it removed, one pair of matching
    // quotes removed, cut to its first 2047 units. Empty when the entry is missing.
    std::optional<QString> value(QStringView section, QStringView key) const;

    // Replaces the value in place, or adds the entry at the end of its section, or adds
    // the section at the end of the file. The value is written as given, up to its first
    // line break, since a break would start a new line of the file.
    void setValue(QStringView section, QStringView key, QStringView value);

    QByteArray data() const;

    static constexpr qsizetype MaxValueLength = 2047;

private:
    enum class Encoding { Utf8, Utf16LittleEndian, Utf16BigEndian };

    Encoding m_encoding = Encoding::Utf8;
    // UTF-8: the bytes as they are, a mark included.
    QByteArray m_data;
    // UTF-16: the units after the mark, and a last byte that makes no unit.
    QString m_units;
    QByteArray m_oddByte;
};
