// Frame reading and writing on a socket.
#include "update/trust/UpdateFrameStream.h"

#include <poll.h>
#include <sys/mman.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <memory>
#include <system_error>

namespace orlith {
namespace {

[[noreturn]] void throwErrno(int error) {
  throw std::system_error(error, std::generic_category());
}

// Without a deadline the send blocks as the socket does; with one, each wait for room is bounded
// by the time left.
void sendAll(int fd, std::string_view bytes, const UpdateFrameStream::Deadline& deadline) {
  while (!bytes.empty()) {
    int flags = MSG_NOSIGNAL;
    if (deadline) {
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(
          *deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) {
        throw UpdateSendTimeout();
      }
      pollfd room{fd, POLLOUT, 0};
      const int ready =
          ::poll(&room, 1, static_cast<int>(std::min<std::int64_t>(left.count(), INT32_MAX)));
      if (ready < 0 && errno != EINTR) {
        throwErrno(errno);
      }
      if (ready <= 0) {
        continue;
      }
      flags |= MSG_DONTWAIT;
    }
    const ssize_t sent = ::send(fd, bytes.data(), bytes.size(), flags);
    if (sent < 0) {
      if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) {
        continue;
      }
      throwErrno(errno);
    }
    bytes.remove_prefix(static_cast<std::size_t>(sent));
  }
}

// A body of many megabytes is faulted in far faster in large pages, where the system offers them
// on request; the advice covers the whole large pages inside the buffer and may be ignored.
void adviseLargePages(char* data, std::size_t size) {
  constexpr std::uintptr_t kLargePage = 2 * 1024 * 1024;
  const auto begin = reinterpret_cast<std::uintptr_t>(data);
  const std::uintptr_t first = (begin + kLargePage - 1) & ~(kLargePage - 1);
  const std::uintptr_t end = (begin + size) & ~(kLargePage - 1);
  if (end > first) {
    ::madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
  }
}

}  // namespace

void UpdateFrameStream::writeFrame(std::string_view header,
                                   std::initializer_list<std::string_view> bodies,
                                   Deadline deadline) {
  if (header.empty() || header.size() > UpdateInstallerProtocol::kMaximumHeaderSize) {
    throw UpdateProtocolError("The installer frame header has an invalid size.");
  }
  const auto length = static_cast<std::uint32_t>(header.size());
  const char prefix[4] = {static_cast<char>(length & 0xFF), static_cast<char>((length >> 8) & 0xFF),
                          static_cast<char>((length >> 16) & 0xFF),
                          static_cast<char>((length >> 24) & 0xFF)};
  const std::lock_guard lock(writeMutex_);
  sendAll(socket_.get(), std::string_view(prefix, sizeof prefix), deadline);
  sendAll(socket_.get(), header, deadline);
  for (const auto body : bodies) {
    sendAll(socket_.get(), body, deadline);
  }
}

void UpdateFrameStream::writeRequest(const UpdateInstallerRequest& request, Deadline deadline) {
  if (request.method == UpdateInstallerMethod::prepare) {
    UpdateInstallerRequest announced{request.id,
                                     request.method,
                                     std::nullopt,
                                     request.package.size(),
                                     request.manifest.size(),
                                     {},
                                     {}};
    writeFrame(UpdateInstallerProtocol::encodeRequestHeader(announced),
               {request.package, request.manifest}, deadline);
  } else {
    writeFrame(UpdateInstallerProtocol::encodeRequestHeader(request), {}, deadline);
  }
}

void UpdateFrameStream::writeReply(const UpdateInstallerReply& reply) {
  writeFrame(UpdateInstallerProtocol::encodeReplyHeader(reply));
}

bool UpdateFrameStream::readExactly(char* data, std::size_t size, bool endAllowed) {
  std::size_t filled = 0;
  while (filled < size) {
    const ssize_t got = ::recv(socket_.get(), data + filled, size - filled, 0);
    if (got < 0) {
      if (errno == EINTR) {
        continue;
      }
      throwErrno(errno);
    }
    if (got == 0) {
      if (endAllowed && filled == 0) {
        return false;
      }
      throw UpdateProtocolError("The installer connection ended inside a frame.");
    }
    filled += static_cast<std::size_t>(got);
  }
  return true;
}

// A package body is up to 250 MB: the string is reserved but never zero-filled, and the socket is
// drained through a small buffer that stays in the cache, so each fresh page is written once.
std::string UpdateFrameStream::readBody(std::uint64_t size) {
  constexpr std::size_t kChunk = 256 * 1024;
  std::string body;
  body.reserve(static_cast<std::size_t>(size));
  adviseLargePages(body.data(), body.capacity());
  std::unique_ptr<char[]> chunk;
  while (body.size() < size) {
    if (!chunk) {
      chunk = std::make_unique_for_overwrite<char[]>(kChunk);
    }
    const std::size_t wanted = std::min<std::size_t>(kChunk, size - body.size());
    const ssize_t got = ::recv(socket_.get(), chunk.get(), wanted, 0);
    if (got < 0) {
      if (errno == EINTR) {
        continue;
      }
      throwErrno(errno);
    }
    if (got == 0) {
      throw UpdateProtocolError("The installer connection ended inside a frame.");
    }
    body.append(chunk.get(), static_cast<std::size_t>(got));
  }
  return body;
}

std::optional<std::string> UpdateFrameStream::readHeader() {
  unsigned char prefix[4];
  if (!readExactly(reinterpret_cast<char*>(prefix), sizeof prefix, true)) {
    return std::nullopt;
  }
  const std::uint32_t length = prefix[0] | (prefix[1] << 8) | (prefix[2] << 16) |
                               (static_cast<std::uint32_t>(prefix[3]) << 24);
  if (length == 0 || length > UpdateInstallerProtocol::kMaximumHeaderSize) {
    throw UpdateProtocolError("The installer frame header has an invalid size.");
  }
  std::string header(length, '\0');
  readExactly(header.data(), header.size(), false);
  return header;
}

std::optional<std::variant<UpdateInstallerRequest, UpdateOversizedRequest>>
UpdateFrameStream::readRequest(const std::function<void()>& beforeBodies) {
  const auto header = readHeader();
  if (!header) {
    return std::nullopt;
  }
  UpdateInstallerRequest request = UpdateInstallerProtocol::decodeRequestHeader(*header);
  if (auto refusal = UpdateInstallerProtocol::sizeRefusal(request)) {
    return UpdateOversizedRequest{std::move(request), std::move(*refusal)};
  }
  if (request.method == UpdateInstallerMethod::prepare) {
    if (beforeBodies) {
      beforeBodies();
    }
    request.package = readBody(request.packageSize);
    request.manifest = readBody(request.manifestSize);
  }
  return request;
}

std::optional<UpdateInstallerReply> UpdateFrameStream::readReply() {
  const auto header = readHeader();
  if (!header) {
    return std::nullopt;
  }
  return UpdateInstallerProtocol::decodeReplyHeader(*header);
}

}  // namespace orlith
