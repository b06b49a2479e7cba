// Prints what a player shows of an animated WebP or GIF, one line a frame: when it starts and how
// long it shows (milliseconds), and a digest of its whole canvas; first whether it loops. Two files
// that print the same play the same, frame for frame. Given two files that play the same frames at
// the same times, prints the lowest PSNR of a frame of the second against the first (99 for equal).
//   animation-frames FILE.webp|FILE.gif [OTHER]
#include "AnimationFiles.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QFile>

#include <algorithm>
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

bool played(const char *path, velra::test::Played &into, QByteArray &bytes)
{
    QFile file(QString::fromLocal8Bit(path));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    bytes = file.readAll();
    return velra::test::play(bytes, into) && !into.canvases.isEmpty();
}

int main(int argc, char *argv[])
{
    if (argc != 2 && argc != 3)
        return 2;
    QByteArray bytes;
    velra::test::Played played;
    if (!::played(argv[1], played, bytes))
        return 1;
    if (argc == 3) {
        QByteArray otherBytes;
        velra::test::Played other;
        if (!::played(argv[2], other, otherBytes) || other.delays != played.delays)
            return 1;
        double lowest = 99;
        for (qsizetype i = 0; i < played.canvases.size(); ++i) {
            const QImage &a = played.canvases[i];
            const QImage &b = other.canvases[i];
            if (a.size() != b.size())
                return 1;
            lowest = std::min(lowest, velra::test::psnr(velra::test::squaredError(a, b), double(a.width()) * a.height()));
        }
        std::printf("%.2f\n", lowest);
        return 0;
    }
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
