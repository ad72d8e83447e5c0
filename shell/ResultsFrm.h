// ResultsFrm: the "Results" dock: a table of all regions with the columns of the
// command line's recognize, sortable by any column; choosing a row chooses the region.
// A line above it says which regions the label column labels.
//   TResultsForm: SetRows, SetNote, SelectRegion, Rows; signal RegionChosen
// Selecting a region from the program (SelectRegion) does not signal back.
#pragma once

#include <QDockWidget>
#include <QLabel>
#include <QSortFilterProxyModel>
#include <QTableView>

#include "shell/ResultRows.h"

namespace ormax {

class TResultsModel;

class TResultsForm : public QDockWidget {
  Q_OBJECT

 public:
  explicit TResultsForm(QWidget* parent = nullptr);
  void SetRows(TResultTable rows, char decimalSeparator);
  // The line above the table (which regions are labelled).
  void SetNote(const std::string& note);
  // -1 clears the selection.
  void SelectRegion(int32_t region);
  const TResultTable& Rows() const;

  QLabel* Note;
  QTableView* Table;

 signals:
  void RegionChosen(int32_t region);

 private:
  TResultsModel* model_;
  QSortFilterProxyModel* sorted_;
  bool selecting_ = false;
};

}  // namespace ormax
