#pragma once

#include "kit/KvrKitExport.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QMouseEvent;
class QTableView;
class TClientDataSet;
class TDataSource;
class TPesquisaModel;

// Search window over a dataset: lists its rows for the user to pick one (or,
// in pick-many mode, to mark several). Typing in the search box moves to the
// first row whose text in the current column starts with what was typed
// (else the first row containing it). Enter or a double click picks, Esc
// cancels. In pick-many mode Space, a click on the box or Ctrl+click mark a
// row, Shift+click the rows up to the last marked one; the window counts them. The dataset is not
// changed while the window is open.
class KVRKIT_EXPORT TfrmPesquisa final : public QDialog
{
    Q_OBJECT
public:
    TfrmPesquisa(TClientDataSet *dataSet, const QString &caption, bool pickMany, bool allFields,
                 QWidget *parent = nullptr);

    QLineEdit *SearchBox() const { return m_search; }
    QTableView *Grid() const { return m_grid; }
    TPesquisaModel *Model() const { return m_model; }

    // The picked row (pick one) or -1; the marked rows in marking order (pick
    // many; the current row when none was marked).
    int PickedRow() const { return m_picked; }
    QList<int> PickedRows() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void searchFor(const QString &text);
    void pick();
    void setCurrentRow(int row);
    int currentRow() const;
    int fitColumns();
    void showMarkedCount();
    bool markByClick(QMouseEvent *click);

    TPesquisaModel *m_model;
    QLineEdit *m_search;
    QTableView *m_grid;
    QLabel *m_markedCount = nullptr;
    bool m_pickMany;
    int m_picked = -1;
    int m_lastMarkClick = -1;
};

// Shows the rows of `source`'s dataset to pick one. `title` is "caption" or
// "caption|message for an empty list". Returns true when a row was picked,
// with the dataset on that row. `allFields` lists hidden fields too;
// `typeToSearch` offers the search box.
KVRKIT_EXPORT bool Pesquisar(TDataSource *source, const QString &title, bool allFields = false,
                             bool typeToSearch = true);

// Shows the rows of `source`'s dataset to mark several. On confirmation
// `list` receives the values of `keyField` of the marked rows joined by ","
// in the order they were marked, and the result is true; a cancelled pick
// leaves `list` as it was.
KVRKIT_EXPORT bool PesquisaLista(TDataSource *source, const QString &keyField, const QString &title,
                                 bool allFields, QString &list);
