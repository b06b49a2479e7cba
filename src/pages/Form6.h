#pragma once

#include "handoff/Run.h"
#include "shell/Page.h"

#include <QTimer>

#include <array>

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace velra {
struct ChainPlan;
namespace preview {
class PathPreview;
}

// The detailed settings page: where the picture starts and ends, how it moves, its speed curve,
// held frames and the background; appends line 4 of the settings log in the detailed layout.
class Form6 final : public Page
{
    Q_OBJECT

public:
    explicit Form6(Wizard &wizard);

    static constexpr int kWidth = 560;
    static constexpr int kHeight = 330;
    static constexpr int kPathWidth = 360; // the path view's width; its height follows the window

protected:
    void firstShown() override { load(); }
    void shownAgain() override;
    int logLine() const override { return 4; }

private:
    void load();
    void fillRemembered();
    // Line 4 as the boxes and choices stand, then a line for each move kept after the first.
    QList<LogLine> record() const;
    // The chain the page gives, and how it unfolds; false (with `error`) when a value is refused.
    bool chain(Run &run, ChainPlan &plan, QString *error) const;
    void updatePath();
    void next();

    std::array<QLineEdit *, 8> m_boxes{};        // Text1 to Text8
    std::array<QRadioButton *, 9> m_options{}; // Option1 to Option9
    preview::PathPreview *m_path;
    QLabel *m_frameCount;
    QPushButton *m_next;
    QTimer m_pathTimer;
    Run m_firstLines;                // lines 1 to 3 of the settings log
    QList<Segment> m_rest;           // the remembered chain's moves after the first
    std::optional<Bezier> m_firstBezier; // the remembered first move's curve, when no choice shows it
    QHash<QString, QImage> m_decoded;
};

} // namespace velra
