#include "Form1.h"

#include "Toolkit.h"
#include "Wizard.h"

#include <QFile>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

namespace velra {

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
    frame->setGeometry(twips(240, 0, 4215, 2775));

    // The text is padded with ideographic spaces for a line of 22 full-width characters; with the
    // label's height it needs 13 lines, so the lines are set 13 pixels apart instead of the font's
    // wider default, and every word shows.
    auto *label = new QLabel(frame);
    label->setObjectName(QStringLiteral("Label1"));
    label->setGeometry(QRect(6, 14, 270, 170));
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setWordWrap(true);
    label->setTextFormat(Qt::RichText);
    label->setText(QStringLiteral("<div style=\"line-height:13px; white-space:pre-wrap\">%1</div>")
                       .arg(welcomeText().toHtmlEscaped()));
    label->setAccessibleDescription(welcomeText());

    auto *start = new QPushButton(QStringLiteral("作業開始"), this);
    start->setObjectName(QStringLiteral("Command1"));
    start->setGeometry(twips(240, 2760, 4215, 375));
    start->setDefault(true);
    setFocusProxy(start);
    connect(start, &QPushButton::clicked, this, &Form1::startWork);
}

void Form1::startWork()
{
    for (const QString &path : {files().settingsLog(), files().scriptBuffer()}) {
        QFile file(path);
        if (QFileInfo(path).isFile() && !file.remove()) {
            message(QStringLiteral("前回の作業ファイル「%1」を削除できません。\r\n%2")
                        .arg(QDir::toNativeSeparators(path), fileErrorReason(file)),
                    QStringLiteral("作業を開始できません"), OkWithExclamation);
            return;
        }
    }
    wizard().handOver(this, PageId::Form2);
}

} // namespace velra
