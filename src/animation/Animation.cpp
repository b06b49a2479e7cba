#include "Animation.h"

#include "Encoders.h"
#include "FrameStream.h"
#include "render/FrameRenderer.h"

#include <QFileInfo>

#include <algorithm>
#include <new>

namespace velra::animation {

bool animationFormatOf(const QString &path, AnimationFormat &format)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("webp"))
        format = AnimationFormat::WebP;
    else if (suffix == QLatin1String("gif"))
        format = AnimationFormat::Gif;
    else
        return false;
    return true;
}

int fpsLimit(AnimationFormat format)
{
    return format == AnimationFormat::Gif ? 50 : 90;
}

QString fpsRefusal(AnimationFormat format, int fps)
{
    if (fps >= 1 && fps <= fpsLimit(format))
        return QString();
    const QString name = format == AnimationFormat::Gif ? QStringLiteral("GIF") : QStringLiteral("WebP");
    return QStringLiteral("%1 の速さは 1 から %2 コマ/秒までです（%3 コマ/秒は指定できません）。")
        .arg(name, QString::number(fpsLimit(format)), QString::number(fps));
}

qint64 frameStart(AnimationFormat format, qint64 k, int fps)
{
    const qint64 grain = format == AnimationFormat::Gif ? 100 : 1000;
    return (2 * k * grain + fps) / (2 * qint64(fps));
}

QSize exportedSize(QSize window, int scale)
{
    const auto part = [scale](int length) { return qMax(1, (2 * length + scale) / (2 * scale)); };
    return scale <= 1 ? window : QSize(part(window.width()), part(window.height()));
}

qint64 sizeOf(const QString &text)
{
    QString digits = text.trimmed();
    qint64 unit = 1;
    if (digits.endsWith(QLatin1Char('K'), Qt::CaseInsensitive))
        unit = 1000;
    else if (digits.endsWith(QLatin1Char('M'), Qt::CaseInsensitive))
        unit = 1000 * 1000;
    if (unit > 1)
        digits.chop(1);
    if (digits.isEmpty() || digits.size() > 12 || !std::all_of(digits.begin(), digits.end(), [](QChar c) { return c >= u'0' && c <= u'9'; }))
        return 0;
    return digits.toLongLong() * unit;
}

QString scaleName(int scale)
{
    return scale <= 1 ? QStringLiteral("等倍") : QStringLiteral("1/%1").arg(scale);
}

QImage exportedFrame(const QImage &frame, int scale)
{
    if (scale <= 1)
        return frame;
    QImage scaled = frame.scaled(exportedSize(frame.size(), scale), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (scaled.format() != QImage::Format_RGB32)
        scaled = scaled.convertToFormat(QImage::Format_RGB32);
    return scaled;
}

#ifndef VELRA_HAVE_ANIMATION

bool encodeAnimation(const render::FrameRenderer &, const AnimationOptions &, Animation &, QString *error,
                     const std::function<bool(double)> &)
{
    *error = QStringLiteral("この版ではアニメーションを書き出せません。");
    return false;
}

#else

bool encodeAnimation(const render::FrameRenderer &renderer, const AnimationOptions &options, Animation &made, QString *error,
                     const std::function<bool(double)> &progress)
{
    made = Animation();
    if (const QString refused = fpsRefusal(options.format, options.fps); !refused.isEmpty()) {
        *error = refused;
        return false;
    }
    made.runFrames = renderer.frames().frameCount();
    const FrameStream stream(renderer, options.scale, options.every, progress);
    bool done = false;
    try {
        done = options.format == AnimationFormat::WebP ? encodeWebP(stream, options, made, error)
                                                       : encodeGif(stream, options, made, error);
    } catch (const std::bad_alloc &) {
        *error = noMemoryText();
    }
    if (!done)
        made = Animation();
    return done;
}

#endif

} // namespace velra::animation
