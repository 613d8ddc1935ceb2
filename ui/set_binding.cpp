#include "ui/set_binding.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>

#include "settings/column_key.h"
#include "ui/form_controls.h"
#include "ui/qt_text.h"
#include "ui/tag_options.h"

namespace veldra {
namespace {

std::vector<std::string> ListItems(const QListWidget& list) {
  std::vector<std::string> items;
  items.reserve(static_cast<size_t>(list.count()));
  for (int row = 0; row < list.count(); ++row) items.push_back(FromQ(list.item(row)->text()));
  return items;
}

void ShowList(QListWidget& list, const std::vector<std::string>& items) {
  list.clear();
  list.addItems(ToQList(items));
}

}  // namespace

std::vector<std::string> ComboItems(const QComboBox& combo) {
  std::vector<std::string> items;
  items.reserve(static_cast<size_t>(combo.count()));
  for (int i = 0; i < combo.count(); ++i) items.push_back(FromQ(combo.itemText(i)));
  return items;
}

void ShowCombo(QComboBox& combo, const std::vector<std::string>& items, const std::string& text) {
  const QSignalBlocker blocker(combo);
  combo.clear();
  combo.addItems(ToQList(items));
  // Filling the list selects its first entry; the text shown is the one given.
  combo.setCurrentIndex(-1);
  combo.setEditText(ToQ(text));
}

EnvironmentSet ReadSet(const FormControls& c) {
  EnvironmentSet set;
  set.SetName = FromQ(c.Combo3->currentText());
  set.RootFolder = FromQ(c.Combo1->currentText());
  set.RootFolderHistory = ComboItems(*c.Combo1);
  set.RootUrl = FromQ(c.Combo2->currentText());
  set.RootUrlHistory = ComboItems(*c.Combo2);
  for (int i = 0; i < kTextFieldCount; ++i) {
    set.TextField(i) = FromQ(c.Text1[static_cast<size_t>(i)]->text());
  }
  for (int i = 0; i < kFlagCount; ++i) set.Flag(i) = c.Check1[static_cast<size_t>(i)]->isChecked();
  set.ProcessId3 = c.Check2->isChecked();
  set.SkipSame = c.CheckSkipSame->isChecked();
  set.Feed = c.CheckFeed->isChecked();
  set.Playlist = c.CheckPlaylist->isChecked();
  set.OutputColumns = ListItems(*c.List2);
  set.HiddenColumns = ListItems(*c.List1);
  ReadTagOptions(*c.SSTab1, set);
  return set;
}

void ShowSet(const FormControls& c, const EnvironmentSet& set) {
  ShowCombo(*c.Combo1, set.RootFolderHistory, set.RootFolder);
  ShowCombo(*c.Combo2, set.RootUrlHistory, set.RootUrl);
  for (int i = 0; i < kTextFieldCount; ++i) {
    c.Text1[static_cast<size_t>(i)]->setText(ToQ(set.TextField(i)));
  }
  for (int i = 0; i < kFlagCount; ++i) c.Check1[static_cast<size_t>(i)]->setChecked(set.Flag(i));
  c.Check2->setChecked(set.ProcessId3);
  c.CheckSkipSame->setChecked(set.SkipSame);
  c.CheckFeed->setChecked(set.Feed);
  c.CheckPlaylist->setChecked(set.Playlist);
  ShowList(*c.List2, set.OutputColumns);
  ShowList(*c.List1, HiddenColumnsShown(set.OutputColumns, set.HiddenColumns));
  ShowTagOptions(*c.SSTab1, set);
}

}  // namespace veldra
