#pragma once

class QApplication;

namespace velra {

// The look every page is laid out for: a Japanese UI font at 12 pixels and the Fusion style, the
// same on every platform.
void setUpLook(QApplication &app);

} // namespace velra
