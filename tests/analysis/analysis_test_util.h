// The fixture of the analysis window tests: a fresh core in a temporary
// folder with every window created.
#pragma once

#include "../core/core_test_util.h"
#include "top/forms.h"

namespace tav::testing_analysis {

class WindowFixture : public testing_core::CoreFixture {
 protected:
  void SetUp() override {
    CoreFixture::SetUp();
    EnsureGuiApplication();
    CreateAllForms();
  }
  void TearDown() override {
    DestroyAllForms();
    CoreFixture::TearDown();
  }
};

}  // namespace tav::testing_analysis
