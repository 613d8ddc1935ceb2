#include "ui/tag_options.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>

#include "settings/environment_set.h"
#include "ui/qt_text.h"

namespace veldra {
namespace {

// The code pages offered; any other Windows code page can be typed.
constexpr struct {
  const char16_t* number;
  const char16_t* name;
} kCodePages[] = {
    {u"932", u"日本語 (Shift-JIS)"},
    {u"1252", u"西欧"},
    {u"1250", u"中欧"},
    {u"1251", u"キリル"},
    {u"949", u"韓国語"},
    {u"936", u"中国語 簡体字"},
    {u"950", u"中国語 繁体字"},
    {u"65001", u"UTF-8"},
};

QString ItemText(int i) {
  return QString::fromUtf16(kCodePages[i].number) + QStringLiteral(" ") +
         QString::fromUtf16(kCodePages[i].name);
}

}  // namespace

void AddTagOptions(QGridLayout& grid, int row) {
  auto* tags = new QCheckBox(QStringLiteral("タグを ID3v2・FLAC なども読む"));
  tags->setObjectName(QStringLiteral("CheckTags"));
  tags->setToolTip(QStringLiteral(
      "オンにすると MP3 の ID3v2・APE タグと、FLAC・Ogg・Opus・M4A・WMA のタグも読みます。"
      "オフのときは MP3 の ID3v1 タグだけを読みます"));
  grid.addWidget(tags, row, 0, 1, 4);

  auto* code_page = new QComboBox;
  code_page->setObjectName(QStringLiteral("ComboCodePage"));
  code_page->setEditable(true);
  for (int i = 0; i < static_cast<int>(std::size(kCodePages)); ++i) code_page->addItem(ItemText(i));
  code_page->setToolTip(QStringLiteral(
      "ID3v1 タグと、Latin-1 とされた ID3v2 フレームの文字コード (Windows のコードページ番号)。"
      "UTF-16・UTF-8 のフレームは書かれたとおりに読みます"));
  auto* label = new QLabel(QStringLiteral("タグの文字コード"));
  label->setBuddy(code_page);
  auto* line = new QHBoxLayout;
  line->addWidget(label);
  line->addWidget(code_page, 1);
  grid.addLayout(line, row + 1, 0, 1, 4);
}

void ReadTagOptions(const QWidget& root, EnvironmentSet& set) {
  if (auto* tags = root.findChild<QCheckBox*>(QStringLiteral("CheckTags"))) {
    set.ReadAllTags = tags->isChecked();
  }
  if (auto* combo = root.findChild<QComboBox*>(QStringLiteral("ComboCodePage"))) {
    const QString text = combo->currentText().trimmed();
    set.CodePage = FromQ(text);
    for (int i = 0; i < static_cast<int>(std::size(kCodePages)); ++i) {
      if (text == ItemText(i)) set.CodePage = FromQ(QString::fromUtf16(kCodePages[i].number));
    }
  }
}

void ShowTagOptions(const QWidget& root, const EnvironmentSet& set) {
  if (auto* tags = root.findChild<QCheckBox*>(QStringLiteral("CheckTags"))) {
    tags->setChecked(set.ReadAllTags);
  }
  if (auto* combo = root.findChild<QComboBox*>(QStringLiteral("ComboCodePage"))) {
    QString text = ToQ(set.CodePage);
    for (int i = 0; i < static_cast<int>(std::size(kCodePages)); ++i) {
      if (text == QString::fromUtf16(kCodePages[i].number)) text = ItemText(i);
    }
    combo->setCurrentIndex(combo->findText(text));
    combo->setEditText(text);
  }
}

}  // namespace veldra
