#include "Form5.h"

#include "DigitField.h"
#include "handoff/SettingsLog.h"
#include "script/ScrollScript.h"
#include "shell/Controls.h"
#include "shell/Toolkit.h"
#include "shell/Wizard.h"
#include "text/Shown.h"

#include <QLabel>


namespace velra {
using namespace controls;

Form5::Form5(Wizard &wizard)
    : Page(wizard, QStringLiteral("Form5"))
{
    const auto name = [](int n) { return QStringLiteral("Option%1").arg(n); };
    QGroupBox *direction = frame(this, QStringLiteral("Frame1"), QStringLiteral("スクロール方向"), QRect(6, 2, 300, 44));
    const char16_t *arrows[] = {u"↓", u"↑", u"←", u"→"};
    for (int i = 0; i < 4; ++i)
        m_options[i] = option(direction, name(i + 1), QString::fromUtf16(arrows[i]), QRect(14 + 72 * i, 18, 60, 22));
    // Why ← and → cannot be chosen, when they cannot: said before anyone tries.
    m_tooTall = label(this, QStringLiteral("Label4"), QString(), QRect(10, 46, 296, 18));
    m_tooTall->setStyleSheet(QStringLiteral("color: rgb(255, 0, 0);"));

    QGroupBox *interval = frame(this, QStringLiteral("Frame2"), QStringLiteral("スクロールの間隔"), QRect(6, 66, 112, 48));
    m_step = textBox(interval, QStringLiteral("Text1"), QRect(10, 23, 52, 22));
    label(interval, QStringLiteral("Label2"), QStringLiteral("ドット"), QRect(66, 23, 40, 22));

    QGroupBox *position = frame(this, QStringLiteral("Frame3"), QStringLiteral("スクロール位置"), QRect(122, 66, 184, 48));
    const QString alignments[] = {QStringLiteral("左寄せ"), QStringLiteral("中央"), QStringLiteral("右寄せ")};
    const int alignX[] = {6, 68, 119};
    for (int i = 0; i < 3; ++i)
        m_options[4 + i] = option(position, name(5 + i), alignments[i], QRect(alignX[i], 20, i == 1 ? 50 : 62, 22));

    QGroupBox *end = frame(this, QStringLiteral("Frame4"), QStringLiteral("スクロール終了位置"), QRect(6, 118, 300, 74));
    m_options[7] = option(end, name(8), QStringLiteral("0,0"), QRect(10, 20, 54, 22));
    m_options[8] = option(end, name(9), QStringLiteral("画像が通過するまで"), QRect(62, 20, 136, 22));
    m_options[9] = option(end, name(10), QStringLiteral("移動回数指定"), QRect(198, 20, 97, 22));
    m_moves = textBox(end, QStringLiteral("Text2"), QRect(218, 46, 52, 22));
    label(end, QStringLiteral("Label1"), QStringLiteral("回"), QRect(274, 46, 20, 22));

    m_next = button(this, QStringLiteral("Command1"), QStringLiteral("次へ"), QRect(218, 197, 88, 28));
    setFixedSize(kWidth, kHeight + 16);

    QPushButton *back = addBackButton(QRect(124, 197, 88, 28));
    // How many frames the settings give, as they change.
    m_frameCount = label(this, QStringLiteral("Label3"), QString(), QRect(8, 197, 112, 28));
    // Why the count shows none, on two lines of their own under the buttons: room kept from the
    // start, so that the page never grows under the author.
    m_problem = label(this, QStringLiteral("Label5"), QStringLiteral("歩\n歩\n歩"), QRect(8, 228, 298, 34), true);
    m_problem->setTextFormat(Qt::PlainText);
    // Three lines of Japanese, at the height its fallback font sets them.
    m_problem->setFixedHeight(m_problem->sizeHint().height() + 2);
    m_problem->clear();
    m_problem->setStyleSheet(QStringLiteral("color: rgb(200, 0, 0);"));
    setFixedSize(kWidth, m_problem->geometry().bottom() + 4);
    for (QRadioButton *choice : m_options)
        connect(choice, &QRadioButton::toggled, this, &Form5::updateCount);
    for (QLineEdit *box : {m_step, m_moves})
        connect(box, &QLineEdit::textChanged, this, &Form5::updateCount);

    makeDigitField(m_step);
    makeDigitField(m_moves);
    // As the page reads: direction, interval, position, end, count, then the buttons.
    const QList<QWidget *> order{m_options[0], m_options[1], m_options[2], m_options[3], m_step,
                                 m_options[4], m_options[5], m_options[6], m_options[7], m_options[8],
                                 m_options[9], m_moves,      back,         m_next};
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
    setFocusProxy(m_options[0]);
    setNextButton(m_next);

    connect(m_options[0], &QRadioButton::clicked, this, &Form5::vertical);
    connect(m_options[1], &QRadioButton::clicked, this, &Form5::vertical);
    // A picture taller than the window has them off (load), so they are only ever chosen for one that fits.
    connect(m_options[2], &QRadioButton::clicked, this, &Form5::horizontalCaptions);
    connect(m_options[3], &QRadioButton::clicked, this, &Form5::horizontalCaptions);
    connect(m_next, &QPushButton::clicked, this, &Form5::next);
}

void Form5::firstShown()
{
    load();
    if (m_next->isEnabled())
        fillRemembered();
}

void Form5::fillRemembered()
{
    const Run &last = wizard().rememberedRun();
    if (!last.isComplete() || last.isDetailed())
        return;
    const auto code = [](int v, int count) { return v >= 1 && v <= count ? v : 0; };
    const int direction = code(last.simple.direction, 4);
    // A vertical scroll the picture is now too tall for is left to choose again.
    if (direction == 1 || direction == 2) {
        m_options[direction - 1]->setChecked(true);
        vertical();
    } else if (direction >= 3 && m_imageHeight <= m_windowHeight) {
        m_options[direction - 1]->setChecked(true);
        horizontalCaptions();
    }
    if (const int alignment = code(last.simple.alignment, 3))
        m_options[3 + alignment]->setChecked(true);
    if (const int end = code(last.simple.endMode, 3))
        m_options[6 + end]->setChecked(true);
    m_step->setText(last.simple.step.text());
    m_moves->setText(last.simple.moves.text());
    setFocusProxy(m_next);
    m_next->setFocus();
}

void Form5::load()
{
    QString error;
    bool ok = settingslog::readRun(files().settingsLog(), m_firstLines, &error, settingslog::Access::Handoff, 3);
    if (ok) {
        const std::optional<int> image = m_firstLines.scroll.height.intValue();
        const std::optional<int> window = m_firstLines.windowHeight.intValue();
        const bool imageOk = image.has_value();
        const bool windowOk = window.has_value();
        m_imageHeight = image.value_or(0);
        m_windowHeight = window.value_or(0);
        if (!imageOk || !windowOk) {
            ok = false;
            const Field bad = imageOk ? Field::WindowHeight : Field::ScrollImageHeight;
            const QString &text = imageOk ? m_firstLines.windowHeight.text() : m_firstLines.scroll.height.text();
            error = isWholeNumberText(text)
                ? QStringLiteral("設定ファイルの %1 の値「%2」は大きすぎます。").arg(fieldLabel(bad), shownValue(text))
                : QStringLiteral("設定ファイルの %1 の値「%2」は整数ではありません。").arg(fieldLabel(bad), shownValue(text));
        }
    }
    m_next->setEnabled(ok);
    if (!ok) {
        // Without the heights nothing on this page can be checked; the run cannot go on.
        messageWhenShown(restartMessage(error), QStringLiteral("設定を読み込めません"), OkWithExclamation);
        return;
    }
    // A picture taller than the window cannot pass it sideways.
    const bool tooTall = m_imageHeight > m_windowHeight;
    for (QRadioButton *sideways : {m_options[2], m_options[3]}) {
        if (tooTall && sideways->isChecked())
            unselect(sideways);
        sideways->setEnabled(!tooTall);
    }
    m_tooTall->setText(tooTall ? QStringLiteral("画像がウィンドウより高いため、← と → は選べません") : QString());
    updateCount();
}

Run Form5::currentRun() const
{
    const auto firstSelected = [this](int from, int to) {
        for (int i = from; i <= to; ++i) {
            if (m_options[i - 1]->isChecked())
                return i - from + 1;
        }
        return 0;
    };
    const int endMode = firstSelected(8, 10);
    Run run = m_firstLines;
    run.mode = Run::Mode::Simple;
    run.simple = {firstSelected(1, 4), m_step->text(), firstSelected(5, 7), endMode, endMode == 3 ? m_moves->text() : QString()};
    run.lines = 4;
    return run;
}

void Form5::updateCount()
{
    const Run run = currentRun();
    const SimpleSettings &chosen = run.simple;
    QByteArray script;
    const bool complete = m_firstLines.lines >= 3 && chosen.direction && chosen.alignment && chosen.endMode
        && !chosen.step.isEmpty() && (chosen.endMode != 3 || !chosen.moves.isEmpty());
    // A value the page or the generation refuses is said at once, naming its box, as 次へ would.
    QString problem = complete ? valueProblem(chosen.endMode) : QString();
    if (!complete || !problem.isEmpty() || !generateScript(run, script, nullptr, complete && problem.isEmpty() ? &problem : nullptr)) {
        m_frameCount->setText(QStringLiteral("全 － コマ"));
        m_problem->setText(keepingUnits(problem.replace(QStringLiteral("\r\n"), QString())));
        return;
    }
    m_problem->clear();
    // Two lines a frame.
    m_frameCount->setText(QStringLiteral("全 %1 コマ").arg(QString::number((script.count('\n') + 1) / 2)));
}

void Form5::vertical()
{
    m_options[4]->setText(QStringLiteral("左寄せ"));
    m_options[6]->setText(QStringLiteral("右寄せ"));
    m_options[7]->setText(QStringLiteral("*,0"));
}

void Form5::horizontalCaptions()
{
    m_options[4]->setText(QStringLiteral("上寄せ"));
    m_options[6]->setText(QStringLiteral("下寄せ"));
    m_options[7]->setText(QStringLiteral("0,*"));
}

QString Form5::valueProblem(int endMode) const
{
    const auto outOfRange = [](const QString &text, int low, int high, const QString &box) {
        bool ok = false;
        const int v = text.toInt(&ok);
        if (ok && v >= low && v <= high)
            return QString();
        return QStringLiteral("%1の「%2」は %3 から %4 の範囲外です。").arg(box, shownValue(text), QString::number(low), QString::number(high));
    };
    if (const QString wrong = outOfRange(m_step->text(), 1, 32767, QStringLiteral("スクロールの間隔")); !wrong.isEmpty())
        return wrong;
    if (endMode != 3)
        return QString();
    if (const QString wrong = outOfRange(m_moves->text(), 0, 32767, QStringLiteral("移動回数")); !wrong.isEmpty())
        return wrong;
    const qint64 distance = qint64(m_step->text().toInt()) * m_moves->text().toInt();
    if (distance > 32767)
        return QStringLiteral("スクロールの間隔と移動回数の積（%1 ドット）が 32767 を超えています。\r\nどちらかを小さくしてください。")
            .arg(QString::number(distance));
    return QString();
}

QList<LogLine> Form5::typedLines() const
{
    const Run run = currentRun();
    const SimpleSettings &s = run.simple;
    return {{LogValue::number(s.direction), LogValue::textValue(s.step.text()), LogValue::number(s.alignment),
             LogValue::number(s.endMode), s.endMode == 3 ? LogValue::textValue(s.moves.text()) : LogValue::empty()}};
}

void Form5::next()
{
    const Run run = currentRun();
    const auto &[direction, step, alignment, endMode, moves] = run.simple;
    const QString notSelected = QStringLiteral("選択していません");
    const QString notFilled = QStringLiteral("記入していません");
    if (direction == 0)
        return message(QStringLiteral("スクロール方向を指定してください"), notSelected, OkWithExclamation);
    if (alignment == 0)
        return message(QStringLiteral("スクロール位置を指定してください"), notSelected, OkWithExclamation);
    if (endMode == 0)
        return message(QStringLiteral("スクロール終了位置を指定してください"), notSelected, OkWithExclamation);
    if (step.isEmpty())
        return message(QStringLiteral("移動ドット数を記入してください"), notFilled, OkWithExclamation);
    if (endMode == 3 && moves.isEmpty())
        return message(QString(), notFilled, OkWithExclamation);

    if (const QString wrong = valueProblem(endMode); !wrong.isEmpty())
        return message(wrong, QStringLiteral("設定が正しくありません"), OkWithExclamation);

    const LogLine record{LogValue::number(direction), LogValue::textValue(step.text()),
                         LogValue::number(alignment), LogValue::number(endMode),
                         endMode == 3 ? LogValue::textValue(moves.text()) : LogValue::empty()};
    QString error;
    // Whatever else the generation would refuse for these values is said here, not after it.
    QByteArray script;
    if (!generateScript(run, script, nullptr, &error))
        return message(error, QStringLiteral("設定が正しくありません"), OkWithExclamation);
    if (!settingslog::writePageLines(files().settingsLog(), logLine() - 1, {record}, &error))
        return message(error, QStringLiteral("設定を保存できません"), OkWithExclamation);
    wizard().handOver(this, PageId::Form7);
}

} // namespace velra
