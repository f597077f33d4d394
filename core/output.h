// Result files that are written whole or not at all.
//
// A result is written into a temporary file beside its target and renamed
// over the target only when every byte reached the disk, so a failed run
// (a full disk, a kill) never leaves a partial or damaged result, and an
// earlier result of the same name survives it. A target that exists and is
// not a regular file (a device such as /dev/null, a pipe) is written directly.
// A run stopped by SIGINT, SIGTERM or SIGHUP removes its temporary files
// before it ends; only a kill that can't be caught (kill -9) leaves them.
#pragma once

#include <cstdio>
#include <string>

namespace haldor {

struct PendingTemp;  // a temporary file to remove when the run is stopped

class ResultFile {
 public:
  ResultFile() = default;
  ~ResultFile() { discard(); }
  ResultFile(const ResultFile&) = delete;
  ResultFile& operator=(const ResultFile&) = delete;

  // Creates the temporary file for `target`. False when it can't be created.
  bool open(const std::string& target);
  std::FILE* get() const { return fp_; }
  // Closes the file and checks that every byte was written, without putting
  // it in place yet; a program writing several results finishes all of them
  // before committing any, so a failure leaves every earlier result as it was.
  // False when anything failed to be written; the temporary file is then
  // removed and the target left as it was.
  bool finish();
  // Finishes the file (if not done yet) and puts it in place. False when
  // anything failed; the target is then left as it was.
  bool commit();
  // Drops what was written, leaving the target as it was.
  void discard();

 private:
  std::FILE* fp_ = nullptr;
  std::string target_;
  std::string temp_;  // empty when writing the target directly
  bool finished_ = false;  // finish() succeeded; the temporary file awaits its rename
  PendingTemp* pending_ = nullptr;  // the temporary file's entry in the stop list
  void drop_temp();  // removes the temporary file and its stop-list entry
};

// The file a result named `path` lands in: the target of a symbolic link,
// also one that does not exist yet (as opening the link for writing would
// create it), otherwise `path` itself.
std::string result_path(const std::string& path);

// True when both paths name the same existing file (also through links or
// different spellings of the path).
bool same_file(const std::string& a, const std::string& b);

}  // namespace haldor
