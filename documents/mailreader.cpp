#include "documents/mailreader.h"

#include "base/windows1252.h"
#include "documents/htmltext.h"

#include <QFile>

#include <gmime/gmime.h>

#include <fcntl.h>

#include <memory>
#include <mutex>

namespace {

// Messages attached to messages are read this deep; deeper ones are left out.
constexpr int maxAttachedDepth = 16;

const char *const keptHeaders[] = {
    "From", "To", "Cc", "Bcc", "Reply-To", "Sender", "Subject", "Date",
};

struct ObjectRelease
{
    void operator()(gpointer object) const { g_object_unref(object); }
};
template <typename T>
using GObjectPointer = std::unique_ptr<T, ObjectRelease>;

struct MemoryRelease
{
    void operator()(gpointer memory) const { g_free(memory); }
};
using GlibText = std::unique_ptr<char, MemoryRelease>;

// GMime is initialised once for the whole program, from whichever thread reads a mail
// first; after that each reader uses objects of its own only, as GMime asks.
void initGMime()
{
    static std::once_flag once;
    std::call_once(once, [] { g_mime_init(); });
}

QByteArray utf8Of(QByteArrayView bytes)
{
    QByteArray utf8(3 * bytes.size(), Qt::Uninitialized);
    qsizetype used = 0;
    utf8.truncate(mixedTextToUtf8(bytes, true, utf8.data(), &used));
    return utf8;
}

GMimeStream *openStream(const DocumentSource &source)
{
    if (source.isFile())
        return g_mime_stream_fs_open(QFile::encodeName(source.fileName).constData(), O_RDONLY, 0,
                                     nullptr);
    if (!source.isStream())
        return g_mime_stream_mem_new_with_buffer(source.bytes.constData(), size_t(source.bytes.size()));
    GMimeStream *stream = g_mime_stream_cat_new();
    GObjectPointer<GMimeStream> head(
            g_mime_stream_mem_new_with_buffer(source.head.constData(), size_t(source.head.size())));
    GObjectPointer<GMimeStream> rest(g_mime_stream_pipe_new(source.fd));
    g_mime_stream_pipe_set_owner(GMIME_STREAM_PIPE(rest.get()), false);
    g_mime_stream_cat_add_source(GMIME_STREAM_CAT(stream), head.get());
    g_mime_stream_cat_add_source(GMIME_STREAM_CAT(stream), rest.get());
    return stream;
}

class MessageWriter
{
public:
    explicit MessageWriter(DocumentText &text) : m_text(text) { }

    void writeMessage(GMimeMessage *message, int depth)
    {
        GMimeHeaderList *headers = g_mime_object_get_header_list(GMIME_OBJECT(message));
        const int count = g_mime_header_list_get_count(headers);
        for (int i = 0; i < count; ++i) {
            GMimeHeader *header = g_mime_header_list_get_header_at(headers, i);
            const char *name = g_mime_header_get_name(header);
            const char *raw = g_mime_header_get_raw_value(header);
            if (!name || !raw || !isKept(name))
                continue;
            const GlibText unfolded(g_mime_utils_header_unfold(raw));
            const GlibText decoded(g_mime_utils_header_decode_text(nullptr, unfolded.get()));
            m_text.appendLine(QString::fromUtf8(name) + QLatin1String(": ")
                              + QString::fromUtf8(utf8Of(decoded.get())).trimmed());
        }
        if (GMimeObject *body = g_mime_message_get_mime_part(message))
            writeObject(body, depth);
        m_text.appendLine(QString());
    }

private:
    static bool isKept(const char *name)
    {
        for (const char *kept : keptHeaders) {
            if (g_ascii_strcasecmp(name, kept) == 0)
                return true;
        }
        return false;
    }

    void writeObject(GMimeObject *object, int depth)
    {
        if (GMIME_IS_MULTIPART(object)) {
            GMimeMultipart *multipart = GMIME_MULTIPART(object);
            const int count = g_mime_multipart_get_count(multipart);
            for (int i = 0; i < count; ++i)
                writeObject(g_mime_multipart_get_part(multipart, i), depth);
        } else if (GMIME_IS_MESSAGE_PART(object)) {
            GMimeMessage *attached = g_mime_message_part_get_message(GMIME_MESSAGE_PART(object));
            if (attached && depth < maxAttachedDepth)
                writeMessage(attached, depth + 1);
        } else if (GMIME_IS_PART(object)) {
            GMimeContentType *type = g_mime_object_get_content_type(object);
            if (type && g_mime_content_type_is_type(type, "text", "*"))
                writePart(GMIME_PART(object), g_mime_content_type_is_type(type, "text", "html"));
        }
    }

    // The content decoded from its transfer encoding, then from its charset when iconv
    // knows it; what is still not UTF-8 is read as text without a mark is.
    void writePart(GMimePart *part, bool html)
    {
        GMimeDataWrapper *content = g_mime_part_get_content(part);
        if (!content)
            return;
        GObjectPointer<GMimeStream> memory(g_mime_stream_mem_new());
        GObjectPointer<GMimeStream> filtered(g_mime_stream_filter_new(memory.get()));
        const char *charset = g_mime_object_get_content_type_parameter(GMIME_OBJECT(part), "charset");
        if (charset && g_ascii_strcasecmp(charset, "utf-8") != 0) {
            if (GMimeFilter *filter = g_mime_filter_charset_new(charset, "UTF-8")) {
                g_mime_stream_filter_add(GMIME_STREAM_FILTER(filtered.get()), filter);
                g_object_unref(filter);
            }
        }
        g_mime_data_wrapper_write_to_stream(content, filtered.get());
        g_mime_stream_flush(filtered.get());
        const GByteArray *bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(memory.get()));
        m_text.countInflated(bytes->len);
        const QByteArray utf8 = utf8Of(QByteArrayView(bytes->data, qsizetype(bytes->len)));
        if (html)
            m_text.appendLine(htmlToText(QString::fromUtf8(utf8)));
        else
            m_text.appendUtf8(utf8);
        m_text.endLine();
    }

    DocumentText &m_text;
};

} // namespace

MailReader::MailReader(const DocumentSource &source, bool mailbox, DocumentText &text)
    : m_source(source), m_mailbox(mailbox), m_text(text)
{
}

void MailReader::read()
{
    initGMime();
    GObjectPointer<GMimeStream> stream(openStream(m_source));
    if (!stream)
        throw DocumentFailure{DocumentFault::Damaged};
    GObjectPointer<GMimeParser> parser(g_mime_parser_new_with_stream(stream.get()));
    g_mime_parser_set_format(parser.get(), m_mailbox ? GMIME_FORMAT_MBOX : GMIME_FORMAT_MESSAGE);
    MessageWriter writer(m_text);
    for (int count = 0; !g_mime_parser_eos(parser.get()); ++count) {
        GObjectPointer<GMimeMessage> message(g_mime_parser_construct_message(parser.get(), nullptr));
        if (!message) {
            if (count == 0)
                throw DocumentFailure{DocumentFault::Damaged};
            break;
        }
        writer.writeMessage(message.get(), 0);
        m_text.reportProgress(g_mime_parser_tell(parser.get()));
        if (!m_mailbox)
            break;
    }
}
