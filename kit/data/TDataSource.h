#pragma once

#include "kit/KvrKitExport.h"

#include <QObject>

#include "kit/data/TClientDataSet.h"

// Binds controls to a dataset and relays its state changes.
class KVRKIT_EXPORT TDataSource : public QObject
{
    Q_OBJECT
public:
    explicit TDataSource(QObject *parent = nullptr);

    TClientDataSet *DataSet() const { return m_dataSet; }
    void SetDataSet(TClientDataSet *dataSet);
    TClientDataSet::State State() const;

Q_SIGNALS:
    // Emitted on every state change of the dataset (and when it is rebound).
    void StateChange();
    void DataSetChanged();

private:
    TClientDataSet *m_dataSet = nullptr;
    QMetaObject::Connection m_connection;
    QMetaObject::Connection m_destroyed;
};
