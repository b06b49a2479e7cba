#pragma once

#include <QSize>
#include <QString>
#include <QStringList>

#include <memory>

class QDialog;
class QFileDialog;
class QMessageBox;
class QProgressDialog;
class QWidget;

namespace velra {

// Button and icon codes of a message box.
enum MessageStyle : int {
    OkOnly = 0,            // one OK button, no icon
    OkWithExclamation = 48 // one OK button and the exclamation icon
};

// The modal parts of the toolkit, behind one seam so that page tests answer them without a window.
class Toolkit
{
public:
    virtual ~Toolkit() = default;

    // Shows a modal message box; returns 1 when OK is pressed, the only way it returns.
    virtual int messageBox(QWidget *parent, const QString &prompt, const QString &title, int style) = 0;

    // A modal question with はい and いいえ; true for はい. Enter answers `yesByDefault`.
    virtual bool question(QWidget *parent, const QString &prompt, const QString &title, bool yesByDefault = false) = 0;

    // A modal message box with OK (the default) and one more button, `other`: true when `other`
    // is pressed.
    virtual bool messageWithChoice(QWidget *parent, const QString &prompt, const QString &title, const QString &other) = 0;

    // `filter` is "description|pattern;pattern"; `title` the dialog's title. Returns the chosen
    // file's full path, or an empty text when the dialog was cancelled.
    // It opens in `folder`, or where the last file was chosen when that is empty.
    virtual QString openFileName(QWidget *parent, const QString &filter, const QString &title, const QString &folder) = 0;
    // The save dialog asks nothing about an existing file: a save adds to it, and the page says so.
    // It opens in `folder`.
    virtual QString saveFileName(QWidget *parent, const QString &filter, const QString &title, const QString &folder) = 0;
    // The same with a choice of file kinds (each "description|pattern"), the first chosen at the
    // start; `chosen` says which one the author left chosen.
    virtual QString saveFileName(QWidget *parent, const QStringList &filters, const QString &title, const QString &folder,
                                 int *chosen) = 0;
    // A modal choice among `choices` (buttons, the first the default) and キャンセル: the index
    // of the one pressed, or -1 when cancelled.
    virtual int choose(QWidget *parent, const QString &prompt, const QString &title, const QStringList &choices) = 0;
    // A dialog of the program's own, shown modal: true when the author accepted it.
    virtual bool runDialog(QDialog &dialog) = 0;

    // The pixel size of a BMP or JPEG picture, read from its header. On failure returns false and
    // sets `error` to a Japanese sentence.
    virtual bool measurePicture(const QString &path, QSize &size, QString *error);

    // While a save waits for a file another program holds: shows `text` with a way to give up,
    // and returns false once the author has taken it. Called again and again while the wait lasts;
    // waitOver() ends the showing.
    virtual bool stillWaiting(QWidget *parent, const QString &text) = 0;
    virtual void waitOver() {}

    // Opens a local document (the manual) in the program the system uses for it, without waiting
    // for it; false when no such program could be started.
    virtual bool openDocument(const QString &path) = 0;
};

// The real dialogs.
class QtToolkit final : public Toolkit
{
public:
    QtToolkit();
    ~QtToolkit() override;
    int messageBox(QWidget *parent, const QString &prompt, const QString &title, int style) override;
    bool question(QWidget *parent, const QString &prompt, const QString &title, bool yesByDefault = false) override;
    bool messageWithChoice(QWidget *parent, const QString &prompt, const QString &title, const QString &other) override;
    // Room in a title bar besides the title: the window icon and the close button.
    static constexpr int kTitleBarExtra = 96;
    // The box that messageBox shows.
    static std::unique_ptr<QMessageBox> makeMessageBox(QWidget *parent, const QString &prompt, const QString &title,
                                                       int style);
    QString openFileName(QWidget *parent, const QString &filter, const QString &title, const QString &folder) override;
    QString saveFileName(QWidget *parent, const QString &filter, const QString &title, const QString &folder) override;
    QString saveFileName(QWidget *parent, const QStringList &filters, const QString &title, const QString &folder,
                         int *chosen) override;
    int choose(QWidget *parent, const QString &prompt, const QString &title, const QStringList &choices) override;
    bool runDialog(QDialog &dialog) override;
    bool stillWaiting(QWidget *parent, const QString &text) override;
    void waitOver() override;
    bool openDocument(const QString &path) override;

    static constexpr QSize kDialogSize{820, 500};
    // The dialog that openFileName (save false) or saveFileName shows, in the folder of the last
    // picture chosen.
    std::unique_ptr<QFileDialog> makeFileDialog(QWidget *parent, const QString &filter, bool save,
                                                const QString &title = QString()) const;
    // The save dialog with a choice of kinds: a bare name gets the chosen kind's extension.
    std::unique_ptr<QFileDialog> makeSaveDialog(QWidget *parent, const QStringList &filters, const QString &title,
                                                const QString &folder) const;
    // Which of `filters` the dialog has chosen (the details of each may be hidden in its list).
    static int chosenKind(const QFileDialog &dialog, const QStringList &filters);
    // Later dialogs open where this picture was found, as a system dialog does within a run.
    void pictureChosen(const QString &path);

private:
    QString m_folder;
    std::unique_ptr<QProgressDialog> m_waiting;
};

// "description|p1;p2" as a Qt file dialog filter: "description (p1 p2)".
QString qtFileFilter(const QString &filter);

} // namespace velra
