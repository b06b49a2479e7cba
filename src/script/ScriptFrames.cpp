#include "ScriptFrames.h"

#include "text/Cp932.h"
#include "text/Failure.h"

#include <charconv>

namespace velra {
namespace {

// Parses a decimal number with an optional sign and an optional ".5"-style fraction at `p`.
bool number(const char *&p, const char *end, double &value)
{
    const char *start = p;
    if (p < end && (*p == '-' || *p == '+'))
        ++p;
    const char *digits = p;
    while (p < end && *p >= '0' && *p <= '9')
        ++p;
    if (p == digits)
        return false;
    if (p < end && *p == '.') {
        ++p;
        const char *fraction = p;
        while (p < end && *p >= '0' && *p <= '9')
            ++p;
        if (p == fraction)
            return false;
    }
    const auto result = std::from_chars(*start == '+' ? start + 1 : start, p, value);
    return result.ec == std::errc() && result.ptr == p;
}

bool literal(const char *&p, const char *end, std::string_view text)
{
    if (size_t(end - p) < text.size() || std::string_view(p, text.size()) != text)
        return false;
    p += text.size();
    return true;
}

// Whether the size "W,H" at [wp, wEnd) and [hp, hEnd) can be drawn: whole, not negative, not huge.
// What the host would take but cannot be drawn (negative, huge, not a number) is a size unknown.
bool drawableSize(const char *wp, const char *wEnd, const char *hp, const char *hEnd, double &w, double &h)
{
    const bool drawable = number(wp, wEnd, w) && wp == wEnd && number(hp, hEnd, h) && hp == hEnd && w >= 0 && h >= 0
        && w <= 1e6 && h <= 1e6 && w == int(w) && h == int(h);
    if (!drawable)
        w = h = 0;
    return drawable;
}

QString unknownSizeNote(const QString &picture, const QString &size)
{
    return QStringLiteral("「%1」の大きさ（%2）は描けないため、ウィンドウの中に枠だけを描きます。").arg(picture, size);
}

// Frame k ends at each line of the moving picture, the picture of the last line.
void endFrames(ScriptFrames &frames)
{
    const int moving = frames.graphics.constLast().picture;
    for (qsizetype i = 0; i < frames.graphics.size(); ++i) {
        if (frames.graphics[i].picture == moving)
            frames.frameEnds.append(i + 1);
    }
}

} // namespace

ScriptFrames ScriptFrames::still(const Run &run, double x, double y)
{
    ScriptFrames frames;
    const auto add = [&frames](const RunPicture &picture, double gx, double gy) {
        Graphic g;
        g.x = gx;
        g.y = gy;
        const QByteArray w = picture.width.text().toLatin1();
        const QByteArray h = picture.height.text().toLatin1();
        double wv = 0;
        double hv = 0;
        g.sizeUnknown = !drawableSize(w.constBegin(), w.constEnd(), h.constBegin(), h.constEnd(), wv, hv);
        g.width = int(wv);
        g.height = int(hv);
        qsizetype index = frames.pictures.indexOf(picture.file);
        if (index < 0) {
            index = frames.pictures.size();
            frames.pictures.append(picture.file);
        }
        g.picture = int(index);
        if (g.sizeUnknown && !frames.unknownSizes.contains(picture.file)) {
            frames.unknownSizes.append(picture.file);
            frames.notes.append(unknownSizeNote(picture.file, picture.width.text() + QStringLiteral(" × ") + picture.height.text()));
        }
        frames.graphics.append(g);
    };
    add(run.background, 0, 0);
    add(run.scroll, x, y);
    endFrames(frames);
    return frames;
}

bool ScriptFrames::read(QByteArrayView script, ScriptFrames &out, QString *error)
{
    ScriptFrames frames;
    QList<QByteArray> raw; // the names as they stand in the script
    const char *p = script.data();
    const char *const end = p + script.size();
    for (int line = 1; p < end || line == 1; ++line) {
        const char *lineEnd = p;
        while (lineEnd < end && *lineEnd != '\r' && *lineEnd != '\n')
            ++lineEnd;
        const char *q = p;
        Graphic g;
        double w = 0;
        double h = 0;
        const char *nameStart = nullptr;
        const char *nameEnd = nullptr;
        bool ok = literal(q, lineEnd, "Graphic \"");
        if (ok) {
            nameStart = q;
            while (q < lineEnd && *q != '"')
                ++q;
            nameEnd = q;
            ok = q < lineEnd && literal(q, lineEnd, "\",");
        }
        // The four numbers and the effect name between the picture and /POS are the script's own
        // and are not needed to draw the frame.
        for (int comma = 0; ok && comma < 8; ++comma) {
            while (q < lineEnd && *q != ',')
                ++q;
            ok = q < lineEnd && literal(q, lineEnd, ",");
        }
        ok = ok && literal(q, lineEnd, "\"/POS:") && number(q, lineEnd, g.x) && literal(q, lineEnd, ",")
            && number(q, lineEnd, g.y) && literal(q, lineEnd, ",");
        // The size is the author's text as typed.
        const char *sizeStart = q;
        const char *comma = q;
        while (comma < lineEnd && *comma != ',')
            ++comma;
        const char *close = lineEnd;
        ok = ok && comma < lineEnd && close > comma && close[-1] == '"';
        if (ok)
            g.sizeUnknown = !drawableSize(sizeStart, comma, comma + 1, close - 1, w, h);
        if (!ok) {
            if (error) {
                QString shown;
                cp932::decode(QByteArrayView(p, qMin<qsizetype>(lineEnd - p, 120)), shown);
                *error = QStringLiteral("スクリプトの %1 行目を読めません: 「%2」").arg(QString::number(line), shown);
            }
            return false;
        }
        g.width = int(w);
        g.height = int(h);
        // Two names alternate through the whole script: a look through the few seen so far.
        const QByteArrayView name(nameStart, nameEnd - nameStart);
        qsizetype index = 0;
        while (index < raw.size() && raw[index] != name)
            ++index;
        if (index == raw.size()) {
            QString decoded;
            if (!cp932::decode(name, decoded)) {
                return fail(error, QStringLiteral("スクリプトの %1 行目のファイル名が Shift_JIS（CP932）として読めません。").arg(line));
            }
            raw.append(name.toByteArray());
            frames.pictures.append(decoded);
        }
        g.picture = int(index);
        if (g.sizeUnknown && !frames.unknownSizes.contains(frames.pictures[index])) {
            QString size;
            cp932::decode(QByteArrayView(sizeStart, qMin<qsizetype>(lineEnd - 1 - sizeStart, 80)), size);
            frames.unknownSizes.append(frames.pictures[index]);
            frames.notes.append(unknownSizeNote(frames.pictures[index], size.replace(QLatin1Char(','), QStringLiteral(" × "))));
        }
        frames.graphics.append(g);
        p = lineEnd;
        if (p < end && *p == '\r')
            ++p;
        if (p < end && *p == '\n')
            ++p;
        if (p >= end)
            break;
    }
    endFrames(frames);
    out = std::move(frames);
    return true;
}

} // namespace velra
