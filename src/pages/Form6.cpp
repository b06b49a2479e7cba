#include "Form6.h"

#include "CurveView.h"
#include "DigitField.h"
#include "preview/PathPreview.h"
#include "script/StepCheck.h"
#include "shell/Controls.h"
#include "shell/Toolkit.h"
#include "shell/Wizard.h"
#include "text/Shown.h"
#include "handoff/SettingsLog.h"

#include <QComboBox>
#include <QMenu>
#include <QStackedWidget>
#include <QKeyEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QShortcut>
#include <QStyleOptionFrame>
#include <QTreeWidget>

namespace velra {
using namespace controls;

namespace {

QLabel *caption(const QString &text, QWidget *parent)
{
    return new QLabel(text, parent);
}

// A button no wider than its caption and `padding` need, below the style's usual minimum: the
// page must fit a screen at 200 %.
void narrow(QPushButton *button, int padding)
{
    button->setMinimumWidth(button->fontMetrics().horizontalAdvance(button->text()) + padding);
    button->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
}

// The width a box needs to show `widest` whole, with its frame and margins, as QLineEdit measures.
int widthFor(const QLineEdit *edit, const QString &widest)
{
    const QMargins margins = edit->textMargins();
    constexpr int kHorizontalMargin = 2; // QLineEdit's own, each side
    QStyleOptionFrame option;
    option.initFrom(edit);
    option.lineWidth = edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit);
    const QSize content(edit->fontMetrics().horizontalAdvance(widest) + 2 * kHorizontalMargin + margins.left() + margins.right() + 2,
                        edit->fontMetrics().height());
    return edit->style()->sizeFromContents(QStyle::CT_LineEdit, &option, content, edit).width();
}

// A list column as wide as its header and its widest value, with the margins the style draws.
int columnWidthFor(const QTreeWidget *list, const QString &header, const QString &widest)
{
    const int cellMargin = 2 * (list->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, list) + 1) + 4;
    const int headerMargin = 2 * list->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, list) + 4;
    return qMax(list->fontMetrics().horizontalAdvance(widest) + cellMargin,
                list->header()->fontMetrics().horizontalAdvance(header) + headerMargin);
}

} // namespace

namespace {

// Every box as wide as the widest value it takes, from the font's own metrics.
const QString kCoordinate = QStringLiteral("-32768");
const QString kCount = QStringLiteral("32768");

QRadioButton *choice(int n, const QString &text, QWidget *parent)
{
    auto *radio = new QRadioButton(text, parent);
    radio->setObjectName(QStringLiteral("Option%1").arg(n));
    return radio;
}

QPushButton *push(const QString &name, const QString &text, QWidget *parent)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    return b;
}

} // namespace

QLineEdit *Form6::box(int n, QWidget *parent, const QString &widest)
{
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(QStringLiteral("Text%1").arg(n));
    edit->setFixedWidth(widthFor(edit, widest));
    return edit;
}

std::array<QLineEdit *, 17> Form6::boxes() const
{
    return {m_startX, m_startY, m_targetX, m_targetY, m_dots, m_frames, m_holdStart, m_hold,
            m_bezier[0], m_bezier[1], m_bezier[2], m_bezier[3], m_amplitudeX, m_amplitudeY, m_swings, m_swingFrames, m_seed};
}

QLayout *Form6::buildChainArea()
{
    // The start and the background, which belong to the whole chain.
    QGroupBox *start = frame(this, QStringLiteral("Frame1"), QStringLiteral("開始位置（画像の左上）"), {});
    auto *startRow = new QHBoxLayout(start);
    startRow->setContentsMargins(6, 2, 6, 4);
    startRow->addWidget(caption(QStringLiteral("x"), start));
    startRow->addWidget(m_startX = box(1, start, kCoordinate));
    startRow->addWidget(caption(QStringLiteral("y"), start));
    startRow->addWidget(m_startY = box(2, start, kCoordinate));
    startRow->addSpacing(6);
    startRow->addWidget(caption(QStringLiteral("止める"), start));
    startRow->addWidget(m_holdStart = box(7, start, kCount));
    startRow->addWidget(caption(QStringLiteral("コマ"), start));
    startRow->addStretch(1);
    QGroupBox *background = frame(this, QStringLiteral("Frame5"), QStringLiteral("背景"), {});
    auto *backRow = new QHBoxLayout(background);
    backRow->setContentsMargins(6, 2, 6, 4);
    const char *const backgrounds[] = {"毎コマ描く", "最初のコマだけ", "描かない"};
    for (int i = 0; i < 3; ++i)
        backRow->addWidget(m_background[i] = choice(7 + i, QString::fromUtf8(backgrounds[i]), background));

    auto *top = new QHBoxLayout;
    top->addWidget(start, 1);
    top->addWidget(background);
    return top;
}

QLayout *Form6::buildMovesArea()
{
    // The moves, each column as wide as its header and its widest allowed value.
    QGroupBox *moves = frame(this, QStringLiteral("Frame2"), QStringLiteral("動き"), {});
    m_list = new QTreeWidget(moves);
    m_list->setObjectName(QStringLiteral("List1"));
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setAllColumnsShowFocus(true);
    const QStringList headers{QStringLiteral("#"), QStringLiteral("目標"), QStringLiteral("動かし方"), QStringLiteral("曲線"),
                              QStringLiteral("止め"), QStringLiteral("コマ"), QString()};
    m_list->setHeaderLabels(headers);
    m_list->header()->setMinimumSectionSize(8);
    const QStringList widest{QStringLiteral("32"), QStringLiteral("-32768, -32768"), QStringLiteral("32767 ドット"),
                             QStringLiteral("カスタム"), QStringLiteral("32767"), QStringLiteral("32768"), QStringLiteral("！")};
    int listWidth = 2 * m_list->frameWidth();
    for (int i = 0; i < 7; ++i) {
        const int w = columnWidthFor(m_list, headers[i], widest[i]);
        m_list->setColumnWidth(i, w);
        listWidth += w;
    }
    m_list->header()->setStretchLastSection(true);
    m_list->header()->setSectionsMovable(false);
    m_list->setMinimumWidth(listWidth);
    m_list->setFixedHeight(86);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto *moveList = new QVBoxLayout(moves);
    moveList->setContentsMargins(6, 2, 6, 4);
    moveList->addWidget(m_list);
    auto *rowButtons = new QHBoxLayout;
    const char *const rowCaptions[][2] = {{"追加", "選んだ動きのあとに動きを加えます（Insert）"},
                                          {"削除", "選んだ動きを除きます（Delete）"},
                                          {"上へ", "選んだ動きを前へ移します（Ctrl+↑）"},
                                          {"下へ", "選んだ動きを後ろへ移します（Ctrl+↓）"}};
    for (int i = 0; i < 4; ++i) {
        m_rowButtons[i] = push(QStringLiteral("Command%1").arg(i + 2), QString::fromUtf8(rowCaptions[i][0]), moves);
        m_rowButtons[i]->setToolTip(QString::fromUtf8(rowCaptions[i][1]));
        narrow(m_rowButtons[i], 24);
        rowButtons->addWidget(m_rowButtons[i]);
    }
    moveList->addLayout(rowButtons);

    // The path under the moves, as wide as their list; its caption is a tooltip, for room.
    m_path = new preview::PathPreview(this);
    m_path->setObjectName(QStringLiteral("Picture1"));
    m_path->setToolTip(QStringLiteral("道筋：最後のコマと、各動きの目標（選んだ動きは水色）"));

    m_frameCount = new QLabel(this);
    m_frameCount->setObjectName(QStringLiteral("Label1"));
    m_check = new QLabel(this);
    m_check->setObjectName(QStringLiteral("Label2"));
    m_check->setWordWrap(true);
    m_check->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_check->setTextFormat(Qt::PlainText);
    // Three lines of the words at their own height: Japanese text is set in a fallback font whose
    // lines are taller than the page font's, and a page that grew once the words appeared would
    // push its buttons off a small screen.
    m_check->setText(QStringLiteral("歩\n歩\n歩"));
    m_check->setFixedHeight(qMax(m_check->fontMetrics().lineSpacing() * 3, m_check->sizeHint().height()) + 2);
    m_check->clear();
    auto *left = new QVBoxLayout;
    left->addWidget(moves);
    m_path->setFixedHeight(96);
    left->addWidget(m_path);
    left->addWidget(m_frameCount);
    left->addWidget(m_check);
    left->addStretch(1);
    return left;
}

namespace {

// A line of captions and boxes in a panel's grid, the rest of the line left empty.
void addLine(QGridLayout *grid, int line, QWidget *parent, std::initializer_list<std::pair<QString, QWidget *>> items, int indent = 0)
{
    auto *h = new QHBoxLayout;
    h->setSpacing(4);
    h->setContentsMargins(indent, 0, indent, 0);
    for (const auto &[text, widget] : items) {
        if (!text.isEmpty())
            h->addWidget(caption(text, parent));
        if (widget)
            h->addWidget(widget);
    }
    h->addStretch(1);
    grid->addLayout(h, line, 0, 1, 2);
}

// A kind's panel and its grid, inside margins that keep its texts off the editor's frame.
QGridLayout *panelGrid(QWidget *panel)
{
    auto *grid = new QGridLayout(panel);
    grid->setContentsMargins(2, 2, 2, 2);
    grid->setVerticalSpacing(3);
    grid->setHorizontalSpacing(4);
    return grid;
}

} // namespace

QWidget *Form6::buildMovePanel(QWidget *parent)
{
    auto *panel = new QWidget(parent);
    QGridLayout *grid = panelGrid(panel);
    m_targetX = box(3, panel, kCoordinate);
    m_targetY = box(4, panel, kCoordinate);
    addLine(grid, 0, panel, {{QStringLiteral("目標 x"), m_targetX}, {QStringLiteral("y"), m_targetY}});
    for (int i = 0; i < 2; ++i) {
        grid->addWidget(m_how[i] = choice(1 + i, i == 0 ? QStringLiteral("1コマ平均のドット数") : QStringLiteral("コマ数"), panel), 1 + i, 0);
        QLineEdit *amount = box(5 + i, panel, i == 0 ? QStringLiteral("32767") : kCount);
        (i == 0 ? m_dots : m_frames) = amount;
        grid->addWidget(amount, 1 + i, 1, Qt::AlignRight);
    }
    // The curve: its choice on a line of its own (a bounce's name is long), its values beside its
    // drawing, the usual shapes below.
    m_curve = new QComboBox(panel);
    m_curve->setObjectName(QStringLiteral("Combo1"));
    for (int curve = 1; curve <= 8; ++curve)
        m_curve->addItem(curveName(Segment::Curve(curve)));
    addLine(grid, 3, panel, {{QStringLiteral("速さの変化"), m_curve}});
    auto *curveRow = new QHBoxLayout;
    auto *curveValues = new QVBoxLayout;
    curveValues->setSpacing(3);
    const char *const valueNames[] = {"x1", "y1", "x2", "y2"};
    for (int line = 0; line < 2; ++line) {
        auto *values = new QHBoxLayout;
        values->setSpacing(2);
        for (int i = 2 * line; i < 2 * line + 2; ++i) {
            values->addWidget(caption(QString::fromLatin1(valueNames[i]), panel));
            m_bezier[i] = box(9 + i, panel, QStringLiteral("-1.2345"));
            values->addWidget(m_bezier[i]);
            makeDecimalField(m_bezier[i]);
        }
        values->addStretch(1);
        curveValues->addLayout(values);
    }
    curveRow->addLayout(curveValues, 1);
    m_curveView = new CurveView(panel);
    curveRow->addWidget(m_curveView, 0, Qt::AlignBottom);
    grid->addLayout(curveRow, 4, 0, 1, 2);
    // The usual shapes in one menu: seven buttons would not fit a small screen.
    m_presets = push(QStringLiteral("Command6"), QStringLiteral("よく使う形"), panel);
    m_presets->setToolTip(QStringLiteral("カスタムの曲線に、よく使う形の値を入れます"));
    auto *shapes = new QMenu(m_presets);
    for (qsizetype i = 0; i < qsizetype(kCurvePresets.size()); ++i) {
        const CurvePreset &preset = kCurvePresets[size_t(i)];
        QAction *action = shapes->addAction(QStringLiteral("%1（%2, %3, %4, %5）")
                                                .arg(QString::fromLatin1(preset.name), QString::fromLatin1(preset.values[0]),
                                                     QString::fromLatin1(preset.values[1]), QString::fromLatin1(preset.values[2]),
                                                     QString::fromLatin1(preset.values[3])));
        action->setObjectName(QStringLiteral("Preset%1").arg(i + 1));
        connect(action, &QAction::triggered, this, [this, i] {
            asStep([this, i] {
                Row &r = rows()[chosen()];
                r.curve = Segment::Curve::Bezier;
                for (int v = 0; v < 4; ++v)
                    r.bezier[v] = QString::fromLatin1(kCurvePresets[size_t(i)].values[v]);
                showRow(chosen());
            });
        });
    }
    m_presets->setMenu(shapes);
    grid->addWidget(m_presets, 5, 0, 1, 2);
    grid->setRowStretch(6, 1);
    return panel;
}

QWidget *Form6::buildShakePanel(QWidget *parent)
{
    auto *panel = new QWidget(parent);
    QGridLayout *grid = panelGrid(panel);
    m_amplitudeX = box(13, panel, QStringLiteral("1000"));
    m_amplitudeY = box(14, panel, QStringLiteral("1000"));
    m_swings = box(15, panel, QStringLiteral("100"));
    m_swingFrames = box(16, panel, QStringLiteral("60"));
    m_seed = box(17, panel, QStringLiteral("4294967295"));
    const auto combo = [panel](int n, const QStringList &items) {
        auto *c = new QComboBox(panel);
        c->setObjectName(QStringLiteral("Combo%1").arg(n));
        c->addItems(items);
        return c;
    };
    m_decay = combo(2, {decayName(Shake::Decay::None), decayName(Shake::Decay::Linear), decayName(Shake::Decay::Quadratic)});
    m_pattern = combo(3, {patternName(Shake::Pattern::Alternate), patternName(Shake::Pattern::Random)});
    m_swingCurve = combo(4, {curveName(Segment::Curve::Linear), curveName(Segment::Curve::EaseIn), curveName(Segment::Curve::EaseOut),
                             curveName(Segment::Curve::EaseInOut)});
    m_reseed = push(QStringLiteral("CommandReseed"), QStringLiteral("別の揺れ"), panel);
    m_reseed->setToolTip(QStringLiteral("新しいシードで、別のランダムな揺れにします"));
    narrow(m_reseed, 16);
    addLine(grid, 0, panel, {{QStringLiteral("揺れ幅 x"), m_amplitudeX}, {QStringLiteral("y"), m_amplitudeY}});
    addLine(grid, 1, panel, {{QStringLiteral("回数"), m_swings}, {QStringLiteral("1 回のコマ数"), m_swingFrames}});
    addLine(grid, 2, panel, {{QStringLiteral("減衰"), m_decay}});
    addLine(grid, 3, panel, {{QStringLiteral("揺れ方"), m_pattern}});
    addLine(grid, 4, panel, {{QStringLiteral("シード"), m_seed}, {QString(), m_reseed}});
    addLine(grid, 5, panel, {{QStringLiteral("速さの変化"), m_swingCurve}});
    grid->setRowStretch(6, 1);
    return panel;
}

QGroupBox *Form6::buildMoveEditor()
{
    // The chosen move, in a narrow column: its kind, that kind's values, and its hold.
    QGroupBox *row = frame(this, QStringLiteral("Frame3"), QString(), {});
    m_rowFrame = row;
    auto *editor = new QGridLayout(row);
    editor->setContentsMargins(4, 2, 4, 4);
    editor->setVerticalSpacing(1);
    editor->setHorizontalSpacing(4);
    auto *kinds = new QHBoxLayout;
    kinds->setContentsMargins(2, 0, 2, 0);
    kinds->addWidget(m_kind[0] = choice(3, QStringLiteral("移動"), row));
    kinds->addWidget(m_kind[1] = choice(4, QStringLiteral("揺れ"), row));
    kinds->addStretch(1);
    editor->addLayout(kinds, 0, 0, 1, 2);
    m_kindPanels = new QStackedWidget(row);
    m_kindPanels->addWidget(buildMovePanel(m_kindPanels));
    m_kindPanels->addWidget(buildShakePanel(m_kindPanels));
    editor->addWidget(m_kindPanels, 1, 0, 1, 2);
    m_hold = box(8, row, kCount);
    // In line with the panels' contents, inside their margins.
    addLine(editor, 2, row, {{QStringLiteral("止める"), m_hold}, {QStringLiteral("コマ"), nullptr}}, 2);
    return row;
}

Form6::Form6(Wizard &wizard)
    : Page(wizard, QStringLiteral("Form6"))
    , m_history(m_model, [this](const ChainEdit &e) { applyEdit(e); })
{
    // Made in the order Tab goes through them.
    QLayout *chainArea = buildChainArea();
    QLayout *movesArea = buildMovesArea();
    QGroupBox *moveEditor = buildMoveEditor();
    m_hint = new QLabel(QStringLiteral("元に戻す Ctrl+Z　やり直す Ctrl+Y"), this);
    m_hint->setObjectName(QStringLiteral("Label3"));
    m_hint->setEnabled(false); // a quiet hint, not a value
    auto *suggestions = new QHBoxLayout;
    for (int i = 0; i < 2; ++i) {
        // As large as the longest caption from the start, for the same reason.
        m_suggestions[i] = push(QStringLiteral("CommandSuggestion%1").arg(i + 1), QStringLiteral("1 コマ 32767 ドットにする"), this);
        m_suggestions[i]->setMinimumSize(m_suggestions[i]->sizeHint());
        QSizePolicy keep = m_suggestions[i]->sizePolicy();
        keep.setRetainSizeWhenHidden(true);
        m_suggestions[i]->setSizePolicy(keep);
        m_suggestions[i]->hide();
        suggestions->addWidget(m_suggestions[i]);
    }
    m_next = new QPushButton(QStringLiteral("次へ"), this);
    m_next->setObjectName(QStringLiteral("Command1"));
    QPushButton *previous = addBackButton(QRect());
    for (QPushButton *b : {m_next, previous})
        b->setFixedSize(qMax(88, b->sizeHint().width()), qMax(28, b->sizeHint().height()));
    setNextButton(m_next);

    auto *right = new QVBoxLayout;
    right->addWidget(moveEditor);
    right->addWidget(m_hint, 0, Qt::AlignRight);
    right->addStretch(1);
    // The suggestions under the words that offer them, before the page's own buttons.
    auto *bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addLayout(suggestions);
    bottom->addSpacing(12);
    bottom->addWidget(previous);
    bottom->addWidget(m_next);
    auto *columns = new QHBoxLayout;
    columns->addLayout(movesArea, 1);
    columns->addLayout(right);
    auto *page = new QVBoxLayout(this);
    page->setContentsMargins(8, 4, 8, 6);
    page->setSpacing(4);
    page->addLayout(chainArea);
    page->addLayout(columns, 1);
    page->addLayout(bottom);
    setFixedSize(page->sizeHint());

    for (QLineEdit *b : {m_startX, m_startY, m_targetX, m_targetY})
        makeSignedDigitField(b);
    for (QLineEdit *b : {m_dots, m_frames, m_holdStart, m_hold, m_amplitudeX, m_amplitudeY, m_swings, m_swingFrames, m_seed})
        makeDigitField(b);
    m_holdStart->setText(QStringLiteral("0"));
    m_background[0]->setChecked(true);
    rows() = {Row()};
    setFocusProxy(m_startX);
    connectEdits();
    connect(m_next, &QPushButton::clicked, this, &Form6::next);
    fillList();
    showRow(0);
}

// Every value is read back at once, and every edit is a step of the history.
void Form6::connectEdits()
{
    // Nothing here costs more than the typed model.
    for (QLineEdit *b : {m_startX, m_startY, m_holdStart}) // the chain's own
        connect(b, &QLineEdit::textChanged, this, &Form6::refresh);
    for (QLineEdit *b : {m_targetX, m_targetY, m_dots, m_frames, m_hold, m_bezier[0], m_bezier[1], m_bezier[2], m_bezier[3],
                         m_amplitudeX, m_amplitudeY, m_swings, m_swingFrames, m_seed}) // the chosen move's
        connect(b, &QLineEdit::textChanged, this, &Form6::rowEdited);
    // A choice moves from one button to another: followed once, where it lands.
    for (QRadioButton *radio : m_how)
        connect(radio, &QRadioButton::toggled, this, [this](bool on) {
            if (on)
                rowEdited();
        });
    for (QRadioButton *radio : m_background)
        connect(radio, &QRadioButton::toggled, this, [this](bool on) {
            if (on)
                refresh();
        });
    connect(m_curve, &QComboBox::currentIndexChanged, this, &Form6::curveChosen);
    for (QRadioButton *radio : m_kind)
        connect(radio, &QRadioButton::toggled, this, [this](bool on) {
            if (on)
                rowChoiceMade();
        });
    for (QComboBox *c : {m_decay, m_pattern, m_swingCurve})
        connect(c, &QComboBox::currentIndexChanged, this, &Form6::rowChoiceMade);
    connect(m_reseed, &QPushButton::clicked, this, [this] {
        asStep([this] {
            rows()[chosen()].seed = QString::number(drawShakeSeed());
            showRow(chosen());
        });
    });
    // Undo and redo: a typed value is a step once its box is left (or Enter pressed), a choice at
    // once, and typing before a choice a step of its own.
    const auto commit = [this] {
        if (!m_showing && !m_applying)
            m_history.commit();
    };
    for (QLineEdit *b : boxes()) {
        connect(b, &QLineEdit::editingFinished, this, commit);
        b->installEventFilter(this);
    }
    for (QRadioButton *radio : {m_how[0], m_how[1], m_background[0], m_background[1], m_background[2]}) {
        connect(radio, &QRadioButton::pressed, this, commit);
        connect(radio, &QRadioButton::toggled, this, [commit](bool on) {
            if (on)
                commit();
        });
    }
    connect(m_list, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem *item) {
        if (item && !m_showing)
            showRow(m_list->indexOfTopLevelItem(item));
    });
    // Enter on a move goes to its target, to type it.
    connect(m_list, &QTreeWidget::itemActivated, this, [this] {
        m_targetX->setFocus();
        m_targetX->selectAll();
    });
    connect(m_rowButtons[0], &QPushButton::clicked, this, &Form6::addMove);
    connect(m_rowButtons[1], &QPushButton::clicked, this, &Form6::removeMove);
    connect(m_rowButtons[2], &QPushButton::clicked, this, [this] { moveBy(-1); });
    connect(m_rowButtons[3], &QPushButton::clicked, this, [this] { moveBy(1); });
    const auto key = [this](QKeySequence keys, QWidget *within, auto action) {
        auto *shortcut = new QShortcut(keys, within);
        shortcut->setContext(within == this ? Qt::WindowShortcut : Qt::WidgetShortcut);
        connect(shortcut, &QShortcut::activated, this, action);
    };
    key(QKeySequence(Qt::Key_Insert), this, [this] { addMove(); });
    key(QKeySequence(Qt::Key_Delete), m_list, [this] { removeMove(); });
    key(QKeySequence(Qt::CTRL | Qt::Key_Up), this, [this] { moveBy(-1); });
    key(QKeySequence(Qt::CTRL | Qt::Key_Down), this, [this] { moveBy(1); });
    key(QKeySequence::Undo, this, [this] { m_history.undo(); });
    key(QKeySequence(Qt::CTRL | Qt::Key_Y), this, [this] { m_history.redo(); });
    key(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), this, [this] { m_history.redo(); });
    for (int i = 0; i < 2; ++i) {
        connect(m_suggestions[i], &QPushButton::clicked, this, [this, i] {
            asStep([this, i] {
                const QVariant amount = m_suggestions[i]->property("amount");
                const bool byFrames = m_how[1]->isChecked();
                (byFrames ? m_frames : m_dots)->setText(amount.toString());
            });
            // The button may hide once taken: the focus goes to the moves, not on to 次へ.
            m_list->setFocus(Qt::OtherFocusReason);
        });
    }
}

Form6::~Form6()
{
    // The boxes outlive this part of the page by a moment: a box losing the focus as they go must
    // not commit into a history that is gone.
    for (QLineEdit *b : boxes()) {
        b->disconnect(this);
        b->removeEventFilter(this);
    }
}

QPushButton *Form6::enterButton(QWidget *focus) const
{
    // Enter in a box commits its value and stays: an author types a chain value after value, and
    // leaves with 次へ itself. In the list Enter chooses the move to edit (the list passes the key on
    // to its frame and the page, which must not take it for 次へ either); in a choice it presses 次へ.
    const bool choice = qobject_cast<QRadioButton *>(focus) || qobject_cast<QComboBox *>(focus);
    return choice ? Page::enterButton(focus) : nullptr;
}

void Form6::shownAgain()
{
    // Earlier pages may have changed the pictures or the window: read again, the boxes kept.
    Run lines;
    QString error;
    if (settingslog::readRun(files().settingsLog(), lines, &error, settingslog::Access::Handoff, 3)) {
        m_model.setFirstLines(lines);
        m_next->setEnabled(true);
    }
    refresh();
}

void Form6::load()
{
    QString error;
    Run firstLines;
    bool ok = settingslog::readRun(files().settingsLog(), firstLines, &error, settingslog::Access::Handoff, 3);
    const std::optional<int> windowValue = ok ? firstLines.windowWidth.intValue() : std::nullopt;
    const std::optional<int> pictureValue = ok ? firstLines.scroll.width.intValue() : std::nullopt;
    const bool widthOk = windowValue.has_value();
    const int window = windowValue.value_or(0);
    const int picture = pictureValue.value_or(0);
    if (ok && (!widthOk || !pictureValue)) {
        ok = false;
        const Field bad = widthOk ? Field::ScrollImageWidth : Field::WindowWidth;
        error = QStringLiteral("設定ファイルの %1 の値「%2」は整数ではありません。")
                    .arg(fieldLabel(bad), shownValue(widthOk ? firstLines.scroll.width.text() : firstLines.windowWidth.text()));
    }
    m_model.setFirstLines(ok ? firstLines : Run());
    if (!ok) {
        m_next->setEnabled(false);
        messageWhenShown(restartMessage(error), QStringLiteral("設定を読み込めません"), OkWithExclamation);
        return;
    }
    // A leftward pass across the window, unless the last run left a chain.
    refreshOnce([&] {
        m_startX->setText(QString::number(window));
        m_startY->setText(QStringLiteral("0"));
        rows() = {Row()};
        rows()[0].x = QString::number(-qint64(picture)); // a hand-edited width may be INT_MIN
        rows()[0].y = QStringLiteral("0");
        fillRemembered();
        fillList();
        showRow(0);
    });
    m_history.reset();
}

void Form6::fillRemembered()
{
    const Run &last = wizard().rememberedRun();
    if (!last.isDetailed())
        return;
    if (!last.isComplete()) {
        // A chain closed while it was being typed, refused values and all: shown as it was left.
        if (last.typedChain.isEmpty())
            return;
        const ChainEdit typed = ChainEditorModel::editOf(last.typedChain);
        m_startX->setText(typed.startX);
        m_startY->setText(typed.startY);
        m_holdStart->setText(typed.holdStart);
        m_background[typed.background - 1]->setChecked(true);
        rows() = typed.rows;
        return;
    }
    const Chain &chain = last.chain;
    m_startX->setText(QString::number(chain.startX));
    m_startY->setText(QString::number(chain.startY));
    m_holdStart->setText(QString::number(chain.holdStart));
    const int background = int(chain.background);
    if (background >= 1 && background <= 3)
        m_background[background - 1]->setChecked(true);
    rows().clear();
    for (const Segment &s : chain.segments)
        rows().append(rowOf(s));
    setFocusProxy(m_next);
    m_next->setFocus();
}

void Form6::syncChainValues()
{
    ChainEdit &e = m_model.edit();
    e.startX = m_startX->text();
    e.startY = m_startY->text();
    e.holdStart = m_holdStart->text();
    for (int i = 0; i < 3; ++i) {
        if (m_background[i]->isChecked())
            e.background = i + 1;
    }
}

void Form6::fillList()
{
    const QSignalBlocker quiet(m_list);
    while (m_list->topLevelItemCount() > rows().size())
        delete m_list->takeTopLevelItem(m_list->topLevelItemCount() - 1);
    while (m_list->topLevelItemCount() < rows().size()) {
        auto *item = new QTreeWidgetItem(m_list);
        item->setTextAlignment(0, Qt::AlignRight | Qt::AlignVCenter);
        for (int c : {4, 5})
            item->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
    }
    m_rowButtons[0]->setEnabled(rows().size() < kMaxSegments);
    m_rowButtons[1]->setEnabled(rows().size() > 1);
    m_rowButtons[2]->setEnabled(chosen() > 0);
    m_rowButtons[3]->setEnabled(chosen() + 1 < rows().size());
    m_list->setCurrentItem(m_list->topLevelItem(chosen()));
}

void Form6::showRow(int row)
{
    m_model.edit().current = qBound(0, row, int(rows().size()) - 1);
    const Row &r = rows()[chosen()];
    const bool custom = r.curve == Segment::Curve::Bezier;
    m_showing = true;
    m_targetX->setText(r.x);
    m_targetY->setText(r.y);
    m_dots->setText(r.dots);
    m_frames->setText(r.frames);
    m_hold->setText(r.hold);
    // Greyed boxes stay empty: the values of another curve are no part of this move.
    for (int i = 0; i < 4; ++i)
        m_bezier[i]->setText(custom ? r.bezier[i] : QString());
    m_how[r.motion == Segment::Motion::Frames ? 1 : 0]->setChecked(true);
    m_curve->setCurrentIndex(int(r.curve) - 1);
    m_kind[r.isShake() ? 1 : 0]->setChecked(true);
    m_kindPanels->setCurrentIndex(r.isShake() ? 1 : 0);
    m_amplitudeX->setText(r.amplitudeX);
    m_amplitudeY->setText(r.amplitudeY);
    m_swings->setText(r.swings);
    m_swingFrames->setText(r.swingFrames);
    m_seed->setText(r.seed);
    m_decay->setCurrentIndex(int(r.decay) - 1);
    m_pattern->setCurrentIndex(int(r.pattern) - 1);
    m_swingCurve->setCurrentIndex(qBound(1, int(r.swingCurve), 4) - 1);
    m_showing = false;
    // The seed is the random pattern's alone.
    const bool random = r.pattern == Shake::Pattern::Random;
    m_seed->setEnabled(random);
    m_reseed->setEnabled(random);
    for (QLineEdit *b : m_bezier)
        b->setEnabled(custom);
    m_rowFrame->setTitle(QStringLiteral("%1 番目の動き").arg(chosen() + 1));
    fillList();
    if (!m_applying)
        m_history.select(chosen());
    refresh();
}

void Form6::rowEdited()
{
    if (m_showing)
        return;
    Row &r = rows()[chosen()];
    r.x = m_targetX->text();
    r.y = m_targetY->text();
    r.shake = m_kind[1]->isChecked();
    r.motion = m_how[1]->isChecked() ? Segment::Motion::Frames : Segment::Motion::DotsPerFrame;
    r.amplitudeX = m_amplitudeX->text();
    r.amplitudeY = m_amplitudeY->text();
    r.swings = m_swings->text();
    r.swingFrames = m_swingFrames->text();
    r.seed = m_seed->text();
    r.decay = Shake::Decay(m_decay->currentIndex() + 1);
    r.pattern = Shake::Pattern(m_pattern->currentIndex() + 1);
    r.swingCurve = Segment::Curve(m_swingCurve->currentIndex() + 1);
    r.dots = m_dots->text();
    r.frames = m_frames->text();
    r.hold = m_hold->text();
    r.curve = Segment::Curve(m_curve->currentIndex() + 1);
    if (r.curve == Segment::Curve::Bezier) {
        for (int i = 0; i < 4; ++i)
            r.bezier[i] = m_bezier[i]->text();
    }
    refresh();
}

void Form6::curveChosen()
{
    if (m_showing)
        return;
    asStep([this] {
        Row &r = rows()[chosen()];
        r.curve = Segment::Curve(m_curve->currentIndex() + 1);
        // カスタム brings back this move's own values, or starts from the shape of ease, which most
        // timing editors open with.
        if (r.curve == Segment::Curve::Bezier && std::all_of(r.bezier.begin(), r.bezier.end(), [](const QString &v) { return v.isEmpty(); })) {
            for (int v = 0; v < 4; ++v)
                r.bezier[v] = QString::fromLatin1(kCurvePresets[0].values[v]);
        }
        showRow(chosen());
    });
}

void Form6::rowChoiceMade()
{
    if (m_showing)
        return;
    asStep([this] {
        rowEdited();
        showRow(chosen());
    });
}

void Form6::refreshOnce(const std::function<void()> &change)
{
    if (m_holding)
        return change();
    m_holding = true;
    change();
    m_holding = false;
    refresh();
}

void Form6::refresh()
{
    syncChainValues();
    if (m_holding)
        return;
    m_dots->setEnabled(m_how[0]->isChecked());
    m_frames->setEnabled(m_how[1]->isChecked());
    const Row &current = m_model.currentRow();
    m_curveView->setCurve(current.curve, drawableBezier(current.bezier));
    if (!m_model.firstLines().lines)
        return;
    const ChainFindings found = m_model.findings();
    for (qsizetype k = 0; k < found.rows.size(); ++k) {
        const RowFindings &r = found.rows[k];
        QTreeWidgetItem *item = m_list->topLevelItem(int(k));
        if (!item)
            break; // the rows are being replaced; the list follows them next
        item->setText(0, QString::number(k + 1));
        item->setText(1, r.target);
        item->setText(2, r.amount);
        item->setText(3, r.curve);
        item->setText(4, r.hold);
        item->setText(5, r.frames);
        item->setText(6, r.mark);
        item->setToolTip(6, r.note);
    }
    m_check->setText(keepingUnits(found.words));
    for (int i = 0; i < 2; ++i) {
        const bool shown = i < found.suggestions.size();
        m_suggestions[i]->setVisible(shown);
        if (shown) {
            m_suggestions[i]->setText(found.suggestions[i].first);
            m_suggestions[i]->setProperty("amount", found.suggestions[i].second);
        }
    }
    m_frameCount->setText(found.frameCount);
    if (!found.valid)
        return m_path->setProblem(found.problem);
    m_path->setChain(found.run, found.plan, chosen(), wizard().picturePaths(), &m_decoded);
}

template<typename Change>
void Form6::asStep(Change change)
{
    if (m_applying)
        return change();
    m_history.commit();
    change();
    m_history.commit();
}

void Form6::applyEdit(const ChainEdit &e)
{
    m_applying = true;
    refreshOnce([&] {
        for (const auto &[box, text] : {std::pair{m_startX, e.startX}, std::pair{m_startY, e.startY}, std::pair{m_holdStart, e.holdStart}}) {
            if (box->text() != text)
                box->setText(text);
        }
        m_background[qBound(1, e.background, 3) - 1]->setChecked(true);
        rows() = e.rows;
        showRow(e.current);
    });
    m_applying = false;
}

bool Form6::eventFilter(QObject *watched, QEvent *event)
{
    // The page's undo and redo take the keys wherever the focus is, a box's own too: typing not yet
    // committed becomes a step before it is undone, so that a redo brings it back.
    if (event->type() == QEvent::ShortcutOverride) {
        const auto *key = static_cast<QKeyEvent *>(event);
        const QKeyCombination keys = key->keyCombination();
        const bool history = key->matches(QKeySequence::Undo) || keys == QKeyCombination(Qt::CTRL, Qt::Key_Y)
            || keys == QKeyCombination(Qt::CTRL | Qt::SHIFT, Qt::Key_Z);
        if (history)
            return true; // not accepted: the shortcut runs
    }
    return Page::eventFilter(watched, event);
}

void Form6::addMove()
{
    if (rows().size() >= kMaxSegments)
        return;
    // The new move's target is to be typed.
    asStep([this] { showRow(m_model.addAfterCurrent()); });
    m_targetX->setFocus();
    m_targetX->selectAll();
}

void Form6::removeMove()
{
    if (rows().size() <= 1)
        return;
    asStep([this] { showRow(m_model.removeCurrent()); });
}

void Form6::moveBy(int by)
{
    const int to = chosen() + by;
    if (to < 0 || to >= rows().size())
        return;
    asStep([this, by] { showRow(m_model.moveCurrent(by)); });
}

QList<LogLine> Form6::typedLines() const
{
    // The model follows every keystroke: it holds what the boxes show.
    return m_model.record();
}

void Form6::next()
{
    syncChainValues();
    Run run;
    ChainPlan plan;
    QString error;
    if (!m_model.chain(run, plan, &error))
        return message(error, QStringLiteral("設定が正しくありません"), OkWithExclamation);
    if (!settingslog::writePageLines(files().settingsLog(), logLine() - 1, m_model.record(), &error))
        return message(error, QStringLiteral("設定を保存できません"), OkWithExclamation);
    wizard().handOver(this, PageId::Form7);
}

} // namespace velra
