#pragma once
// What the lookup combo and the lookup list share: their options, the column captions from
// LookDispLabel, the search label, and the choice of an index for a column's field.

#include <QFont>
#include <QFrame>
#include <QString>
#include <QStringList>
#include <string>
#include <string_view>
#include <vector>

#include "tables/table.h"

class QLabel;
class QToolButton;

namespace nox::controls {

enum TNoxLookupListOption : unsigned { lloColLines = 1, lloRowLines = 2, lloTitles = 4 };
using TNoxLookupListOptions = unsigned;

// Field names separated by ";", blanks around them dropped.
std::vector<std::string> SplitFieldList(std::string_view names);

// The captions of the columns: each LookDispLabel entry (";"-separated, in column order) or, when
// it is missing or empty, the field name; each after a run of blanks just over 19 pixels wide (at
// most 11 blanks) in the title font.
QStringList LookupCaptions(const QString& lookDispLabel, const std::vector<std::string>& fields,
                           const QFont& titleFont);

// The first index of the table whose fields begin with the field (after the master link field,
// when one is given); empty when there is none.
std::string IndexBeginningWith(tables::TTable& table, std::string_view field,
                               std::string_view masterField = {});

// The default font of the lookup grids' titles and rows.
QFont DefaultLookFont();

// The search panel: a bordered strip with a magnifier, a find button and the text typed so far.
class TNoxSearchPanel : public QFrame {
  Q_OBJECT

 public:
  explicit TNoxSearchPanel(QWidget* parent = nullptr);

  void SetSearchText(const QString& text);  // shown while not empty
  QString SearchText() const;
  QToolButton& FindButton() { return *findButton_; }

 private:
  QLabel* picture_;
  QToolButton* findButton_;
  QLabel* text_;
};

}  // namespace nox::controls
