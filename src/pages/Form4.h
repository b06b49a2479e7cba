#pragma once

#include "shell/Page.h"

class QLabel;
class QPushButton;
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

protected:
    void firstShown() override;
    int logLine() const override { return 3; }
    QList<LogLine> typedLines() const override;

private:
    void next();

    QRadioButton *m_simple;
    QRadioButton *m_detailed;
    QPushButton *m_next;
    QLabel *m_explanation;
};

} // namespace velra
