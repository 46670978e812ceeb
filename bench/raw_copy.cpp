// The raw limit of an update of the hosts file: read it whole, write it to a
// new file beside it, flush that to disk and rename it over the original.
// Plain system calls, nothing of ours: what no update that holds the file
// whole can beat.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

namespace {

[[noreturn]] void Fail(const char* what) {
  std::perror(what);
  std::exit(1);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: raw_copy FILE\n");
    return 2;
  }
  const std::string path = argv[1];
  const int in = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  struct stat info {};
  if (in < 0 || fstat(in, &info) != 0) Fail("open");
  const auto size = static_cast<size_t>(info.st_size);
  const auto bytes = std::make_unique_for_overwrite<char[]>(size);
  size_t got = 0;
  for (ssize_t n; got < size && (n = read(in, bytes.get() + got, size - got)) != 0; got += static_cast<size_t>(n))
    if (n < 0) Fail("read");
  close(in);

  std::string newPath = path.substr(0, path.rfind('/') + 1) + "rawXXXXXX";
  const int out = mkstemp(newPath.data());
  if (out < 0) Fail("mkstemp");
  for (size_t put = 0; put < got;) {
    const ssize_t n = write(out, bytes.get() + put, got - put);
    if (n < 0) Fail("write");
    put += static_cast<size_t>(n);
  }
  if (fsync(out) != 0) Fail("fsync");
  close(out);
  if (rename(newPath.c_str(), path.c_str()) != 0) Fail("rename");
  return 0;
}
