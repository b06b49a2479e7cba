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
#include <QKeyEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QRegularExpressionValidator>
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

const char *const kCurveNames[] = {"等速", "加速", "減速", "加減速", "カスタム"};

// The four usual shapes, as CSS names them.
struct Preset
{
    const char *name;
    const char *values[4];
};
const Preset kPresets[] = {{"ease", {"0.25", "0.1", "0.25", "1"}},
                           {"ease-in", {"0.42", "0", "1", "1"}},
                           {"ease-out", {"0", "0", "0.58", "1"}},
                           {"ease-in-out", {"0.42", "0", "0.58", "1"}}};

std::optional<std::array<double, 4>> bezierNumbers(const std::array<QString, 4> &texts)
{
    std::array<double, 4> values{};
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        values[i] = texts[i].toDouble(&ok);
        if (!ok)
            return std::nullopt;
    }
    return values;
}

Form6::Row rowOf(const Segment &s)
{
    Form6::Row row;
    row.x = QString::number(s.x);
    row.y = QString::number(s.y);
    row.motion = s.motion;
    (s.motion == Segment::Motion::Frames ? row.frames : row.dots) = QString::number(s.amount);
    row.curve = s.curve;
    row.hold = QString::number(s.hold);
    if (s.curve == Segment::Curve::Bezier) {
        Chain one;
        one.segments = {s};
        const LogLine line = runlog::chainLines(one).front();
        for (int i = 0; i < 4; ++i)
            row.bezier[i] = line[10 + i].text;
    }
    return row;
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

std::array<QLineEdit *, 12> Form6::boxes() const
{
    return {m_startX, m_startY, m_targetX, m_targetY, m_dots, m_frames, m_holdStart, m_hold,
            m_bezier[0], m_bezier[1], m_bezier[2], m_bezier[3]};
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
    m_check->setFixedHeight(m_check->fontMetrics().lineSpacing() * 3 + 2);
    auto *left = new QVBoxLayout;
    left->addWidget(moves);
    m_path->setFixedHeight(96);
    left->addWidget(m_path);
    left->addWidget(m_frameCount);
    left->addWidget(m_check);
    left->addStretch(1);
    return left;
}

QGroupBox *Form6::buildMoveEditor()
{
    // The chosen move, in a narrow column: one value or two to a line.
    QGroupBox *row = frame(this, QStringLiteral("Frame3"), QString(), {});
    m_rowFrame = row;
    auto *editor = new QGridLayout(row);
    editor->setContentsMargins(6, 2, 6, 4);
    editor->setVerticalSpacing(3);
    editor->setHorizontalSpacing(4);
    const auto pair = [&](int line, const QString &first, QLineEdit *a, const QString &second, QLineEdit *b) {
        auto *h = new QHBoxLayout;
        h->setSpacing(4);
        h->addWidget(caption(first, row));
        h->addWidget(a);
        if (b) {
            h->addWidget(caption(second, row));
            h->addWidget(b);
        } else {
            h->addWidget(caption(second, row));
        }
        h->addStretch(1);
        editor->addLayout(h, line, 0, 1, 2);
    };
    m_targetX = box(3, row, kCoordinate);
    m_targetY = box(4, row, kCoordinate);
    m_hold = box(8, row, kCount);
    pair(0, QStringLiteral("目標 x"), m_targetX, QStringLiteral("y"), m_targetY);
    pair(1, QStringLiteral("止める"), m_hold, QStringLiteral("コマ"), nullptr);
    for (int i = 0; i < 2; ++i) {
        editor->addWidget(m_how[i] = choice(1 + i, i == 0 ? QStringLiteral("1コマに動かすドット数") : QStringLiteral("コマ数"), row), 2 + i, 0);
        QLineEdit *amount = box(5 + i, row, i == 0 ? QStringLiteral("32767") : kCount);
        (i == 0 ? m_dots : m_frames) = amount;
        editor->addWidget(amount, 2 + i, 1, Qt::AlignRight);
    }
    // The curve: its choice and values beside its drawing, the usual shapes below.
    auto *curveRow = new QHBoxLayout;
    auto *curveValues = new QVBoxLayout;
    curveValues->setSpacing(3);
    auto *curveChoice = new QHBoxLayout;
    curveChoice->addWidget(caption(QStringLiteral("速さの変化"), row));
    m_curve = new QComboBox(row);
    m_curve->setObjectName(QStringLiteral("Combo1"));
    for (const char *name : kCurveNames)
        m_curve->addItem(QString::fromUtf8(name));
    curveChoice->addWidget(m_curve, 1);
    curveValues->addLayout(curveChoice);
    const char *const valueNames[] = {"x1", "y1", "x2", "y2"};
    for (int line = 0; line < 2; ++line) {
        auto *values = new QHBoxLayout;
        values->setSpacing(2);
        for (int i = 2 * line; i < 2 * line + 2; ++i) {
            values->addWidget(caption(QString::fromLatin1(valueNames[i]), row));
            m_bezier[i] = box(9 + i, row, QStringLiteral("-1.2345"));
            values->addWidget(m_bezier[i]);
            m_bezier[i]->setValidator(
                new QRegularExpressionValidator(QRegularExpression(QStringLiteral("-?[0-9]*\\.?[0-9]*")), m_bezier[i]));
        }
        values->addStretch(1);
        curveValues->addLayout(values);
    }
    curveRow->addLayout(curveValues, 1);
    m_curveView = new CurveView(row);
    curveRow->addWidget(m_curveView, 0, Qt::AlignBottom);
    editor->addLayout(curveRow, 4, 0, 1, 2);
    auto *presets = new QGridLayout;
    presets->setSpacing(2);
    for (int i = 0; i < 4; ++i) {
        m_presets[i] = push(QStringLiteral("Command%1").arg(6 + i), QString::fromLatin1(kPresets[i].name), row);
        m_presets[i]->setToolTip(QStringLiteral("カスタムの曲線に %1 の値を入れます").arg(QString::fromLatin1(kPresets[i].name)));
        narrow(m_presets[i], 14);
        presets->addWidget(m_presets[i], i / 2, i % 2);
    }
    editor->addLayout(presets, 5, 0, 1, 2);

    return row;
}

Form6::Form6(Wizard &wizard)
    : Page(wizard, QStringLiteral("Form6"))
    , m_history([this] { return edit(); }, [this](const ChainEdit &e) { applyEdit(e); })
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
        m_suggestions[i] = push(QStringLiteral("CommandSuggestion%1").arg(i + 1), QString(), this);
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
    for (QLineEdit *b : {m_dots, m_frames, m_holdStart, m_hold})
        makeDigitField(b);
    m_holdStart->setText(QStringLiteral("0"));
    m_background[0]->setChecked(true);
    m_rows = {Row()};
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
    for (QLineEdit *b : {m_targetX, m_targetY, m_dots, m_frames, m_hold, m_bezier[0], m_bezier[1], m_bezier[2], m_bezier[3]}) // the chosen move's
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
    for (int i = 0; i < 4; ++i) {
        connect(m_presets[i], &QPushButton::clicked, this, [this, i] {
            asStep([this, i] {
                Row &r = m_rows[m_current];
                r.curve = Segment::Curve::Bezier;
                for (int v = 0; v < 4; ++v)
                    r.bezier[v] = QString::fromLatin1(kPresets[i].values[v]);
                showRow(m_current);
            });
        });
    }
    for (int i = 0; i < 2; ++i) {
        connect(m_suggestions[i], &QPushButton::clicked, this, [this, i] {
            asStep([this, i] {
                const QVariant amount = m_suggestions[i]->property("amount");
                const bool byFrames = m_how[1]->isChecked();
                (byFrames ? m_frames : m_dots)->setText(amount.toString());
            });
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
    // In the list Enter chooses the move to edit (the list passes the key on to its frame and the
    // page, which must not take it for 次へ); in a box or a choice it presses 次へ.
    const bool input = qobject_cast<QLineEdit *>(focus) || qobject_cast<QRadioButton *>(focus) || qobject_cast<QComboBox *>(focus);
    return input ? Page::enterButton(focus) : nullptr;
}

void Form6::shownAgain()
{
    // Earlier pages may have changed the pictures or the window: read again, the boxes kept.
    Run lines;
    QString error;
    if (settingslog::readRun(files().settingsLog(), lines, &error, settingslog::Access::Handoff, 3)) {
        m_firstLines = lines;
        m_next->setEnabled(true);
    }
    refresh();
}

void Form6::load()
{
    QString error;
    bool ok = settingslog::readRun(files().settingsLog(), m_firstLines, &error, settingslog::Access::Handoff, 3);
    bool widthOk = false;
    bool pictureOk = false;
    const int window = ok ? m_firstLines.windowWidth.toInt(&widthOk) : 0;
    const int picture = ok ? m_firstLines.scroll.width.toInt(&pictureOk) : 0;
    if (ok && (!widthOk || !pictureOk)) {
        ok = false;
        const Field bad = widthOk ? Field::ScrollImageWidth : Field::WindowWidth;
        error = QStringLiteral("設定ファイルの %1 の値「%2」は整数ではありません。")
                    .arg(fieldLabel(bad), shownValue(widthOk ? m_firstLines.scroll.width : m_firstLines.windowWidth));
    }
    if (!ok) {
        m_firstLines = Run();
        m_next->setEnabled(false);
        messageWhenShown(restartMessage(error), QStringLiteral("設定を読み込めません"), OkWithExclamation);
        return;
    }
    // A leftward pass across the window, unless the last run left a chain.
    refreshOnce([&] {
        m_startX->setText(QString::number(window));
        m_startY->setText(QStringLiteral("0"));
        m_rows = {Row()};
        m_rows[0].x = QString::number(-qint64(picture)); // a hand-edited width may be INT_MIN
        m_rows[0].y = QStringLiteral("0");
        fillRemembered();
        fillList();
        showRow(0);
    });
    m_history.reset();
}

void Form6::fillRemembered()
{
    const Run &last = wizard().rememberedRun();
    if (!last.isComplete() || !last.isDetailed())
        return;
    const Chain &chain = last.chain;
    m_startX->setText(QString::number(chain.startX));
    m_startY->setText(QString::number(chain.startY));
    m_holdStart->setText(QString::number(chain.holdStart));
    const int background = int(chain.background);
    if (background >= 1 && background <= 3)
        m_background[background - 1]->setChecked(true);
    m_rows.clear();
    for (const Segment &s : chain.segments)
        m_rows.append(rowOf(s));
    setFocusProxy(m_next);
    m_next->setFocus();
}

QList<LogLine> Form6::record() const
{
    const auto text = [](const QString &t) { return LogValue::textValue(t); };
    int background = 0;
    for (int i = 0; i < 3; ++i) {
        if (m_background[i]->isChecked())
            background = i + 1;
    }
    QList<LogLine> lines;
    for (qsizetype k = 0; k < m_rows.size(); ++k) {
        const Row &r = m_rows[k];
        const LogValue motion = LogValue::number(int(r.motion));
        const LogValue amount = text(r.motion == Segment::Motion::Frames ? r.frames : r.dots);
        const LogValue curve = LogValue::number(int(r.curve));
        LogLine line = k == 0 ? LogLine{text(m_startX->text()), text(m_startY->text()), text(r.x), text(r.y), motion, amount,
                                        curve, text(m_holdStart->text()), text(r.hold), LogValue::number(background)}
                              : LogLine{text(r.x), text(r.y), motion, amount, curve, text(r.hold)};
        if (r.curve == Segment::Curve::Bezier) {
            for (const QString &v : r.bezier)
                line.append(text(v));
        }
        lines.append(line);
    }
    return lines;
}

bool Form6::chain(Run &run, ChainPlan &plan, QString *error) const
{
    if (!m_firstLines.lines)
        return false;
    run = m_firstLines;
    run.mode = Run::Mode::Detailed;
    RunError problem;
    if (!runlog::chainFromLines(record(), run.chain, &problem, runlog::Naming::EditorRows)) {
        if (error)
            *error = problem.message;
        return false;
    }
    run.lines = 4;
    return ChainPlan::make(run.chain, plan, error);
}

void Form6::fillList()
{
    const QSignalBlocker quiet(m_list);
    while (m_list->topLevelItemCount() > m_rows.size())
        delete m_list->takeTopLevelItem(m_list->topLevelItemCount() - 1);
    while (m_list->topLevelItemCount() < m_rows.size()) {
        auto *item = new QTreeWidgetItem(m_list);
        item->setTextAlignment(0, Qt::AlignRight | Qt::AlignVCenter);
        for (int c : {4, 5})
            item->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
    }
    m_rowButtons[0]->setEnabled(m_rows.size() < kMaxSegments);
    m_rowButtons[1]->setEnabled(m_rows.size() > 1);
    m_rowButtons[2]->setEnabled(m_current > 0);
    m_rowButtons[3]->setEnabled(m_current + 1 < m_rows.size());
    m_list->setCurrentItem(m_list->topLevelItem(m_current));
}

void Form6::showRow(int row)
{
    m_current = qBound(0, row, int(m_rows.size()) - 1);
    const Row &r = m_rows[m_current];
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
    m_showing = false;
    for (QLineEdit *b : m_bezier)
        b->setEnabled(custom);
    m_rowFrame->setTitle(QStringLiteral("%1 番目の動き").arg(m_current + 1));
    fillList();
    if (!m_applying)
        m_history.select(m_current);
    refresh();
}

void Form6::rowEdited()
{
    if (m_showing)
        return;
    Row &r = m_rows[m_current];
    r.x = m_targetX->text();
    r.y = m_targetY->text();
    r.motion = m_how[1]->isChecked() ? Segment::Motion::Frames : Segment::Motion::DotsPerFrame;
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
        Row &r = m_rows[m_current];
        r.curve = Segment::Curve(m_curve->currentIndex() + 1);
        // カスタム brings back this move's own values, or starts from the shape of ease, which most
        // timing editors open with.
        if (r.curve == Segment::Curve::Bezier && std::all_of(r.bezier.begin(), r.bezier.end(), [](const QString &v) { return v.isEmpty(); })) {
            for (int v = 0; v < 4; ++v)
                r.bezier[v] = QString::fromLatin1(kPresets[0].values[v]);
        }
        showRow(m_current);
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
    if (m_holding)
        return;
    m_dots->setEnabled(m_how[0]->isChecked());
    m_frames->setEnabled(m_how[1]->isChecked());
    const Row &current = m_rows[m_current];
    m_curveView->setCurve(current.curve, bezierNumbers(current.bezier));
    if (!m_firstLines.lines)
        return;
    Run run;
    ChainPlan plan;
    QString error;
    const bool valid = chain(run, plan, &error);

    QStringList uneven;
    QString words;
    QList<StepCheck::Suggestion> offered;
    for (qsizetype k = 0; k < m_rows.size(); ++k) {
        const Row &r = m_rows[k];
        QTreeWidgetItem *item = m_list->topLevelItem(int(k));
        if (!item)
            break; // the rows are being replaced; the list follows them next
        item->setText(0, QString::number(k + 1));
        item->setText(1, QStringLiteral("%1, %2").arg(r.x, r.y));
        item->setText(2, r.motion == Segment::Motion::Frames ? QStringLiteral("%1 コマ").arg(r.frames) : QStringLiteral("%1 ドット").arg(r.dots));
        item->setText(3, QString::fromUtf8(kCurveNames[qBound(1, int(r.curve), 5) - 1]));
        item->setText(4, r.hold);
        if (!valid) {
            item->setText(5, QStringLiteral("－"));
            item->setText(6, QString());
            item->setToolTip(6, QString());
            continue;
        }
        const Segment &s = run.chain.segments[k];
        const ChainPlan::Part &part = plan.parts[k];
        const StepCheck check = checkSteps(s, part.fromX, part.fromY, part.moving);
        item->setText(5, QString::number(part.moving));
        QString note;
        if (part.moving == 1)
            note = QStringLiteral("この動きは 1 コマで、動きません。");
        else if (part.moving == 2 && (s.x != part.fromX || s.y != part.fromY))
            note = QStringLiteral("この動きは 2 コマで、目標へ飛び移ります。");
        else
            note = stepCheckText(check, s.motion, s.amount);
        item->setText(6, check.uneven ? QStringLiteral("！") : part.moving <= 2 ? QStringLiteral("・") : QString());
        item->setToolTip(6, note);
        if (check.uneven)
            uneven << QString::number(k + 1);
        if (k == m_current) {
            words = note;
            offered = check.suggestions;
        }
    }
    if (words.isEmpty() && !uneven.isEmpty())
        words = QStringLiteral("%1 番目の動きは歩みがそろっていません（！の行）。").arg(uneven.join(QStringLiteral("・")));
    if (!valid)
        words = error;
    m_check->setText(words);
    const bool byFrames = current.motion == Segment::Motion::Frames;
    for (int i = 0; i < 2; ++i) {
        const bool shown = i < offered.size();
        m_suggestions[i]->setVisible(shown);
        if (shown) {
            m_suggestions[i]->setText(suggestionCaption(offered[i], current.motion));
            m_suggestions[i]->setProperty("amount", byFrames ? QString::number(offered[i].frames) : QString::number(offered[i].amount));
        }
    }
    if (!valid) {
        m_frameCount->setText(QStringLiteral("全 － コマ（値を直してください）"));
        m_path->setProblem(error);
        return;
    }
    m_frameCount->setText(QStringLiteral("全 %1 コマ（動き %2・止め %3）")
                              .arg(QString::number(plan.frames), QString::number(plan.moving), QString::number(plan.held)));
    m_path->setChain(run, plan, m_current, wizard().picturePaths(), &m_decoded);
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

ChainEdit Form6::edit() const
{
    ChainEdit e;
    e.startX = m_startX->text();
    e.startY = m_startY->text();
    e.holdStart = m_holdStart->text();
    for (int i = 0; i < 3; ++i) {
        if (m_background[i]->isChecked())
            e.background = i + 1;
    }
    e.rows = m_rows;
    e.current = m_current;
    return e;
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
        m_rows = e.rows;
        showRow(e.current);
    });
    m_applying = false;
}

bool Form6::eventFilter(QObject *watched, QEvent *event)
{
    // A box keeps Ctrl+Z for its own typing; once that is committed (or undone), the page's undo
    // and redo take the keys wherever the focus is.
    if (event->type() == QEvent::ShortcutOverride) {
        const auto *key = static_cast<QKeyEvent *>(event);
        const QKeyCombination keys = key->keyCombination();
        const bool history = key->matches(QKeySequence::Undo) || keys == QKeyCombination(Qt::CTRL, Qt::Key_Y)
            || keys == QKeyCombination(Qt::CTRL | Qt::SHIFT, Qt::Key_Z);
        if (history && !m_history.pending())
            return true; // not accepted: the shortcut runs
    }
    return Page::eventFilter(watched, event);
}

void Form6::addMove()
{
    if (m_rows.size() >= kMaxSegments)
        return;
    asStep([this] {
        // The new move starts where the chosen one stops, as it moves; its target is to be typed.
        Row row = m_rows[m_current];
        row.hold = QStringLiteral("0");
        if (row.curve != Segment::Curve::Bezier)
            row.bezier = {};
        m_rows.insert(m_current + 1, row);
        showRow(m_current + 1);
    });
    m_targetX->setFocus();
    m_targetX->selectAll();
}

void Form6::removeMove()
{
    if (m_rows.size() <= 1)
        return;
    asStep([this] {
        m_rows.removeAt(m_current);
        showRow(qMin(m_current, int(m_rows.size()) - 1));
    });
}

void Form6::moveBy(int by)
{
    const int to = m_current + by;
    if (to < 0 || to >= m_rows.size())
        return;
    asStep([this, to] {
        m_rows.swapItemsAt(m_current, to);
        showRow(to);
    });
}

void Form6::next()
{
    Run run;
    ChainPlan plan;
    QString error;
    if (!chain(run, plan, &error))
        return message(error, QStringLiteral("設定が正しくありません"), OkWithExclamation);
    const QList<LogLine> lines = record();
    for (const LogLine &line : lines) {
        if (!settingslog::appendLine(files().settingsLog(), line, &error))
            return message(error, QStringLiteral("設定を保存できません"), OkWithExclamation);
    }
    wizard().handOver(this, PageId::Form7);
}

} // namespace velra
