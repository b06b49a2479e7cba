#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <gif_lib.h>
#include <webp/demux.h>

// What a player shows of an animated WebP or GIF, read with libwebp's demuxer and giflib's reader,
// for the tests and the frame lister.
namespace velra::test {

struct Played
{
    QList<QImage> canvases; // each frame's whole canvas
    QList<qint64> delays;   // how long each shows, in the format's grain (ms for WebP, hundredths for GIF)
    bool loops = false;     // forever, else once
    QList<QByteArray> indices; // GIF: each canvas as palette indices
};

inline bool playWebP(const QByteArray &bytes, Played &played)
{
    WebPData data{reinterpret_cast<const uint8_t *>(bytes.constData()), size_t(bytes.size())};
    WebPAnimDecoderOptions options;
    WebPAnimDecoderOptionsInit(&options);
    options.color_mode = MODE_BGRA;
    WebPAnimDecoder *decoder = WebPAnimDecoderNew(&data, &options);
    if (!decoder)
        return false;
    WebPAnimInfo info;
    WebPAnimDecoderGetInfo(decoder, &info);
    played.loops = info.loop_count == 0;
    int previousEnd = 0;
    bool whole = true;
    while (whole && WebPAnimDecoderHasMoreFrames(decoder)) {
        uint8_t *pixels = nullptr;
        int end = 0;
        whole = WebPAnimDecoderGetNext(decoder, &pixels, &end);
        if (!whole)
            break;
        const QImage canvas(pixels, int(info.canvas_width), int(info.canvas_height), QImage::Format_ARGB32);
        played.canvases.append(canvas.convertToFormat(QImage::Format_RGB32));
        played.delays.append(end - previousEnd);
        previousEnd = end;
    }
    WebPAnimDecoderDelete(decoder);
    return whole;
}

// giflib's reader fed from bytes in memory, taken from the front as it reads.
inline int readGifBytes(GifFileType *gif, GifByteType *into, int length)
{
    auto *source = static_cast<QByteArray *>(gif->UserData);
    const int n = int(qMin<qsizetype>(length, source->size()));
    std::memcpy(into, source->constData(), size_t(n));
    source->remove(0, n);
    return n;
}

// A GIF as a browser plays it. Velloran's own (`strict`) must keep to one palette and draw each
// frame over the one before, a transparent pixel showing it; others may use local palettes and any
// disposal (the benchmark's peers).
inline bool playGif(QByteArray bytes, Played &played, bool strict = true)
{
    int code = 0;
    GifFileType *gif = DGifOpen(&bytes, readGifBytes, &code);
    if (!gif || DGifSlurp(gif) != GIF_OK)
        return false;
    QByteArray canvas(gif->SWidth * gif->SHeight, char(gif->SBackGroundColor));
    QImage shown(gif->SWidth, gif->SHeight, QImage::Format_RGB32);
    shown.fill(Qt::black);
    for (int i = 0; i < gif->ImageCount; ++i) {
        const SavedImage &image = gif->SavedImages[i];
        for (int e = 0; e + 1 < image.ExtensionBlockCount; ++e) {
            const ExtensionBlock &block = image.ExtensionBlocks[e];
            if (block.Function == APPLICATION_EXT_FUNC_CODE && block.ByteCount == 11
                && std::memcmp(block.Bytes, "NETSCAPE2.0", 11) == 0)
                played.loops = image.ExtensionBlocks[e + 1].Bytes[1] == 0 && image.ExtensionBlocks[e + 1].Bytes[2] == 0;
        }
        GraphicsControlBlock control{DISPOSAL_UNSPECIFIED, false, 0, NO_TRANSPARENT_COLOR};
        DGifSavedExtensionToGCB(gif, i, &control);
        if (strict && (control.DisposalMode != DISPOSE_DO_NOT || image.ImageDesc.ColorMap || (i == 0 && control.TransparentColor != NO_TRANSPARENT_COLOR)))
            return false;
        const ColorMapObject *map = image.ImageDesc.ColorMap ? image.ImageDesc.ColorMap : gif->SColorMap;
        const QImage before = shown;
        const GifImageDesc &area = image.ImageDesc;
        for (int y = 0; y < area.Height; ++y)
            for (int x = 0; x < area.Width; ++x)
                if (const GifByteType entry = image.RasterBits[y * area.Width + x]; entry != control.TransparentColor && entry < map->ColorCount) {
                    canvas[(area.Top + y) * gif->SWidth + area.Left + x] = char(entry);
                    const GifColorType c = map->Colors[entry];
                    shown.setPixel(area.Left + x, area.Top + y, qRgb(c.Red, c.Green, c.Blue));
                }
        played.canvases.append(shown);
        played.delays.append(control.DelayTime);
        played.indices.append(canvas);
        if (control.DisposalMode == DISPOSE_BACKGROUND)
            for (int y = 0; y < area.Height; ++y)
                for (int x = 0; x < area.Width; ++x)
                    shown.setPixel(area.Left + x, area.Top + y, qRgb(0, 0, 0));
        else if (control.DisposalMode == DISPOSE_PREVIOUS)
            shown = before;
    }
    DGifCloseFile(gif, &code);
    return true;
}

// The summed squared difference of two pictures of one size, over red, green and blue.
inline double squaredError(const QImage &a, const QImage &b)
{
    double squared = 0;
    for (int y = 0; y < a.height(); ++y) {
        const auto *one = reinterpret_cast<const QRgb *>(a.constScanLine(y));
        const auto *other = reinterpret_cast<const QRgb *>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x) {
            const double dr = qRed(one[x]) - qRed(other[x]), dg = qGreen(one[x]) - qGreen(other[x]), db = qBlue(one[x]) - qBlue(other[x]);
            squared += dr * dr + dg * dg + db * db;
        }
    }
    return squared;
}

// PSNR of that error over `pixels` pixels, in dB, capped at 99 (none).
inline double psnr(double squared, double pixels)
{
    return squared == 0 ? 99.0 : std::min(99.0, 10 * std::log10(255.0 * 255.0 * 3 * pixels / squared));
}

inline bool play(const QByteArray &bytes, Played &played, bool strict = true)
{
    return bytes.startsWith("GIF") ? playGif(bytes, played, strict) : playWebP(bytes, played);
}

} // namespace velra::test
