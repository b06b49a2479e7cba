#include "Form4.h"

#include "handoff/SettingsLog.h"
#include "shell/Controls.h"
#include "shell/Toolkit.h"
#include "shell/Wizard.h"

namespace velra {
using namespace controls;

QString Form4::simpleExplanation()
{
    return QStringLiteral("殆どの設定をチェックボックスをクリック\r\nするだけで、スクロールスクリプトを書き出します");
}

QString Form4::detailedExplanation()
{
    return QStringLiteral("開始座標を指定したり、背景画の表示無し\r\nなどの細かい設定が出来るモードです");
}

Form4::Form4(Wizard &wizard)
    : Page(wizard, QStringLiteral("Form4"))
{
    QGroupBox *box = frame(this, QStringLiteral("Frame1"), QStringLiteral("設定モードの選択"), QRect(8, 4, 296, 164));
    m_simple = option(box, QStringLiteral("Option1"), QStringLiteral("簡単設定モード"), QRect(16, 24, 200, 22));
    QRadioButton *detailed = m_detailed = option(box, QStringLiteral("Option2"), QStringLiteral("詳細設定モード"), QRect(16, 50, 200, 22));
    m_explanation = label(box, QStringLiteral("Label1"), QStringLiteral("チェックすると、ここに説明が表示されます"),
                          QRect(8, 80, 282, 76), true); // each of its two lines whole
    QPushButton *next = m_next = button(this, QStringLiteral("Command1"), QStringLiteral("次へ"), QRect(216, 176, 88, 28));

    QPushButton *back = addBackButton(QRect(122, 176, 88, 28));
    setTabOrder(m_simple, detailed);
    setTabOrder(detailed, back);
    setTabOrder(back, next);
    setFocusProxy(m_simple);
    setNextButton(next);

    connect(m_simple, &QRadioButton::clicked, this, [this] { m_explanation->setText(simpleExplanation()); });
    connect(detailed, &QRadioButton::clicked, this, [this] { m_explanation->setText(detailedExplanation()); });
    connect(next, &QPushButton::clicked, this, &Form4::next);
}

void Form4::firstShown()
{
    const Run &last = wizard().rememberedRun();
    if (last.lines < 3)
        return;
    QRadioButton *mode = last.isDetailed() ? m_detailed : m_simple;
    mode->setChecked(true);
    m_explanation->setText(mode == m_simple ? simpleExplanation() : detailedExplanation());
    setFocusProxy(m_next);
    m_next->setFocus();
}

QList<LogLine> Form4::typedLines() const
{
    if (!m_simple->isChecked() && !m_detailed->isChecked())
        return {};
    return {{LogValue::number(m_simple->isChecked() ? 1 : 2)}};
}

void Form4::next()
{
    const int mode = m_simple->isChecked() ? 1 : 2;
    QString error;
    if (!settingslog::writePageLines(files().settingsLog(), logLine() - 1, {{LogValue::number(mode)}}, &error)) {
        message(error, QStringLiteral("設定を保存できません"), OkWithExclamation);
        return;
    }
    wizard().handOver(this, mode == 1 ? PageId::Form5 : PageId::Form6);
}

} // namespace velra
