#include "Form1.h"

#include "shell/CompactLabel.h"
#include "shell/Toolkit.h"
#include "shell/Wizard.h"

#include "handoff/HandoffFiles.h"
#include "handoff/SettingsFile.h"
#include "platform/FileSystem.h"

#include <QCheckBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QStyleOptionFocusRect>
#include <QStylePainter>

namespace velra {

namespace {

// A button drawn as a link (underlined, in the link colour), with the focus frame around its text
// while the keyboard is on it: a flat button of the style would show no focus at all.
class LinkButton final : public QPushButton
{
public:
    using QPushButton::QPushButton;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QStylePainter painter(this);
        QFont underlined = font();
        underlined.setUnderline(true);
        painter.setFont(underlined);
        painter.setPen(palette().color(QPalette::Link));
        const QRect room = rect().adjusted(3, 0, -3, 0);
        const QRect text = painter.fontMetrics().boundingRect(room, Qt::AlignRight | Qt::AlignVCenter, this->text());
        painter.drawText(room, Qt::AlignRight | Qt::AlignVCenter, this->text());
        if (hasFocus()) {
            QStyleOptionFocusRect frame;
            frame.initFrom(this);
            frame.rect = text.adjusted(-2, 0, 2, 0);
            painter.drawPrimitive(QStyle::PE_FrameFocusRect, frame);
        }
    }
};

} // namespace

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
    m_useLast->setGeometry(QRect(10, 213, 220, 22));
    // Ticked and usable once there is something to use; unticked and greyed out before.
    bool edits = false;
    const bool remembered = wizard.hasRememberedSettings(&edits);
    m_useLast->setChecked(remembered);
    m_useLast->setEnabled(remembered);
    setTabOrder(start, m_useLast);

    // The manual, at the row's right end: a link that is a button, so that Tab reaches it and Enter
    // or Space follows it.
    m_manual = new LinkButton(QStringLiteral("使い方"), this);
    m_manual->setObjectName(QStringLiteral("Command2"));
    m_manual->setGeometry(QRect(234, 213, 72, 22));
    m_manual->setAutoDefault(false);
    m_manual->setCursor(Qt::PointingHandCursor);
    m_manual->setToolTip(QStringLiteral("使い方の説明書をブラウザーで開きます"));
    connect(m_manual, &QPushButton::clicked, this, &Form1::showManual);
    setTabOrder(m_useLast, m_manual);

    // A run from a settings file the author named: a row of its own, below the last run's.
    m_open = new QPushButton(QStringLiteral("設定を開く…"), this);
    m_open->setObjectName(QStringLiteral("Command3"));
    m_open->setGeometry(QRect(6, 239, 130, 25));
    m_open->setAutoDefault(false);
    m_open->setToolTip(QStringLiteral("保存した設定ファイル（*.velra）の設定で作業を始めます。このページにドロップしても開けます"));
    connect(m_open, &QPushButton::clicked, this, [this] {
        const QString path = toolkit().openFileName(this, settingsfile::filter(), QStringLiteral("設定を開く"), this->wizard().settingsFolder());
        if (!path.isEmpty())
            openSettingsLater(path);
    });
    auto *openNote = new QLabel(QStringLiteral("保存した設定で始めます"), this);
    openNote->setObjectName(QStringLiteral("Label3"));
    openNote->setGeometry(QRect(142, 239, 164, 25));
    setTabOrder(m_useLast, m_open);
    setTabOrder(m_open, m_manual);
    setAcceptDrops(true);

    // Which settings 前回の設定を使う brings back: the last generated run's, or what was typed after it
    // and closed before generating (kept beside it, so that nothing typed is lost).
    int height = kHeight + 54;
    if (remembered) {
        auto *which = new QLabel(edits ? QStringLiteral("前回の設定（コード生成の前に閉じた編集）") : QStringLiteral("前回の設定（前回コード生成したもの）"),
                                 this);
        which->setObjectName(QStringLiteral("Label4"));
        which->setGeometry(QRect(10, height - 1, 296, 20));
        height += 20;
    }

    // Said once, here, when the run's files cannot stay in a program folder others share.
    if (const QString note = wizard.files().sharedFolderNote(); !note.isEmpty()) {
        auto *where = new QLabel(this);
        where->setObjectName(QStringLiteral("Label2"));
        where->setTextFormat(Qt::PlainText);
        where->setWordWrap(true);
        // A path breaks after its separators, nowhere inside a name.
        QString breakable = note;
        breakable.replace(QDir::separator(), QString(QDir::separator()) + QChar(0x200B));
        where->setText(breakable);
        where->setToolTip(note);
        const int textHeight = where->heightForWidth(kWidth - 16);
        where->setGeometry(QRect(10, height + 2, kWidth - 16, textHeight));
        height += textHeight + 8;
    }
    setFixedSize(kWidth, height);
    start->setDefault(true);
    setNextButton(start);
    setFocusProxy(start);
    connect(start, &QPushButton::clicked, this, &Form1::startWork);
}

QStringList Form1::manualPlaces(const QString &programFolder)
{
    return {QDir::cleanPath(programFolder + QStringLiteral("/manual/index.html")),
            QDir::cleanPath(programFolder + QStringLiteral("/../share/doc/velloran/manual/index.html"))};
}

void Form1::showManual()
{
    const QStringList places = manualPlaces(velra::programFolder());
    QStringList shown;
    for (const QString &place : places)
        shown.append(QDir::toNativeSeparators(place));
    for (const QString &place : places) {
        if (!QFileInfo(place).isFile())
            continue;
        // What the browser is given runs as the user: a page that someone else could have put or
        // changed there is not opened.
        if (!platform::isTrustedDocument(place)) {
            message(QStringLiteral("「%1」は、ほかのユーザーが置いたか書き換えられるファイルのため開きません。\r\n使い方の説明書は次の場所にあるはずです:\r\n%2")
                        .arg(QDir::toNativeSeparators(place), shown.join(QStringLiteral("\r\n"))),
                    QStringLiteral("使い方"), OkWithExclamation);
            return;
        }
        if (!toolkit().openDocument(place))
            message(QStringLiteral("ブラウザーで使い方を開けません。\r\n%1 を開いてください。").arg(QDir::toNativeSeparators(place)),
                    QStringLiteral("使い方"), OkWithExclamation);
        return;
    }
    message(QStringLiteral("使い方の説明書が見つかりません。\r\n探した場所:\r\n%1").arg(shown.join(QStringLiteral("\r\n"))),
            QStringLiteral("使い方"), OkWithExclamation);
}

bool Form1::openSettings(const QString &path)
{
    QString error;
    lastrun::Settings settings;
    if (!settingsfile::read(path, settings, &error)) {
        message(error, QStringLiteral("設定を開けません"), OkWithExclamation);
        return false;
    }
    // The run starts as it would with 前回の設定を使う, from these settings instead.
    wizard().setRemembered(std::move(settings), path);
    wizard().rememberSettingsFolder(path);
    if (beginRun())
        return true;
    wizard().setRemembered(std::nullopt);
    return false;
}

namespace {

// The one local file a drop carries, or nothing.
QString droppedFile(const QMimeData *data)
{
    if (!data || !data->hasUrls() || data->urls().size() != 1 || !data->urls().front().isLocalFile())
        return {};
    return data->urls().front().toLocalFile();
}

} // namespace

void Form1::dragEnterEvent(QDragEnterEvent *event)
{
    if (settingsfile::isSettingsFile(droppedFile(event->mimeData())))
        event->acceptProposedAction();
}

void Form1::dropEvent(QDropEvent *event)
{
    const QString path = droppedFile(event->mimeData());
    if (!settingsfile::isSettingsFile(path))
        return;
    event->acceptProposedAction();
    openSettingsLater(path);
}

void Form1::openSettingsLater(const QString &path)
{
    // Once the dialog or the drop is over: Windows gives the keyboard back to this page when a
    // dialog closes, which must not take it from the page that follows; and the message box of a
    // refused file must not hold a drop's source.
    QMetaObject::invokeMethod(this, [this, path] { openSettings(path); }, Qt::QueuedConnection);
}

void Form1::startWork()
{
    if (!(m_useLast->isEnabled() && m_useLast->isChecked() && wizard().useRememberedSettings()))
        wizard().setRemembered(std::nullopt);
    beginRun();
}

bool Form1::beginRun()
{
    QString error;
    if (!wizard().startRun(&error)) {
        message(error, QStringLiteral("作業を開始できません"), OkWithExclamation);
        return false;
    }
    wizard().handOver(this, PageId::Form2);
    return true;
}

} // namespace velra
