#include "Export.h"

#include "io/OutputFile.h"
#include "render/FrameRenderer.h"
#include "text/Shown.h"

#include <QDir>
#include <QLocale>

#include <algorithm>

namespace velra::animation {

namespace {

// A size as a limit names it: in thousands or millions of bytes, as the places that take files count.
QString megabytes(qint64 bytes)
{
    if (bytes >= 1000 * 1000)
        return QStringLiteral("%1 MB").arg(QString::number(double(bytes) / 1e6, 'f', 1));
    if (bytes >= 1000)
        return QStringLiteral("%1 KB").arg(QString::number(double(bytes) / 1e3, 'f', 1));
    return QStringLiteral("%1 バイト").arg(bytes);
}

// Under a size limit, the best file that fits: WebP lossless first (unless a quality was named),
// then the highest quality from 90 (or the one named) down to 30 that fits, found by halving the
// range, at most five files a scale; GIF and the next scales likewise, down to 1/4. `made` and
// `chosen` hold the file found; false when none fits (then `smallest` is the least reached) or on
// a failure or a stop (`error`).
bool fitWithin(const render::FrameRenderer &renderer, const AnimationOptions &options, const ExportWatch &watch,
               const std::function<bool(double)> &progress, Animation &made, AnimationOptions &chosen, qint64 &smallest,
               QString *error)
{
    smallest = 0;
    // What each rung made at the scale before, to pass over a rung that cannot fit at this one: a
    // file shrinks about as its pixels do (a scaled-down picture often more), and one predicted at
    // twice the limit or more is not made.
    struct Rung
    {
        qint64 size = 0; // 0: not made
        int scale = 1;
    };
    Rung lossless, high, low;
    const auto hopeless = [&options](const Rung &rung, int scale) {
        return rung.size > 0 && double(rung.size) * rung.scale * rung.scale / (double(scale) * scale) > 2.0 * double(options.maxBytes);
    };
    const auto attempt = [&](const AnimationOptions &tried, bool &fits, Rung &rung) {
        if (watch.trying)
            watch.trying(settingsName(tried));
        Animation file;
        if (!encodeAnimation(renderer, tried, file, error, progress))
            return false;
        const qint64 size = file.size();
        smallest = smallest == 0 ? size : std::min(smallest, size);
        rung = Rung{size, tried.scale};
        fits = size <= options.maxBytes;
        if (fits) {
            made = std::move(file);
            chosen = tried;
        }
        return true;
    };
    for (int scale = std::max(1, options.scale); scale <= kMostScale; ++scale) {
        AnimationOptions tried = options;
        tried.scale = scale;
        bool fits = false;
        if ((options.format == AnimationFormat::Gif || options.quality == 0) && !hopeless(lossless, scale)) {
            tried.quality = 0;
            if (!attempt(tried, fits, lossless))
                return false;
            if (fits)
                return true;
        }
        if (options.format == AnimationFormat::Gif || hopeless(low, scale))
            continue;
        int top = options.quality > 0 ? options.quality : 90; // too large once tried
        int bottom = std::min(30, top);
        if (!hopeless(high, scale)) {
            tried.quality = top;
            if (!attempt(tried, fits, high))
                return false;
            if (fits)
                return true;
        }
        if (bottom == top)
            continue;
        tried.quality = bottom;
        if (!attempt(tried, fits, low))
            return false;
        if (!fits)
            continue;
        // `bottom` fits and `top` does not: the highest between, in the tries left at this scale.
        Rung middle;
        for (int left = options.quality > 0 ? 3 : 2; left > 0 && top - bottom > 1; --left) {
            tried.quality = (bottom + top) / 2;
            bool middleFits = false; // the file kept is the best that fitted
            if (!attempt(tried, middleFits, middle))
                return false;
            (middleFits ? bottom : top) = tried.quality;
        }
        return true;
    }
    return false;
}

} // namespace

QByteArray ExportChoices::encoded() const
{
    return QByteArray::number(scale) + ' ' + QByteArray::number(every) + ' ' + QByteArray::number(int(light)) + ' '
           + QByteArray::number(quality) + ' ' + QByteArray::number(maxBytes) + '\n';
}

ExportChoices ExportChoices::decoded(QByteArrayView line)
{
    ExportChoices read;
    const QList<QByteArray> values = line.trimmed().toByteArray().split(' ');
    const auto value = [&values](int i, qint64 least, qint64 most, auto &into) {
        bool ok = false;
        const qint64 v = values.value(i).toLongLong(&ok);
        if (ok && v >= least && v <= most)
            into = std::remove_reference_t<decltype(into)>(v);
    };
    value(0, 1, kMostScale, read.scale);
    value(1, 1, kMostEvery, read.every);
    value(2, 0, 1, read.light);
    value(3, 1, 100, read.quality);
    value(4, 0, qint64(1) << 40, read.maxBytes);
    return read;
}

QString settingsName(const AnimationOptions &options)
{
    QString name = options.format == AnimationFormat::Gif ? QStringLiteral("GIF")
                   : options.quality > 0                  ? QStringLiteral("WebP 品質 %1").arg(options.quality)
                                                          : QStringLiteral("WebP 劣化なし");
    name += QStringLiteral("・") + scaleName(options.scale);
    if (options.every > 1)
        name += QStringLiteral("・%1 コマに 1 コマ").arg(options.every);
    return name;
}

Exported exportAnimation(const render::FrameRenderer &renderer, const AnimationOptions &options, const QString &path,
                         const ExportWatch &watch)
{
    const auto stopped = [&watch] { return watch.stopped && watch.stopped(); };
    Exported exported;
    Animation made;
    const auto progress = [&](double done) {
        if (watch.progress)
            watch.progress(done);
        return !stopped();
    };
    bool encoded = false;
    if (options.maxBytes > 0) {
        AnimationOptions chosen;
        qint64 smallest = 0;
        encoded = fitWithin(renderer, options, watch, progress, made, chosen, smallest, &exported.error);
        if (encoded)
            exported.chosen = QStringLiteral("%1、%2").arg(settingsName(chosen), megabytes(made.size()));
        else if (exported.error.isEmpty() && smallest > 0 && !stopped())
            exported.error = QStringLiteral("%1 に収まるファイルを作れませんでした（いちばん小さくて %2）。何も書き出していません。")
                                 .arg(megabytes(options.maxBytes), megabytes(smallest));
    } else {
        encoded = encodeAnimation(renderer, options, made, &exported.error, progress);
        exported.chosen = settingsName(options);
    }
    exported.runFrames = made.runFrames;
    exported.fileFrames = made.fileFrames;
    if (encoded && !stopped()) {
        output::Options writing;
        writing.readsExisting = false;
        writing.filesOnly = true;
        writing.waiting = [&watch, &stopped, said = false](const QString &what) mutable {
            if (!said && watch.waiting)
                watch.waiting(what);
            said = true;
            return !stopped();
        };
        QString reason;
        exported.written = output::write(
            path, [&made](QByteArrayView, output::Pieces &pieces) {
                for (const QByteArray &part : made.parts)
                    pieces << part;
            },
            &reason, writing);
        if (exported.written)
            exported.size = made.size();
        else
            exported.error = QStringLiteral("「%1」に書き込めません。%2").arg(shownValue(QDir::toNativeSeparators(path)), reason);
    }
    if (!exported.written && stopped())
        exported.error.clear();
    return exported;
}

QString writtenMessage(const QString &path, const Exported &exported)
{
    QString said = QStringLiteral("「%1」に書き出しました。\r\nファイルの大きさ：%2\r\nコマ数：%3 コマ（続けて同じコマをまとめて、ファイルには %4 コマ）")
                       .arg(shownValue(QDir::toNativeSeparators(path)), shownSize(exported.size), QString::number(exported.runFrames),
                            QString::number(exported.fileFrames));
    if (!exported.chosen.isEmpty())
        said += QStringLiteral("\r\n選んだ形：%1").arg(exported.chosen);
    return said;
}

QString shownSize(qint64 bytes)
{
    const QString exact = QLocale(QLocale::English).toString(bytes);
    if (bytes < 1024)
        return QStringLiteral("%1 バイト").arg(exact);
    const bool mega = bytes >= 1024 * 1024;
    const double amount = double(bytes) / (mega ? 1024.0 * 1024.0 : 1024.0);
    return QStringLiteral("%1 %2（%3 バイト）").arg(QString::number(amount, 'f', 1), mega ? QStringLiteral("MB") : QStringLiteral("KB"), exact);
}

} // namespace velra::animation
