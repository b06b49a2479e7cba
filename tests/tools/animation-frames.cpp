// Prints what a player shows of an animated WebP or GIF, one line a frame: when it starts and how
// long it shows (milliseconds), and a digest of its whole canvas; first whether it loops. Two files
// that print the same play the same, frame for frame.
//   animation-frames FILE.webp|FILE.gif
#include "GifBytes.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QFile>

#include <cstdio>
#include <cstring>
#include <webp/demux.h>

namespace {

QByteArray digest(const void *pixels, qsizetype size)
{
    return QCryptographicHash::hash(QByteArrayView(static_cast<const char *>(pixels), size), QCryptographicHash::Sha256).toHex();
}

int webp(const QByteArray &bytes)
{
    WebPData data{reinterpret_cast<const uint8_t *>(bytes.constData()), size_t(bytes.size())};
    WebPAnimDecoderOptions options;
    WebPAnimDecoderOptionsInit(&options);
    options.color_mode = MODE_RGBA;
    WebPAnimDecoder *decoder = WebPAnimDecoderNew(&data, &options);
    if (!decoder)
        return 1;
    WebPAnimInfo info;
    WebPAnimDecoderGetInfo(decoder, &info);
    std::printf("%ux%u loops %u\n", info.canvas_width, info.canvas_height, info.loop_count);
    int start = 0;
    while (WebPAnimDecoderHasMoreFrames(decoder)) {
        uint8_t *pixels = nullptr;
        int end = 0;
        if (!WebPAnimDecoderGetNext(decoder, &pixels, &end))
            return 1;
        std::printf("%d %d %s\n", start, end - start, digest(pixels, qsizetype(info.canvas_width) * info.canvas_height * 4).constData());
        start = end;
    }
    WebPAnimDecoderDelete(decoder);
    return 0;
}

int gif(QByteArray bytes)
{
    int code = 0;
    GifFileType *file = DGifOpen(&bytes, velra::test::readGifBytes, &code);
    if (!file || DGifSlurp(file) != GIF_OK)
        return 1;
    bool loops = false;
    if (file->ImageCount > 0)
        for (int e = 0; e < file->SavedImages[0].ExtensionBlockCount; ++e)
            loops = loops || (file->SavedImages[0].ExtensionBlocks[e].Function == APPLICATION_EXT_FUNC_CODE);
    std::printf("%dx%d loops %s\n", file->SWidth, file->SHeight, loops ? "forever" : "once");
    QByteArray canvas(qsizetype(file->SWidth) * file->SHeight * 3, '\0');
    int start = 0;
    for (int i = 0; i < file->ImageCount; ++i) {
        const SavedImage &image = file->SavedImages[i];
        const ColorMapObject *map = image.ImageDesc.ColorMap ? image.ImageDesc.ColorMap : file->SColorMap;
        GraphicsControlBlock control;
        DGifSavedExtensionToGCB(file, i, &control);
        for (int y = 0; y < image.ImageDesc.Height; ++y)
            for (int x = 0; x < image.ImageDesc.Width; ++x) {
                const GifColorType c = map->Colors[image.RasterBits[y * image.ImageDesc.Width + x]];
                char *at = canvas.data() + (qsizetype(image.ImageDesc.Top + y) * file->SWidth + image.ImageDesc.Left + x) * 3;
                at[0] = char(c.Red);
                at[1] = char(c.Green);
                at[2] = char(c.Blue);
            }
        std::printf("%d %d %s\n", start, control.DelayTime * 10, digest(canvas.constData(), canvas.size()).constData());
        start += control.DelayTime * 10;
    }
    DGifCloseFile(file, &code);
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 2)
        return 2;
    QFile file(QString::fromLocal8Bit(argv[1]));
    if (!file.open(QIODevice::ReadOnly))
        return 1;
    const QByteArray bytes = file.readAll();
    return bytes.startsWith("GIF") ? gif(bytes) : webp(bytes);
}
