// Prints what a player shows of an animated WebP or GIF, one line a frame: when it starts and how
// long it shows (milliseconds), and a digest of its whole canvas; first whether it loops. Two files
// that print the same play the same, frame for frame.
//   animation-frames FILE.webp|FILE.gif
#include "AnimationFiles.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QFile>

#include <cstdio>

namespace {

QByteArray digest(const QImage &canvas)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (int y = 0; y < canvas.height(); ++y)
        hash.addData(QByteArrayView(reinterpret_cast<const char *>(canvas.constScanLine(y)), qsizetype(canvas.width()) * 4));
    return hash.result().toHex();
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
    velra::test::Played played;
    if (!velra::test::play(bytes, played) || played.canvases.isEmpty())
        return 1;
    // Milliseconds for both: a GIF's delays count hundredths.
    const int grain = bytes.startsWith("GIF") ? 10 : 1;
    std::printf("%dx%d loops %s\n", played.canvases.front().width(), played.canvases.front().height(), played.loops ? "forever" : "once");
    qint64 start = 0;
    for (qsizetype i = 0; i < played.canvases.size(); ++i) {
        std::printf("%lld %lld %s\n", static_cast<long long>(start), static_cast<long long>(played.delays[i] * grain), digest(played.canvases[i]).constData());
        start += played.delays[i] * grain;
    }
    return 0;
}
