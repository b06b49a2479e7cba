#include "Form3.h"

#include "DigitField.h"
#include "handoff/SettingsLog.h"
#include "shell/CompactLabel.h"
#include "shell/Controls.h"
#include "shell/Toolkit.h"
#include "shell/Wizard.h"

namespace velra {
using namespace controls;

Form3::Form3(Wizard &wizard)
    : PicturePage(wizard, QStringLiteral("Form3"))
{
    // Laid out in pixels, tighter than the twips layout, with the advice set close, so that the
    // three lines of red advice and the two lines of the window advice show whole.
    QGroupBox *upper = frame(this, QStringLiteral("Frame1"), QStringLiteral("背景画像ファイルの読み込み"), QRect(24, 0, 280, 134));
    m_name = textBox(upper, QStringLiteral("Text1"), QRect(16, 24, 170, 22));
    QPushButton *browse = button(upper, QStringLiteral("Command1"), QStringLiteral("参照"), QRect(190, 23, 44, 24));
    label(upper, QStringLiteral("Label2"), QStringLiteral("背景画像ファイルのサイズ(pixel or dot)"), QRect(16, 48, 250, 16));
    m_width = textBox(upper, QStringLiteral("Text2"), QRect(16, 64, 42, 22));
    label(upper, QStringLiteral("Label1"), QStringLiteral("×"), QRect(60, 66, 14, 18));
    m_height = textBox(upper, QStringLiteral("Text3"), QRect(74, 64, 42, 22));
    auto *advice = named(new CompactLabel(QStringLiteral("背景画像ファイルのサイズについても、　　　　　　実際の情報と|異なる場合以外は　　　　　　　　　　変更しないでください"), upper),
                         QStringLiteral("Label3"), QRect(16, 89, 256, 42));
    advice->setStyleSheet(QStringLiteral("color: rgb(255, 0, 0);"));

    QGroupBox *lower = frame(this, QStringLiteral("Frame2"), QStringLiteral("スクロールを実行するソフトのウィンドウサイズ"), QRect(24, 134, 280, 54));
    m_windowWidth = textBox(lower, QStringLiteral("Text4"), QRect(12, 25, 40, 22), QStringLiteral("640"));
    label(lower, QStringLiteral("Label4"), QStringLiteral("×"), QRect(54, 27, 14, 18));
    m_windowHeight = textBox(lower, QStringLiteral("Text5"), QRect(68, 25, 40, 22), QStringLiteral("480"));
    named(new CompactLabel(QStringLiteral("カスタマイズしていなければ|このままでOK"), lower), QStringLiteral("Label5"), QRect(112, 21, 162, 29));
    QPushButton *next = button(this, QStringLiteral("Command2"), QStringLiteral("次へ"), QRect(200, 190, 104, 21));

    for (QLineEdit *box : {m_width, m_height, m_windowWidth, m_windowHeight})
        makeDigitField(box);
    setTabOrder(m_name, browse);
    setTabOrder(browse, m_width);
    setTabOrder(m_width, m_height);
    setTabOrder(m_height, m_windowWidth);
    setTabOrder(m_windowWidth, m_windowHeight);
    QPushButton *back = addBackButton(QRect(120, 190, 76, 21));
    setTabOrder(m_windowHeight, back);
    setTabOrder(back, next);
    setFocusProxy(m_name);
    setNextButton(next);

    setPictureBoxes(m_name, m_width, m_height);
    m_next = next;
    connect(browse, &QPushButton::clicked, this, [this] { PicturePage::browse(); });
    connect(next, &QPushButton::clicked, this, &Form3::next);
}

void Form3::firstShown()
{
    const Run &last = wizard().rememberedRun();
    if (last.lines < 2)
        return;
    fillRemembered(wizard().remembered()->backgroundPicture, last.background);
    m_windowWidth->setText(last.windowWidth.text());
    m_windowHeight->setText(last.windowHeight.text());
    setFocusProxy(m_next);
    m_next->setFocus();
}

QList<LogLine> Form3::typedLines() const
{
    return {textsOf({m_name, m_width, m_height, m_windowWidth, m_windowHeight})};
}

void Form3::next()
{
    const std::initializer_list<const QLineEdit *> boxes{m_name, m_width, m_height, m_windowWidth, m_windowHeight};
    if (anyEmpty(boxes)) {
        showMissingMessage();
        return;
    }
    // Compared as texts: "640" and "0640" differ.
    if (m_width->text() != m_windowWidth->text() || m_height->text() != m_windowHeight->text()) {
        message(QStringLiteral("背景グラフィックとウインドウサイズは一緒でなければ処理できません\r\n（現在は対応していません）"),
                QStringLiteral("記入情報がそろっていません"), OkWithExclamation);
        return;
    }
    if (!acceptFileName(m_name->text()))
        return;
    QString error;
    if (!settingslog::writePageLines(files().settingsLog(), logLine() - 1, {textsOf(boxes)}, &error)) {
        showWriteFailure(error);
        return;
    }
    wizard().handOver(this, PageId::Form4);
}

} // namespace velra
