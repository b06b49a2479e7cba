#pragma once

#include "Animation.h"

#include <QString>

#include <functional>

// The one way an animation reaches a file, for the preview window and the command line alike: made
// in memory, then written as a save writes, with the same words for what happened.
namespace velra::animation {

// How an export is followed and stopped; called on the thread that runs it.
struct ExportWatch
{
    // The share done, 0 to 1, after every frame.
    std::function<void(double done)> progress;
    // Asked after every frame and while the file is held by another program: true stops the export,
    // leaving what was on disk.
    std::function<bool()> stopped;
    // Another program holds the file: what is waited for ("ほかのプログラムが「NAME」を使っています…"),
    // said once. The wait ends when that program lets go, when the export is stopped, or after a
    // save's patience, when the write fails.
    std::function<void(const QString &waitingFor)> waiting;
    // A size limit's search tries one more file: which ("WebP 品質 70・1/2").
    std::function<void(const QString &trying)> trying;
};

// What an export did.
struct Exported
{
    bool written = false;
    // Why nothing was written; empty when it was stopped.
    QString error;
    qint64 size = 0; // the file's, once written
    qint64 runFrames = 0;
    qint64 fileFrames = 0;
    // What the file was made as ("WebP 劣化なし・等倍"); under a size limit, what was chosen and its
    // size ("WebP 品質 70・等倍、3.8 MB").
    QString chosen;
};

// What the author chose for an export beyond its file and speed, offered again at the next one
// (kept between runs beside the remembered settings).
struct ExportChoices
{
    int scale = 1;
    int every = 1;
    bool light = false; // WebP: lossy at `quality`, else lossless
    int quality = 80;
    qint64 maxBytes = 0; // 0: no limit

    // One line of five numbers; read back into the defaults where a value is missing or out of range.
    QByteArray encoded() const;
    static ExportChoices decoded(QByteArrayView line);
};

// The motion drawn by `renderer` as `options` say, written as the whole of `path`; what was at
// `path` stays unless the whole file was written.
Exported exportAnimation(const render::FrameRenderer &renderer, const AnimationOptions &options, const QString &path,
                         const ExportWatch &watch);

// The settings a file was made with, as the author names them ("WebP 品質 70・1/2").
QString settingsName(const AnimationOptions &options);
// What the author is told once `path` holds the animation: its size and frames, on three lines
// (and what was chosen, under a size limit).
QString writtenMessage(const QString &path, const Exported &exported);
// A file's size as Explorer shows it, and exactly.
QString shownSize(qint64 bytes);

} // namespace velra::animation
