#include "Export.h"

#include "io/OutputFile.h"
#include "render/FrameRenderer.h"
#include "text/Shown.h"

#include <QDir>
#include <QLocale>

namespace velra::animation {

Exported exportAnimation(const render::FrameRenderer &renderer, const AnimationOptions &options, const QString &path,
                         const ExportWatch &watch)
{
    const auto stopped = [&watch] { return watch.stopped && watch.stopped(); };
    Exported exported;
    Animation made;
    const bool encoded = encodeAnimation(renderer, options, made, &exported.error, [&](double done) {
        if (watch.progress)
            watch.progress(done);
        return !stopped();
    });
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
        exported.written = output::writeBytes(path, made.bytes, &reason, writing);
        if (exported.written)
            exported.size = made.bytes.size();
        else
            exported.error = QStringLiteral("「%1」に書き込めません。%2").arg(shownValue(QDir::toNativeSeparators(path)), reason);
    }
    if (!exported.written && stopped())
        exported.error.clear();
    return exported;
}

QString writtenMessage(const QString &path, const Exported &exported)
{
    return QStringLiteral("「%1」に書き出しました。\r\nファイルの大きさ：%2\r\nコマ数：%3 コマ（続けて同じコマをまとめて、ファイルには %4 コマ）")
        .arg(shownValue(QDir::toNativeSeparators(path)), shownSize(exported.size), QString::number(exported.runFrames),
             QString::number(exported.fileFrames));
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
