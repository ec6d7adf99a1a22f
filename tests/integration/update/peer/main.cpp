// A small program the caller-authentication tests seal into a fixture app bundle: it connects
// to the Unix socket named by its argument and stays until the other end closes.
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

int main(int argc, char** argv) {
  if (argc != 2 || std::strlen(argv[1]) >= sizeof(sockaddr_un::sun_path)) {
    return 64;
  }
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strcpy(address.sun_path, argv[1]);
  if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    return 1;
  }
  char byte;
  while (::read(fd, &byte, 1) > 0) {
  }
  return 0;
}
