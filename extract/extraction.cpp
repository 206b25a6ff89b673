#include "extract/extraction.h"

#include "base/orderedwork.h"
#include "extract/addressextractor.h"

#include <QStringEncoder>

#include <thread>

namespace {

// Addresses a piece of the output holds.
constexpr qsizetype pieceSize = 16384;

} // namespace

QStringList addressesInText(QStringView text, const Progress &progress, ExtractionOptions options)
{
    return AddressExtractor(options).addressesInText(text, progress);
}

QStringList addressesInFile(const RawTextFile &file, const Progress &progress,
                            ExtractionOptions options)
{
    return AddressExtractor(options).addressesInFile(file, progress);
}

void writeAddresses(const QStringList &addresses, const std::function<void(QByteArrayView bytes)> &write)
{
    // Most addresses are ASCII, whose units are their bytes.
    struct Job
    {
        struct Piece
        {
            qsizetype from = 0;
            qsizetype to = 0;
            QByteArray bytes;
        };

        bool take(Piece &piece)
        {
            if (next == addresses.size())
                return false;
            piece.from = next;
            piece.to = qMin(addresses.size(), next + pieceSize);
            next = piece.to;
            return true;
        }
        void fetch(Piece &) { }
        void settle(Piece &) { }
        void work(Piece &piece)
        {
            QStringEncoder encoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
            qsizetype room = 0;
            for (qsizetype i = piece.from; i < piece.to; ++i)
                room += 3 * addresses.at(i).size() + 1;
            piece.bytes.resize(room);
            char *out = piece.bytes.data();
            for (qsizetype i = piece.from; i < piece.to; ++i) {
                const QString &address = addresses.at(i);
                const char16_t *units = reinterpret_cast<const char16_t *>(address.utf16());
                qsizetype k = 0;
                for (; k < address.size() && units[k] < 0x80; ++k)
                    out[k] = char(units[k]);
                out = k == address.size() ? out + k : encoder.appendToBuffer(out, address);
                *out++ = '\n';
            }
            piece.bytes.truncate(out - piece.bytes.constData());
        }
        void handOn(Piece &piece) { write(piece.bytes); }
        void afterPiece() { }

        const QStringList &addresses;
        const std::function<void(QByteArrayView bytes)> &write;
        qsizetype next = 0;
    };

    Job job{addresses, write};
    const int cores = qBound(1, int(std::thread::hardware_concurrency()), 8);
    runInOrder(addresses.size() > pieceSize ? cores : 1, job);
}
