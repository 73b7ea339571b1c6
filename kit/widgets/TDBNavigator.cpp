#include "kit/widgets/TDBNavigator.h"

#include "kit/core/Consiste.h"
#include "kit/data/TDataSource.h"

#include <QHBoxLayout>
#include <QStyle>
#include <QToolButton>

namespace {

QToolButton *navButton(QWidget *parent, const QString &name, QStyle::StandardPixmap icon,
                       const QString &hint)
{
    auto *button = new QToolButton(parent);
    button->setObjectName(name);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setIcon(parent->style()->standardIcon(icon));
    button->setToolTip(hint);
    return button;
}

} // namespace

TDBNavigator::TDBNavigator(QWidget *parent) : QWidget(parent)
{
    m_first = navButton(this, QStringLiteral("nbFirst"), QStyle::SP_MediaSkipBackward,
                        QStringLiteral("Primeiro registro"));
    m_prior = navButton(this, QStringLiteral("nbPrior"), QStyle::SP_MediaSeekBackward,
                        QStringLiteral("Registro anterior"));
    m_next = navButton(this, QStringLiteral("nbNext"), QStyle::SP_MediaSeekForward,
                       QStringLiteral("Próximo registro"));
    m_last = navButton(this, QStringLiteral("nbLast"), QStyle::SP_MediaSkipForward,
                       QStringLiteral("Último registro"));
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (QToolButton *button : {m_first, m_prior, m_next, m_last})
        layout->addWidget(button);

    // Moving may post a pending edit, whose checks can refuse it.
    auto move = [this](void (TClientDataSet::*step)()) {
        return [this, step]() {
            kvrGuard([this, step]() {
                if (m_dataSource && m_dataSource->DataSet())
                    (m_dataSource->DataSet()->*step)();
            });
            updateButtons();
        };
    };
    connect(m_first, &QToolButton::clicked, this, move(&TClientDataSet::First));
    connect(m_prior, &QToolButton::clicked, this, move(&TClientDataSet::Prior));
    connect(m_next, &QToolButton::clicked, this, move(&TClientDataSet::Next));
    connect(m_last, &QToolButton::clicked, this, move(&TClientDataSet::Last));
    updateButtons();
}

void TDBNavigator::SetDataSource(TDataSource *source)
{
    if (m_dataSource)
        disconnect(m_dataSource, nullptr, this, nullptr);
    m_dataSource = source;
    if (source)
        connect(source, &TDataSource::DataSetChanged, this, [this]() { bindDataSet(); });
    bindDataSet();
}

void TDBNavigator::bindDataSet()
{
    disconnect(m_stateConnection);
    disconnect(m_rowConnection);
    TClientDataSet *dataSet = m_dataSource ? m_dataSource->DataSet() : nullptr;
    if (dataSet) {
        m_stateConnection =
            connect(dataSet, &TClientDataSet::stateChanged, this, [this]() { updateButtons(); });
        m_rowConnection =
            connect(dataSet, &TClientDataSet::currentChanged, this, [this]() { updateButtons(); });
    }
    updateButtons();
}

void TDBNavigator::updateButtons()
{
    TClientDataSet *dataSet = m_dataSource ? m_dataSource->DataSet() : nullptr;
    const bool rows = dataSet && dataSet->Active() && !dataSet->IsEmpty();
    const bool atStart = !rows || dataSet->RecNo() <= 0;
    const bool atEnd = !rows || dataSet->RecNo() >= dataSet->RecordCount() - 1;
    m_first->setEnabled(!atStart);
    m_prior->setEnabled(!atStart);
    m_next->setEnabled(!atEnd);
    m_last->setEnabled(!atEnd);
}
