#pragma once

#include "PicturePage.h"

namespace velra {

// The scroll-image page: the picture to scroll, its file name and size; starts the settings log.
class Form2 final : public PicturePage
{
    Q_OBJECT

public:
    explicit Form2(Wizard &wizard);

private:
    void next();

    QLineEdit *m_name;
    QLineEdit *m_width;
    QLineEdit *m_height;
};

} // namespace velra
