#include "FrameStream.h"

namespace velra::animation {

QString noMemoryText()
{
    return QStringLiteral("メモリが足りないため、アニメーションを作れません。");
}

bool FrameStream::samePixels(const QImage &a, const QImage &b)
{
    for (int y = 0; y < a.height(); ++y)
        if (std::memcmp(a.constScanLine(y), b.constScanLine(y), size_t(a.width()) * 4) != 0)
            return false;
    return true;
}

bool passed(FrameStream::Pass pass, QString *error)
{
    if (pass == FrameStream::Pass::Drawn)
        return true;
    *error = pass == FrameStream::Pass::Stopped ? QString() : noMemoryText();
    return false;
}

} // namespace velra::animation
