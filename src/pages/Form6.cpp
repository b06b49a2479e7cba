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
    auto *bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(m_next);
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

void Form6::load()
{
    QString error;
    bool ok = settingslog::readFields(files().settingsLog(), int(Field::SettingMode) + 1, m_firstLines, &error);
    bool widthOk = false;
    bool pictureOk = false;
    const int window = ok ? m_firstLines[int(Field::WindowWidth)].text.toInt(&widthOk) : 0;
    const int picture = ok ? m_firstLines[int(Field::ScrollImageWidth)].text.toInt(&pictureOk) : 0;
    if (ok && (!widthOk || !pictureOk)) {
        ok = false;
        const Field bad = widthOk ? Field::ScrollImageWidth : Field::WindowWidth;
        error = QStringLiteral("設定ファイルの %1 の値「%2」は整数ではありません。").arg(fieldLabel(bad), shownValue(m_firstLines[int(bad)].text));
    }
    if (!ok) {
        m_next->setEnabled(false);
        messageWhenShown(restartMessage(error), QStringLiteral("設定を読み込めません"), OkWithExclamation);
        return;
    }
    bool heightOk = false;
    const int windowHeight = m_firstLines[int(Field::WindowHeight)].text.toInt(&heightOk);
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

void Form6::fillRemembered()
{
    const QList<LogValue> &last = wizard().rememberedValues();
    if (last.size() < settingslog::kDetailedRunFieldCount || last[int(Field::SettingMode)].text.trimmed() != QLatin1String("2"))
        return;
    const auto value = [&last](DetailField field) { return last[9 + int(field)].text; };
    const auto choose = [this, &value](DetailField field, int first, int count) {
        const int v = value(field).trimmed().toInt();
        if (v >= 1 && v <= count)
            m_options[first + v - 2]->setChecked(true);
    };
    m_boxes[0]->setText(value(DetailField::StartX));
    m_boxes[1]->setText(value(DetailField::StartY));
    m_boxes[2]->setText(value(DetailField::EndX));
    m_boxes[3]->setText(value(DetailField::EndY));
    choose(DetailField::MoveKind, 1, 2);
    m_boxes[m_options[1]->isChecked() ? 5 : 4]->setText(value(DetailField::MoveAmount));
    choose(DetailField::Curve, 3, 4);
    m_boxes[6]->setText(value(DetailField::HoldStart));
    m_boxes[7]->setText(value(DetailField::HoldEnd));
    choose(DetailField::BackgroundMode, 7, 3);
    setFocusProxy(m_next);
    m_next->setFocus();
}

LogLine Form6::record() const
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
    return {text(1), text(2), text(3), text(4), LogValue::number(byFrames ? 2 : 1), text(byFrames ? 6 : 5),
            LogValue::number(firstChecked(3, 6)), text(7), text(8), LogValue::number(firstChecked(7, 9))};
}

void Form6::updatePath()
{
    if (m_firstLines.isEmpty())
        return;
    QList<LogValue> values = m_firstLines;
    values.append(record());
    QByteArray script;
    QString error;
    ScriptFrames frames;
    QSize window;
    DetailedMove move;
    qint64 moving = 0;
    if (readDetailedMove(values, move, nullptr) && (moving = move.movingFrames()) > 0)
        m_frameCount->setText(QStringLiteral("全 %1 コマ（動き %2・止め %3）")
                                  .arg(QString::number(moving + move.holdStart + move.holdEnd), QString::number(moving),
                                       QString::number(move.holdStart + move.holdEnd)));
    else
        m_frameCount->setText(QStringLiteral("全 － コマ（値を直してください）"));
    if (!generateDetailedScript(values, script, nullptr, &error) || !ScriptFrames::read(script, frames, &error)
        || !preview::windowSizeOf(values, window)) {
        m_path->setMove(nullptr, error);
        return;
    }
    m_path->setMove(std::make_unique<preview::FrameRenderer>(frames, window, wizard().picturePaths(), &m_decoded));
}

void Form6::next()
{
    QList<LogValue> values = m_firstLines;
    const LogLine line = record();
    values.append(line);
    DetailedMove move;
    QString error;
    if (!readDetailedMove(values, move, &error))
        return message(error, QStringLiteral("設定が正しくありません"), OkWithExclamation);
    if (!settingslog::appendLine(files().settingsLog(), line, &error))
        return message(error, QStringLiteral("設定を保存できません"), OkWithExclamation);
    wizard().handOver(this, PageId::Form7);
}

} // namespace velra
