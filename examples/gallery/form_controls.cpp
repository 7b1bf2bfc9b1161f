#include "examples/gallery/form_controls.h"

#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QVBoxLayout>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include "controls/combo_box.h"
#include "controls/db_combo_box.h"
#include "controls/db_edit.h"
#include "controls/db_grid.h"
#include "controls/look_list.h"
#include "controls/lookup_combo.h"
#include "controls/memo.h"
#include "controls/string_grid.h"
#include "examples/gallery/example_copy.h"
#include "forms/text.h"

namespace nox::gallery {

using namespace nox::controls;

TGalleryData::TGalleryData(const std::filesystem::path& dir) : directory(dir) {
  clients.SetDatabaseName(dir.string());
  clients.SetTableName("CLIENTS.DB");
  clients.Open();
  orders.SetDatabaseName(dir.string());
  orders.SetTableName("ORDSUM.DBF");
  orders.Open();
  clientsSource.SetDataSet(&clients);
  ordersSource.SetDataSet(&orders);
}

void TGalleryData::Close() {
  clientsSource.SetDataSet(nullptr);
  ordersSource.SetDataSet(nullptr);
  orders.Close();
  clients.Close();
}

namespace {

// A group box captioned with the class it shows, around one widget or a layout.
QGroupBox* Group(const char* name, const QString& caption, QLayout* layout) {
  auto* box = new QGroupBox(caption);
  box->setObjectName(QString::fromLatin1(name));
  box->setLayout(layout);
  return box;
}

QVBoxLayout* Column(std::initializer_list<QWidget*> widgets) {
  auto* layout = new QVBoxLayout;
  for (QWidget* widget : widgets)
    layout->addWidget(widget);
  return layout;
}

template <typename Control>
Control* Named(const char* name) {
  auto* control = new Control;
  control->setObjectName(QString::fromLatin1(name));
  return control;
}

std::string FileBytes(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

}  // namespace

TFormControls::TFormControls(TGalleryData& galleryData, QWidget* parent)
    : TNoxForm(parent), data_(galleryData) {
  setObjectName(QStringLiteral("FormControls"));
  setWindowTitle(QStringLiteral("NOX Controls"));
  auto* layout = new QGridLayout(this);
  layout->addWidget(OrdersPanel(), 0, 0);
  layout->addWidget(ClientsPanel(), 0, 1);
  layout->addWidget(PlainPanel(), 1, 0, 1, 2);
  layout->setColumnStretch(0, 3);
  layout->setColumnStretch(1, 2);
  layout->setRowStretch(0, 3);
  layout->setRowStretch(1, 2);
  resize(1180, 780);
}

QWidget* TFormControls::OrdersPanel() {
  TNoxDataSource* orders = &data_.ordersSource;
  dbGridOrders_ = Named<TNoxDBGrid>("DBGridOrders");
  dbGridOrders_->SetDataSource(orders);
  dbGridOrders_->SetCutCols(true);  // its own widths: dates and notes show whole

  editOrderNo_ = Named<TNoxDBEdit>("EditOrderNo");
  editOrderNo_->SetDataSource(orders);
  editOrderNo_->SetDataField("ORDERNO");
  editOrderNo_->SetMin(1);
  editOrderNo_->SetMax(99999999);
  editOrderNo_->SetCapt(QStringLiteral("Order"));
  editOrderNo_->SetTxt(QStringLiteral("An order number lies between 1 and 99999999"));

  // The order's client, picked from the keyed clients by code, name and city.
  lookupClient_ = Named<TNoxLookupCombo>("LookupClient");
  lookupClient_->SetDataSource(orders);
  lookupClient_->SetDataField("CODE");
  lookupClient_->SetLookupSource(&data_.clientsSource);
  lookupClient_->SetLookupField("CODE");
  lookupClient_->SetLookupDisplay("CODE;NAME;CITY");
  lookupClient_->SetLookDispLabel(QStringLiteral("Code;Client;City"));
  lookupClient_->SetOptions(lloColLines | lloRowLines | lloTitles);

  editAmount_ = Named<TNoxDBEdit>("EditAmount");
  editAmount_->SetDataSource(orders);
  editAmount_->SetDataField("AMOUNT");
  editAmount_->SetMin(0.01);
  editAmount_->SetMax(10000);
  editAmount_->SetCapt(QStringLiteral("Amount"));
  editAmount_->SetTxt(QStringLiteral("An amount lies between 0.01 and 10000"));

  editDate_ = Named<TNoxDBEdit>("EditDate");
  editDate_->SetDataSource(orders);
  editDate_->SetDataField("ODATE");

  // The note from the list file NOTES.MNU beside the tables, which the Add/Edit menu grows.
  dbnComboNote_ = Named<TNoxDBNComboBox>("DBNComboNote");
  dbnComboNote_->SetLoadStyle(TLoadStyle::lsFromAliasPath);
  dbnComboNote_->SetSourceFile(QStringLiteral("NOTES"));
  dbnComboNote_->SetDataSource(orders);
  dbnComboNote_->SetDataField("NOTE");

  auto* fields = new QFormLayout;
  fields->addRow(QStringLiteral("Order (TNoxDBEdit)"), editOrderNo_);
  fields->addRow(QStringLiteral("Client (TNoxLookupCombo)"), lookupClient_);
  fields->addRow(QStringLiteral("Amount (TNoxDBEdit, 0.01 to 10000)"), editAmount_);
  fields->addRow(QStringLiteral("Date (TNoxDBEdit)"), editDate_);
  fields->addRow(QStringLiteral("Note (TNoxDBNComboBox, NOTES.MNU)"), dbnComboNote_);
  auto* panel = new QWidget;
  panel->setLayout(fields);
  return Group("GBOrders", QStringLiteral("Orders, ORDSUM.DBF (TNoxDBGrid)"),
               Column({dbGridOrders_, panel}));
}

QWidget* TFormControls::ClientsPanel() {
  lookListClients_ = Named<TNoxLookList>("LookListClients");
  lookListClients_->SetDataSource(&data_.clientsSource);
  lookListClients_->SetLookupDisplay("CODE;NAME;CITY;TOTAL");
  lookListClients_->SetLookDispLabel(QStringLiteral("Code;Client;City;Total"));
  lookListClients_->SetReadOnly(true);

  dbMemoClientNote_ = Named<TNoxDBMemo>("DBMemoClientNote");
  dbMemoClientNote_->SetDataSource(&data_.clientsSource);
  dbMemoClientNote_->SetDataField("NOTE");
  dbMemoClientNote_->setMaximumHeight(60);

  auto* hint =
      new QLabel(QStringLiteral("Type a code to find a client; the note below is a "
                                "TNoxDBMemo on the same record."));
  hint->setWordWrap(true);
  return Group(
      "GBClients", QStringLiteral("Clients, CLIENTS.DB (TNoxLookList)"),
      Column({lookListClients_, &lookListClients_->SearchLabel(), hint, dbMemoClientNote_}));
}

QWidget* TFormControls::PlainPanel() {
  // The client tag of the customers description, cut back to its letter on leaving.
  comboTag_ = Named<TNoxComboBox>("ComboTag");
  comboTag_->SetLoadStyle(TLoadStyle::lsFromAliasPath);
  comboTag_->SetAlFromTable(&data_.clients);
  comboTag_->SetSourceFile(QStringLiteral("TAGS"));
  comboTag_->SetMaxLength(1);

  singleComboCity_ = Named<TNoxSingleComboBox>("SingleComboCity");
  singleComboCity_->SetShowHinting(true);
  singleComboCity_->SetSorted(true);

  lbFiles_ = Named<TNoxListBox>("LBFiles");
  sgFields_ = Named<TNoxStringGrid>("SGFields");
  sgFields_->verticalHeader()->hide();
  memoDescription_ = Named<TNoxMemo>("MemoDescription");
  memoDescription_->setReadOnly(true);

  auto* combos = new QFormLayout;
  combos->addRow(QStringLiteral("Tag (TNoxComboBox, TAGS.MNU)"), comboTag_);
  combos->addRow(QStringLiteral("City (TNoxSingleComboBox)"), singleComboCity_);
  combos->addRow(QStringLiteral("Files (TNoxListBox)"), lbFiles_);
  auto* layout = new QHBoxLayout;
  layout->addLayout(combos);
  layout->addLayout(
      Column({new QLabel(QStringLiteral("Fields of CLIENTS.DB (TNoxStringGrid)")), sgFields_}));
  layout->addLayout(
      Column({new QLabel(QStringLiteral("customers.cnv (TNoxMemo)")), memoDescription_}));
  return Group("GBPlain", QStringLiteral("List files and texts"), layout);
}

void TFormControls::FormCreate() {
  TNoxForm::FormCreate();
  dbnComboNote_->Loaded();
  comboTag_->Loaded();

  std::set<std::string> cities;
  tables::TTable& clients = data_.clients;
  for (clients.First(); !clients.Eof(); clients.Next())
    cities.insert(clients.FieldByName("CITY").AsString());
  clients.First();
  QStringList cityItems;
  for (const std::string& city : cities)
    cityItems << forms::FromDataText(city);
  singleComboCity_->SetItems(cityItems);
  singleComboCity_->SetItemIndex(0);

  for (const std::filesystem::path& file : ExampleFiles())
    lbFiles_->AddDataItem(file.string());

  sgFields_->setColumnCount(3);
  sgFields_->setHorizontalHeaderLabels(
      {QStringLiteral("Field"), QStringLiteral("Type"), QStringLiteral("Size")});
  for (int i = 0; i < clients.FieldCount(); ++i) {
    const tables::TField& field = clients.Fields(i);
    sgFields_->SetCells(0, i, field.FieldName());
    sgFields_->SetCells(1, i, tables::FieldTypeName(field.DataType()));
    sgFields_->SetCells(2, i, std::to_string(field.Size()));
  }
  sgFields_->resizeColumnsToContents();

  memoDescription_->SetDataText(FileBytes(data_.directory / "customers.cnv"));
  dbGridOrders_->resizeColumnsToContents();  // fifteen orders: every value shows whole
}

}  // namespace nox::gallery
