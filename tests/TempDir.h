// TempDir: a fresh folder per test, removed with everything in it afterwards.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "codes/Bytes.h"

namespace ormax::testing {

class TempDir {
 public:
  TempDir() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string("ormax-") + (info ? info->test_suite_name() : "x") + "-" +
                       (info ? info->name() : "y") + "-" + std::to_string(::getpid());
    path_ = std::filesystem::temp_directory_path() / name;
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  std::string File(const std::string& name) const { return (path_ / name).string(); }
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

inline void WriteBytes(const std::string& name, const TByteArray& bytes) {
  std::ofstream out(name, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

inline TByteArray ReadBytes(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  return TByteArray(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace ormax::testing
