#include "kit/search/TfrmPesquisa.h"

#include "kit/core/Consiste.h"
#include "kit/core/DialogParent.h"
#include "kit/data/TDataSource.h"
#include "kit/search/TPesquisaModel.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTableView>
#include <QVBoxLayout>

namespace {

struct Title
{
    QString caption;
    QString emptyMessage;
};

Title splitTitle(const QString &title)
{
    const qsizetype bar = title.indexOf(QLatin1Char('|'));
    Title parts{bar < 0 ? title : title.left(bar), bar < 0 ? QString() : title.mid(bar + 1)};
    if (parts.caption.isEmpty())
        parts.caption = QStringLiteral("Pesquisa");
    if (parts.emptyMessage.isEmpty())
        parts.emptyMessage = QStringLiteral("Não há registros para pesquisar.");
    return parts;
}

TClientDataSet *dataSetOf(TDataSource *source)
{
    if (!source || !source->DataSet())
        throw EKvrError(QStringLiteral("Pesquisa sem conjunto de dados associado."));
    return source->DataSet();
}

// Shows the empty-list message; true when there is nothing to list.
bool reportEmpty(TClientDataSet *dataSet, const Title &title)
{
    if (dataSet->Active() && !dataSet->IsEmpty())
        return false;
    QMessageBox box(QMessageBox::Information, title.caption, title.emptyMessage, QMessageBox::Ok,
                    DialogParent());
    box.exec();
    return true;
}

} // namespace

TfrmPesquisa::TfrmPesquisa(TClientDataSet *dataSet, const QString &caption, bool pickMany,
                           bool allFields, QWidget *parent)
    : QDialog(parent), m_model(new TPesquisaModel(dataSet, pickMany, allFields, this)),
      m_search(new QLineEdit(this)), m_grid(new QTableView(this)), m_pickMany(pickMany)
{
    setObjectName(QStringLiteral("frmPesquisa"));
    setWindowTitle(caption);
    m_search->setObjectName(QStringLiteral("edtPesquisa"));
    m_grid->setObjectName(QStringLiteral("dbgPesquisa"));

    auto *searchRow = new QHBoxLayout;
    auto *label = new QLabel(QStringLiteral("&Procurar:"), this);
    label->setBuddy(m_search);
    searchRow->addWidget(label);
    searchRow->addWidget(m_search, 1);

    m_grid->setModel(m_model);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setAlternatingRowColors(true);
    m_grid->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_grid->verticalHeader()->hide();
    m_grid->horizontalHeader()->setStretchLastSection(true);
    const int total = fitColumns();

    auto *buttons = new QDialogButtonBox(this);
    QPushButton *ok =
        buttons->addButton(pickMany ? QStringLiteral("Confirmar") : QStringLiteral("Selecionar"),
                           QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("btnSelecionar"));
    QPushButton *cancel =
        buttons->addButton(QStringLiteral("Cancelar"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("btnCancelar"));
    ok->setAutoDefault(false);
    cancel->setAutoDefault(false);
    connect(buttons, &QDialogButtonBox::accepted, this, [this]() { pick(); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(searchRow);
    layout->addWidget(m_grid, 1);
    auto *bottomRow = new QHBoxLayout;
    if (pickMany) {
        m_markedCount = new QLabel(this);
        m_markedCount->setObjectName(QStringLiteral("lblMarcados"));
        bottomRow->addWidget(m_markedCount);
        connect(m_model, &QAbstractItemModel::dataChanged, this, [this] { showMarkedCount(); });
        showMarkedCount();
    }
    bottomRow->addWidget(buttons, 1);
    layout->addLayout(bottomRow);

    connect(m_search, &QLineEdit::textEdited, this,
            [this](const QString &text) { searchFor(text); });
    connect(m_grid, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex &index) {
        if (m_pickMany)
            m_model->ToggleMark(index.row());
        else
            pick();
    });
    m_search->installEventFilter(this);
    m_grid->installEventFilter(this);
    m_grid->viewport()->installEventFilter(this);

    const QScreen *screen =
        DialogParent() ? DialogParent()->screen() : QApplication::primaryScreen();
    const int widest = screen ? screen->availableGeometry().width() * 9 / 10 : 1000;
    resize(qBound(360, total + 40, qMax(360, widest)), 420);
    const int start = dataSet->RecNo();
    setCurrentRow(start >= 0 ? start : 0);
    // The first column (the marks, when there are any) is in view at the start.
    m_grid->horizontalScrollBar()->setValue(0);
    m_search->setFocus();
}

int TfrmPesquisa::fitColumns()
{
    // Each column as wide as its title, its display width and its texts
    // (from the first rows); a long text column is capped and wraps, so
    // every title stays in view. The tooltip shows a cell whole.
    const QFontMetrics metrics = m_grid->fontMetrics();
    const int sample = qMin(m_model->rowCount(), 500);
    const int cap = 60 * metrics.horizontalAdvance(QLatin1Char('0'));
    int total = 0;
    bool capped = false;
    for (int c = 0; c < m_model->columnCount(); ++c) {
        const int title =
            metrics.horizontalAdvance(m_model->headerData(c, Qt::Horizontal).toString()) + 24;
        int width = title;
        if (c == m_model->MarkColumn()) {
            width = qMax(title, 28);
        } else {
            int text = 0;
            for (int row = 0; row < sample; ++row)
                text = qMax(text, metrics.horizontalAdvance(
                                      m_model->index(row, c).data(Qt::DisplayRole).toString()));
            // The field's display width, widened to the texts it shows.
            const int wanted =
                qMax(m_model->ColumnChars(c) * metrics.horizontalAdvance(QLatin1Char('0')), text) +
                12;
            capped = capped || wanted > cap;
            width = qMax(title, qMin(wanted, cap));
        }
        m_grid->setColumnWidth(c, width);
        total += width;
    }
    m_grid->setWordWrap(capped);
    m_grid->verticalHeader()->setDefaultSectionSize(metrics.height() + 6);
    // Rows as high as their wrapped text, while there are few enough to measure.
    if (capped && m_model->rowCount() <= 2000)
        m_grid->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    return total;
}

void TfrmPesquisa::showMarkedCount()
{
    const qsizetype marked = m_model->Marked().size();
    m_markedCount->setText(marked == 0   ? QStringLiteral("Nenhum registro marcado")
                           : marked == 1 ? QStringLiteral("1 registro marcado")
                                         : QStringLiteral("%1 registros marcados").arg(marked));
}

bool TfrmPesquisa::markByClick(QMouseEvent *click)
{
    const QModelIndex index = m_grid->indexAt(click->position().toPoint());
    if (!index.isValid() || click->button() != Qt::LeftButton)
        return false;
    const Qt::KeyboardModifiers modifiers = click->modifiers();
    if (modifiers.testFlag(Qt::ShiftModifier) && m_lastMarkClick >= 0) {
        // Marks every row between the last marked one and this one.
        const int from = qMin(m_lastMarkClick, index.row());
        const int to = qMax(m_lastMarkClick, index.row());
        for (int row = from; row <= to; ++row)
            if (!m_model->IsMarked(row))
                m_model->ToggleMark(row);
    } else if (modifiers.testFlag(Qt::ControlModifier)) {
        m_model->ToggleMark(index.row());
    } else {
        return false;
    }
    m_lastMarkClick = index.row();
    m_grid->setCurrentIndex(m_model->index(index.row(), qMax(0, m_grid->currentIndex().column())));
    return true;
}

QList<int> TfrmPesquisa::PickedRows() const
{
    if (!m_model->Marked().isEmpty())
        return m_model->Marked();
    return m_picked >= 0 ? QList<int>{m_picked} : QList<int>{};
}

int TfrmPesquisa::currentRow() const
{
    const QModelIndex current = m_grid->currentIndex();
    return current.isValid() ? current.row() : -1;
}

void TfrmPesquisa::setCurrentRow(int row)
{
    if (row < 0 || row >= m_model->rowCount())
        return;
    const int column = m_grid->currentIndex().isValid() ? m_grid->currentIndex().column()
                                                        : (m_model->MarkColumn() == 0 ? 1 : 0);
    const QModelIndex index = m_model->index(row, qMin(column, m_model->columnCount() - 1));
    m_grid->setCurrentIndex(index);
    m_grid->scrollTo(index);
}

void TfrmPesquisa::searchFor(const QString &text)
{
    const int column = m_grid->currentIndex().isValid() ? m_grid->currentIndex().column() : 0;
    // Keep the current row while it still matches what was typed so far.
    const int row = m_model->FindRow(text, column, qMax(0, currentRow()));
    if (row >= 0)
        setCurrentRow(row);
}

void TfrmPesquisa::pick()
{
    m_picked = currentRow();
    if (m_picked < 0 && m_model->Marked().isEmpty())
        return;
    accept();
}

bool TfrmPesquisa::eventFilter(QObject *watched, QEvent *event)
{
    if (m_pickMany && watched == m_grid->viewport() && event->type() == QEvent::MouseButtonPress &&
        markByClick(static_cast<QMouseEvent *>(event)))
        return true;
    if (event->type() != QEvent::KeyPress)
        return QDialog::eventFilter(watched, event);
    auto *key = static_cast<QKeyEvent *>(event);
    switch (key->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        pick();
        return true;
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        if (watched == m_search) {
            // Browse the list without leaving the search box.
            QKeyEvent copy(key->type(), key->key(), key->modifiers());
            QApplication::sendEvent(m_grid, &copy);
            return true;
        }
        break;
    case Qt::Key_Space:
        if (m_pickMany && watched == m_grid) {
            m_model->ToggleMark(currentRow());
            m_lastMarkClick = currentRow();
            return true;
        }
        break;
    default:
        if (watched == m_grid && !key->text().isEmpty() && key->text().at(0).isPrint()) {
            // Typing over the list goes on in the search box.
            m_search->setFocus();
            m_search->insert(key->text());
            searchFor(m_search->text());
            return true;
        }
        break;
    }
    return QDialog::eventFilter(watched, event);
}

bool Pesquisar(TDataSource *source, const QString &title, bool allFields, bool typeToSearch)
{
    TClientDataSet *dataSet = dataSetOf(source);
    const Title parts = splitTitle(title);
    if (reportEmpty(dataSet, parts))
        return false;
    TfrmPesquisa dialog(dataSet, parts.caption, false, allFields, DialogParent());
    dialog.SearchBox()->setVisible(typeToSearch);
    if (!typeToSearch)
        dialog.Grid()->setFocus();
    if (dialog.exec() != QDialog::Accepted || dialog.PickedRow() < 0)
        return false;
    dataSet->SetRecNo(dialog.PickedRow());
    return true;
}

bool PesquisaLista(TDataSource *source, const QString &keyField, const QString &title,
                   bool allFields, QString &list)
{
    TClientDataSet *dataSet = dataSetOf(source);
    const int key = dataSet->FieldByName(keyField)->Index();
    const Title parts = splitTitle(title);
    if (reportEmpty(dataSet, parts))
        return false;
    TfrmPesquisa dialog(dataSet, parts.caption, true, allFields, DialogParent());
    if (dialog.exec() != QDialog::Accepted)
        return false;
    const QList<int> rows = dialog.PickedRows();
    if (rows.isEmpty())
        return false;
    QStringList values;
    values.reserve(rows.size());
    for (int row : rows)
        values.append(dataSet->Value(row, key));
    list = values.join(QLatin1Char(','));
    return true;
}
