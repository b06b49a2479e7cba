#pragma once

#include "model/LogFormat.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QPushButton>
#include <QWidget>

namespace velra {

class Toolkit;
class Wizard;
class HandoffFiles;

// A page of the wizard: its own window of the common shape, caption "Velloran", 312 x 213 client
// pixels, fixed border, the program's icon.
class Page : public QWidget
{
    Q_OBJECT

public:
    Page(Wizard &wizard, const QString &name);

    static constexpr int kWidth = 312;
    static constexpr int kHeight = 213;

    // Twips (15 to a pixel at 96 dpi) relative to `origin`, also in twips: the layouts are given in
    // twips of the page, also for controls that sit inside a frame.
    static QRect twips(int left, int top, int width, int height, QPoint origin = {});

    // True within the system's double-click interval of the page's showing: a mouse press then is
    // the second click of a double click that began on the page before, not meant for this one.
    bool justShown() const;

    // What Enter in a box or a choice presses (the page's 次へ), given where the focus is; null
    // where Enter does nothing.
    virtual QPushButton *enterButton(QWidget *focus) const;
    // The line of the settings log the page writes (1 to 4; 0 for none): going back to the page
    // cuts the log back to the lines before it.
    virtual int logLine() const { return 0; }
    // That line (or lines) as the page's values stand now, unchecked and as typed: what is kept when
    // the author leaves the page or closes the window before 次へ. None for a page that writes none.
    virtual QList<LogLine> typedLines() const { return {}; }
    // Starts a run from the settings file at `path`, for the page that can (the start page, given
    // `velloran FILE.velra`); says why not and stays when the file cannot be used.
    virtual bool openSettings(const QString &path)
    {
        (void)path;
        return false;
    }
    // Going back from this page may lose work: asks first (the generation page's unsaved script).
    virtual bool mayGoBack() { return true; }

protected:
    Wizard &wizard() const { return m_wizard; }
    Toolkit &toolkit() const;
    const HandoffFiles &files() const;
    // A modal message box through the toolkit seam.
    void message(const QString &prompt, const QString &title, int style);
    // The same, once the page is on the screen, in front of it (from inside the show event the box
    // would stand alone, before its page appears).
    void messageWhenShown(const QString &prompt, const QString &title, int style);
    // Called once, the first time the page is shown.
    virtual void firstShown() {}
    // Called when the page shows again (戻る from a later page, or forward to it after one): its
    // values stay, what it read from earlier pages is read again.
    virtual void shownAgain() {}
    // The page's 次へ, which Enter presses; and 戻る, placed at `where`, with Alt+← as well.
    void setNextButton(QPushButton *next) { m_nextButton = next; }
    QPushButton *addBackButton(const QRect &where, QWidget *parent = nullptr);
    // Whether the author's closing the window may end the wizard (a page may ask first).
    virtual bool mayClose() { return true; }

    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    Wizard &m_wizard;
    QPointer<QPushButton> m_nextButton;
    QElapsedTimer m_shown;
    bool m_shownBefore = false;
};

} // namespace velra
