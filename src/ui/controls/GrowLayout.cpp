#include "ui/controls/GrowLayout.h"

#include <algorithm>

namespace sorvanel::ui {

GrowLayout layoutGrowingDialog(
    const QSize& templateSize, const QSize& size, const QRect& main, std::span<const QRect> buttons)
{
    GrowLayout layout;
    layout.minimumSize = templateSize;
    const int grownX = std::max(size.width() - templateSize.width(), 0);
    const int grownY = std::max(size.height() - templateSize.height(), 0);
    layout.main = QRect(main.topLeft(), main.size() + QSize(grownX, grownY));
    layout.buttons.reserve(buttons.size());
    for (const QRect& button : buttons)
        layout.buttons.push_back(button.translated(grownX / 2, grownY));
    return layout;
}

int growingColumnWidth(int templateWidth, int templateListWidth, int listWidth)
{
    return templateWidth + std::max(listWidth - templateListWidth, 0);
}

} // namespace sorvanel::ui
