#include "Form7.h"

#include "BarProgress.h"
#include "script/ScriptFile.h"
#include "script/ScrollScript.h"
#include "script/ScriptFrames.h"
#include "handoff/LastRun.h"
#include "handoff/SettingsFile.h"
#include "handoff/ScriptBuffer.h"
#include "preview/PreviewWindow.h"
#include "handoff/SettingsLog.h"
#include "platform/FileSystem.h"
#include "shell/Controls.h"
#include "shell/Toolkit.h"
#include "shell/Wizard.h"
#include "text/Shown.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QProgressBar>

namespace velra {
using namespace controls;

Form7::Form7(Wizard &wizard)
    : Page(wizard, QStringLiteral("Form7"))
{
    QGroupBox *generation = frame(this, QStringLiteral("Frame1"), QStringLiteral("コードの生成"), QRect(6, 2, 300, 70));
    label(generation, QStringLiteral("Label1"), QStringLiteral("↓クリックすると、生成を開始します"), QRect(10, 21, 280, 18));
    m_generate = button(generation, QStringLiteral("Command1"), QStringLiteral("コード生成"), QRect(10, 40, 110, 24));
    m_progress = named(new QProgressBar(generation), QStringLiteral("ProgressBar1"), QRect(128, 44, 162, 16));
    m_progress->setRange(0, 100);
    m_progress->setValue(0);
    m_progress->setTextVisible(false);

    // Each name box under its caption, as wide as the frame, so that a typed name stays in view.
    QGroupBox *saving = frame(this, QStringLiteral("Frame2"), QStringLiteral("保存について"), QRect(6, 74, 300, 140));
    m_csf = option(saving, QStringLiteral("Option1"), QStringLiteral("CSFファイル"), QRect(10, 18, 110, 22));
    m_text = option(saving, QStringLiteral("Option2"), QStringLiteral("テキストファイル"), QRect(130, 18, 130, 22));
    label(saving, QStringLiteral("Label2"), QStringLiteral("保存ブック名(既存ブック指定禁止)"), QRect(10, 42, 280, 20));
    m_book = textBox(saving, QStringLiteral("Text1"), QRect(10, 62, 280, 22));
    label(saving, QStringLiteral("Label3"), QStringLiteral("保存ページ名"), QRect(10, 88, 280, 20));
    m_page = textBox(saving, QStringLiteral("Text2"), QRect(10, 108, 280, 22));

    label(this, QStringLiteral("Label4"), QStringLiteral("CSFファイルでの保存の場合、　　　新規作成・上書きは自動判別します"),
          QRect(8, 218, 200, 36), true);
    m_save = button(this, QStringLiteral("Command2"), QStringLiteral("保存"), QRect(218, 224, 88, 28));
    m_save->setEnabled(false);
    // A row of its own below the save, the page a little taller for it.
    m_preview = button(this, QStringLiteral("Command3"), QStringLiteral("プレビュー"), QRect(218, 256, 88, 28));
    m_preview->setEnabled(false);
    label(this, QStringLiteral("Label5"), QStringLiteral("保存する前に、動きを確かめられます"), QRect(8, 256, 206, 28));
    // Adjust and go again: a row of its own at the bottom.
    addBackButton(QRect(8, 290, 88, 28));
    m_remake = button(this, QStringLiteral("Command4"), QStringLiteral("設定を変えて作り直す"), QRect(100, 290, 206, 28));
    m_remake->setEnabled(false);
    // Settings worth keeping: a row of their own, once a generation has shown they work.
    label(this, QStringLiteral("Label6"), QStringLiteral("この設定をファイルに残せます"), QRect(8, 324, 194, 28));
    m_saveSettings = button(this, QStringLiteral("Command5"), QStringLiteral("設定を保存…"), QRect(206, 324, 100, 28));
    m_saveSettings->setEnabled(false);
    m_saveSettings->setToolTip(QStringLiteral("この実行の設定を名前を付けて保存します。始めのページの「設定を開く…」で使えます"));
    setFixedSize(kWidth, kHeight + 144);

    setFocusProxy(m_generate);
    connect(m_generate, &QPushButton::clicked, this, &Form7::generate);
    connect(m_save, &QPushButton::clicked, this, &Form7::save);
    connect(m_preview, &QPushButton::clicked, this, &Form7::preview);
    connect(m_remake, &QPushButton::clicked, this, &Form7::remake);
    connect(m_saveSettings, &QPushButton::clicked, this, &Form7::saveSettings);

    // The last save's route and page name; the book is new every time.
    if (const lastrun::Settings *last = wizard.remembered()) {
        if (last->route != lastrun::Settings::Route::None)
            (last->route == lastrun::Settings::Route::Csf ? m_csf : m_text)->setChecked(true);
        m_page->setText(last->pageName);
    }
}

QPushButton *Form7::enterButton(QWidget *focus) const
{
    // Enter in a name saves; elsewhere on this page it has nothing to press.
    return focus == m_book || focus == m_page ? m_save : nullptr;
}

bool Form7::mayGoBack()
{
    if (m_generated
        && !toolkit().question(this, QStringLiteral("保存していないスクリプトがあります。前のページに戻りますか?"), QStringLiteral("戻る"), false))
        return false;
    if (m_previewWindow)
        m_previewWindow->close();
    return true;
}

bool Form7::mayClose()
{
    return !m_generated
        || toolkit().question(this, QStringLiteral("保存していないスクリプトがあります。終了しますか?"), QStringLiteral("終了の確認"), false);
}

void Form7::generate()
{
    setCursor(Qt::WaitCursor);
    m_generate->setText(QStringLiteral("！！実行中！！"));
    m_generate->setEnabled(false);
    m_generate->repaint();

    // A failed generation says why in the page's words and offers the way on: another try, or a
    // new run with the values changed.
    const auto stop = [this](const QString &error) {
        unsetCursor();
        m_generate->setText(QStringLiteral("コード生成"));
        m_generate->setEnabled(true);
        m_remake->setEnabled(true);
        message(error + QStringLiteral("\r\n「設定を変えて作り直す」で設定を直せます。"),
                QStringLiteral("スクリプトを生成できません"), OkWithExclamation);
    };
    Run run;
    QString error;
    if (!settingslog::readRun(files().settingsLog(), run, &error))
        return stop(error);
    QByteArray script;
    BarProgress progress(m_progress);
    if (!generateScript(run, script, &progress, &error))
        return stop(error);
    progress.finish();
    if (!scriptbuffer::store(files().scriptBuffer(), script, &error))
        return stop(error);

    m_generated = true;
    wizard().rememberRun();
    message(QStringLiteral("スクリプトの内部生成が完了しました\r\n保存の作業に移ってください"), QStringLiteral("生成完了"), OkOnly);
    unsetCursor();
    m_generate->setText(QStringLiteral("コード生成完了"));
    m_save->setEnabled(true);
    m_preview->setEnabled(true);
    m_remake->setEnabled(true);
    m_saveSettings->setEnabled(true);
}

output::Options Form7::saveOptions()
{
    // A file another program holds is waited for with the page's own progress box.
    output::Options options;
    options.waiting = [this](const QString &what) { return toolkit().stillWaiting(this, what); };
    // The window never waits on a FIFO or writes into a device: it saves into files.
    options.filesOnly = true;
    return options;
}

void Form7::saveSettings()
{
    // This run's settings, with the route and page name as the page shows them now.
    lastrun::Settings settings = wizard().currentSettings();
    if (m_csf->isChecked() || m_text->isChecked())
        settings.route = m_csf->isChecked() ? lastrun::Settings::Route::Csf : lastrun::Settings::Route::Text;
    if (!m_page->text().isEmpty())
        settings.pageName = m_page->text();
    QString path = toolkit().saveFileName(this, settingsfile::filter(), QStringLiteral("設定を保存"), wizard().settingsFolder());
    if (path.isEmpty())
        return; // cancelled: nothing is touched
    path = output::withExtension(path, settingsfile::extension());
    // A FIFO or a device there is refused before anything asks or opens it.
    if (const QString refused = settingsfile::refusedTarget(path); !refused.isEmpty())
        return message(refused, QStringLiteral("設定を保存できません"), OkWithExclamation);
    const QFileInfo existing(path);
    if (existing.exists()
        && !toolkit().question(this, QStringLiteral("「%1」はすでにあります。置き換えますか?").arg(shownValue(existing.fileName())),
                               QStringLiteral("設定の保存"), false))
        return;
    QString error;
    const bool saved = settingsfile::write(path, settings, &error, saveOptions());
    toolkit().waitOver();
    if (!saved)
        return message(error, QStringLiteral("設定を保存できません"), OkWithExclamation);
    wizard().rememberSettingsFolder(path);
    message(QStringLiteral("設定を「%1」に保存しました。\r\n始めのページの「設定を開く…」で、この設定から作業を始められます。")
                .arg(shownValue(QDir::toNativeSeparators(path))),
            QStringLiteral("設定の保存"), OkOnly);
}

void Form7::remake()
{
    if (m_generated
        && !toolkit().question(this, QStringLiteral("保存していないスクリプトがあります。作り直しますか?"),
                               QStringLiteral("作り直し")))
        return;
    if (m_previewWindow)
        m_previewWindow->close();
    QString error;
    if (!wizard().restart(&error))
        message(error, QStringLiteral("作り直せません"), OkWithExclamation);
}

void Form7::preview()
{
    if (m_previewWindow) {
        m_previewWindow->raise();
        m_previewWindow->activateWindow();
        return;
    }
    // What the preview shows is what the script buffer says; nothing is written.
    QByteArray script;
    QString error;
    ScriptFrames frames;
    Run run;
    if (!scriptbuffer::load(files().scriptBuffer(), script, &error) || !ScriptFrames::read(script, frames, &error)
        || !settingslog::readRun(files().settingsLog(), run, &error))
        return message(error, QStringLiteral("プレビューを表示できません"), OkWithExclamation);
    QSize window;
    if (!render::windowSizeOf(run, window))
        return message(QStringLiteral("設定ファイルのウィンドウの大きさ（%1 × %2）が読めません。")
                           .arg(shownValue(run.windowWidth.text()), shownValue(run.windowHeight.text())),
                       QStringLiteral("プレビューを表示できません"), OkWithExclamation);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    auto renderer = std::make_unique<render::FrameRenderer>(frames, window, wizard().picturePaths());
    QApplication::restoreOverrideCursor();
    m_previewWindow = new preview::PreviewWindow(std::move(renderer), this);
    // 書き出し… asks through this page's dialogs, in front of the preview.
    m_previewWindow->setExporting(toolkit(), [this] { return wizard().saveFolder(); }, wizard().exportChoices(),
                                  [this](const animation::ExportChoices &chosen) { wizard().rememberExportChoices(chosen); });
    ChainPlan plan;
    if (run.isDetailed() && run.chain.segments.size() > 1 && ChainPlan::make(run.chain, plan, nullptr)) {
        QList<qsizetype> starts;
        for (const ChainPlan::Part &part : plan.parts)
            starts.append(part.firstFrame);
        m_previewWindow->setSegmentStarts(starts);
    }
    m_previewWindow->show();
}

void Form7::save()
{
    QByteArray script;
    QString error;
    if (!scriptbuffer::load(files().scriptBuffer(), script, &error))
        return message(restartMessage(error), QStringLiteral("保存できません"), OkWithExclamation);
    // Everything the save needs is asked for before the dialog, so that nobody picks a file for a
    // save that is refused.
    const QString incomplete = QStringLiteral("保存の設定が足りません");
    if (!m_csf->isChecked() && !m_text->isChecked())
        return message(QStringLiteral("CSFファイルかテキストファイルを選んでください"), incomplete, OkWithExclamation);
    if (m_book->text().isEmpty())
        return message(QStringLiteral("保存ブック名を記入してください"), incomplete, OkWithExclamation);
    if (m_page->text().isEmpty())
        return message(QStringLiteral("保存ページ名を記入してください"), incomplete, OkWithExclamation);
    const auto route = m_csf->isChecked() ? scriptfile::Route::Csf : scriptfile::Route::Text;
    QByteArray book;
    QByteArray page;
    if (!scriptfile::encodeName(m_book->text(), QStringLiteral("保存ブック名"), book, &error)
        || !scriptfile::encodeName(m_page->text(), QStringLiteral("保存ページ名"), page, &error))
        return message(error, QStringLiteral("名前が使えません"), OkWithExclamation);

    QString path = toolkit().saveFileName(this, scriptfile::filter(route), QStringLiteral("保存先を選択"), wizard().saveFolder());
    if (path.isEmpty())
        return; // cancelled: nothing is touched
    path = output::withExtension(path, route == scriptfile::Route::Csf ? QStringLiteral("csf") : QStringLiteral("txt"));
    // What the save would refuse (the book already there, a settings file picked by mistake) is
    // said before asking to add to the file; the save checks again on what it reads.
    const QFileInfo existing(path);
    if (QFile file; existing.isFile() && platform::openToRead(file, path, false, nullptr)) {
        constexpr qint64 kLooked = qint64(64) << 20;
        if (file.size() <= kLooked) {
            const QByteArray held = file.readAll();
            if (const QString refused = scriptfile::refusal(held, route, book, existing.fileName()); !refused.isEmpty())
                return message(refused, QStringLiteral("保存できません"), OkWithExclamation);
        }
    }
    // What the save would refuse of the file itself (read-only, held by another program) is said
    // before asking to add to it, in the save's words.
    if (const QString refused = scriptfile::refusalBeforeSaving(path); !refused.isEmpty())
        return message(refused, QStringLiteral("保存できません"), OkWithExclamation);
    // The file keeps its text: say what will happen to it rather than the dialog's "replace?".
    if (existing.isFile() && existing.size() > 0
        && !toolkit().question(this, QStringLiteral("「%1」の最後に新しいブックを追加します。よろしいですか?")
                                         .arg(shownValue(existing.fileName())),
                               QStringLiteral("保存先の確認"), true))
        return;

    m_save->setText(QStringLiteral("保存処理中"));
    m_save->setEnabled(false);
    m_remake->setEnabled(false);
    m_preview->setEnabled(false); // the buffer is being saved; the preview would read it meanwhile
    m_save->repaint();
    const bool saved = scriptfile::save(path, route, book, page, script, &error, saveOptions());
    toolkit().waitOver();
    if (!saved) {
        // The script is still in the buffer: the author can save elsewhere.
        message(error, QStringLiteral("保存できません"), OkWithExclamation);
        m_save->setText(QStringLiteral("保存"));
        m_save->setEnabled(true);
        m_remake->setEnabled(true);
        m_preview->setEnabled(true);
        return;
    }
    wizard().rememberSaveFolder(path);
    wizard().rememberSave(route == scriptfile::Route::Csf ? lastrun::Settings::Route::Csf : lastrun::Settings::Route::Text,
                          m_page->text());
    m_generated = false;
    // OK ends the program as ever; 続けて作る starts the next run with this run's values.
    if (toolkit().messageWithChoice(this, QStringLiteral("ファイルの書き出しが終了しました\r\nOKをクリックすると終了します"),
                                    QStringLiteral("ファイル書き出し完了"), QStringLiteral("続けて作る"))) {
        if (m_previewWindow)
            m_previewWindow->close();
        if (!wizard().restart(&error))
            message(error, QStringLiteral("作り直せません"), OkWithExclamation);
        return;
    }
    wizard().closeAll();
}

} // namespace velra
