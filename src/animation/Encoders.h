#pragma once

#include "Animation.h"

#include <QString>

// One encoder a format, each reading the frame stream once or twice and filling `made`; false with
// `error` on a failure, or with `error` empty when the author stopped it.
namespace velra::animation {

class FrameStream;

// Lossless, through libwebp's animation encoder.
bool encodeWebP(const FrameStream &stream, const AnimationOptions &options, Animation &made, QString *error);
// One palette and one colour-to-index table for the whole run, through giflib's writer.
bool encodeGif(const FrameStream &stream, const AnimationOptions &options, Animation &made, QString *error);

} // namespace velra::animation
