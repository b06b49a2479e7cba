#pragma once

class QApplication;

namespace velra {

// The look every page is laid out for: a Japanese UI font at 12 pixels and the Fusion style, the
// same on every platform.
void setUpLook(QApplication &app);

// Qt's own Japanese texts for what Qt draws itself: the file dialogs, the replace-file question, the
// text boxes' context menu, standard buttons. Looked for beside the program (the Windows folder)
// and in Qt's translations folder. Returns false when none was found.
bool loadTranslations(QApplication &app);

} // namespace velra
