#include "FrameRenderer.h"

#include "text/Shown.h"
#include "platform/FileSystem.h"

#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace velra::render {
namespace {

const QColor kOutside(0, 0, 0, 150);
const QColor kMissing(220, 0, 160);
// The missing picture's rectangle is opaque, as the picture would be: a frame whose rectangle
// covers the window starts there, exactly as with the picture itself.
const QColor kMissingFill(34, 0, 25);

// Pictures are kept scaled and shifted by half a pixel up to this size (64 MB); a larger size in
// the script is drawn straight from the picture, so that memory follows what is really drawn.
constexpr qint64 kMaxPreparedPixels = qint64(1) << 24;

// A picture moved right and/or down by half a pixel, exactly: each pixel is the average of the
// pixels it now straddles, and the edges are half transparent.
QImage halfShifted(const QImage &source, bool halfX, bool halfY)
{
    const QImage src = source.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const int dx = halfX ? 1 : 0;
    const int dy = halfY ? 1 : 0;
    QImage out(src.width() + dx, src.height() + dy, QImage::Format_ARGB32_Premultiplied);
    if (src.isNull() || out.isNull())
        return QImage();
    const int samples = (1 + dx) * (1 + dy);
    const auto at = [&src](int x, int y) -> QRgb {
        return x < 0 || y < 0 || x >= src.width() || y >= src.height() ? 0 : reinterpret_cast<const QRgb *>(src.constScanLine(y))[x];
    };
    for (int y = 0; y < out.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            int a = 0, r = 0, g = 0, b = 0;
            for (int sy = y - dy; sy <= y; ++sy) {
                for (int sx = x - dx; sx <= x; ++sx) {
                    const QRgb p = at(sx, sy);
                    a += qAlpha(p);
                    r += qRed(p);
                    g += qGreen(p);
                    b += qBlue(p);
                }
            }
            line[x] = qRgba((r + samples / 2) / samples, (g + samples / 2) / samples, (b + samples / 2) / samples,
                            (a + samples / 2) / samples);
        }
    }
    return out;
}

// A BMP shorter than its header says, or a JPEG without its end marker: a file cut short (a copy
// that stopped, a download not finished). The device is left at its start.
bool isCutShort(QFile &file)
{
    const QByteArray head = file.peek(54);
    const qint64 size = file.size();
    if (head.startsWith("BM") && head.size() == 54) {
        const auto le = [&head](int at, int bytes) {
            quint32 v = 0;
            for (int i = bytes - 1; i >= 0; --i)
                v = v << 8 | quint8(head[at + i]);
            return v;
        };
        const qint64 width = qint32(le(18, 4));
        const qint64 height = qAbs(qint64(qint32(le(22, 4))));
        const qint64 bits = le(28, 2);
        // Compressed pixels have no fixed size: only the plain ones are measured.
        if (le(30, 4) != 0 || width <= 0 || bits == 0)
            return false;
        const qint64 stride = (width * bits + 31) / 32 * 4;
        return size < qint64(le(10, 4)) + stride * height;
    }
    if (head.startsWith("\xFF\xD8")) {
        const qint64 tail = qMin<qint64>(size, 65536);
        const bool whole = file.seek(size - tail) && file.read(tail).contains("\xFF\xD9");
        file.seek(0);
        return !whole;
    }
    return false;
}

} // namespace

bool windowSizeOf(const Run &run, QSize &size)
{
    const std::optional<int> width = run.windowWidth.positive();
    const std::optional<int> height = run.windowHeight.positive();
    size = QSize(width.value_or(0), height.value_or(0));
    return width && height;
}

FrameRenderer::FrameRenderer(const ScriptFrames &frames, QSize window, const QHash<QString, QString> &paths,
                             QHash<QString, QImage> *decoded)
    : m_frames(frames)
    , m_window(window)
{
    for (const QString &name : m_frames.pictures) {
        Picture picture{name, {}};
        const QString path = paths.value(name);
        QString problem;
        if (path.isEmpty()) {
            problem = QStringLiteral("画像「%1」の場所が指定されていません。").arg(shownValue(name));
        } else if (decoded && decoded->contains(path)) {
            picture.image = decoded->value(path);
        } else if (QFile file; !platform::openToRead(file, path, false, &problem)) {
            // Opened once, without waiting: a FIFO swapped in is never waited on.
            problem = QStringLiteral("画像「%1」は%2。").arg(shownValue(QDir::toNativeSeparators(path)), problem);
        } else if (isCutShort(file)) {
            // Qt would draw what is there and fill the rest black, without a word.
            problem = QStringLiteral("「%1」は途中で切れているため、画像として読めません。").arg(shownValue(QDir::toNativeSeparators(path)));
        } else {
            QImageReader reader(&file);
            reader.setDecideFormatFromContent(true);
            const QByteArray format = reader.format();
            // A file that is there but no picture is said to be no picture, as the pages say it.
            if (format.isEmpty())
                problem = QStringLiteral("「%1」は画像として読めません。").arg(shownValue(QDir::toNativeSeparators(path)));
            else if (format != "bmp" && format != "jpeg")
                problem = QStringLiteral("「%1」は BMP でも JPEG でもありません。").arg(shownValue(QDir::toNativeSeparators(path)));
            else if (!reader.read(&picture.image))
                problem = QStringLiteral("「%1」は画像として読めません（%2）。").arg(shownValue(QDir::toNativeSeparators(path)), reader.errorString());
        }
        if (!problem.isEmpty())
            m_problems.append(problem);
        else if (decoded)
            decoded->insert(path, picture.image);
        m_pictures.append(picture);
    }

    m_problems.append(m_frames.notes);

    // The view: the window, and the pictures' paths as far as half a window beyond it.
    QRectF reach;
    for (const Graphic &g : m_frames.graphics) {
        if (!g.sizeUnknown)
            reach |= QRectF(g.x, g.y, g.width, g.height);
    }
    m_view = viewAround(reach, m_window);

    const QRectF windowRect(QPointF(0, 0), QSizeF(m_window));
    qsizetype cover = 0;
    qsizetype line = 0;
    for (qsizetype k = 0; k < m_frames.frameCount(); ++k) {
        for (; line < m_frames.frameEnd(k); ++line) {
            const Graphic &g = m_frames.graphics[line];
            if (!g.sizeUnknown && QRectF(g.x, g.y, g.width, g.height).contains(windowRect))
                cover = line;
        }
        m_redrawFrom.append(cover);
    }
    // A frame that draws exactly what the one before drew (a held frame): drawn onto that one, it
    // changes nothing, the pictures being opaque.
    const auto same = [](const Graphic &a, const Graphic &b) {
        return a.picture == b.picture && a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height
            && a.sizeUnknown == b.sizeUnknown;
    };
    m_repeats.resize(m_frames.frameCount());
    for (qsizetype k = 1; k < m_frames.frameCount(); ++k) {
        const qsizetype lines = m_frames.frameEnd(k) - m_frames.frameStart(k);
        bool repeat = lines == m_frames.frameEnd(k - 1) - m_frames.frameStart(k - 1) && m_redrawFrom[k] == m_redrawFrom[k - 1];
        for (qsizetype i = 0; repeat && i < lines; ++i)
            repeat = same(m_frames.graphics[m_frames.frameStart(k) + i], m_frames.graphics[m_frames.frameStart(k - 1) + i]);
        m_repeats[k] = repeat;
    }
}

void FrameRenderer::drawFrame(QPainter &painter, qsizetype k) const
{
    if (k < 0 || k >= m_frames.frameCount())
        return;
    drawLines(painter, m_redrawFrom[k], m_frames.frameEnd(k));
}

void FrameRenderer::drawLines(QPainter &painter, qsizetype from, qsizetype to) const
{
    for (qsizetype line = from; line < to; ++line)
        drawGraphic(painter, m_frames.graphics[line]);
}

QString FrameRenderer::frameLabel(qsizetype number, qsizetype count)
{
    return QStringLiteral("%1 / %2").arg(QString::number(number), QString::number(count));
}

const QImage &FrameRenderer::scaledFor(int picture, QSize size) const
{
    for (const auto &[key, image] : m_scaled) {
        if (key.first == picture && key.second == size)
            return image;
    }
    // A few sizes at a time: a view's scale changes seldom.
    if (m_scaled.size() >= 4)
        m_scaled.removeFirst();
    QImage image = m_pictures[picture].image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (image.format() != QImage::Format_RGB32 && !image.isNull())
        image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    m_scaled.append({{picture, size}, std::move(image)});
    return m_scaled.constLast().second;
}

const QImage &FrameRenderer::prepared(int picture, int width, int height, bool halfX, bool halfY) const
{
    const auto key = std::make_tuple(picture, width, height, halfX, halfY);
    auto found = m_prepared.find(key);
    if (found != m_prepared.end())
        return found->second;
    QImage image = m_pictures[picture].image;
    if (image.size() != QSize(width, height))
        image = image.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (image.isNull())
        return m_prepared.emplace(key, QImage()).first->second;
    // An opaque picture at its own size is drawn as it is: no second copy of a large one.
    image = halfX || halfY ? halfShifted(image, halfX, halfY)
        : image.format() == QImage::Format_RGB32 ? image
                                                 : image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    return m_prepared.emplace(key, std::move(image)).first->second;
}

void FrameRenderer::drawGraphic(QPainter &painter, const Graphic &g) const
{
    const Picture &picture = m_pictures[g.picture];
    if (g.sizeUnknown) {
        // From its place to the window's far corner, inside the window: where it would start.
        const QRectF inside = QRectF(QPointF(g.x, g.y), QPointF(m_window.width(), m_window.height())).normalized()
            & QRectF(QPointF(0, 0), QSizeF(m_window));
        if (inside.isEmpty())
            return;
        painter.save();
        painter.setPen(QPen(kMissing, 0, Qt::DashLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(inside);
        painter.drawText(inside, Qt::AlignCenter | Qt::TextWrapAnywhere, picture.name);
        painter.restore();
        return;
    }
    const QRectF where(g.x, g.y, g.width, g.height);
    if (picture.image.isNull()) {
        // What is missing is shown as such, at the size and place the script gives.
        painter.save();
        painter.setPen(QPen(kMissing, 0));
        painter.setBrush(kMissingFill);
        painter.drawRect(where);
        painter.drawText(where, Qt::AlignCenter | Qt::TextWrapAnywhere, picture.name);
        painter.restore();
        return;
    }
    // Shown smaller or larger than the window's pixels (a view): the picture is scaled once to
    // that size and then only copied into place, frame after frame.
    const QTransform transform = painter.transform();
    if (transform.type() <= QTransform::TxScale && (transform.m11() != 1 || transform.m22() != 1)) {
        const QSize size(qRound(g.width * transform.m11()), qRound(g.height * transform.m22()));
        if (size.isEmpty())
            return;
        // A size beyond any screen (a log's claim) is drawn straight from the picture instead.
        if (qint64(size.width()) * size.height() > kMaxPreparedPixels) {
            painter.drawImage(where, picture.image);
            return;
        }
        const QImage &image = scaledFor(g.picture, size);
        if (image.isNull()) {
            m_outOfMemory = true;
            return;
        }
        const QPointF at = transform.map(QPointF(g.x, g.y));
        painter.save();
        painter.resetTransform();
        painter.drawImage(QPoint(qRound(at.x()), qRound(at.y())), image);
        painter.restore();
        return;
    }
    if (qint64(g.width) * g.height > kMaxPreparedPixels) {
        painter.drawImage(where, picture.image);
        return;
    }
    const qreal left = std::floor(g.x);
    const qreal top = std::floor(g.y);
    const bool halfX = g.x != left;
    const bool halfY = g.y != top;
    const QImage &image = prepared(g.picture, g.width, g.height, halfX, halfY);
    if (image.isNull()) {
        m_outOfMemory = true;
        return;
    }
    painter.drawImage(QRectF(left, top, image.width(), image.height()), image);
}

QRectF FrameRenderer::viewAround(const QRectF &reach, QSize window)
{
    const QRectF windowRect(QPointF(0, 0), QSizeF(window));
    const qreal mx = window.width() / 2.0;
    const qreal my = window.height() / 2.0;
    return (reach | windowRect) & windowRect.adjusted(-mx, -my, mx, my);
}

void FrameRenderer::render(QPainter &painter, qsizetype k, const QRectF &target, const QRectF &view) const
{
    painter.save();
    painter.setClipRect(target);
    painter.translate(target.topLeft());
    painter.scale(target.width() / view.width(), target.height() / view.height());
    painter.translate(-view.topLeft());
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.fillRect(view, Qt::black);
    drawFrame(painter, k);
    painter.restore();
    renderOverlay(painter, target, view);
}

void FrameRenderer::renderOverlay(QPainter &painter, const QRectF &target, const QRectF &view) const
{
    painter.save();
    painter.setClipRect(target);
    painter.translate(target.topLeft());
    painter.scale(target.width() / view.width(), target.height() / view.height());
    painter.translate(-view.topLeft());
    // Outside the host window: dimmed, so that what will not be seen shows as such.
    const QRectF window(QPointF(0, 0), QSizeF(m_window));
    QPainterPath outside;
    outside.addRect(view);
    QPainterPath inside;
    inside.addRect(window);
    painter.fillPath(outside.subtracted(inside), kOutside);
    painter.setPen(QPen(QColor(255, 255, 255, 160), 0));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(window);
    painter.restore();
}

QImage FrameRenderer::frameImage(qsizetype k) const
{
    QImage image(m_window, QImage::Format_RGB32);
    if (image.isNull())
        return image;
    image.fill(Qt::black);
    QPainter painter(&image);
    drawFrame(painter, k);
    return image;
}

void FrameRenderer::drawOnto(QImage &canvas, qsizetype k, bool fresh, const QRectF &view) const
{
    if (canvas.isNull() || (!fresh && repeatsPrevious(k)))
        return; // a held frame: the canvas already shows it
    if (fresh)
        canvas.fill(Qt::black);
    QPainter painter(&canvas);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.scale(canvas.width() / view.width(), canvas.height() / view.height());
    painter.translate(-view.topLeft());
    drawLines(painter, fresh ? firstLineOf(k) : m_frames.frameStart(k), m_frames.frameEnd(k));
}

void FrameRenderer::advance(QImage &canvas, qsizetype &at, qsizetype k, const QRectF &view) const
{
    const bool follows = at >= 0 && k == at + 1 && firstLineOf(k) == firstLineOf(at);
    drawOnto(canvas, k, !follows, view);
    at = k;
}

bool FrameRenderer::eachFrameImage(const std::function<bool(qsizetype, const QImage &)> &take,
                                   const std::function<void(double)> &progress) const
{
    QImage canvas(m_window, QImage::Format_RGB32);
    if (canvas.isNull())
        return false;
    qsizetype at = -1;
    const QRectF window(QPointF(0, 0), QSizeF(m_window));
    for (qsizetype k = 0; k < m_frames.frameCount(); ++k) {
        advance(canvas, at, k, window);
        if (m_outOfMemory)
            return false;
        if (!take(k, canvas))
            return true;
        if (progress && (k & 63) == 0)
            progress(double(k) / double(m_frames.frameCount()));
    }
    return true;
}

QImage FrameRenderer::contactSheet(int count, int columns, int cellWidth, const std::function<void(double)> &progress) const
{
    const qsizetype frames = m_frames.frameCount();
    count = int(qBound(qsizetype(1), qsizetype(count), qMax(qsizetype(1), frames)));
    columns = qBound(1, columns, count);
    // A view far taller than wide gets a cut-down cell rather than a sheet beyond any memory.
    const int thumbHeight = qBound(1, int(std::lround(cellWidth * m_view.height() / m_view.width())), 4 * cellWidth);
    const int labelHeight = 22;
    const int gap = 8;
    const int rows = (count + columns - 1) / columns;
    QImage sheet(gap + columns * (cellWidth + gap), gap + rows * (thumbHeight + labelHeight + gap), QImage::Format_RGB32);
    if (sheet.isNull())
        return sheet;
    sheet.fill(QColor(48, 48, 48));
    QPainter painter(&sheet);
    QFont font = painter.font();
    font.setPixelSize(14);
    painter.setFont(font);
    // One thumbnail canvas goes through the frames in order, each drawn onto the one before where
    // that gives the same picture: the sheet costs the script's lines once, not once a cell.
    QImage canvas(cellWidth, thumbHeight, QImage::Format_RGB32);
    if (canvas.isNull())
        return QImage();
    qsizetype at = -1;
    for (int i = 0; i < count; ++i) {
        const qsizetype k = count == 1 ? 0 : qsizetype(std::llround(double(i) * double(frames - 1) / (count - 1)));
        const int x = gap + (i % columns) * (cellWidth + gap);
        const int y = gap + (i / columns) * (thumbHeight + labelHeight + gap);
        // On from the frame the canvas holds when k continues it; else k afresh (a line since
        // covers the window, so the frames between need not be walked through).
        if (at >= 0 && at < k && firstLineOf(at) == firstLineOf(k)) {
            for (qsizetype j = at + 1; j <= k; ++j) {
                advance(canvas, at, j, m_view);
                if (progress && (j & 63) == 0)
                    progress(double(j) / double(frames));
            }
        } else if (at != k) {
            advance(canvas, at, k, m_view);
        }
        if (m_outOfMemory)
            return QImage();
        painter.drawImage(QPointF(x, y), canvas);
        renderOverlay(painter, QRectF(x, y, cellWidth, thumbHeight), m_view);
        painter.setPen(Qt::white);
        painter.drawText(QRect(x, y + thumbHeight, cellWidth, labelHeight), Qt::AlignCenter, frameLabel(k + 1, frames));
    }
    return sheet;
}

} // namespace velra::render
