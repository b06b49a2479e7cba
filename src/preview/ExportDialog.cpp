#include "ExportDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace velra::preview {

namespace {

// The limits offered by name: where authors post (in the units those places count).
struct NamedLimit
{
    const char *text;
    qint64 bytes;
};
constexpr NamedLimit kLimits[] = {{"なし", 0}, {"10 MB（Discord）", 10'000'000}, {"15 MB（X の GIF）", 15'000'000}};

QString framesASecond(int fps, int every)
{
    return fps % every == 0 ? QString::number(fps / every) : QString::number(double(fps) / every, 'f', 1);
}

} // namespace

ExportDialog::ExportDialog(QWidget *parent, animation::AnimationFormat format, QSize window, int fps, const ExportChoices &last)
    : QDialog(parent)
    , m_format(format)
{
    setWindowTitle(QStringLiteral("書き出しの設定"));
    auto *form = new QFormLayout;
    m_scale = new QComboBox(this);
    m_scale->setObjectName(QStringLiteral("Scale"));
    for (int scale = 1; scale <= animation::kMostScale; ++scale) {
        const QSize size = animation::exportedSize(window, scale);
        m_scale->addItem(QStringLiteral("%1（%2 × %3）").arg(animation::scaleName(scale), QString::number(size.width()), QString::number(size.height())));
    }
    m_scale->setCurrentIndex(qBound(0, last.scale - 1, animation::kMostScale - 1));
    form->addRow(QStringLiteral("大きさ"), m_scale);

    m_every = new QComboBox(this);
    m_every->setObjectName(QStringLiteral("Every"));
    for (int every = 1; every <= animation::kMostEvery; ++every)
        m_every->addItem(every == 1 ? QStringLiteral("すべてのコマ（%1 コマ/秒）").arg(fps)
                                    : QStringLiteral("%1 コマに 1 コマ（%2 コマ/秒）").arg(QString::number(every), framesASecond(fps, every)));
    m_every->setCurrentIndex(qBound(0, last.every - 1, animation::kMostEvery - 1));
    form->addRow(QStringLiteral("コマ"), m_every);

    // WebP only: lossless, or light at a quality.
    auto *kind = new QWidget(this);
    auto *kindRow = new QHBoxLayout(kind);
    kindRow->setContentsMargins(0, 0, 0, 0);
    m_lossless = new QRadioButton(QStringLiteral("劣化なし"), kind);
    m_lossless->setObjectName(QStringLiteral("Lossless"));
    m_light = new QRadioButton(QStringLiteral("軽量　品質"), kind);
    m_light->setObjectName(QStringLiteral("Light"));
    m_quality = new QSpinBox(kind);
    m_quality->setObjectName(QStringLiteral("Quality"));
    m_quality->setRange(1, 100);
    m_quality->setValue(qBound(1, last.quality, 100));
    (last.light ? m_light : m_lossless)->setChecked(true);
    kindRow->addWidget(m_lossless);
    kindRow->addWidget(m_light);
    kindRow->addWidget(m_quality);
    kindRow->addStretch();
    form->addRow(QStringLiteral("画質"), kind);
    if (format != animation::AnimationFormat::WebP) {
        form->labelForField(kind)->hide();
        kind->hide();
    }

    auto *limitRow = new QWidget(this);
    auto *limitLayout = new QHBoxLayout(limitRow);
    limitLayout->setContentsMargins(0, 0, 0, 0);
    m_limit = new QComboBox(limitRow);
    m_limit->setObjectName(QStringLiteral("Limit"));
    for (const NamedLimit &limit : kLimits)
        m_limit->addItem(QString::fromUtf8(limit.text));
    m_limit->addItem(QStringLiteral("指定する"));
    m_typed = new QLineEdit(limitRow);
    m_typed->setObjectName(QStringLiteral("LimitTyped"));
    m_typed->setPlaceholderText(QStringLiteral("例: 8M（8,000,000 バイト）"));
    limitLayout->addWidget(m_limit);
    limitLayout->addWidget(m_typed, 1);
    int named = -1;
    for (int i = 0; i < int(std::size(kLimits)); ++i)
        if (kLimits[i].bytes == last.maxBytes)
            named = i;
    if (named >= 0) {
        m_limit->setCurrentIndex(named);
    } else {
        m_limit->setCurrentIndex(m_limit->count() - 1);
        m_typed->setText(QString::number(last.maxBytes));
    }
    form->addRow(QStringLiteral("上限"), limitRow);

    auto *buttons = new QDialogButtonBox(this);
    m_ok = buttons->addButton(QStringLiteral("書き出す"), QDialogButtonBox::AcceptRole);
    m_ok->setObjectName(QStringLiteral("Export"));
    m_ok->setDefault(true);
    buttons->addButton(QStringLiteral("キャンセル"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    auto *said = new QLabel(QStringLiteral("上限を選ぶと、収まるいちばん良いファイルを選びます（品質、次に大きさを下げます）。"), this);
    said->setWordWrap(true);
    layout->addLayout(form);
    layout->addWidget(said);
    layout->addWidget(buttons);

    connect(m_light, &QRadioButton::toggled, this, [this] { update(); });
    connect(m_limit, &QComboBox::currentIndexChanged, this, [this] { update(); });
    connect(m_typed, &QLineEdit::textChanged, this, [this] { update(); });
    update();
}

void ExportDialog::update()
{
    m_quality->setEnabled(m_light->isChecked());
    const bool typed = m_limit->currentIndex() == m_limit->count() - 1;
    m_typed->setEnabled(typed);
    // A typed limit must be one: the export cannot start on a size it cannot read.
    m_ok->setEnabled(!typed || animation::sizeOf(m_typed->text()) > 0);
}

ExportChoices ExportDialog::choices() const
{
    ExportChoices chosen;
    chosen.scale = m_scale->currentIndex() + 1;
    chosen.every = m_every->currentIndex() + 1;
    chosen.light = m_light->isChecked();
    chosen.quality = m_quality->value();
    const int limit = m_limit->currentIndex();
    chosen.maxBytes = limit < int(std::size(kLimits)) ? kLimits[limit].bytes : animation::sizeOf(m_typed->text());
    return chosen;
}

void ExportDialog::apply(animation::AnimationOptions &options) const
{
    const ExportChoices chosen = choices();
    options.scale = chosen.scale;
    options.every = chosen.every;
    options.quality = m_format == animation::AnimationFormat::WebP && chosen.light ? chosen.quality : 0;
    options.maxBytes = chosen.maxBytes;
}

} // namespace velra::preview
