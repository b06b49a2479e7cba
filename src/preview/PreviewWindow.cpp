#include "PreviewWindow.h"

#include "animation/Export.h"
#include "shell/Toolkit.h"
#include "render/FramePlayer.h"
#include "io/OutputFile.h"
#include "text/Shown.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QProgressBar>
#include <QHBoxLayout>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMutex>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QThread>
#include <QSlider>
#include <QSpinBox>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QVBoxLayout>

#include <atomic>

namespace velra::preview {

using render::FramePlayer;
using render::FrameRenderer;

// The frame slider, with a mark where each move of a chain begins.
class SegmentSlider final : public QSlider
{
public:
    using QSlider::QSlider;

    QList<qsizetype> marks;

protected:
    // A click on the groove goes to the frame under the mouse (a page step of 10 in 98,000 frames
    // would go nowhere), and goes on as a drag from there.
    void mousePressEvent(QMouseEvent *event) override
    {
        QStyleOptionSlider option;
        initStyleOption(&option);
        const QRect groove = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, this);
        const QRect handle = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
        const QPoint at = event->position().toPoint();
        if (event->button() == Qt::LeftButton && !handle.contains(at) && groove.width() > handle.width()) {
            const int span = groove.width() - handle.width();
            setValue(QStyle::sliderValueFromPosition(minimum(), maximum(), at.x() - groove.left() - handle.width() / 2, span,
                                                     option.upsideDown));
        }
        QSlider::mousePressEvent(event);
    }

    void paintEvent(QPaintEvent *event) override
    {
        QSlider::paintEvent(event);
        if (marks.isEmpty())
            return;
        QStyleOptionSlider option;
        initStyleOption(&option);
        const QRect groove = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, this);
        const QRect handle = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
        const int span = groove.width() - handle.width();
        QPainter painter(this);
        painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
        for (const qsizetype mark : marks) {
            const int x = groove.left() + handle.width() / 2
                + QStyle::sliderPositionFromValue(minimum(), maximum(), int(mark), span, option.upsideDown);
            painter.drawLine(x, groove.top() - 1, x, groove.top() + 3);
            painter.drawLine(x, groove.bottom() - 3, x, groove.bottom() + 1);
        }
    }
};

// Draws the current frame, the view scaled to fit while keeping its proportions.
class PreviewWindow::Canvas final : public QWidget
{
public:
    Canvas(const FrameRenderer &renderer, const qsizetype &frame, QWidget *parent)
        : QWidget(parent)
        , m_renderer(renderer)
        , m_frame(frame)
        , m_player(renderer)
    {
        setObjectName(QStringLiteral("Canvas"));
        setMinimumSize(160, 120);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    }

    QRectF target() const
    {
        const QRectF view = m_renderer.viewArea();
        const qreal scale = qMin(width() / view.width(), height() / view.height());
        const QSize size = (view.size() * scale).toSize();
        return QRectF(QPointF((width() - size.width()) / 2, (height() - size.height()) / 2), QSizeF(size));
    }

    // Draws ahead while nothing else happens, so that later jumps are quick.
    bool prepare(int milliseconds)
    {
        m_player.setCanvasSize(canvasSize());
        return m_player.prepare(milliseconds);
    }

    // Whether the frame asked for is not drawn yet (the window shows "描画中…" meanwhile).
    bool drawing() const { return m_drawing; }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), QColor(32, 32, 32));
        // Each frame drawn onto the one before, at the canvas's own pixels, then what lies over it.
        // A frame far from any drawn one is drawn in slices between the events: what was shown
        // stays, marked, until it is ready, and every key and button answers meanwhile.
        const QRectF where = target();
        m_player.setCanvasSize(canvasSize());
        // The frame shown stays while a far one is drawn: kept aside once, at the jump. Playing on
        // frame by frame draws straight from the player's canvas, never sharing it (a shared canvas
        // would be copied whole by the next frame drawn onto it).
        const qsizetype at = m_player.canvasFrame();
        if (!m_drawing && at >= 0 && m_frame != at && m_frame != at + 1 && m_player.canvas().size() == canvasSize())
            m_shown = m_player.canvas().copy();
        m_drawing = !m_player.approach(m_frame, kSliceMs);
        if (!m_drawing)
            m_shown = QImage();
        const QImage &frame = m_drawing && !m_shown.isNull() ? m_shown : m_player.canvas();
        painter.drawImage(QRectF(where.topLeft(), QSizeF(frame.size()) / devicePixelRatioF()), frame);
        m_renderer.renderOverlay(painter, where, m_renderer.viewArea());
        if (m_drawing) {
            const QString mark = QStringLiteral("描画中…");
            const QRect box = painter.fontMetrics().boundingRect(mark).adjusted(-8, -4, 8, 4);
            const QRect at(where.toRect().topLeft() + QPoint(8, 8), box.size());
            painter.fillRect(at, QColor(0, 0, 0, 170));
            painter.setPen(Qt::white);
            painter.drawText(at, Qt::AlignCenter, mark);
            QTimer::singleShot(0, this, qOverload<>(&QWidget::update));
        }
    }

private:
    static constexpr int kSliceMs = 30;

    QSize canvasSize() const { return (target().size() * devicePixelRatioF()).toSize(); }

    const FrameRenderer &m_renderer;
    const qsizetype &m_frame;
    FramePlayer m_player;
    QImage m_shown; // while a far frame is drawn: what the canvas last showed whole
    bool m_drawing = false;
};

// One export, shared by the window and the thread that makes it.
struct PreviewWindow::ExportJob
{
    ExportJob(const FrameRenderer &shown, const animation::AnimationOptions &chosen, const QString &target)
        : renderer(shown)
        , options(chosen)
        , path(target)
    {
    }

    // A renderer of its own: the window's draws on the main thread meanwhile.
    const FrameRenderer renderer;
    const animation::AnimationOptions options;
    const QString path;
    std::atomic<bool> cancel{false};
    std::atomic<int> permille{0};
    // What another program's hold on the file makes the export wait for, once it does; or, under a
    // size limit, which file it is trying.
    QMutex waitingLock;
    QString waitingFor;
    // Set by the thread before it ends.
    animation::Exported exported;

    void run()
    {
        animation::ExportWatch watch;
        watch.progress = [this](double done) { permille.store(int(done * 1000)); };
        watch.stopped = [this] { return cancel.load(); };
        watch.waiting = [this](const QString &what) {
            const QMutexLocker locked(&waitingLock);
            waitingFor = what;
        };
        watch.trying = [this, frames = renderer.frames().frameCount()](const QString &settings) {
            const QMutexLocker locked(&waitingLock);
            waitingFor = QStringLiteral("書き出し中…（%1 コマ、%2 で収まるかを試しています）").arg(QString::number(frames), settings);
        };
        exported = animation::exportAnimation(renderer, options, path, watch);
    }
};

namespace {

QPushButton *control(const QString &name, const QString &text, const QString &tip, QWidget *parent)
{
    auto *button = new QPushButton(text, parent);
    button->setObjectName(name);
    button->setToolTip(tip);
    return button;
}

// The keys listed in the window, whichever control has the focus.
bool isWindowKey(int key)
{
    return key == Qt::Key_Space || key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_Home
        || key == Qt::Key_End || key == Qt::Key_Escape || key == Qt::Key_PageUp || key == Qt::Key_PageDown;
}

// Ctrl+E: 書き出し…, whichever control has the focus.
bool isExportKey(const QKeyEvent &key)
{
    return key.key() == Qt::Key_E && (key.modifiers() & ~Qt::KeypadModifier) == Qt::ControlModifier;
}

} // namespace

PreviewWindow::PreviewWindow(std::unique_ptr<FrameRenderer> renderer, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_renderer(std::move(renderer))
{
    setObjectName(QStringLiteral("Preview"));
    setWindowTitle(QStringLiteral("Velloran プレビュー"));
    setAttribute(Qt::WA_DeleteOnClose);
    const qsizetype count = m_renderer->frames().frameCount();

    m_canvas = new Canvas(*m_renderer, m_frame, this);
    auto *problems = new QLabel(m_renderer->problems().join(QLatin1Char('\n')), this);
    problems->setObjectName(QStringLiteral("Problems"));
    problems->setTextFormat(Qt::PlainText);
    problems->setWordWrap(true);
    problems->setStyleSheet(QStringLiteral("color: rgb(200, 0, 0);"));
    problems->setVisible(!m_renderer->problems().isEmpty());

    QPushButton *first = control(QStringLiteral("First"), QStringLiteral("|◀"), QStringLiteral("最初のコマ（Home）"), this);
    QPushButton *back = control(QStringLiteral("Back"), QStringLiteral("◀"), QStringLiteral("1コマ戻る（←）"), this);
    m_play = control(QStringLiteral("Play"), QString(), QStringLiteral("再生・一時停止（Space）"), this);
    QPushButton *forward = control(QStringLiteral("Forward"), QStringLiteral("▶"), QStringLiteral("1コマ進む（→）"), this);
    QPushButton *last = control(QStringLiteral("Last"), QStringLiteral("▶|"), QStringLiteral("最後のコマ（End）"), this);
    m_slider = new SegmentSlider(Qt::Horizontal, this);
    m_slider->setObjectName(QStringLiteral("Slider"));
    m_slider->setRange(0, int(qMax<qsizetype>(0, count - 1)));
    m_slider->setPageStep(int(qMax<qsizetype>(1, count / 10)));

    m_number = new QLabel(this);
    m_number->setObjectName(QStringLiteral("FrameNumber"));
    m_number->setMinimumWidth(fontMetrics().horizontalAdvance(FrameRenderer::frameLabel(count, count)) + 8);
    m_number->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_speed = new QSpinBox(this);
    m_speed->setObjectName(QStringLiteral("Speed"));
    m_speed->setRange(1, 120);
    m_speed->setValue(30);
    m_speed->setSuffix(QStringLiteral(" コマ/秒"));

    m_loop = new QCheckBox(QStringLiteral("くり返す"), this);
    m_loop->setObjectName(QStringLiteral("Loop"));
    m_export = control(QStringLiteral("Export"), QStringLiteral("書き出し…"),
                       QStringLiteral("アニメーション（WebP・GIF）に書き出す（Ctrl+E）"), this);
    m_export->setVisible(false); // until the page says how to ask

    // While an export runs: how far it is, and a way to stop it.
    m_exportRow = new QWidget(this);
    m_exportRow->setObjectName(QStringLiteral("ExportRow"));
    auto *exportLayout = new QHBoxLayout(m_exportRow);
    exportLayout->setContentsMargins(0, 0, 0, 0);
    m_exportState = new QLabel(QStringLiteral("書き出し中…"), m_exportRow);
    m_exportState->setObjectName(QStringLiteral("ExportState"));
    m_exportState->setTextFormat(Qt::PlainText);
    exportLayout->addWidget(m_exportState);
    m_exportProgress = new QProgressBar(m_exportRow);
    m_exportProgress->setObjectName(QStringLiteral("ExportProgress"));
    m_exportProgress->setRange(0, 1000);
    m_exportProgress->setFormat(QStringLiteral("%p%"));
    exportLayout->addWidget(m_exportProgress, 1);
    QPushButton *stop = control(QStringLiteral("CancelExport"), QStringLiteral("中止"), QStringLiteral("書き出しをやめる"), m_exportRow);
    exportLayout->addWidget(stop);
    m_exportRow->setVisible(false);
    connect(stop, &QPushButton::clicked, this, &PreviewWindow::cancelExport);
    connect(m_export, &QPushButton::clicked, this, &PreviewWindow::exportAnimation);
    m_exportPoll.setInterval(100);
    connect(&m_exportPoll, &QTimer::timeout, this, [this] {
        if (!m_job)
            return;
        m_exportProgress->setValue(m_job->permille.load());
        const QMutexLocker locked(&m_job->waitingLock);
        if (!m_job->waitingFor.isEmpty())
            m_exportState->setText(m_job->waitingFor);
    });


    auto *controls = new QHBoxLayout;
    for (QWidget *w : std::initializer_list<QWidget *>{first, back, m_play, forward, last})
        controls->addWidget(w);
    controls->addWidget(m_slider, 1);
    controls->addWidget(m_number);
    auto *settings = new QHBoxLayout;
    settings->addWidget(new QLabel(QStringLiteral("速度"), this));
    settings->addWidget(m_speed);
    settings->addWidget(m_loop);
    settings->addWidget(m_export);
    settings->addStretch(1);
    // The keys on a line of their own, broken where the window is narrow (200 % on a small screen).
    auto *keys = new QLabel(QStringLiteral("Space 再生・停止　← → 1コマ　PgUp PgDn 1/10　Home End 最初・最後　Esc 閉じる"), this);
    keys->setObjectName(QStringLiteral("Keys"));
    keys->setWordWrap(true);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_canvas, 1);
    layout->addWidget(problems);
    layout->addLayout(controls);
    layout->addLayout(settings);
    layout->addWidget(m_exportRow);
    layout->addWidget(keys);

    connect(first, &QPushButton::clicked, this, [this] { showFrame(0); });
    connect(back, &QPushButton::clicked, this, [this] { showFrame(m_frame - 1); });
    connect(m_play, &QPushButton::clicked, this, &PreviewWindow::togglePlay);
    connect(forward, &QPushButton::clicked, this, [this] { showFrame(m_frame + 1); });
    connect(last, &QPushButton::clicked, this, [this, count] { showFrame(count - 1); });
    connect(m_slider, &QSlider::valueChanged, this, [this](int value) { showFrame(value); });
    connect(m_speed, &QSpinBox::valueChanged, this, [this](int fps) { m_timer.setInterval(1000 / fps); });
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(1000 / m_speed->value());
    connect(&m_timer, &QTimer::timeout, this, &PreviewWindow::tick);
    // Checkpoints drawn in the pauses, a few milliseconds at a time.
    m_prepare.setInterval(0);
    connect(&m_prepare, &QTimer::timeout, this, [this] {
        if (!m_canvas->prepare(8))
            m_prepare.stop();
    });
    m_prepare.start();

    // Every control is reached with Tab; the window's keys work from each of them.
    setFocusPolicy(Qt::StrongFocus);
    for (QWidget *child : findChildren<QWidget *>())
        child->installEventFilter(this);
    m_play->setFocus();
    resize(760, 620);
    showFrame(0);
    updatePlayButton();
}

PreviewWindow::~PreviewWindow()
{
    // Closed while exporting: the export stops, leaving what was on disk, before its renderer goes.
    if (m_exportThread) {
        m_job->cancel.store(true);
        m_exportThread->wait();
        delete m_exportThread;
    }
}

void PreviewWindow::setExporting(Toolkit &toolkit, std::function<QString()> folder, const ExportChoices &last,
                                 std::function<void(const ExportChoices &)> chosen)
{
    m_toolkit = &toolkit;
    m_exportFolder = std::move(folder);
    m_exportChoices = last;
    m_exportChosen = std::move(chosen);
    m_export->setVisible(true);
    findChild<QLabel *>(QStringLiteral("Keys"))
        ->setText(QStringLiteral("Space 再生・停止　← → 1コマ　PgUp PgDn 1/10　Home End 最初・最後　Ctrl+E 書き出し　Esc 閉じる"));
}

void PreviewWindow::exportAnimation()
{
    if (m_exportThread || !m_toolkit)
        return;
    const QString title = QStringLiteral("アニメーションの書き出し");
    const auto refuse = [this](const QString &text) {
        m_toolkit->messageBox(this, text, QStringLiteral("書き出せません"), OkWithExclamation);
    };
    const QStringList filters{QStringLiteral("アニメーション WebP (*.webp)|*.webp"), QStringLiteral("アニメーション GIF (*.gif)|*.gif")};
    int chosen = 0;
    QString path = m_toolkit->saveFileName(this, filters, QStringLiteral("アニメーションの書き出し先"), m_exportFolder(), &chosen);
    if (path.isEmpty())
        return; // cancelled: nothing is touched
    path = output::withExtension(path, chosen == 1 ? QStringLiteral("gif") : QStringLiteral("webp"));
    animation::AnimationOptions options;
    // A name with the other kind's extension: which the author meant is asked, not guessed.
    if (animation::animationFormatOf(path, options.format) && int(options.format == animation::AnimationFormat::Gif) != chosen) {
        const QString named = QFileInfo(path).fileName();
        const QString other = QFileInfo(path).completeBaseName() + (chosen == 1 ? QStringLiteral(".gif") : QStringLiteral(".webp"));
        const QString namedKind = options.format == animation::AnimationFormat::Gif ? QStringLiteral("GIF") : QStringLiteral("WebP");
        const QString chosenKind = chosen == 1 ? QStringLiteral("GIF") : QStringLiteral("WebP");
        const int pick = m_toolkit->choose(this,
                                           QStringLiteral("「%1」の拡張子は、選んだ種類（%2）と違います。どちらで書き出しますか?")
                                               .arg(shownValue(named), chosenKind),
                                           title,
                                           {QStringLiteral("%1（%2）").arg(namedKind, shownValue(named)),
                                            QStringLiteral("%1（%2）").arg(chosenKind, shownValue(other))});
        if (pick < 0)
            return;
        if (pick == 1)
            path = QFileInfo(path).dir().filePath(other);
    }
    if (!animation::animationFormatOf(path, options.format))
        return refuse(QStringLiteral("「%1」には書き出せません。ファイル名を .webp か .gif で終わらせてください（拡張子で形式が決まります）。")
                          .arg(shownValue(QFileInfo(path).fileName())));
    options.fps = m_speed->value();
    if (const QString refused = animation::fpsRefusal(options.format, options.fps); !refused.isEmpty())
        return refuse(refused + QStringLiteral("\r\n速度を下げてから書き出してください。"));
    options.loop = m_loop->isChecked();
    ExportDialog settings(this, options.format, m_renderer->windowSize(), options.fps, m_exportChoices);
    if (!m_toolkit->runDialog(settings))
        return;
    settings.apply(options);
    m_exportChoices = settings.choices();
    if (m_exportChosen)
        m_exportChosen(m_exportChoices);
    if (QFileInfo::exists(path)
        && !m_toolkit->question(this, QStringLiteral("「%1」はすでにあります。置き換えますか?").arg(shownValue(QFileInfo(path).fileName())),
                                title))
        return;

    m_job = std::make_shared<ExportJob>(*m_renderer, options, path);
    const std::shared_ptr<ExportJob> job = m_job;
    m_exportThread = QThread::create([job] { job->run(); });
    connect(m_exportThread, &QThread::finished, this, &PreviewWindow::exportEnded);
    m_exportProgress->setValue(0);
    m_exportState->setText(QStringLiteral("書き出し中…（%1 コマ）").arg(QString::number(m_renderer->frames().frameCount())));
    m_exportRow->setVisible(true);
    m_export->setEnabled(false);
    m_exportPoll.start();
    // Playing stays smooth: the export takes what the window leaves.
    m_exportThread->start(QThread::LowPriority);
}

void PreviewWindow::cancelExport()
{
    if (m_job)
        m_job->cancel.store(true);
}

void PreviewWindow::exportEnded()
{
    m_exportThread->wait();
    delete m_exportThread;
    m_exportThread = nullptr;
    const std::shared_ptr<ExportJob> job = std::move(m_job);
    m_exportPoll.stop();
    m_exportRow->setVisible(false);
    m_export->setEnabled(true);
    if (job->exported.written)
        m_toolkit->messageBox(this, animation::writtenMessage(job->path, job->exported), QStringLiteral("アニメーションの書き出し"), OkOnly);
    else if (!job->exported.error.isEmpty())
        m_toolkit->messageBox(this, job->exported.error, QStringLiteral("書き出せません"), OkWithExclamation);
}

void PreviewWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_placed)
        return;
    m_placed = true;
    setAttribute(Qt::WA_KeyboardFocusChange); // the focused control shows it from the start
    // Within the screen's free area, whatever the scale, and centred over the page it came from.
    QWidget *page = parentWidget() ? parentWidget()->window() : nullptr;
    const QScreen *where = page ? page->screen() : screen();
    const QRect area = where ? where->availableGeometry() : QRect(0, 0, 760, 620);
    const QMargins frame = frameGeometry().size() == size() ? QMargins(8, 32, 8, 8)
                                                             : QMargins(geometry().left() - frameGeometry().left(),
                                                                        geometry().top() - frameGeometry().top(),
                                                                        frameGeometry().right() - geometry().right(),
                                                                        frameGeometry().bottom() - geometry().bottom());
    const QSize room = area.size().shrunkBy(frame);
    resize(size().boundedTo(room).expandedTo(minimumSizeHint().boundedTo(room)));
    QRect placed(QPoint(), size());
    placed.moveCenter(page ? page->frameGeometry().center() : area.center());
    // A screen smaller than the window's least size: its top left corner stays on the screen.
    const auto within = [](int low, int value, int high) { return high < low ? low : qBound(low, value, high); };
    placed.moveLeft(within(area.left() + frame.left(), placed.left(), area.right() - frame.right() - placed.width() + 1));
    placed.moveTop(within(area.top() + frame.top(), placed.top(), area.bottom() - frame.bottom() - placed.height() + 1));
    // The client area is placed, not the frame: before the window manager has framed the window its
    // frame is unknown, and a frame position taken for the client's would put the title bar above
    // the screen.
    setGeometry(placed);
}

void PreviewWindow::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    m_prepare.start(); // a canvas of another size: its checkpoints are drawn again
}

bool PreviewWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    const auto *key = static_cast<QKeyEvent *>(event);
    if (isExportKey(*key)) {
        keyPressEvent(const_cast<QKeyEvent *>(key));
        return true;
    }
    if (key->modifiers() & ~Qt::KeypadModifier)
        return false;
    // Enter presses the focused button (and ticks the focused box), as on the pages.
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
        if (auto *button = qobject_cast<QAbstractButton *>(watched)) {
            button->click();
            return true;
        }
        return false;
    }
    if (!isWindowKey(key->key()))
        return false; // the speed box's digits and ↑ ↓, Tab
    keyPressEvent(const_cast<QKeyEvent *>(key));
    return true;
}

void PreviewWindow::showFrame(qsizetype k)
{
    const qsizetype count = m_renderer->frames().frameCount();
    m_frame = qBound(qsizetype(0), k, qMax(qsizetype(0), count - 1));
    const QSignalBlocker quiet(m_slider);
    m_slider->setValue(int(m_frame));
    m_number->setText(FrameRenderer::frameLabel(count ? m_frame + 1 : 0, count));
    m_canvas->update();
}

void PreviewWindow::togglePlay()
{
    if (m_timer.isActive()) {
        m_timer.stop();
    } else {
        // Play from the start again once the end has been reached.
        if (m_frame + 1 >= m_renderer->frames().frameCount())
            showFrame(0);
        m_timer.start();
    }
    updatePlayButton();
}

void PreviewWindow::tick()
{
    const qsizetype count = m_renderer->frames().frameCount();
    if (m_frame + 1 < count) {
        showFrame(m_frame + 1);
    } else if (m_loop->isChecked()) {
        showFrame(0);
    } else {
        m_timer.stop();
        updatePlayButton();
    }
}

void PreviewWindow::updatePlayButton()
{
    m_play->setText(m_timer.isActive() ? QStringLiteral("一時停止") : QStringLiteral("再生"));
}

void PreviewWindow::keyPressEvent(QKeyEvent *event)
{
    if (isExportKey(*event)) {
        if (m_export->isVisible() && m_export->isEnabled())
            exportAnimation();
        event->accept();
        return;
    }
    switch (event->key()) {
    case Qt::Key_Space:
        togglePlay();
        break;
    case Qt::Key_Left:
        showFrame(m_frame - 1);
        break;
    case Qt::Key_Right:
        showFrame(m_frame + 1);
        break;
    case Qt::Key_Home:
        showFrame(0);
        break;
    case Qt::Key_PageUp:
    case Qt::Key_PageDown: {
        // A tenth of the frames.
        const qsizetype tenth = qMax<qsizetype>(1, m_renderer->frames().frameCount() / 10);
        showFrame(m_frame + (event->key() == Qt::Key_PageUp ? -tenth : tenth));
        break;
    }
    case Qt::Key_End:
        showFrame(m_renderer->frames().frameCount() - 1);
        break;
    case Qt::Key_Escape:
        close();
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

void PreviewWindow::closeEvent(QCloseEvent *event)
{
    // An export is the author's work of minutes: closing stops it only when they say so.
    if (m_exportThread && m_toolkit
        && !m_toolkit->question(this, QStringLiteral("アニメーションを書き出しています。書き出しを中止して閉じますか?"),
                                QStringLiteral("アニメーションの書き出し"), false)) {
        event->ignore();
        return;
    }
    cancelExport();
    QWidget::closeEvent(event);
}

void PreviewWindow::setSegmentStarts(const QList<qsizetype> &frames)
{
    static_cast<SegmentSlider *>(m_slider)->marks = frames;
    m_slider->update();
}

QList<qsizetype> PreviewWindow::segmentStarts() const
{
    return static_cast<const SegmentSlider *>(m_slider)->marks;
}

bool PreviewWindow::isDrawing() const
{
    return m_canvas->drawing();
}

} // namespace velra::preview
