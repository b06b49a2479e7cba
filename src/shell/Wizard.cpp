#include "Wizard.h"

#include "Page.h"
#include "Toolkit.h"
#include "frontdoor/FrontDoor.h"

#include "handoff/SettingsLog.h"
#include "handoff/OwnFiles.h"
#include "platform/FileSystem.h"
#include "text/Shown.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>

namespace velra {

Wizard::Wizard(Toolkit &toolkit, PageFactory pages, const HandoffFiles &files)
    : m_toolkit(toolkit)
    , m_makePage(pages)
    , m_files(files)
{
    QCoreApplication::instance()->installEventFilter(this);
}

Wizard::~Wizard()
{
    for (const auto &page : m_pages)
        delete page.data();
}

bool Wizard::start(const QString &settingsFile, const QString &refused)
{
    QString error;
    if (!m_files.holdFolder(&error)) {
        m_ending = true;
        if (!settingsFile.isEmpty())
            error += QStringLiteral("\r\n設定ファイル「%1」は、起動している Velloran の始めのページの「設定を開く…」で開いてください。")
                         .arg(shownValue(QDir::toNativeSeparators(settingsFile)));
        m_toolkit.messageBox(nullptr, error, QStringLiteral("すでに起動しています"), OkWithExclamation);
        frontdoor::knock(m_files.folderKey(), m_files.otherCopy());
        emit finished();
        return false;
    }
    openFrontDoor();
    Page *first = show(PageId::Form1);
    // Placed by the wizard rather than left to the system (Windows would put it in a corner): a
    // message box of a page that is shown at once has its page's place to centre on.
    if (const QScreen *screen = first->screen()) {
        first->move(screen->availableGeometry().center() - first->rect().center());
        m_place = first->pos();
        m_placedAt.insert(first, m_place);
    }
    // Should the file be refused, the start page says why and stays.
    if (!refused.isEmpty())
        m_toolkit.messageBox(first, refused, QStringLiteral("設定を開けません"), OkWithExclamation);
    else if (!settingsFile.isEmpty())
        first->openSettings(settingsFile);
    return true;
}

bool Wizard::startRun(QString *error)
{
    if (!m_files.startRun(error))
        return false;
    openFrontDoor();
    return true;
}

// A second copy that finds the folder held knocks here: the page on the screen comes to the front.
void Wizard::openFrontDoor()
{
    const QString key = m_files.folderKey();
    if (m_frontDoor && key == m_frontDoorKey)
        return;
    m_frontDoorKey = key;
    m_frontDoor = std::make_unique<frontdoor::FrontDoor>(key, [this] {
        for (const auto &page : m_pages) {
            if (page && page->isVisible()) {
                if (page->isMinimized())
                    page->showNormal();
                page->raise();
                page->activateWindow();
            }
        }
    });
}

Page *Wizard::show(PageId id)
{
    const int index = int(id) - 1;
    if (m_ending || m_shown[index])
        return page(id);
    m_shown[index] = true;
    Page *p = m_pages[index] ? m_pages[index].data() : (m_pages[index] = create(id)).data();
    p->show();
    return p;
}

void Wizard::handOver(Page *leaving, PageId next)
{
    if (m_ending)
        return;
    for (int i = 0; i < int(m_pages.size()); ++i) {
        if (m_pages[i] == leaving)
            m_history.append(PageId(i + 1));
    }
    keepEdits();
    leaving->hide();
    const int index = int(next) - 1;
    m_shown[index] = true;
    Page *p = m_pages[index] ? m_pages[index].data() : (m_pages[index] = create(next)).data();
    showInPlace(p, leaving);
}

void Wizard::showInPlace(Page *p, const Page *leaving)
{
    // Where the page before was: the author's eyes and the mouse stay where they are. A page the
    // author moved sets the place; one the wizard moved to fit does not.
    const QPoint placed = m_placedAt.value(leaving, leaving->pos());
    if ((leaving->pos() - placed).manhattanLength() > 8 || !m_placedAt.contains(leaving))
        m_place = leaving->pos();
    // The frame around the client area, as the page before had it (a page not yet shown has none).
    const QRect client = leaving->geometry();
    const QRect outer = leaving->frameGeometry();
    const QMargins frame(client.left() - outer.left(), client.top() - outer.top(), outer.right() - client.right(),
                         outer.bottom() - client.bottom());
    QPoint at = m_place;
    if (const QScreen *screen = leaving->screen()) {
        const QRect area = screen->availableGeometry();
        // At a fractional scale a size rounds to whole device pixels either way: a pixel to spare.
        const qreal ratio = screen->devicePixelRatio();
        const int spare = qFuzzyCompare(ratio, qreal(qRound(ratio))) ? 0 : 1;
        const QSize whole = p->size().grownBy(frame) + QSize(spare, spare);
        // Right and bottom first, so that a page larger than the screen keeps its title bar on it.
        at.setX(qMax(area.left(), qMin(at.x(), area.right() + 1 - whole.width())));
        at.setY(qMax(area.top(), qMin(at.y(), area.bottom() + 1 - whole.height())));
    }
    p->move(at);
    m_placedAt.insert(p, at);
    p->show();
}

void Wizard::back(Page *leaving)
{
    if (m_ending || m_history.isEmpty() || !leaving->isVisible() || !leaving->mayGoBack())
        return;
    const PageId previous = m_history.constLast();
    keepEdits(); // what was typed on the page left is kept, though the log forgets it
    QString error;
    // The run goes back to where that page started: its line and the ones after it are gone, or,
    // before the first page, the run is cleared as 作業開始 clears it.
    const bool ready = previous == PageId::Form1 ? startRun(&error)
                                                 : settingslog::keepLines(m_files.settingsLog(), page(previous)->logLine() - 1, &error);
    if (!ready) {
        m_toolkit.messageBox(leaving, error, QStringLiteral("戻れません"), OkWithExclamation);
        return;
    }
    m_history.removeLast();
    leaving->hide();
    // The generation page starts afresh from the settings it will be given next time.
    const bool gone = leaving == page(PageId::Form7);
    if (gone) {
        leaving->deleteLater();
        m_pages[int(PageId::Form7) - 1] = nullptr;
        m_shown[int(PageId::Form7) - 1] = false;
    }
    showInPlace(page(previous), leaving);
    if (gone)
        m_placedAt.remove(leaving);
}

Page *Wizard::page(PageId id) const
{
    return m_pages[int(id) - 1].data();
}

void Wizard::closeAll()
{
    if (m_ending)
        return;
    m_ending = true;
    for (const auto &page : m_pages) {
        if (page)
            page->close();
    }
    emit finished();
}

void Wizard::setRemembered(std::optional<lastrun::Settings> settings, const QString &from)
{
    m_rememberedFrom = settings ? from : QString();
    m_rememberedEdits = false;
    m_remembered = std::move(settings);
    m_rememberedRun = m_remembered ? m_remembered->run() : Run();
}

namespace {

// The newer of the last generated run and the edits closed after it; `edits` says which.
bool loadNewest(const HandoffFiles &files, lastrun::Settings &settings, bool *edits)
{
    lastrun::Settings edited;
    const bool haveEdits = lastrun::load(files.editedSettings(), edited);
    const bool haveRun = lastrun::load(files.rememberedSettings(), settings);
    // A generation removes the edits it was made from: edits still there are newer, unless the
    // clock says otherwise (a copy of the folder, say).
    const bool editsNewer = haveEdits
        && (!haveRun || QFileInfo(files.editedSettings()).lastModified() >= QFileInfo(files.rememberedSettings()).lastModified());
    if (editsNewer)
        settings = std::move(edited);
    if (edits)
        *edits = editsNewer;
    return editsNewer || haveRun;
}

} // namespace

bool Wizard::hasRememberedSettings(bool *edits) const
{
    lastrun::Settings settings;
    return loadNewest(m_files, settings, edits);
}

bool Wizard::useRememberedSettings()
{
    lastrun::Settings settings;
    bool edits = false;
    if (!loadNewest(m_files, settings, &edits)) {
        setRemembered(std::nullopt);
        return false;
    }
    setRemembered(std::move(settings));
    m_rememberedEdits = edits;
    return true;
}

lastrun::Settings Wizard::currentSettings() const
{
    lastrun::Settings settings;
    settingslog::readBytes(m_files.settingsLog(), settings.log, nullptr);
    const Run run = settings.run();
    if (run.lines >= 2) {
        settings.scrollPicture = m_picturePaths.value(run.scroll.file);
        settings.backgroundPicture = m_picturePaths.value(run.background.file);
    }
    // How the last save went carries over until a save says otherwise.
    if (m_remembered) {
        settings.route = m_remembered->route;
        settings.pageName = m_remembered->pageName;
    }
    return settings;
}

void Wizard::rememberRun() const
{
    const lastrun::Settings settings = currentSettings();
    if (settings.log.isEmpty())
        return;
    // The run is newer than any edits kept before it: they go, once it is kept.
    if (lastrun::save(m_files.rememberedSettings(), settings, nullptr))
        platform::removeEntry(m_files.editedSettings());
}

void Wizard::keepEdits() const
{
    lastrun::Settings settings = currentSettings();
    // Each page's line as its values stand now (a page gone back from keeps its values), else the
    // log's; from the mode on, the line of the page the mode leads to. A gap, or a value that CP932
    // cannot hold (the page was refusing it anyway), ends what is kept.
    const QList<QByteArray> logged = settings.log.split('\n');
    QByteArray log;
    bool detailed = false;
    for (int line = 1; line <= 4; ++line) {
        const PageId id = line < 4 ? PageId(line + 1) : detailed ? PageId::Form6 : PageId::Form5;
        QList<QByteArray> bytes;
        if (const Page *p = page(id); p && m_shown[int(id) - 1]) {
            for (const LogLine &typed : p->typedLines()) {
                QByteArray one;
                if (settingslog::formatLine(typed, one, nullptr))
                    bytes.append(one);
            }
        } else if (line < 4 && line - 1 < logged.size() - 1) {
            bytes.append(logged[line - 1] + '\n');
        } else if (line == 4) {
            for (qsizetype i = 3; i < logged.size() - 1; ++i)
                bytes.append(logged[i] + '\n');
        }
        if (bytes.isEmpty())
            break;
        if (line == 3)
            detailed = bytes.front().trimmed() == "2";
        for (const QByteArray &one : bytes)
            log += one;
    }
    settings.log = log;
    const Run run = settings.run();
    settings.scrollPicture = run.lines >= 1 ? m_picturePaths.value(run.scroll.file) : QString();
    settings.backgroundPicture = run.lines >= 2 ? m_picturePaths.value(run.background.file) : QString();
    // Nothing typed yet (the start page, a run just begun): the edits kept before stay.
    if (settings.log.isEmpty())
        return;
    // What the last generation kept already needs no second copy.
    lastrun::Settings generated;
    if (lastrun::load(m_files.rememberedSettings(), generated) && generated.log == settings.log
        && generated.scrollPicture == settings.scrollPicture && generated.backgroundPicture == settings.backgroundPicture) {
        platform::removeEntry(m_files.editedSettings());
        return;
    }
    lastrun::save(m_files.editedSettings(), settings, nullptr);
}

namespace {

// The wizard's small files beside the remembered settings: the folders it remembers, the export's choices.
QString folderFile(const HandoffFiles &files, const char *name)
{
    return QFileInfo(files.rememberedSettings()).absolutePath() + QLatin1Char('/') + QLatin1String(name);
}

QString saveFolderFile(const HandoffFiles &files)
{
    return folderFile(files, "velra-save-folder.txt");
}

QString exportChoicesFile(const HandoffFiles &files)
{
    return folderFile(files, "velra-export.txt");
}

QString settingsFolderFile(const HandoffFiles &files)
{
    return folderFile(files, "velra-settings-folder.txt");
}

// A folder kept in one of those files, when it is still a folder.
QString keptFolder(const QString &file)
{
    QByteArray bytes;
    const QString kept = ownfile::read(file, 65536, bytes) ? QString::fromUtf8(bytes).trimmed() : QString();
    return !kept.isEmpty() && QFileInfo(kept).isDir() ? kept : QString();
}

void keepFolder(const QString &file, const QString &path)
{
    const QString folder = QFileInfo(path).absolutePath();
    if (folder.contains(QLatin1Char('\n')))
        return;
    ownfile::write(file, folder.toUtf8() + '\n');
}

} // namespace

QString Wizard::settingsFolder() const
{
    const QString kept = keptFolder(settingsFolderFile(m_files));
    return kept.isEmpty() ? saveFolder() : kept;
}

void Wizard::rememberSettingsFolder(const QString &file) const
{
    keepFolder(settingsFolderFile(m_files), file);
}

QString Wizard::pictureFolder() const
{
    const QString picture = !m_lastPicture.isEmpty() ? m_lastPicture : m_remembered ? m_remembered->scrollPicture : QString();
    if (picture.isEmpty())
        return QString();
    const QString folder = QFileInfo(picture).absolutePath();
    return QFileInfo(folder).isDir() ? folder : QString();
}

QString Wizard::saveFolder() const
{
    const QString saved = keptFolder(saveFolderFile(m_files));
    if (!saved.isEmpty())
        return saved;
    const Run run = currentSettings().run();
    const QString picture = run.lines < 1 ? QString() : m_picturePaths.value(run.scroll.file);
    return picture.isEmpty() ? QString() : QFileInfo(picture).absolutePath();
}

void Wizard::rememberSave(lastrun::Settings::Route route, const QString &pageName)
{
    lastrun::Settings settings = currentSettings();
    settings.route = route;
    settings.pageName = pageName;
    if (settings.log.isEmpty())
        return;
    setRemembered(settings); // the next run of this copy starts from it too
    lastrun::save(m_files.rememberedSettings(), settings, nullptr);
}

animation::ExportChoices Wizard::exportChoices() const
{
    QByteArray bytes;
    return ownfile::read(exportChoicesFile(m_files), 4096, bytes) ? animation::ExportChoices::decoded(bytes)
                                                                              : animation::ExportChoices();
}

void Wizard::rememberExportChoices(const animation::ExportChoices &chosen) const
{
    ownfile::write(exportChoicesFile(m_files), chosen.encoded());
}

void Wizard::rememberSaveFolder(const QString &file) const
{
    keepFolder(saveFolderFile(m_files), file);
}

bool Wizard::restart(QString *error)
{
    lastrun::Settings settings = currentSettings();
    // The files are cleared first: should that fail, this run's pages are still there.
    if (!m_files.startRun(error))
        return false;
    openFrontDoor();
    QPointer<Page> from;
    for (const auto &page : m_pages) {
        if (page && page->isVisible())
            from = page;
    }
    for (auto &page : m_pages) {
        if (page) {
            page->hide();
            page->deleteLater(); // the generation page is inside its own button's click
        }
        page = nullptr;
    }
    m_shown = {};
    m_history.clear();
    m_picturePaths.clear();
    m_lastPicture.clear();
    m_pressedPage = nullptr;
    setRemembered(std::move(settings));
    m_shown[int(PageId::Form1) - 1] = true;
    m_shown[int(PageId::Form2) - 1] = true;
    Page *first = (m_pages[int(PageId::Form2) - 1] = create(PageId::Form2)).data();
    if (from)
        showInPlace(first, from);
    else
        first->show();
    m_placedAt.clear();
    m_placedAt.insert(first, first->pos());
    return true;
}

Page *Wizard::pageOf(QObject *object) const
{
    auto *widget = qobject_cast<QWidget *>(object);
    auto *page = widget ? qobject_cast<Page *>(widget->window()) : nullptr;
    for (const auto &p : m_pages) {
        if (page && p == page)
            return page;
    }
    return nullptr;
}

bool Wizard::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseButtonRelease: {
        Page *page = pageOf(watched);
        if (!page)
            break;
        // Each page's Next lies where the previous page's was: the second click of a double click
        // on one page must not click the page that has just replaced it.
        if (event->type() != QEvent::MouseButtonRelease) {
            m_pressedPage = page->justShown() ? nullptr : page;
            return !m_pressedPage;
        }
        return m_pressedPage != page; // a release whose press was not on this page
    }
    case QEvent::KeyRelease: {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)
            m_enterReleased = key->timestamp();
        break;
    }
    case QEvent::KeyPress: {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->modifiers() & ~Qt::KeypadModifier || !pageOf(watched))
            break;
        // Enter presses the focused button; in a box or a choice, the page's 次へ (保存 on the
        // generation page's names), as the manual promises: change a value, Enter to the end.
        auto *button = qobject_cast<QPushButton *>(watched);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        // A held Enter moves one page: what the key repeats is not another press. X repeats a key as
        // a release and a press of the same moment, which Qt takes for a repeat only when both are
        // already queued; the moment tells it whatever the timing.
        if (enter && (key->isAutoRepeat() || (key->timestamp() != 0 && key->timestamp() == m_enterReleased)))
            return true;
        if (button && enter) {
            if (button->isEnabled())
                button->click();
            return true;
        }
        if (enter && qobject_cast<QWidget *>(watched)) {
            QPushButton *next = pageOf(watched)->enterButton(static_cast<QWidget *>(watched));
            if (next && next->isEnabled() && next->isVisible()) {
                next->click();
                return true;
            }
        }
        // As on Windows, all four arrows move within a group of choices, round from the last to the
        // first, and select the choice they move to.
        auto *choice = qobject_cast<QRadioButton *>(watched);
        const bool back = key->key() == Qt::Key_Up || key->key() == Qt::Key_Left;
        const bool on = key->key() == Qt::Key_Down || key->key() == Qt::Key_Right;
        if (choice && choice->parentWidget() && (back || on)) {
            QList<QRadioButton *> group;
            for (QRadioButton *sibling : choice->parentWidget()->findChildren<QRadioButton *>(Qt::FindDirectChildrenOnly)) {
                if (sibling == choice || (sibling->isVisibleTo(choice->window()) && sibling->isEnabled()))
                    group.append(sibling);
            }
            const qsizetype n = group.size();
            QRadioButton *moved = group[(group.indexOf(choice) + (back ? n - 1 : 1)) % n];
            moved->setFocus(Qt::TabFocusReason);
            if (moved != choice && !moved->isChecked())
                moved->click();
            return true;
        }
        break;
    }
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

Page *Wizard::create(PageId id)
{
    return m_makePage(*this, id);
}

} // namespace velra
