// A private registration store for each test: XDG_CONFIG_HOME points into a
// fresh temporary directory, so no test ever touches the user's own store.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/com.h"

class ComStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/rx_com_XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    if (const char* old = getenv("XDG_CONFIG_HOME")) saved_ = old, had_saved_ = true;
    // A directory that does not exist yet: the store must create it.
    setenv("XDG_CONFIG_HOME", (dir_ + "/config").c_str(), 1);
  }
  void TearDown() override {
    if (had_saved_)
      setenv("XDG_CONFIG_HOME", saved_.c_str(), 1);
    else
      unsetenv("XDG_CONFIG_HOME");
    std::filesystem::remove_all(dir_);
  }
  std::string store_file() const { return dir_ + "/config/rastrix/com-registry"; }
  std::string store_text() const {
    std::ifstream in(store_file());
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  std::string get(const char* key, const char* name = nullptr) {
    char buf[1024];
    return com::SUCCEEDED(com::reg_get_value(key, name, buf, sizeof buf)) ? buf : "<absent>";
  }

  std::string dir_;
  std::string saved_;
  bool had_saved_ = false;
};
