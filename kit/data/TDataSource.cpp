#include "kit/data/TDataSource.h"

TDataSource::TDataSource(QObject *parent) : QObject(parent) {}

void TDataSource::SetDataSet(TClientDataSet *dataSet)
{
    if (m_dataSet == dataSet)
        return;
    QObject::disconnect(m_connection);
    QObject::disconnect(m_destroyed);
    m_dataSet = dataSet;
    if (m_dataSet) {
        m_connection = connect(m_dataSet, &TClientDataSet::stateChanged, this,
                               [this](TClientDataSet::State) { Q_EMIT StateChange(); });
        m_destroyed = connect(m_dataSet, &QObject::destroyed, this, [this] {
            m_dataSet = nullptr;
            Q_EMIT DataSetChanged();
            Q_EMIT StateChange();
        });
    }
    Q_EMIT DataSetChanged();
    Q_EMIT StateChange();
}

TClientDataSet::State TDataSource::State() const
{
    return m_dataSet ? m_dataSet->state() : TClientDataSet::State::Inactive;
}
