// The save composition: names checked, the existing content kept byte for byte, one book appended.
#include "script/ScriptFile.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    // First byte: the route; then existing content, book name, page name and script, split at 0xFF.
    const auto route = (data[0] & 1) ? velra::scriptfile::Route::Csf : velra::scriptfile::Route::Text;
    const QList<QByteArray> parts = QByteArray(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1)).split('\xFF');
    const QByteArray existing = parts.value(0);
    QByteArray book;
    QByteArray page;
    QString error;
    const bool bookOk = velra::scriptfile::encodeName(QString::fromUtf8(parts.value(1)), QStringLiteral("ブック名"), book, &error);
    const bool pageOk = velra::scriptfile::encodeName(QString::fromUtf8(parts.value(2)), QStringLiteral("ページ名"), page, &error);
    if (!bookOk || !pageOk) {
        if (error.isEmpty())
            std::abort();
        return 0;
    }
    if (book.contains('\n') || book.contains('\r') || page.contains('\n'))
        std::abort();
    velra::output::Pieces pieces;
    velra::scriptfile::composePieces(route, existing, book, page, parts.value(3), pieces);
    QByteArray written;
    for (const QByteArrayView piece : pieces)
        written += piece;
    const QByteArray head = existing.isEmpty()
        ? (route == velra::scriptfile::Route::Csf ? velra::scriptfile::headerBlock() + "\r\n" : QByteArray())
        : existing + "\r\n";
    if (!written.startsWith(head) || !written.mid(head.size()).startsWith("<Book=\"" + book + "\">\r\n")
        || !written.endsWith("\r\n<Page End>\r\n<Book End>\r\n"))
        std::abort();
    return 0;
}
