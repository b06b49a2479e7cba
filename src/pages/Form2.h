#pragma once

#include "PicturePage.h"

class QPushButton;

namespace velra {

// The scroll-image page: the picture to scroll, its file name and size; starts the settings log.
class Form2 final : public PicturePage
{
    Q_OBJECT

public:
    explicit Form2(Wizard &wizard);

protected:
    void firstShown() override;
    int logLine() const override { return 1; }
    QList<LogLine> typedLines() const override;
    QString dialogTitle() const override { return QStringLiteral("スクロールする画像を選択"); }

private:
    void next();

    QPushButton *m_next;
    QLineEdit *m_name;
    QLineEdit *m_width;
    QLineEdit *m_height;
};

} // namespace velra
