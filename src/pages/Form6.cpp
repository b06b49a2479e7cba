#include "Form6.h"

#include "DigitField.h"
#include "preview/PathPreview.h"
#include "script/ScriptFrames.h"
#include "script/ScrollScript.h"
#include "shell/Controls.h"
#include "shell/Toolkit.h"
#include "shell/Wizard.h"

#include <QGridLayout>
#include <QLabel>
#include <QHBoxLayout>

namespace velra {
using namespace controls;

namespace {

QGroupBox *group(QWidget *parent, const QString &name, const QString &caption)
{
    auto *box = new QGroupBox(caption, parent);
    box->setObjectName(name);
    return box;
}

QLabel *caption(const QString &text, QWidget *parent)
{
    return new QLabel(text, parent);
}

} // namespace

Form6::Form6(Wizard &wizard)
    : Page(wizard, QStringLiteral("Form6"))
{
    const auto box = [this](int n, QWidget *parent) {
        auto *edit = new QLineEdit(parent);
        edit->setObjectName(QStringLiteral("Text%1").arg(n));
        edit->setFixedWidth(64);
        m_boxes[n - 1] = edit;
        return edit;
    };
    const auto choice = [this](int n, const QString &text, QWidget *parent) {
        auto *radio = new QRadioButton(text, parent);
        radio->setObjectName(QStringLiteral("Option%1").arg(n));
        m_options[n - 1] = radio;
        return radio;
    };

    QGroupBox *positions = group(this, QStringLiteral("Frame1"), QStringLiteral("画像の左上の位置（ウィンドウ上のドット）"));
    auto *pos = new QGridLayout(positions);
    pos->addWidget(caption(QStringLiteral("開始"), positions), 0, 0);
    pos->addWidget(caption(QStringLiteral("x"), positions), 0, 1);
    pos->addWidget(box(1, positions), 0, 2);
    pos->addWidget(caption(QStringLiteral("y"), positions), 0, 3);
    pos->addWidget(box(2, positions), 0, 4);
    pos->addWidget(caption(QStringLiteral("終了"), positions), 1, 0);
    pos->addWidget(caption(QStringLiteral("x"), positions), 1, 1);
    pos->addWidget(box(3, positions), 1, 2);
    pos->addWidget(caption(QStringLiteral("y"), positions), 1, 3);
    pos->addWidget(box(4, positions), 1, 4);
    pos->setColumnStretch(5, 1);

    QGroupBox *moving = group(this, QStringLiteral("Frame2"), QStringLiteral("動かし方"));
    auto *move = new QGridLayout(moving);
    move->addWidget(choice(1, QStringLiteral("1コマに動かすドット数"), moving), 0, 0);
    move->addWidget(box(5, moving), 0, 1);
    move->addWidget(choice(2, QStringLiteral("コマ数"), moving), 1, 0);
    move->addWidget(box(6, moving), 1, 1);
    move->setColumnStretch(2, 1);

    QGroupBox *speed = group(this, QStringLiteral("Frame3"), QStringLiteral("速さの変化"));
    auto *curve = new QHBoxLayout(speed);
    curve->addWidget(choice(3, QStringLiteral("等速"), speed));
    curve->addWidget(choice(4, QStringLiteral("加速"), speed));
    curve->addWidget(choice(5, QStringLiteral("減速"), speed));
    curve->addWidget(choice(6, QStringLiteral("加減速"), speed));

    QGroupBox *holds = group(this, QStringLiteral("Frame4"), QStringLiteral("止めるコマ数"));
    auto *hold = new QHBoxLayout(holds);
    hold->addWidget(caption(QStringLiteral("最初"), holds));
    hold->addWidget(box(7, holds));
    hold->addWidget(caption(QStringLiteral("最後"), holds));
    hold->addWidget(box(8, holds));
    hold->addStretch(1);

    QGroupBox *background = group(this, QStringLiteral("Frame5"), QStringLiteral("背景"));
    auto *back = new QHBoxLayout(background);
    back->addWidget(choice(7, QStringLiteral("毎コマ描く"), background));
    back->addWidget(choice(8, QStringLiteral("最初のコマだけ"), background));
    back->addWidget(choice(9, QStringLiteral("描かない"), background));

    QGroupBox *preview = group(this, QStringLiteral("Frame6"), QStringLiteral("動きの確認（最後のコマと道筋）"));
    m_path = new preview::PathPreview(preview);
    m_path->setObjectName(QStringLiteral("Picture1"));
    (new QHBoxLayout(preview))->addWidget(m_path);

    m_next = new QPushButton(QStringLiteral("次へ"), this);
    m_next->setObjectName(QStringLiteral("Command1"));

    auto *left = new QVBoxLayout;
    for (QWidget *w : std::initializer_list<QWidget *>{positions, moving, speed, holds, background})
        left->addWidget(w);
    // The view takes the window's proportions (set once the window's size is known), with the
    // number of frames the values give below it.
    m_frameCount = new QLabel(this);
    m_frameCount->setObjectName(QStringLiteral("Label1"));
    auto *right = new QVBoxLayout;
    right->addWidget(preview);
    right->addWidget(m_frameCount);
    right->addStretch(1);
    m_path->setFixedSize(kPathWidth, kPathWidth * 3 / 4);
    QPushButton *previous = addBackButton(QRect());
    previous->setFixedSize(88, 28);
    auto *bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(previous);
    bottom->addWidget(m_next);
    setNextButton(m_next);
    auto *columns = new QHBoxLayout;
    columns->addLayout(left);
    columns->addLayout(right, 1);
    auto *page = new QVBoxLayout(this);
    page->setContentsMargins(8, 6, 8, 6);
    page->setSpacing(4);
    page->addLayout(columns, 1);
    page->addLayout(bottom);
    m_next->setFixedSize(88, 28);
    // As large as its contents need with the Japanese font, and no smaller than the preview wants.
    setFixedSize(page->sizeHint().expandedTo(QSize(kWidth, kHeight)));

    for (int i : {0, 1, 2, 3})
        makeSignedDigitField(m_boxes[i]);
    for (int i : {4, 5, 6, 7})
        makeDigitField(m_boxes[i]);
    // The usual choices stand chosen; the page opens on a leftward pass across the window.
    m_options[0]->setChecked(true);
    m_options[2]->setChecked(true);
    m_options[6]->setChecked(true);
    m_boxes[4]->setText(QStringLiteral("4"));
    m_boxes[5]->setText(QStringLiteral("30"));
    m_boxes[6]->setText(QStringLiteral("0"));
    m_boxes[7]->setText(QStringLiteral("0"));
    setFocusProxy(m_boxes[0]);

    m_pathTimer.setSingleShot(true);
    m_pathTimer.setInterval(60);
    connect(&m_pathTimer, &QTimer::timeout, this, &Form6::updatePath);
    for (QLineEdit *edit : m_boxes)
        connect(edit, &QLineEdit::textChanged, &m_pathTimer, qOverload<>(&QTimer::start));
    for (QRadioButton *radio : m_options)
        connect(radio, &QRadioButton::toggled, &m_pathTimer, qOverload<>(&QTimer::start));
    // Only the amount of the chosen way of moving can be typed.
    const auto amountsFollowTheChoice = [this] {
        m_boxes[4]->setEnabled(m_options[0]->isChecked());
        m_boxes[5]->setEnabled(m_options[1]->isChecked());
    };
    connect(m_options[0], &QRadioButton::toggled, this, amountsFollowTheChoice);
    amountsFollowTheChoice();
    connect(m_next, &QPushButton::clicked, this, &Form6::next);
}

void Form6::shownAgain()
{
    // Earlier pages may have changed the pictures or the window: read again, the boxes kept.
    Run lines;
    QString error;
    if (runlog::read(files().settingsLog(), lines, &error, settingslog::Access::Handoff, 3)) {
        m_firstLines = lines;
        m_next->setEnabled(true);
    }
    updatePath();
}

void Form6::load()
{
    QString error;
    bool ok = runlog::read(files().settingsLog(), m_firstLines, &error, settingslog::Access::Handoff, 3);
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
    bool heightOk = false;
    const int windowHeight = m_firstLines.windowHeight.toInt(&heightOk);
    if (heightOk && window > 0 && windowHeight > 0) {
        m_path->setFixedSize(kPathWidth, qBound(kPathWidth / 4, int(qint64(kPathWidth) * windowHeight / window), kPathWidth));
        layout()->invalidate();
        setFixedSize(layout()->sizeHint().expandedTo(QSize(kWidth, kHeight)));
        layout()->activate();
    }
    m_boxes[0]->setText(QString::number(window));
    m_boxes[1]->setText(QStringLiteral("0"));
    m_boxes[2]->setText(QString::number(-picture));
    m_boxes[3]->setText(QStringLiteral("0"));
    fillRemembered();
    updatePath();
}

// The page edits the first move of a chain; the moves after it are kept as they were.
void Form6::fillRemembered()
{
    const Run &last = wizard().rememberedRun();
    if (!last.isComplete() || !last.isDetailed())
        return;
    const Chain &chain = last.chain;
    const Segment &first = chain.segments.front();
    const auto choose = [this](int value, int first, int count) {
        if (value >= 1 && value <= count)
            m_options[first + value - 2]->setChecked(true);
    };
    m_boxes[0]->setText(QString::number(chain.startX));
    m_boxes[1]->setText(QString::number(chain.startY));
    m_boxes[2]->setText(QString::number(first.x));
    m_boxes[3]->setText(QString::number(first.y));
    choose(int(first.motion), 1, 2);
    m_boxes[m_options[1]->isChecked() ? 5 : 4]->setText(QString::number(first.amount));
    if (first.curve == Segment::Curve::Bezier) {
        // A curve this page has no choice for: none is chosen, and the curve is kept until one is.
        m_firstBezier = first.bezier;
        for (int i = 3; i <= 6; ++i) {
            m_options[i - 1]->setAutoExclusive(false);
            m_options[i - 1]->setChecked(false);
            m_options[i - 1]->setAutoExclusive(true);
        }
    } else {
        choose(int(first.curve), 3, 4);
    }
    m_boxes[6]->setText(QString::number(chain.holdStart));
    m_boxes[7]->setText(QString::number(first.hold));
    choose(int(chain.background), 7, 3);
    m_rest = chain.segments.mid(1);
    setFocusProxy(m_next);
    m_next->setFocus();
}

QList<LogLine> Form6::record() const
{
    const auto text = [this](int n) { return LogValue::textValue(m_boxes[n - 1]->text()); };
    const auto firstChecked = [this](int from, int to) {
        for (int i = from; i <= to; ++i) {
            if (m_options[i - 1]->isChecked())
                return i - from + 1;
        }
        return 0;
    };
    const bool byFrames = m_options[1]->isChecked();
    int curve = firstChecked(3, 6);
    if (curve == 0 && m_firstBezier)
        curve = int(Segment::Curve::Bezier);
    LogLine line{text(1), text(2), text(3), text(4), LogValue::number(byFrames ? 2 : 1), text(byFrames ? 6 : 5),
                 LogValue::number(curve), text(7), text(8), LogValue::number(firstChecked(7, 9))};
    QList<LogLine> lines;
    Chain kept;
    kept.segments = {Segment()};
    if (curve == int(Segment::Curve::Bezier)) {
        kept.segments.front().curve = Segment::Curve::Bezier;
        kept.segments.front().bezier = *m_firstBezier;
        line.append(runlog::chainLines(kept).front().mid(10));
    }
    lines.append(line);
    kept.segments.append(m_rest);
    lines.append(runlog::chainLines(kept).mid(1));
    return lines;
}

bool Form6::chain(Run &run, ChainPlan &plan, QString *error) const
{
    if (!m_firstLines.lines)
        return false;
    run = m_firstLines;
    run.mode = Run::Mode::Detailed;
    RunError problem;
    if (!runlog::chainFromLines(record(), run.chain, &problem)) {
        if (error)
            *error = problem.message;
        return false;
    }
    run.lines = 4;
    return ChainPlan::make(run.chain, plan, error);
}

void Form6::updatePath()
{
    if (!m_firstLines.lines)
        return;
    Run run;
    ChainPlan plan;
    QString error;
    const bool valid = chain(run, plan, &error);
    if (valid)
        m_frameCount->setText(QStringLiteral("全 %1 コマ（動き %2・止め %3）")
                                  .arg(QString::number(plan.frames), QString::number(plan.moving), QString::number(plan.held)));
    else
        m_frameCount->setText(QStringLiteral("全 － コマ（値を直してください）"));
    QByteArray script;
    ScriptFrames frames;
    QSize window;
    if (!valid || !generateScript(run, script, nullptr, &error) || !ScriptFrames::read(script, frames, &error)
        || !preview::windowSizeOf(run, window)) {
        m_path->setMove(nullptr, error);
        return;
    }
    m_path->setMove(std::make_unique<preview::FrameRenderer>(frames, window, wizard().picturePaths(), &m_decoded));
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
