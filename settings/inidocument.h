#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <optional>

// The bytes of a profile file, read and changed by the profile rules: "[name]" opens a
// section, "key=value" lines hold its entries, ';' starts a comment line; names match
// without regard to case and the first of duplicates wins. A change touches only the
// bytes of the one value it replaces or the lines it adds, so every other line, even one
// that is not valid UTF-8, stays exactly as it was.
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

    QByteArray data() const { return m_data; }

    static constexpr qsizetype MaxValueLength = 2047;

private:
    struct Entry
    {
        bool sectionFound = false;
        // Where a new entry of the section goes: after its last entry, or after its header.
        qsizetype insertAt = -1;
        bool keyFound = false;
        // The raw value bytes of the entry, from after '=' to the end of its line.
        qsizetype valueStart = -1;
        qsizetype valueEnd = -1;
    };

    Entry find(QStringView section, QStringView key) const;

    QByteArray m_data;
};
