#include "settings/environment_set.h"

#include <cstdlib>

namespace veldra {
namespace {

// The Text1 and Check1 control arrays: the index of a member is its key's index in the set file.
constexpr std::string EnvironmentSet::*kTextFields[kTextFieldCount] = {
    &EnvironmentSet::TableTag,       &EnvironmentSet::FolderMarkText,
    &EnvironmentSet::FileMarkText,   &EnvironmentSet::ThExtra,
    &EnvironmentSet::TdExtra,        &EnvironmentSet::OutputFileName,
    &EnvironmentSet::HairlineText,   &EnvironmentSet::NewMarkText,
    &EnvironmentSet::UpdateMarkText, &EnvironmentSet::OutputFolder,
    &EnvironmentSet::OutputUrl,      &EnvironmentSet::HeaderFileName,
    &EnvironmentSet::FooterFileName,
};
constexpr bool EnvironmentSet::*kFlags[kFlagCount] = {
    &EnvironmentSet::HideExtension, &EnvironmentSet::ShowNewMark, &EnvironmentSet::ShowUpdateMark};

// An index outside the control array is a programming error, never input.
int Checked(int index, int count) {
  if (index < 0 || index >= count) std::abort();
  return index;
}

}  // namespace

std::string& EnvironmentSet::TextField(int index) {
  return this->*kTextFields[Checked(index, kTextFieldCount)];
}

const std::string& EnvironmentSet::TextField(int index) const {
  return this->*kTextFields[Checked(index, kTextFieldCount)];
}

bool& EnvironmentSet::Flag(int index) { return this->*kFlags[Checked(index, kFlagCount)]; }

bool EnvironmentSet::Flag(int index) const { return this->*kFlags[Checked(index, kFlagCount)]; }

}  // namespace veldra
