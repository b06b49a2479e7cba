#pragma once

#include "model/Run.h"
#include "shell/Page.h"

#include <array>

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace velra {

// The scroll settings page: direction, step, alignment and end; appends line 4 of the settings log.
class Form5 final : public Page
{
    Q_OBJECT

public:
    explicit Form5(Wizard &wizard);

protected:
    void firstShown() override;
    // The earlier pages may have changed: their lines are read again and checked against.
    void shownAgain() override { load(); }
    int logLine() const override { return 4; }
    QList<LogLine> typedLines() const override;

private:
    void load();
    // The last run's direction, step, alignment, end and moves.
    void fillRemembered();
    // What would make the generation fail for these values, in this page's words.
    // The first value the page refuses, in 次へ's words; empty when none is.
    QString valueProblem(int endMode) const;
    void vertical();
    void horizontalCaptions();
    void next();
    // The run these settings make, with the codes chosen (0 where none is).
    Run currentRun() const;
    // "全 N コマ" as the settings stand.
    void updateCount();

    std::array<QRadioButton *, 10> m_options{}; // Option1 to Option10
    QLineEdit *m_step;
    QLineEdit *m_moves;
    QPushButton *m_next;
    QLabel *m_tooTall;
    QLabel *m_frameCount;
    QLabel *m_problem; // why the count shows none
    int m_imageHeight = 0;
    int m_windowHeight = 0;
    Run m_firstLines; // lines 1 to 3 of the settings log
};

} // namespace velra
