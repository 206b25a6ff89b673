#pragma once

#include "documents/documentsource.h"
#include "documents/documenttext.h"

// A mail (.eml) or a mailbox of them (.mbox, "From " lines before each), read by GMime.
// Each message gives its From, To, Cc, Bcc, Reply-To, Sender, Subject and Date headers,
// unfolded and with their encoded words decoded, one line each as "Name: value", then the
// text of every text part, decoded by its transfer encoding and its charset (an HTML part
// as the text a browser shows), then an empty line. The other headers and the parts that
// are not text are left out; a message attached to a message is read as a message.
//
// A mailbox is cut before its "From " lines into pieces of about 2 MB, which GMime parses
// on every core, each piece with parsers and messages of its own; their texts follow in
// the messages' order, the same text as one parser over the whole mailbox gives.
class MailReader
{
public:
    MailReader(const DocumentSource &source, bool mailbox, DocumentText &text);

    void read();

    // The size of a mailbox's pieces; tests set a few bytes.
    static void setPieceSize(qsizetype bytes);

private:
    const DocumentSource &m_source;
    bool m_mailbox;
    DocumentText &m_text;
};
