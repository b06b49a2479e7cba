#pragma once

#include "model/Run.h"
#include "shell/Page.h"

class QLineEdit;

namespace velra {

// What the scroll-image page and the background page share: browsing to a picture, which fills its
// file name and its pixel size.
class PicturePage : public Page
{
    Q_OBJECT

public:
    PicturePage(Wizard &wizard, const QString &name);

    // The text after the last "\" of `vstrName`; only the backslash separates folders.
    static QString GetFileName(const QString &vstrName);

    static QString pictureFilter();
    // The open dialog's title: which picture is being chosen.
    virtual QString dialogTitle() const = 0;

protected:
    // The boxes the picture's file name and size go into.
    void setPictureBoxes(QLineEdit *name, QLineEdit *width, QLineEdit *height);
    // The browse: the open dialog, then the picture's size and its file name into the boxes. A
    // cancelled dialog falls back to the file last chosen with this page's dialog.
    void browse();
    // The picture at `path`, taken as the browse takes the chosen one (a dropped file, the last
    // run's picture): false, with a message, when it is refused.
    bool take(const QString &path);
    // The last run's picture: measured again where it still is (the page says when its size has
    // changed), else the last run's name and size (the page says the picture is gone).
    void fillRemembered(const QString &path, const RunPicture &picture);

    // A picture file dropped on the page is taken as if chosen with 参照.
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

    // Refuses a file name that could not be read back from the settings log as written.
    bool acceptFileName(const QString &name);

    bool anyEmpty(std::initializer_list<const QLineEdit *> boxes) const;
    // The boxes' texts, each as a quoted text field of the settings log.
    static LogLine textsOf(std::initializer_list<const QLineEdit *> boxes);
    void showMissingMessage();
    void showWriteFailure(const QString &error);

private:
    // The picture's name, size and path, as the browse found them.
    void fill(const QString &path, QSize size);

    QString m_dialogFileName; // the dialog's own memory of the last file chosen with it
    QLineEdit *m_nameBox = nullptr;
    QLineEdit *m_widthBox = nullptr;
    QLineEdit *m_heightBox = nullptr;
};

} // namespace velra
