#pragma once

#include "Page.h"

#include <QLabel>

class QTextLayout;

namespace velra {

// The welcome text is padded with ideographic spaces for lines of about 22 full-width characters
// and needs 13 of them; the font's own line spacing would leave only 10 visible, so the lines are
// set closer (13 pixels apart at a 12-pixel font) and every word shows.
class WelcomeLabel final : public QLabel
{
    Q_OBJECT

public:
    WelcomeLabel(const QString &text, QWidget *parent);

    static constexpr int kLineStep = 13;
    // The height the text takes when wrapped at `width`.
    int layoutHeight(int width) const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    static int lay(QTextLayout &layout, int width);
};

// The start page: a welcome text and the button that clears the hand-off files and starts the run.
class Form1 final : public Page
{
    Q_OBJECT

public:
    explicit Form1(Wizard &wizard);

    static QString welcomeText();

private:
    void startWork();
};

} // namespace velra
