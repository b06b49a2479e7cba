#include "Form3.h"

#include "DigitField.h"
#include "handoff/SettingsLog.h"
#include "shell/Controls.h"
#include "shell/Toolkit.h"
#include "shell/Wizard.h"

namespace velra {
using namespace controls;

Form3::Form3(Wizard &wizard)
    : PicturePage(wizard, QStringLiteral("Form3"))
{
    const QPoint f1(360, 0); // the frames' origins, in twips of the page
    QGroupBox *upper = frame(this, QStringLiteral("Frame1"), QStringLiteral("背景画像ファイルの読み込み"),
                             twips(360, 0, 4095, 1995));
    m_name = textBox(upper, QStringLiteral("Text1"), twips(600, 315, 2535, 330, f1));
    QPushButton *browse = button(upper, QStringLiteral("Command1"), QStringLiteral("参照"), twips(3210, 300, 615, 360, f1));
    label(upper, QStringLiteral("Label2"), QStringLiteral("背景画像ファイルのサイズ(pixel or dot)"), twips(600, 690, 3375, 270, f1));
    m_width = textBox(upper, QStringLiteral("Text2"), twips(585, 945, 615, 330, f1));
    label(upper, QStringLiteral("Label1"), QStringLiteral("×"), twips(1230, 975, 255, 270, f1));
    m_height = textBox(upper, QStringLiteral("Text3"), twips(1440, 945, 615, 330, f1));
    redLabel(upper, QStringLiteral("Label3"),
             QStringLiteral("背景画像ファイルのサイズについても、　　　　　　実際の情報と異なる場合以外は　　　　　　　　　　変更しないでください"),
             twips(600, 1290, 3450, 690, f1));

    const QPoint f2(360, 2010);
    QGroupBox *lower = frame(this, QStringLiteral("Frame2"), QStringLiteral("スクロールを実行するソフトのウィンドウサイズ"),
                             twips(360, 2010, 4095, 735));
    m_windowWidth = textBox(lower, QStringLiteral("Text4"), twips(600, 2295, 615, 330, f2), QStringLiteral("640"));
    label(lower, QStringLiteral("Label4"), QStringLiteral("×"), twips(1235, 2325, 255, 270, f2));
    m_windowHeight = textBox(lower, QStringLiteral("Text5"), twips(1440, 2295, 615, 330, f2), QStringLiteral("480"));
    label(lower, QStringLiteral("Label5"), QStringLiteral("カスタマイズしていなければこのままでOK"), twips(2130, 2235, 2235, 450, f2), true);
    QPushButton *next = button(this, QStringLiteral("Command2"), QStringLiteral("次へ"), twips(2880, 2775, 1575, 375));

    for (QLineEdit *box : {m_width, m_height, m_windowWidth, m_windowHeight})
        makeDigitField(box);
    setTabOrder(m_name, browse);
    setTabOrder(browse, m_width);
    setTabOrder(m_width, m_height);
    setTabOrder(m_height, m_windowWidth);
    setTabOrder(m_windowWidth, m_windowHeight);
    setTabOrder(m_windowHeight, next);
    setFocusProxy(m_name);

    connect(browse, &QPushButton::clicked, this, [this] { PicturePage::browse(m_name, m_width, m_height); });
    connect(next, &QPushButton::clicked, this, &Form3::next);
}

void Form3::next()
{
    if (anyEmpty({m_name, m_width, m_height, m_windowWidth, m_windowHeight})) {
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
    const LogLine line{LogValue::textValue(m_name->text()), LogValue::textValue(m_width->text()),
                       LogValue::textValue(m_height->text()), LogValue::textValue(m_windowWidth->text()),
                       LogValue::textValue(m_windowHeight->text())};
    if (!settingslog::appendLine(files().settingsLog(), line, &error)) {
        showWriteFailure(error);
        return;
    }
    wizard().handOver(this, PageId::Form4);
}

} // namespace velra
