#include "Export.h"

#include "io/OutputFile.h"
#include "render/FrameRenderer.h"
#include "text/Shown.h"

#include <QDir>
#include <QLocale>

#include <algorithm>
#include <array>

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
// then the highest quality from 90 (or the one named) down to 30 that fits; GIF and the next scales
// likewise, down to 1/4. `made` and `chosen` hold the file found; false when none fits (then
// `smallest` is the least reached) or on a failure or a stop (`error`).
//
// A lossy file costs about three lossless ones, so a WebP's rungs are first tried on probes:
// every eighth frame, encoded alone. A probe's size times the run's ratio of whole file to probe
// predicts the whole file; the ratio is measured on the first lossless file (a lossy file's runs
// some 15 % higher until one is made), and mended by every whole file that misses. At most four
// probes and three whole lossy files a scale. A named quality is measured by a lossless file at
// the next scale, which costs a quarter of one at this scale and a tenth of a lossy one.
bool fitWithin(const render::FrameRenderer &renderer, const AnimationOptions &options, const ExportWatch &watch,
               const std::function<bool(double)> &progress, Animation &made, AnimationOptions &chosen, qint64 &smallest,
               QString *error)
{
    constexpr int kProbeEvery = 8;
    constexpr double kLossyOverLossless = 1.15;
    smallest = 0;
    const double limit = double(options.maxBytes);
    // `told`: the export's row says which file it tries (a measure that is no candidate is not said).
    const auto encoded = [&](AnimationOptions tried, bool probe, qint64 &size, Animation *file, bool told = true) {
        if (told && watch.trying)
            watch.trying(settingsName(tried));
        if (probe)
            tried.every *= kProbeEvery;
        Animation own;
        Animation &into = file ? *file : own;
        if (!encodeAnimation(renderer, tried, into, error, progress))
            return false;
        size = into.size();
        return true;
    };
    // A whole file: kept when it fits.
    const auto attempt = [&](const AnimationOptions &tried, bool &fits, qint64 &size) {
        Animation file;
        if (!encoded(tried, false, size, &file))
            return false;
        smallest = smallest == 0 ? size : std::min(smallest, size);
        fits = double(size) <= limit;
        if (fits) {
            made = std::move(file);
            chosen = tried;
        }
        return true;
    };
    const auto ratioOf = [](qint64 whole, qint64 probe) { return double(whole) / double(std::max<qint64>(1, probe)); };
    double losslessRatio = 0.0; // 0 until measured
    double lossyRatio = 0.0;
    // What a GIF made at the scale before, to pass over a scale that cannot fit: a file shrinks
    // about as its pixels do (a scaled-down picture often more).
    qint64 gifSize = 0;
    int gifScale = 1;
    for (int scale = std::max(1, options.scale); scale <= kMostScale; ++scale) {
        const bool last = scale == kMostScale;
        // A rung predicted within this of the limit is still made whole, a prediction being a
        // guess: more freely where a whole file costs less.
        const double hope = scale == 1 ? 1.1 : 1.25;
        AnimationOptions tried = options;
        tried.scale = scale;
        bool fits = false;
        qint64 whole = 0;
        if (options.format == AnimationFormat::Gif) {
            tried.quality = 0;
            if (!last && gifSize > 0 && double(gifSize) * gifScale * gifScale / (double(scale) * scale) > 2.0 * limit)
                continue;
            if (!attempt(tried, fits, whole))
                return false;
            if (fits)
                return true;
            gifSize = whole;
            gifScale = scale;
            continue;
        }
        if (options.quality == 0) {
            tried.quality = 0;
            qint64 probed = 0;
            if (losslessRatio > 0.0 && !encoded(tried, true, probed, nullptr))
                return false;
            if (losslessRatio == 0.0 || double(probed) * losslessRatio <= hope * limit) {
                if (!attempt(tried, fits, whole))
                    return false;
                if (fits)
                    return true;
                if (losslessRatio == 0.0) {
                    if (!encoded(tried, true, probed, nullptr))
                        return false;
                    losslessRatio = ratioOf(whole, probed);
                }
            }
        }
        int top = options.quality > 0 ? options.quality : 90;
        const int bottom = std::min(30, top);
        if (losslessRatio == 0.0 && lossyRatio == 0.0) {
            // A quality named, so no lossless file is on the ladder: one at the next scale (a
            // quarter of the pixels), never a candidate, and its probe measure the ratio.
            AnimationOptions measure = options;
            measure.quality = 0;
            measure.scale = std::min(kMostScale, scale + 1);
            qint64 measured = 0;
            qint64 probed = 0;
            if (!encoded(measure, false, measured, nullptr, false) || !encoded(measure, true, probed, nullptr, false))
                return false;
            losslessRatio = ratioOf(measured, probed);
        }
        // The probes' sizes by quality (0: not made).
        std::array<qint64, 101> probes{};
        const auto predicted = [&](int quality, double &size) {
            tried.quality = quality;
            if (probes[quality] == 0 && !encoded(tried, true, probes[quality], nullptr))
                return false;
            size = double(probes[quality]) * (lossyRatio > 0.0 ? lossyRatio : losslessRatio * kLossyOverLossless);
            return true;
        };
        for (int wholeFiles = 0, probesLeft = 4; wholeFiles < 3 && top >= bottom; ++wholeFiles) {
            double low = 0.0;
            if (!predicted(bottom, low))
                return false;
            --probesLeft;
            // At the last scale the lowest rung is made whole, so that a refusal names a size reached.
            if (low > hope * limit && !(last && wholeFiles == 0))
                break;
            // The highest quality predicted to fit: between one predicted to fit (or the last
            // hope) and one predicted too large, guessed where the size would cross the limit.
            int fitting = bottom;
            int large = top + 1;
            double high = 0.0;
            if (top > bottom && probesLeft > 0) {
                if (!predicted(top, high))
                    return false;
                --probesLeft;
                if (high <= limit)
                    fitting = top;
                else
                    large = top;
            }
            while (large - fitting > 1 && probesLeft > 0 && low < limit && large <= top) {
                const double share = (limit - low) / std::max(1.0, high - low);
                const int guess = std::clamp(fitting + int(share * (large - fitting)), fitting + 1, large - 1);
                double size = 0.0;
                if (!predicted(guess, size))
                    return false;
                --probesLeft;
                if (size <= limit)
                    fitting = guess, low = size;
                else
                    large = guess, high = size;
            }
            tried.quality = fitting;
            if (!attempt(tried, fits, whole))
                return false;
            if (fits)
                return true;
            lossyRatio = ratioOf(whole, probes[fitting]);
            top = fitting - 1;
        }
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
