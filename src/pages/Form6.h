#pragma once

#include "chaineditor/ChainEditorModel.h"
#include "chaineditor/ChainHistory.h"
#include "model/Run.h"
#include "script/ScrollScript.h"
#include "shell/Page.h"

#include <functional>

#include <array>

class QComboBox;
class QGroupBox;
class QLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QStackedWidget;
class QTreeWidget;

namespace velra {
namespace preview {
class PathPreview;
}
class CurveView;

// The chain editor: where the picture starts, then one row for each move (its target, how it
// moves, its speed curve, its hold), the background for the whole chain. The path, the frame counts
// and the evenness check follow every keystroke, computed from the typed values alone; 次へ appends
// line 4 of the settings log and a line for each further move.
class Form6 final : public Page
{
    Q_OBJECT

public:
    explicit Form6(Wizard &wizard);
    ~Form6() override;

    using Row = ChainRow;

    QPushButton *enterButton(QWidget *focus) const override;

protected:
    void firstShown() override { load(); }
    void shownAgain() override;
    int logLine() const override { return 4; }
    QList<LogLine> typedLines() const override;

private:
    // The page's three areas: the chain's start and background, the moves with their path and
    // counts, the chosen move.
    QLayout *buildChainArea();
    QLayout *buildMovesArea();
    QGroupBox *buildMoveEditor();
    void connectEdits();
    static QLineEdit *box(int n, QWidget *parent, const QString &widest);
    // Text1 to Text17, in that order.
    std::array<QLineEdit *, 17> boxes() const;
    QWidget *buildMovePanel(QWidget *parent);
    QWidget *buildShakePanel(QWidget *parent);

    void load();
    void fillRemembered();
    // The chain's own boxes (the start, its hold, the background) into the model.
    void syncChainValues();
    QList<Row> &rows() { return m_model.rows(); }
    int chosen() const { return m_model.edit().current; }
    // Everything that follows the values: the rows' counts and marks, the words, the path.
    void refresh();
    // `change` with the refreshes its signals would cause held back, then one refresh.
    void refreshOnce(const std::function<void()> &change);
    void showRow(int row);
    void rowEdited();
    void curveChosen();
    // A choice of the chosen row (its kind, a shake's decay, pattern or curve) as a step of its own.
    void rowChoiceMade();
    void addMove();
    void removeMove();
    void moveBy(int by);
    void fillList();
    // An edit put back (an undo or a redo) shown in the boxes.
    void applyEdit(const ChainEdit &edit);
    // A discrete change (a choice, a button): typing before it is a step of its own, and so is it.
    template<typename Change>
    void asStep(Change change);
    bool eventFilter(QObject *watched, QEvent *event) override;
    void next();

    QLineEdit *m_startX;    // Text1, Text2
    QLineEdit *m_startY;
    QLineEdit *m_targetX;   // Text3, Text4
    QLineEdit *m_targetY;
    QLineEdit *m_dots;      // Text5: dots a frame
    QLineEdit *m_frames;    // Text6: moving frames
    QLineEdit *m_holdStart; // Text7
    QLineEdit *m_hold;      // Text8: the chosen move's hold
    std::array<QLineEdit *, 4> m_bezier{}; // Text9 to Text12: x1, y1, x2, y2
    QLineEdit *m_amplitudeX; // Text13, Text14: a shake's
    QLineEdit *m_amplitudeY;
    QLineEdit *m_swings;      // Text15
    QLineEdit *m_swingFrames; // Text16
    QLineEdit *m_seed;        // Text17
    std::array<QRadioButton *, 2> m_how{};        // Option1, Option2: dots a frame, frames
    std::array<QRadioButton *, 2> m_kind{};       // Option3, Option4: a move, a shake
    QStackedWidget *m_kindPanels;
    QComboBox *m_decay;      // Combo2
    QComboBox *m_pattern;    // Combo3
    QComboBox *m_swingCurve; // Combo4
    QPushButton *m_reseed;   // 別の揺れ
    std::array<QRadioButton *, 3> m_background{}; // Option7 to Option9
    QComboBox *m_curve;
    CurveView *m_curveView;
    QTreeWidget *m_list;
    std::array<QPushButton *, 4> m_rowButtons{}; // add, remove, up, down
    QPushButton *m_presets; // its menu puts a usual shape into カスタム
    std::array<QPushButton *, 2> m_suggestions{};
    preview::PathPreview *m_path;
    QLabel *m_frameCount;
    QLabel *m_check;
    QLabel *m_hint;
    QGroupBox *m_rowFrame;
    QPushButton *m_next;
    ChainEditorModel m_model; // lines 1 to 3 of the settings log, and the chain being edited
    bool m_showing = false; // the boxes are being filled from a row: no edit
    bool m_applying = false; // an undo or redo is putting an edit back
    bool m_holding = false;  // refreshOnce() is running: one refresh at its end
    ChainHistory m_history;
    QHash<QString, QImage> m_decoded;
};

} // namespace velra
