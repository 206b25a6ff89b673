#pragma once

#include "base/progress.h"
#include "documents/documentkind.h"
#include "documents/documentsource.h"
#include "worklist/textfile.h"

#include <QByteArray>
#include <QString>

class DocumentText;

// The one entry to the readers of documents: a file goes in, the text lines that a user
// reads in it come out, as UTF-8 bytes with '\n' breaks in a RawTextFile in the system
// encoding, which the window's load and the extraction take as they take a text file.
// The kind is found from the file's first bytes and its structure, never from its name
// (documentKind()); a file of no kind known here is Text, read by the text files' rules
// (readTextFile(), TextInput), which these readers never replace.
//
// A document that cannot be read throws AdrelioError « Impossible de lire le document
// "<full path>". <reason> »: « fichier endommagé » (damaged or truncated, or a PDF whose
// reading stalls), « document protégé par un mot de passe » (an encrypted PDF or zip
// entry), « archive trop volumineuse une fois décompressée » (the limits of DocumentText),
// « archives imbriquées sur plus de 3 niveaux » (a document inside a document inside a
// document, inside a document), or the system's reason when the process that reads a PDF
// cannot be started (PdfProcess). Standard input is named « l'entrée standard ». A cancel
// throws OperationCancelled.
class DocumentReader
{
public:
    // The kind of the file at fileName; Text for a file that is not a regular file or
    // cannot be opened, for readTextFile() to report.
    static DocumentKind kindOfFile(const QString &fileName);
    static RawTextFile readFile(const QString &fileName, DocumentKind kind,
                                const Progress &progress = {});

    // The first bytes of a stream, read as they come until they tell its kind.
    struct StreamStart
    {
        QByteArray head;
        DocumentKind kind = DocumentKind::Text;
    };
    // fd stays open; name is empty for standard input. Throws AdrelioError with the read
    // message.
    static StreamStart readStreamStart(int fd, const QString &name);
    static RawTextFile readStream(int fd, const StreamStart &start, const QString &name);

    // A document found inside another, read into its text. Throws DocumentFailure.
    static void readNested(const DocumentSource &source, DocumentKind kind, DocumentText &text);

private:
    static RawTextFile read(const DocumentSource &source, DocumentKind kind, qint64 size,
                            const QString &name, const Progress &progress);
};
