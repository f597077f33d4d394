// Helpers shared by the unit tests: scratch files and captured console text.
#pragma once

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace haldor::testing {

// A scratch folder removed at the end of the test.
class ScratchDir {
 public:
  ScratchDir() {
    char pattern[] = "/tmp/haldor-test.XXXXXX";
    path_ = mkdtemp(pattern);
  }
  ~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  std::string file(const std::string& name) const { return path_ + "/" + name; }
  std::string write(const std::string& name, const std::string& content) const {
    std::ofstream(file(name), std::ios::binary) << content;
    return file(name);
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

inline std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// A console stream whose text can be read back.
class Capture {
 public:
  Capture() : fp_(std::tmpfile()) {}
  ~Capture() { std::fclose(fp_); }
  std::FILE* get() const { return fp_; }
  std::string text() const {
    std::fflush(fp_);
    long end = std::ftell(fp_);
    std::string out(static_cast<std::size_t>(end), '\0');
    std::rewind(fp_);
    std::size_t n = std::fread(out.data(), 1, out.size(), fp_);
    out.resize(n);
    std::fseek(fp_, 0, SEEK_END);
    return out;
  }

 private:
  std::FILE* fp_;
};

}  // namespace haldor::testing
