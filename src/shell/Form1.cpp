#include "Form1.h"

#include "CompactLabel.h"
#include "Toolkit.h"
#include "Wizard.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QPushButton>

namespace velra {

QString Form1::welcomeLayout()
{
    // The welcome text with "|" where its lines may break: between phrases, never inside a word.
    return QStringLiteral(
        "Velloran（略称VELRA）　を|ご利用いただき|ありがとうございます。　　　　　　　このソフトウェアは、　　　　　　"
        "　　　　　　　　　　　　　　ゲーム制作ソフト|「フェイブルスコープ」において、　　　画像の連続表示による|擬似的ス"
        "クロール表示を　　サポートする|スクリプトを|書き出す|ソフトウェアです　　　　　　　　　　　　　　　　　　　　　　"
        "　　　　　　　　　　　このソフトウェアを|使用するに当たって、　　　　　　　既存の|コミックスクリプトファイル[*.c"
        "sf]に|アクセス　する|システムに|なっています。|このソフトを|使用している間は、|該当コミックスクリプトファイルを|フェ"
        "イブルスコープで|編集・操作しないでください。");
}

QString Form1::welcomeText()
{
    return QStringLiteral(
        "Velloran（略称VELRA）　をご利用いただきありがとうございます。　　　　　　　このソフトウェアは、　　　　　　"
        "　　　　　　　　　　　　　　ゲーム制作ソフト「フェイブルスコープ」において、　　　画像の連続表示による擬似的ス"
        "クロール表示を　　サポートするスクリプトを書き出すソフトウェアです　　　　　　　　　　　　　　　　　　　　　　"
        "　　　　　　　　　　　このソフトウェアを使用するに当たって、　　　　　　　既存のコミックスクリプトファイル[*.c"
        "sf]にアクセス　するシステムになっています。このソフトを使用している間は、該当コミックスクリプトファイルをフェ"
        "イブルスコープで編集・操作しないでください。");
}

Form1::Form1(Wizard &wizard)
    : Page(wizard, QStringLiteral("Form1"))
{
    auto *frame = new QGroupBox(QStringLiteral("ようこそ"), this);
    frame->setObjectName(QStringLiteral("Frame1"));
    frame->setGeometry(QRect(6, 0, 300, 184));

    // The text is padded with ideographic spaces that end its lines; broken between phrases it
    // takes 12 lines, set 12 pixels apart to show whole.
    auto *label = new CompactLabel(welcomeLayout(), frame, 12);
    label->setObjectName(QStringLiteral("Label1"));
    label->setGeometry(QRect(6, 23, 288, 156)); // below the frame's title and border

    auto *start = new QPushButton(QStringLiteral("作業開始"), this);
    start->setObjectName(QStringLiteral("Command1"));
    start->setGeometry(QRect(6, 186, 300, 25));

    // The last run's settings fill the pages unless the author starts empty: a row of its own below
    // the button (which stays where the next page's 次へ appears, for the double-click guard), the
    // page that much taller.
    m_useLast = new QCheckBox(QStringLiteral("前回の設定を使う"), this);
    m_useLast->setObjectName(QStringLiteral("Check1"));
    m_useLast->setGeometry(QRect(10, 213, 296, 22));
    m_useLast->setChecked(true);
    m_useLast->setEnabled(wizard.hasRememberedSettings());
    setTabOrder(start, m_useLast);
    setFixedSize(kWidth, kHeight + 24);
    start->setDefault(true);
    setFocusProxy(start);
    connect(start, &QPushButton::clicked, this, &Form1::startWork);
}

void Form1::startWork()
{
    QString error;
    if (!(m_useLast->isEnabled() && m_useLast->isChecked() && wizard().useRememberedSettings()))
        wizard().setRemembered(std::nullopt);
    if (!wizard().startRun(&error)) {
        message(error, QStringLiteral("作業を開始できません"), OkWithExclamation);
        return;
    }
    wizard().handOver(this, PageId::Form2);
}

} // namespace velra
