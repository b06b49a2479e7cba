#pragma once

#include "shell/Page.h"

class QLabel;
class QRadioButton;

namespace velra {

// The mode page: the simple mode leads to the scroll settings, anything else to the empty page.
class Form4 final : public Page
{
    Q_OBJECT

public:
    explicit Form4(Wizard &wizard);

    static QString simpleExplanation();
    static QString detailedExplanation();

private:
    void next();

    QRadioButton *m_simple;
    QLabel *m_explanation;
};

} // namespace velra
