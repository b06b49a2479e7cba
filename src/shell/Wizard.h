#pragma once

#include "handoff/HandoffFiles.h"
#include "animation/Export.h"
#include "handoff/LastRun.h"

#include <QHash>
#include <QObject>
#include <QPoint>
#include <QPointer>

#include <array>
#include <memory>
#include <optional>

namespace velra {

class Page;
class Wizard;
class Toolkit;

enum class PageId { Form1 = 1, Form2, Form3, Form4, Form5, Form6, Form7 };

// Makes the page `id` of a run: the pages give it, as the shell knows pages only as Page.
using PageFactory = Page *(*)(Wizard &wizard, PageId id);

// The page inventory and the hand-over: one instance of each page per run, created when first
// shown, kept (hidden, with its contents) until the end; exactly one page visible at a time.
class Wizard : public QObject
{
    Q_OBJECT

public:
    Wizard(Toolkit &toolkit, PageFactory pages, const HandoffFiles &files = HandoffFiles());
    ~Wizard() override;

    // Shows the start page, once this copy holds the hand-off folder, and starts a run from
    // `settingsFile` when one is given (a double click on it). A second copy of the program started
    // from the same folder says that one is running (and where to open the file), brings that one to
    // the front, and ends (returns false) without touching a file.
    // `refused`: why the file given could not even be named (the start page says it and stays).
    bool start(const QString &settingsFile = QString(), const QString &refused = QString());
    // Hides `leaving` and shows `next` without making it modal.
    void handOver(Page *leaving, PageId next);
    // 戻る: shows the page before `leaving` with the values it had, the settings log cut back to
    // the lines before the ones that page writes. From the scroll-image page the run is cleared
    // as 作業開始 clears it and the start page shows.
    void back(Page *leaving);
    // Shows `id` as the first page of a run (the start page, or a later page for tools and tests).
    Page *show(PageId id);

    // The page if it has been created and not yet closed.
    Page *page(PageId id) const;
    template <typename T>
    T *page(PageId id) const
    {
        return qobject_cast<T *>(page(id));
    }

    // Closes every page, Form1 to Form7 in this order; the run is over.
    void closeAll();
    bool isEnding() const { return m_ending; }

    // A new run: the files of an earlier one are cleared and this run's folder is chosen.
    bool startRun(QString *error);

    // Where the pictures chosen with 参照 in this run are, by the file name the script names them by:
    // the settings log keeps only the names.
    void rememberPicture(const QString &name, const QString &path)
    {
        m_picturePaths.insert(name, path);
        m_lastPicture = path;
    }
    const QHash<QString, QString> &picturePaths() const { return m_picturePaths; }

    // The settings this run's pages start with: the last run's (when the start page asked for
    // them) or, on a new run from the generation page, the run before's. Null for an empty start.
    const lastrun::Settings *remembered() const { return m_remembered ? &*m_remembered : nullptr; }
    // The remembered run, as far as its log went (`lines`).
    const Run &rememberedRun() const { return m_rememberedRun; }
    // `from`: the settings file they were read from; empty for the last run's.
    void setRemembered(std::optional<lastrun::Settings> settings, const QString &from = QString());
    const QString &rememberedFrom() const { return m_rememberedFrom; }
    // Whether an earlier run left settings to start with; `edits`: the newer of them are edits
    // closed before a script was generated.
    bool hasRememberedSettings(bool *edits = nullptr) const;
    // Loads them for this run (false when there are none).
    bool useRememberedSettings();
    // This run's settings, as the settings log and the pictures chosen say now.
    lastrun::Settings currentSettings() const;
    // Keeps this run's settings for the next run; says nothing when they cannot be kept.
    void rememberRun() const;
    // Keeps what the author has typed so far, every page's values as they stand, beside the last
    // generated run: the author leaves a page or closes the window, and nothing typed is lost.
    void keepEdits() const;
    // The remembered settings are edits closed before a script was generated from them.
    bool rememberedAreEdits() const { return m_rememberedEdits; }
    // The folder of the last file the wizard saved (kept across runs), else the scroll picture's.
    QString saveFolder() const;
    void rememberSaveFolder(const QString &file) const;
    // The folder of the last settings file saved or opened (kept across runs), where 設定を開く…
    // opens; else the save folder.
    QString settingsFolder() const;
    void rememberSettingsFolder(const QString &file) const;
    // Where 参照 opens: the folder of this run's last picture, else (the first 参照 of a run) that of
    // the remembered run's scroll picture; empty when there is neither.
    QString pictureFolder() const;
    // The route and page name of a save, remembered with the run's settings for the next run.
    void rememberSave(lastrun::Settings::Route route, const QString &pageName);
    // The last export's settings (the defaults before any), kept across runs beside the remembered
    // settings as the route and the page name are.
    animation::ExportChoices exportChoices() const;
    void rememberExportChoices(const animation::ExportChoices &chosen) const;
    // A new run from the generation page: the pages of this run are closed, the hand-off files
    // cleared as the start page clears them, and the scroll-image page shows this run's values.
    bool restart(QString *error);

    Toolkit &toolkit() const { return m_toolkit; }
    const HandoffFiles &files() const { return m_files; }

signals:
    void finished();

protected:
    // Mouse and keyboard as on the platform the authors know: see Wizard.cpp.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    Page *create(PageId id);
    Page *pageOf(QObject *object) const;
    // Shows `p` where the pages of the run stand (where `leaving` was, unless the wizard moved that
    // one to fit), moved as little as possible to lie wholly inside the available area of the
    // screen, its frame and title bar included.
    void showInPlace(Page *p, const Page *leaving);

    void openFrontDoor();

    Toolkit &m_toolkit;
    PageFactory m_makePage;
    HandoffFiles m_files;
    std::unique_ptr<QObject> m_frontDoor;
    QString m_frontDoorKey;
    std::array<QPointer<Page>, 7> m_pages;
    std::array<bool, 7> m_shown{};
    QList<PageId> m_history; // the pages handed over from, latest last
    bool m_ending = false;
    QHash<QString, QString> m_picturePaths;
    std::optional<lastrun::Settings> m_remembered;
    Run m_rememberedRun;
    QString m_rememberedFrom;
    bool m_rememberedEdits = false;
    QString m_lastPicture; // the picture this run filled in last
    QPointer<Page> m_pressedPage; // where the last mouse press that counted went
    quint64 m_enterReleased = 0;        // when Enter was last let go (X time)
    QPoint m_place;                     // the run's usual place for a page
    QHash<const Page *, QPoint> m_placedAt; // where each page was put, to tell a move by the author
};

} // namespace velra
