#include "output.h"

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace haldor {

// An entry of the list of temporary files that a stopped run removes.
struct PendingTemp {
  char* path;
  PendingTemp* next;
};

namespace {

// The list is changed only with the stop signals blocked, so the handler
// always sees it whole.
PendingTemp* volatile g_pending = nullptr;
const int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

extern "C" void remove_pending_and_stop(int sig) {
  for (PendingTemp* p = g_pending; p; p = p->next) unlink(p->path);
  std::signal(sig, SIG_DFL);
  std::raise(sig);
}

// Catches the stop signals, once per process; a signal that is ignored (a run
// under nohup) stays ignored.
void catch_stop_signals() {
  static bool done = false;
  if (done) return;
  done = true;
  for (int sig : kStopSignals) {
    struct sigaction old;
    if (sigaction(sig, nullptr, &old) != 0 || (old.sa_flags & SA_SIGINFO) || old.sa_handler != SIG_DFL) continue;
    struct sigaction sa;
    std::memset(&sa, 0, sizeof sa);
    sa.sa_handler = remove_pending_and_stop;
    sigemptyset(&sa.sa_mask);
    sigaction(sig, &sa, nullptr);
  }
}

class StopSignalsBlocked {
 public:
  StopSignalsBlocked() {
    sigset_t set;
    sigemptyset(&set);
    for (int sig : kStopSignals) sigaddset(&set, sig);
    sigprocmask(SIG_BLOCK, &set, &old_);
  }
  ~StopSignalsBlocked() { sigprocmask(SIG_SETMASK, &old_, nullptr); }
  StopSignalsBlocked(const StopSignalsBlocked&) = delete;
  StopSignalsBlocked& operator=(const StopSignalsBlocked&) = delete;

 private:
  sigset_t old_;
};

// An entry for a temporary path of `length` characters, not yet in the list.
// Null when there is no memory for it: the file is then only not removed by
// a stop signal.
PendingTemp* new_pending(std::size_t length) {
  catch_stop_signals();
  auto* entry = new (std::nothrow) PendingTemp{new (std::nothrow) char[length + 1], nullptr};
  if (entry && !entry->path) {
    delete entry;
    return nullptr;
  }
  return entry;
}

// Creates the temporary file from `pattern` (as mkstemp) and lists it in
// `entry` in one step that no stop signal can come between, so a stopped
// run never leaves a temporary file the handler doesn't know of.
int create_pending(std::vector<char>& pattern, PendingTemp* entry) {
  StopSignalsBlocked blocked;
  const int fd = mkstemp(pattern.data());
  if (fd >= 0 && entry) {
    std::memcpy(entry->path, pattern.data(), pattern.size());
    entry->next = g_pending;
    g_pending = entry;
  }
  return fd;
}

void remove_pending(PendingTemp* entry) {
  if (!entry) return;
  {
    StopSignalsBlocked blocked;
    PendingTemp* volatile* link = &g_pending;
    while (*link && *link != entry) link = &(*link)->next;
    if (*link) *link = entry->next;
  }
  delete[] entry->path;
  delete entry;
}

constexpr std::size_t kWriteBuffer = 1 << 20;

}  // namespace

std::string result_path(const std::string& path) {
  std::string at = path;
  // A link may point to a file that does not exist yet: its name is then
  // followed by hand, link by link (at most 40, as the kernel does).
  for (int hop = 0; hop < 40; ++hop) {
    struct stat st;
    if (lstat(at.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return at;
    if (char* real = realpath(at.c_str(), nullptr)) {
      std::string out(real);
      std::free(real);
      return out;
    }
    std::vector<char> buf(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 255) + 1);
    ssize_t n;
    while ((n = readlink(at.c_str(), buf.data(), buf.size())) >= static_cast<ssize_t>(buf.size()))
      buf.resize(buf.size() * 2);
    if (n <= 0) return at;
    std::string next(buf.data(), static_cast<std::size_t>(n));
    if (next[0] != '/') {
      const std::size_t slash = at.rfind('/');
      if (slash != std::string::npos) next = at.substr(0, slash + 1) + next;
    }
    at = next;
  }
  return at;
}

namespace {

// The mkstemp pattern of the temporary file beside `target`: its name with
// ".tmp" and six random characters. A name near the file system's limit is
// shortened first, so that every name that can be created gets a temporary.
std::string temp_pattern(const std::string& target) {
  const std::string suffix = ".tmpXXXXXX";
  const std::size_t slash = target.rfind('/');
  const std::string dir = slash == std::string::npos ? std::string(".") : target.substr(0, slash + 1);
  std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
  long name_max = pathconf(dir.c_str(), _PC_NAME_MAX);
  if (name_max <= 0) name_max = 255;
  const std::size_t room = static_cast<std::size_t>(name_max) > suffix.size()
                               ? static_cast<std::size_t>(name_max) - suffix.size() : 1;
  if (base.size() > room) base.resize(room);
  return (slash == std::string::npos ? std::string() : target.substr(0, slash + 1)) + base + suffix;
}

mode_t creation_mode() {
  mode_t mask = umask(0);
  umask(mask);
  return 0666 & ~mask;
}

}  // namespace

bool ResultFile::open(const std::string& target) {
  discard();
  finished_ = false;
  // An empty name names no file: fopen refuses it, and a temporary file for
  // it would land in the working folder and never find its place.
  if (target.empty()) return false;
  target_ = result_path(target);
  struct stat st;
  if (stat(target_.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
    if (S_ISDIR(st.st_mode)) return false;
    fp_ = std::fopen(target_.c_str(), "w");
    temp_.clear();
  } else {
    std::string pattern = temp_pattern(target_);
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    PendingTemp* entry = new_pending(pattern.size());
    int fd = create_pending(name, entry);
    if (fd < 0) {
      if (entry) delete[] entry->path;
      delete entry;
      return false;
    }
    temp_.assign(name.data());
    pending_ = entry;
    fchmod(fd, creation_mode());
    fp_ = fdopen(fd, "w");
    if (!fp_) {
      ::close(fd);
      drop_temp();
    }
  }
  if (fp_) setvbuf(fp_, nullptr, _IOFBF, kWriteBuffer);
  return fp_ != nullptr;
}

bool ResultFile::finish() {
  if (finished_) return true;
  if (!fp_) return false;
  bool ok = std::fflush(fp_) == 0 && !std::ferror(fp_);
  ok = (std::fclose(fp_) == 0) && ok;
  fp_ = nullptr;
  if (!ok) {
    drop_temp();
    return false;
  }
  finished_ = true;
  return true;
}

bool ResultFile::commit() {
  if (!finish()) return false;
  finished_ = false;
  bool ok = true;
  if (!temp_.empty()) {
    ok = std::rename(temp_.c_str(), target_.c_str()) == 0;
    if (ok) temp_.clear();  // now the result: nothing to remove any more
    drop_temp();
  }
  return ok;
}

void ResultFile::discard() {
  if (fp_) std::fclose(fp_);
  fp_ = nullptr;
  finished_ = false;
  drop_temp();
}

void ResultFile::drop_temp() {
  if (!temp_.empty()) unlink(temp_.c_str());
  temp_.clear();
  remove_pending(pending_);
  pending_ = nullptr;
}

bool same_file(const std::string& a, const std::string& b) {
  struct stat sa, sb;
  if (stat(a.c_str(), &sa) != 0 || stat(b.c_str(), &sb) != 0) return false;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

}  // namespace haldor
