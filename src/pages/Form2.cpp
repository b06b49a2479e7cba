#include "Form2.h"

#include "DigitField.h"
#include "handoff/SettingsLog.h"
#include "shell/Controls.h"
#include "shell/Wizard.h"

namespace velra {
using namespace controls;

Form2::Form2(Wizard &wizard)
    : PicturePage(wizard, QStringLiteral("Form2"))
{
    const QPoint f(120, 240); // the frame's origin, in twips of the page
    QGroupBox *box = frame(this, QStringLiteral("Frame1"), QStringLiteral("スクロール対象ファイルの読み込み"),
                           twips(120, 240, 4335, 2415));
    // Two pixels lower than the twips would put them, clear of the frame's top border.
    m_name = textBox(box, QStringLiteral("Text1"), twips(480, 600, 2895, 330, f));
    QPushButton *browse = button(box, QStringLiteral("Command1"), QStringLiteral("参照"), twips(3480, 585, 615, 375, f));
    label(box, QStringLiteral("Label2"), QStringLiteral("対象ファイルのサイズ（pixel or dot)"), twips(240, 1140, 3255, 285, f));
    m_width = textBox(box, QStringLiteral("Text2"), twips(480, 1425, 615, 330, f));
    label(box, QStringLiteral("Label3"), QStringLiteral("×"), twips(1125, 1440, 255, 285, f));
    m_height = textBox(box, QStringLiteral("Text3"), twips(1290, 1425, 615, 330, f));
    redLabel(box, QStringLiteral("Label4"),
             QStringLiteral("(サイズの変更は、自動的に記入されたものと画像の情報が異なる場合のみ変更してください)"),
             twips(210, 1800, 4080, 585, f));
    QPushButton *next = button(this, QStringLiteral("Command2"), QStringLiteral("次へ"), twips(3240, 2760, 1335, 375));

    makeDigitField(m_width);
    makeDigitField(m_height);
    setTabOrder(m_name, browse);
    setTabOrder(browse, m_width);
    setTabOrder(m_width, m_height);
    QPushButton *back = addBackButton(QRect(122, 184, 89, 25));
    setTabOrder(m_height, back);
    setTabOrder(back, next);
    setFocusProxy(m_name);
    setNextButton(next);

    setPictureBoxes(m_name, m_width, m_height);
    m_next = next;
    connect(browse, &QPushButton::clicked, this, [this] { PicturePage::browse(); });
    connect(next, &QPushButton::clicked, this, &Form2::next);
}

void Form2::firstShown()
{
    const Run &last = wizard().rememberedRun();
    if (last.lines < 1)
        return;
    fillRemembered(wizard().remembered()->scrollPicture, last.scroll);
    // An author who changes one value presses Enter through the rest.
    setFocusProxy(m_next);
    m_next->setFocus();
}

QList<LogLine> Form2::typedLines() const
{
    return {textsOf({m_name, m_width, m_height})};
}

void Form2::next()
{
    const std::initializer_list<const QLineEdit *> boxes{m_name, m_width, m_height};
    if (anyEmpty(boxes)) {
        showMissingMessage();
        return;
    }
    if (!acceptFileName(m_name->text()))
        return;
    QString error;
    if (!settingslog::writePageLines(files().settingsLog(), logLine() - 1, {textsOf(boxes)}, &error)) {
        showWriteFailure(error);
        return;
    }
    wizard().handOver(this, PageId::Form3);
}

} // namespace velra
