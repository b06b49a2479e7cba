#pragma once

#include "Page.h"

class QCheckBox;

namespace velra {

// The start page: a welcome text and the button that clears the hand-off files and starts the run.
class Form1 final : public Page
{
    Q_OBJECT

public:
    explicit Form1(Wizard &wizard);

    static QString welcomeText();
    // The same text with "|" where a line may break.
    static QString welcomeLayout();

private:
    void startWork();

    QCheckBox *m_useLast;
};

} // namespace velra
