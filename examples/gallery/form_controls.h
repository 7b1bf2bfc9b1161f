#pragma once
// TFormControls: the control gallery. One window shows every control of the component library at
// work on the example's tables: the orders in a data grid and in an order panel (data edits with
// a range, a lookup combo that picks the order's client, a list-file combo for its note), the
// clients in a lookup list with incremental search and a data memo, and the plain controls (combo
// boxes, list box, string grid, memo) filled from the example's list files and descriptions.

#include <filesystem>

#include "controls/data_source.h"
#include "forms/nox_form.h"
#include "tables/table.h"

namespace nox::controls {
class TNoxComboBox;
class TNoxDBEdit;
class TNoxDBGrid;
class TNoxDBMemo;
class TNoxDBNComboBox;
class TNoxListBox;
class TNoxLookList;
class TNoxLookupCombo;
class TNoxMemo;
class TNoxSingleComboBox;
class TNoxStringGrid;
}  // namespace nox::controls

namespace nox::gallery {

// The two tables the gallery shows, open, each behind its data source. They outlive the window.
class TGalleryData {
 public:
  // Opens CLIENTS.DB and ORDSUM.DBF of the directory. Raises tables::TableError.
  explicit TGalleryData(const std::filesystem::path& directory);
  // Closes both tables; raises the first write error.
  void Close();

  std::filesystem::path directory;
  tables::TTable clients;
  tables::TTable orders;
  controls::TNoxDataSource clientsSource;
  controls::TNoxDataSource ordersSource;
};

class TFormControls : public forms::TNoxForm {
  Q_OBJECT

 public:
  explicit TFormControls(TGalleryData& galleryData, QWidget* parent = nullptr);

  controls::TNoxDBGrid* DBGridOrders() const { return dbGridOrders_; }
  controls::TNoxLookList* LookListClients() const { return lookListClients_; }
  controls::TNoxLookupCombo* LookupClient() const { return lookupClient_; }

 protected:
  void FormCreate() override;

 private:
  QWidget* OrdersPanel();
  QWidget* ClientsPanel();
  QWidget* PlainPanel();

  TGalleryData& data_;
  controls::TNoxDBGrid* dbGridOrders_ = nullptr;
  controls::TNoxDBEdit* editOrderNo_ = nullptr;
  controls::TNoxLookupCombo* lookupClient_ = nullptr;
  controls::TNoxDBEdit* editAmount_ = nullptr;
  controls::TNoxDBEdit* editDate_ = nullptr;
  controls::TNoxDBNComboBox* dbnComboNote_ = nullptr;
  controls::TNoxLookList* lookListClients_ = nullptr;
  controls::TNoxDBMemo* dbMemoClientNote_ = nullptr;
  controls::TNoxComboBox* comboTag_ = nullptr;
  controls::TNoxSingleComboBox* singleComboCity_ = nullptr;
  controls::TNoxListBox* lbFiles_ = nullptr;
  controls::TNoxStringGrid* sgFields_ = nullptr;
  controls::TNoxMemo* memoDescription_ = nullptr;
};

}  // namespace nox::gallery
