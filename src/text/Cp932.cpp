#include "text/Cp932.h"

#include "text/Cp932Table.h"

#include <array>
#include <cstdint>

namespace velra::cp932 {
namespace {

using detail::kDoubleByte;
using detail::kLeadCount;
using detail::kTrailCount;

int leadIndex(unsigned char lead)
{
    if (lead >= 0x81 && lead <= 0x9F)
        return lead - 0x81;
    if (lead >= 0xE0 && lead <= 0xFC)
        return lead - 0xE0 + 0x1F;
    return -1;
}

int trailIndex(unsigned char trail)
{
    if (trail >= 0x40 && trail <= 0x7E)
        return trail - 0x40;
    if (trail >= 0x80 && trail <= 0xFC)
        return trail - 0x80 + 0x3F;
    return -1;
}

unsigned char leadByte(int index)
{
    return static_cast<unsigned char>(index < 0x1F ? 0x81 + index : 0xE0 + index - 0x1F);
}

unsigned char trailByte(int index)
{
    return static_cast<unsigned char>(index < 0x3F ? 0x40 + index : 0x80 + index - 0x3F);
}

// Where one character has several codes, Windows writes the JIS X 0208 code first, then the NEC
// row 13 code (0x87), then the IBM extension (0xFA-0xFC), and the NEC-selected copy of the IBM
// extension (0xED-0xEE) last.
int preference(unsigned char lead)
{
    if (lead == 0x87)
        return 1;
    if (lead >= 0xFA)
        return 2;
    if (lead == 0xED || lead == 0xEE)
        return 3;
    return 0;
}

struct EncodeTable
{
    // 0 = not encodable; values below 0x100 are single bytes.
    std::array<std::uint16_t, 0x10000> codes{};

    EncodeTable()
    {
        for (int c = 0; c < 0x80; ++c)
            codes[c] = static_cast<std::uint16_t>(c);
        for (int b = 0xA1; b <= 0xDF; ++b)
            codes[0xFF61 + b - 0xA1] = static_cast<std::uint16_t>(b);
        for (int l = 0; l < kLeadCount; ++l) {
            for (int t = 0; t < kTrailCount; ++t) {
                const char16_t u = kDoubleByte[l][t];
                if (u == 0)
                    continue;
                const std::uint16_t code = static_cast<std::uint16_t>(leadByte(l) << 8 | trailByte(t));
                std::uint16_t &slot = codes[u];
                if (slot == 0 || preference(leadByte(l)) < preference(static_cast<unsigned char>(slot >> 8)))
                    slot = code;
            }
        }
        codes[0] = 0; // U+0000 is written as the byte 0 below; keep the slot meaning "absent"
    }
};

const EncodeTable &encodeTable()
{
    static const EncodeTable table;
    return table;
}

// Characters that input methods outside Windows type where Windows' own types the CP932 one, and
// the CP932 character Windows' conversion writes for each.
struct Counterpart
{
    char16_t typed;
    char16_t windows;
};
constexpr Counterpart kCounterparts[] = {
    {u'\u301C', u'\uFF5E'}, // WAVE DASH -> FULLWIDTH TILDE (0x8160)
    {u'\u2212', u'\uFF0D'}, // MINUS SIGN -> FULLWIDTH HYPHEN-MINUS (0x817C)
    {u'\u2014', u'\u2015'}, // EM DASH -> HORIZONTAL BAR (0x815C)
    {u'\u2016', u'\u2225'}, // DOUBLE VERTICAL LINE -> PARALLEL TO (0x8161)
    {u'\u00A2', u'\uFFE0'}, // CENT SIGN -> FULLWIDTH CENT SIGN (0x8191)
    {u'\u00A3', u'\uFFE1'}, // POUND SIGN -> FULLWIDTH POUND SIGN (0x8192)
    {u'\u00AC', u'\uFFE2'}, // NOT SIGN -> FULLWIDTH NOT SIGN (0x81CA)
};


bool encodeWith(QStringView text, QByteArray &out, qsizetype *badIndex, bool counterparts)
{
    const auto &codes = encodeTable().codes;
    const qsizetype start = out.size();
    out.reserve(start + text.size() * 2);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = text[i].unicode();
        if (u == 0) {
            out.append('\0');
            continue;
        }
        std::uint16_t code = codes[u];
        if (code == 0 && counterparts) {
            if (const char16_t windows = windowsCounterpart(u))
                code = codes[windows];
        }
        if (code == 0) {
            out.truncate(start);
            if (badIndex)
                *badIndex = i;
            return false;
        }
        if (code < 0x100) {
            out.append(static_cast<char>(code));
        } else {
            out.append(static_cast<char>(code >> 8));
            out.append(static_cast<char>(code & 0xFF));
        }
    }
    return true;
}

} // namespace

char16_t windowsCounterpart(char16_t typed)
{
    for (const Counterpart &c : kCounterparts) {
        if (c.typed == typed)
            return c.windows;
    }
    return 0;
}

bool encode(QStringView text, QByteArray &out, qsizetype *badIndex)
{
    return encodeWith(text, out, badIndex, false);
}

bool encodeTyped(QStringView text, QByteArray &out, qsizetype *badIndex)
{
    return encodeWith(text, out, badIndex, true);
}


bool canEncode(QStringView text, qsizetype *badIndex)
{
    const auto &codes = encodeTable().codes;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = text[i].unicode();
        if (u != 0 && codes[u] == 0) {
            if (badIndex)
                *badIndex = i;
            return false;
        }
    }
    return true;
}

bool decode(QByteArrayView bytes, QString &out, qsizetype *badOffset)
{
    QString result;
    result.reserve(bytes.size());
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n; ++i) {
        const unsigned char b = p[i];
        if (b < 0x80) {
            result.append(QChar(b));
        } else if (b >= 0xA1 && b <= 0xDF) {
            result.append(QChar(char16_t(0xFF61 + b - 0xA1)));
        } else {
            const int l = leadIndex(b);
            const int t = i + 1 < n ? trailIndex(p[i + 1]) : -1;
            const char16_t u = (l >= 0 && t >= 0) ? kDoubleByte[l][t] : char16_t(0);
            if (u == 0) {
                if (badOffset)
                    *badOffset = i;
                return false;
            }
            result.append(QChar(u));
            ++i;
        }
    }
    out = std::move(result);
    return true;
}

QString describeUnencodable(QStringView text, qsizetype index)
{
    const QChar c = text[index];
    QString shown(c);
    uint code = c.unicode();
    // Report a surrogate pair as the one character it stands for.
    if (c.isHighSurrogate() && index + 1 < text.size() && text[index + 1].isLowSurrogate()) {
        shown.append(text[index + 1]);
        code = QChar::surrogateToUcs4(c, text[index + 1]);
    }
    if (c.category() == QChar::Other_Control)
        shown = QStringLiteral("制御文字");
    return QStringLiteral("「%1」の %2 文字目の「%3」(U+%4)")
        .arg(text.toString(), QString::number(index + 1), shown,
             QString::number(code, 16).toUpper().rightJustified(4, QLatin1Char('0')));
}

} // namespace velra::cp932
