#include "kit/widgets/FitPopupToItems.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>

#include <algorithm>

namespace {

void fitNow(QComboBox *combo)
{
    QAbstractItemView *view = combo->view();
    int widest = 0;
    for (int i = 0; i < combo->count(); ++i)
        widest = std::max(widest, view->fontMetrics().horizontalAdvance(combo->itemText(i)));
    const int margins = 4 * view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 16 +
                        view->verticalScrollBar()->sizeHint().width();
    const QScreen *screen = combo->screen();
    const int limit = screen ? screen->availableGeometry().width() : widest + margins;
    view->setMinimumWidth(std::min(widest + margins, limit));
}

} // namespace

void FitPopupToItems(QComboBox *combo)
{
    combo->view()->setTextElideMode(Qt::ElideRight);
    QAbstractItemModel *items = combo->model();
    const auto refit = [combo] { fitNow(combo); };
    QObject::connect(items, &QAbstractItemModel::rowsInserted, combo, refit);
    QObject::connect(items, &QAbstractItemModel::rowsRemoved, combo, refit);
    QObject::connect(items, &QAbstractItemModel::modelReset, combo, refit);
    QObject::connect(items, &QAbstractItemModel::dataChanged, combo, refit);
    fitNow(combo);
}
