// The raw limit of the check of the hosts file: read it whole into memory.
// Plain system calls, nothing of ours: what no check that reads the file
// whole can beat.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <memory>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: raw_read FILE\n");
    return 2;
  }
  const int in = open(argv[1], O_RDONLY | O_CLOEXEC);
  struct stat info {};
  if (in < 0 || fstat(in, &info) != 0) {
    std::perror("open");
    return 1;
  }
  const auto size = static_cast<size_t>(info.st_size);
  const auto bytes = std::make_unique_for_overwrite<char[]>(size);
  for (size_t got = 0; got < size;) {
    const ssize_t n = read(in, bytes.get() + got, size - got);
    if (n < 0) {
      std::perror("read");
      return 1;
    }
    if (n == 0) break;
    got += static_cast<size_t>(n);
  }
  close(in);
  return 0;
}
