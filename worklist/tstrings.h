#pragma once

#include "worklist/progress.h"
#include "worklist/tencoding.h"

#include <QChar>
#include <QString>

struct RawTextFile;

// The interface of ordered string lists: the in-memory TStringList and the line view
// TMemoStrings over the text area.
class TStrings
{
public:
    virtual ~TStrings() = default;

    virtual int Count() const = 0;
    virtual QString Strings(int index) const = 0;
    virtual void Clear() = 0;
    virtual int Add(const QString &s) = 0;

    // Replaces the lines and the attributes by those of source. A source whose Encoding
    // is None gives ANSI.
    virtual void Assign(const TStrings &source);

    // The whole text with CR LF breaks.
    virtual QString Text() const = 0;

    // Reads and decodes the whole file first; a failure raises AdrelioError and changes
    // nothing. On success Encoding is the encoding found and the lines are replaced.
    void LoadFromFile(const QString &fileName, const Progress &progress = {});
    // Puts a file read with readTextFile in place of the lines, as LoadFromFile does.
    void LoadFromRawFile(const RawTextFile &file, const Progress &progress = {});
    // Writes Text() in Encoding (DefaultEncoding when None), with the mark when WriteBOM.
    // The target is replaced atomically; a failure leaves it as it was.
    void SaveToFile(const QString &fileName, const Progress &progress = {}) const;

    TEncoding Encoding() const { return m_encoding; }
    void SetEncoding(TEncoding encoding) { m_encoding = encoding; }
    TEncoding DefaultEncoding() const { return m_defaultEncoding; }
    void SetDefaultEncoding(TEncoding encoding) { m_defaultEncoding = encoding; }
    bool WriteBOM() const { return m_writeBom; }
    void SetWriteBOM(bool writeBom) { m_writeBom = writeBom; }

    QChar Delimiter() const { return m_delimiter; }
    void SetDelimiter(QChar delimiter) { m_delimiter = delimiter; }
    QChar QuoteChar() const { return m_quoteChar; }
    void SetQuoteChar(QChar quoteChar) { m_quoteChar = quoteChar; }
    bool StrictDelimiter() const { return m_strictDelimiter; }
    void SetStrictDelimiter(bool strict) { m_strictDelimiter = strict; }

    void BeginUpdate();
    void EndUpdate();

    // Copies the attributes of source; a source whose Encoding is None gives ANSI.
    void CopyAttributes(const TStrings &source);

    // A bulk update for the span of a scope, ended also when the scope is left by an error.
    class UpdateBlock
    {
    public:
        explicit UpdateBlock(TStrings &strings) : m_strings(strings) { m_strings.BeginUpdate(); }
        ~UpdateBlock() { m_strings.EndUpdate(); }
        UpdateBlock(const UpdateBlock &) = delete;
        UpdateBlock &operator=(const UpdateBlock &) = delete;

    private:
        TStrings &m_strings;
    };

protected:
    // Called when the update counter leaves 0 and when it returns to 0.
    virtual void SetUpdateState(bool updating);
    // Puts a loaded text in place of the lines. Each hard break is one '\n'; the text
    // holds no other CR or LF and no U+0000.
    virtual void SetLoadedText(const QString &text) = 0;

private:
    TEncoding m_encoding = TEncoding::None;
    TEncoding m_defaultEncoding = TEncoding::ANSI;
    bool m_writeBom = true;
    QChar m_delimiter = QLatin1Char(',');
    QChar m_quoteChar = QLatin1Char('"');
    bool m_strictDelimiter = false;
    int m_updateCount = 0;
};
