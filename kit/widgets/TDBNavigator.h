#pragma once

#include "kit/KvrKitExport.h"

#include <QPointer>
#include <QWidget>

class QToolButton;
class TDataSource;

// Record navigator: first, prior, next and last row of a data source's
// dataset. Buttons follow the dataset's position.
class KVRKIT_EXPORT TDBNavigator final : public QWidget
{
    Q_OBJECT
public:
    explicit TDBNavigator(QWidget *parent = nullptr);

    TDataSource *DataSource() const { return m_dataSource; }
    void SetDataSource(TDataSource *source);

    QToolButton *FirstButton() const { return m_first; }
    QToolButton *PriorButton() const { return m_prior; }
    QToolButton *NextButton() const { return m_next; }
    QToolButton *LastButton() const { return m_last; }

private:
    void bindDataSet();
    void updateButtons();

    QPointer<TDataSource> m_dataSource;
    QMetaObject::Connection m_stateConnection;
    QMetaObject::Connection m_rowConnection;
    QToolButton *m_first;
    QToolButton *m_prior;
    QToolButton *m_next;
    QToolButton *m_last;
};
