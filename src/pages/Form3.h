#pragma once

#include "PicturePage.h"

class QPushButton;

namespace velra {

// The background and window page: the background picture and the host window's size, which must
// be the same; appends line 2 of the settings log.
class Form3 final : public PicturePage
{
    Q_OBJECT

public:
    explicit Form3(Wizard &wizard);

protected:
    void firstShown() override;
    int logLine() const override { return 2; }
    QList<LogLine> typedLines() const override;
    QString dialogTitle() const override { return QStringLiteral("背景画像を選択"); }

private:
    void next();

    QPushButton *m_next;
    QLineEdit *m_name;
    QLineEdit *m_width;
    QLineEdit *m_height;
    QLineEdit *m_windowWidth;
    QLineEdit *m_windowHeight;
};

} // namespace velra
