#pragma once

#include "handoff/SettingsLog.h"
#include "shell/Page.h"

class QLineEdit;

namespace velra {

// What the scroll-image page and the background page share: browsing to a picture, which fills its
// file name and its pixel size.
class PicturePage : public Page
{
    Q_OBJECT

public:
    using Page::Page;

    // The text after the last "\" of `vstrName`; only the backslash separates folders.
    static QString GetFileName(const QString &vstrName);

    static QString pictureFilter();

protected:
    // The browse: the open dialog, then the picture's size into `width` and `height` and its file
    // name into `name`. A cancelled dialog falls back to the file last chosen with this page's dialog.
    void browse(QLineEdit *name, QLineEdit *width, QLineEdit *height);

    // Refuses a file name that could not be read back from the settings log as written.
    bool acceptFileName(const QString &name);

    bool anyEmpty(std::initializer_list<const QLineEdit *> boxes) const;
    // The boxes' texts, each as a quoted text field of the settings log.
    static LogLine textsOf(std::initializer_list<const QLineEdit *> boxes);
    void showMissingMessage();
    void showWriteFailure(const QString &error);

private:
    QString m_dialogFileName; // the dialog's own memory of the last file chosen with it
};

} // namespace velra
