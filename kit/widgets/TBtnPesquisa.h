#pragma once

#include "kit/KvrKitExport.h"

#include "kit/widgets/TButtonFlat.h"

#include <QPointer>

class TDataSource;

// Lookup button. With an OnClick handler it only runs that. Otherwise a click
// raises OnBeforePesq (AllowPesq starts true; the handler usually loads the
// rows), shows the rows of DataSource for the user to pick one, and on a pick
// raises OnAfterPesq with the dataset on the picked row. Title is
// "caption|message for an empty list".
class KVRKIT_EXPORT TBtnPesquisa final : public TButtonFlat
{
    Q_OBJECT
public:
    using BeforePesqEvent = std::function<void(QObject *sender, bool &AllowPesq)>;
    using AfterPesqEvent = std::function<void(QObject *sender)>;

    explicit TBtnPesquisa(QWidget *parent = nullptr);

    QWidget *Associate() const { return m_associate; }
    void SetAssociate(QWidget *control) { m_associate = control; }
    TDataSource *DataSource() const { return m_dataSource; }
    void SetDataSource(TDataSource *source) { m_dataSource = source; }
    QString Title() const { return m_title; }
    void SetTitle(const QString &title) { m_title = title; }

    BeforePesqEvent OnBeforePesq;
    AfterPesqEvent OnAfterPesq;

protected:
    void DoClick() override;

private:
    void search();

    QPointer<QWidget> m_associate;
    QPointer<TDataSource> m_dataSource;
    QString m_title;
};
