// ResultsFrm: the "Results" dock (see ResultsFrm.h).
//   TResultsModel (the rows as a table model, numbers sorted as numbers), TResultsForm
// The scene column is left out of the view (one scene at a time); the export keeps it.
#include "shell/ResultsFrm.h"

#include <QAbstractTableModel>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QVBoxLayout>

#include "app/FormatGeneral.h"

namespace ormax {

class TResultsModel : public QAbstractTableModel {
 public:
  using QAbstractTableModel::QAbstractTableModel;

  void Set(TResultTable table, char decimalSeparator) {
    beginResetModel();
    table_ = std::move(table);
    separator_ = decimalSeparator;
    endResetModel();
  }
  const TResultTable& Table() const { return table_; }

  int rowCount(const QModelIndex& parent) const override {
    return parent.isValid() ? 0 : static_cast<int>(table_.Rows.size());
  }
  int columnCount(const QModelIndex& parent) const override {
    return parent.isValid() || table_.Columns.empty() ? 0
                                                      : static_cast<int>(table_.Columns.size()) - 1;
  }
  QVariant data(const QModelIndex& index, int role) const override {
    if (!index.isValid()) return {};
    const TResultCell& cell =
        table_.Rows[static_cast<size_t>(index.row())][static_cast<size_t>(index.column()) + 1];
    if (role == Qt::UserRole) {  // the sort key
      if (const auto* i = std::get_if<long long>(&cell)) return QVariant(static_cast<double>(*i));
      if (const auto* d = std::get_if<double>(&cell)) return QVariant(*d);
      if (const auto* s = std::get_if<std::string>(&cell)) return QString::fromStdString(*s);
      return QVariant();
    }
    if (role == Qt::TextAlignmentRole)
      return std::holds_alternative<std::string>(cell)
                 ? QVariant(Qt::AlignLeft | Qt::AlignVCenter)
                 : QVariant(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole) return {};
    if (const auto* s = std::get_if<std::string>(&cell)) return QString::fromStdString(*s);
    if (const auto* i = std::get_if<long long>(&cell)) return QString::number(*i);
    if (const auto* d = std::get_if<double>(&cell))
      return QString::fromStdString(FormatGeneral(*d, 6, separator_));
    return QString();
  }
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    return QString::fromStdString(table_.Columns[static_cast<size_t>(section) + 1]);
  }

 private:
  TResultTable table_;
  char separator_ = '.';
};

TResultsForm::TResultsForm(QWidget* parent) : QDockWidget("Results", parent) {
  setObjectName("Results");
  model_ = new TResultsModel(this);
  sorted_ = new QSortFilterProxyModel(this);
  sorted_->setSourceModel(model_);
  sorted_->setSortRole(Qt::UserRole);
  Table = new QTableView;
  Table->setModel(sorted_);
  Table->setSortingEnabled(true);
  Table->sortByColumn(0, Qt::AscendingOrder);
  Table->setSelectionBehavior(QAbstractItemView::SelectRows);
  Table->setSelectionMode(QAbstractItemView::SingleSelection);
  Table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  Table->verticalHeader()->hide();
  Table->verticalHeader()->setDefaultSectionSize(Table->fontMetrics().height() + 4);
  Note = new QLabel;
  Note->setWordWrap(true);
  Note->setTextInteractionFlags(Qt::TextSelectableByMouse);
  auto* content = new QWidget;
  auto* layout = new QVBoxLayout(content);
  layout->setContentsMargins(4, 2, 4, 2);
  layout->setSpacing(2);
  layout->addWidget(Note);
  layout->addWidget(Table, 1);
  setWidget(content);
  connect(Table->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex& current) {
            if (selecting_ || !current.isValid()) return;
            emit RegionChosen(sorted_->mapToSource(current).row());
          });
}

void TResultsForm::SetRows(TResultTable rows, char decimalSeparator) {
  selecting_ = true;
  model_->Set(std::move(rows), decimalSeparator);
  Table->resizeColumnsToContents();
  selecting_ = false;
}

void TResultsForm::SetNote(const std::string& note) {
  Note->setText(QString::fromStdString(note));
}

const TResultTable& TResultsForm::Rows() const {
  return model_->Table();
}

void TResultsForm::SelectRegion(int32_t region) {
  selecting_ = true;
  if (region < 0 || region >= model_->rowCount({})) {
    Table->selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::Clear);
  } else {
    const QModelIndex index = sorted_->mapFromSource(model_->index(region, 0));
    Table->selectionModel()->setCurrentIndex(
        index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    Table->scrollTo(index);
  }
  selecting_ = false;
}

}  // namespace ormax
