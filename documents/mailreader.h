#pragma once

#include "documents/documentsource.h"
#include "documents/documenttext.h"

// A mail (.eml) or a mailbox of them (.mbox, "From " lines before each), read by GMime.
// Each message gives its From, To, Cc, Bcc, Reply-To, Sender, Subject and Date headers,
// unfolded and with their encoded words decoded, one line each as "Name: value", then the
// text of every text part, decoded by its transfer encoding and its charset (an HTML part
// as the text a browser shows), then an empty line. The other headers and the parts that
// are not text are left out; a message attached to a message is read as a message.
class MailReader
{
public:
    MailReader(const DocumentSource &source, bool mailbox, DocumentText &text);

    void read();

private:
    const DocumentSource &m_source;
    bool m_mailbox;
    DocumentText &m_text;
};
