// Installer call headers, the reply rules and the framing over a real socketpair.
#include <gtest/gtest.h>
#include <sys/socket.h>

#include <memory>
#include <thread>

#include "update/trust/UpdateFailure.h"
#include "update/trust/UpdateFrameStream.h"
#include "update/trust/UpdateInstallerHandler.h"

namespace orlith {
namespace {

using Request = UpdateInstallerRequest;
using Method = UpdateInstallerMethod;

using Stream = std::unique_ptr<UpdateFrameStream>;

std::pair<Stream, Stream> socketPair() {
  int fds[2];
  EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds), 0);
  return {std::make_unique<UpdateFrameStream>(UniqueFd(fds[0])),
          std::make_unique<UpdateFrameStream>(UniqueFd(fds[1]))};
}

TEST(UpdateInstallerProtocolTest, HeadersRoundTripWithNullAndEmptyKeptApart) {
  const Request requests[] = {
      {7, Method::prepare, std::nullopt, 262'144'000, 12, "", ""},
      {8, Method::prepareCurrentApplication, std::nullopt, 0, 0, "", ""},
      {UINT64_MAX, Method::install, "tok", 0, 0, "", ""},
      {9, Method::cancel, "", 0, 0, "", ""},
  };
  for (const auto& request : requests) {
    EXPECT_EQ(UpdateInstallerProtocol::decodeRequestHeader(
                  UpdateInstallerProtocol::encodeRequestHeader(request)),
              request);
  }
  const UpdateInstallerReply replies[] = {
      {1, UpdatePrepareReply{"", std::nullopt, false}},
      {2, UpdatePrepareReply{std::nullopt, "", true}},
      {3, UpdatePrepareReply{std::nullopt, std::nullopt, false}},
      {4, UpdateCompletionReply{true, std::nullopt}},
      {5, UpdateCompletionReply{false, "The prepared update expired. Check again."}},
  };
  for (const auto& reply : replies) {
    EXPECT_EQ(UpdateInstallerProtocol::decodeReplyHeader(
                  UpdateInstallerProtocol::encodeReplyHeader(reply)),
              reply);
  }
}

TEST(UpdateInstallerProtocolTest, MalformedHeadersCloseTheConnection) {
  for (const char* header : {
           R"({"v":2,"id":1,"method":"cancel","token":"t"})",
           R"({"id":1,"method":"cancel","token":"t"})",
           R"({"v":1,"id":-1,"method":"cancel","token":"t"})",
           R"({"v":1,"id":1.5,"method":"cancel","token":"t"})",
           R"({"v":1,"id":1,"method":"uninstall"})",
           R"({"v":1,"id":1,"method":"cancel"})",
           R"({"v":1,"id":1,"method":"install","token":null})",
           R"({"v":1,"id":1,"method":"prepare","sizes":[1]})",
           R"({"v":1,"id":1,"method":"prepare","sizes":[1,-2]})",
           R"({"v":1,"id":1,"method":"prepare"})",
           R"([1])",
           "{",
       }) {
    EXPECT_THROW(UpdateInstallerProtocol::decodeRequestHeader(header), UpdateProtocolError)
        << header;
  }
  for (const char* header :
       {R"({"v":1,"id":1,"ok":true,"manual":false,"error":null})",
        R"({"v":1,"id":1,"ok":1,"error":null})", R"({"v":1,"id":1,"token":null,"manual":false})"}) {
    EXPECT_THROW(UpdateInstallerProtocol::decodeReplyHeader(header), UpdateProtocolError) << header;
  }
}

TEST(UpdateInstallerProtocolTest, FailuresReplyWithTheirTextAndOnlyAnUpdateFailureWithItsFlag) {
  const auto manual =
      std::make_exception_ptr(UpdateFailure("Move it yourself.", ManualInstallation::required));
  const auto other = std::make_exception_ptr(std::runtime_error("disk full"));
  EXPECT_EQ(UpdatePrepareReply::failure(manual),
            (UpdatePrepareReply{std::nullopt, "Move it yourself.", true}));
  EXPECT_EQ(UpdatePrepareReply::failure(other),
            (UpdatePrepareReply{std::nullopt, "disk full", false}));
  EXPECT_EQ(UpdatePrepareReply::failure(std::make_exception_ptr(42)), UpdatePrepareReply{});
  EXPECT_EQ(UpdateCompletionReply::failure(manual),
            (UpdateCompletionReply{false, "Move it yourself."}));
}

// A handler whose every call does what the test asks.
class ScriptedHandler final : public UpdateInstallerHandler {
 public:
  enum class Behaviour { answer, answerTwice, drop, throwFailure, keepForLater };
  explicit ScriptedHandler(Behaviour behaviour) : behaviour_(behaviour) {}

  void prepare(std::string package, std::string,
               UpdateReplyGuard<UpdatePrepareReply> reply) override {
    act(reply, UpdatePrepareReply::success("token-" + std::to_string(package.size())));
  }
  void prepareCurrentApplication(UpdateReplyGuard<UpdatePrepareReply> reply) override {
    act(reply, UpdatePrepareReply::success("local"));
  }
  void install(std::string, UpdateReplyGuard<UpdateCompletionReply> reply) override {
    act(reply, UpdateCompletionReply::success());
  }
  void cancel(std::string, UpdateReplyGuard<UpdateCompletionReply> reply) override {
    act(reply, UpdateCompletionReply::success());
  }

  std::optional<UpdateReplyGuard<UpdatePrepareReply>> keptPrepare;

 private:
  template <typename Reply>
  void act(UpdateReplyGuard<Reply>& reply, const Reply& answer) {
    switch (behaviour_) {
      case Behaviour::answerTwice:
        reply(answer);
        [[fallthrough]];
      case Behaviour::answer:
        reply(answer);
        break;
      case Behaviour::drop:
        break;
      case Behaviour::throwFailure:
        throw UpdateFailure("The update package failed a security check.");
      case Behaviour::keepForLater:
        if constexpr (std::is_same_v<Reply, UpdatePrepareReply>) {
          keptPrepare = reply;
        }
        break;
    }
  }

  Behaviour behaviour_;
};

TEST(UpdateInstallerDispatchTest, EveryCallIsAnsweredExactlyOnce) {
  using B = ScriptedHandler::Behaviour;
  const struct {
    B behaviour;
    Method method;
    UpdateInstallerReply expected;
  } cases[] = {
      {B::answer, Method::prepare, {3, UpdatePrepareReply{"token-4", std::nullopt, false}}},
      {B::answerTwice, Method::install, {3, UpdateCompletionReply{true, std::nullopt}}},
      {B::drop, Method::prepareCurrentApplication, {3, UpdatePrepareReply{}}},
      {B::drop, Method::cancel, {3, UpdateCompletionReply{false, std::nullopt}}},
      {B::throwFailure,
       Method::prepare,
       {3, UpdatePrepareReply{std::nullopt, "The update package failed a security check.", false}}},
      {B::throwFailure,
       Method::install,
       {3, UpdateCompletionReply{false, "The update package failed a security check."}}},
  };
  for (const auto& c : cases) {
    ScriptedHandler handler(c.behaviour);
    std::vector<UpdateInstallerReply> sent;
    Request request{3, c.method, "t", 4, 0, "pkg!", ""};
    dispatchInstallerRequest(handler, request, [&](const auto& reply) { sent.push_back(reply); });
    ASSERT_EQ(sent.size(), 1u) << static_cast<int>(c.behaviour);
    EXPECT_EQ(sent[0], c.expected) << static_cast<int>(c.behaviour);
  }
}

TEST(UpdateInstallerDispatchTest, AKeptGuardAnswersLaterAndItsLossStillAnswers) {
  ScriptedHandler handler(ScriptedHandler::Behaviour::keepForLater);
  std::vector<UpdateInstallerReply> sent;
  dispatchInstallerRequest(handler, {5, Method::prepareCurrentApplication, {}, 0, 0, "", ""},
                           [&](const auto& reply) { sent.push_back(reply); });
  EXPECT_TRUE(sent.empty());
  std::thread([&] { (*handler.keptPrepare)(UpdatePrepareReply::success("late")); }).join();
  handler.keptPrepare.reset();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0], (UpdateInstallerReply{5, UpdatePrepareReply::success("late")}));

  dispatchInstallerRequest(handler, {6, Method::prepareCurrentApplication, {}, 0, 0, "", ""},
                           [&](const auto& reply) { sent.push_back(reply); });
  handler.keptPrepare.reset();
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[1], (UpdateInstallerReply{6, UpdatePrepareReply{}}));
}

TEST(UpdateFrameStreamTest, AFullSizePackageArrivesIntactBesideItsManifest) {
  auto [client, service] = socketPair();
  Request request{11,
                  Method::prepare,
                  std::nullopt,
                  0,
                  0,
                  std::string(262'144'000, '\0'),
                  std::string(262'144, 'm')};
  for (std::size_t i = 0; i < request.package.size(); i += 4093) {
    request.package[i] = static_cast<char>(i * 31);
  }
  std::thread writer([&] { client->writeRequest(request); });
  const auto received = service->readRequest();
  writer.join();
  ASSERT_TRUE(received);
  const auto* read = std::get_if<Request>(&*received);
  ASSERT_NE(read, nullptr);
  EXPECT_EQ(read->id, 11u);
  EXPECT_EQ(read->packageSize, request.package.size());
  EXPECT_TRUE(read->package == request.package);
  EXPECT_TRUE(read->manifest == request.manifest);
}

TEST(UpdateFrameStreamTest, AnOversizedAnnouncementIsRefusedBeforeAnyBodyIsRead) {
  const struct {
    std::uint64_t package;
    std::uint64_t manifest;
    const char* message;
  } cases[] = {
      {1ULL << 40, 10, "The update package has an invalid size."},
      {262'144'001, 10, "The update package has an invalid size."},
      {10, 262'145, "The updater verification key is missing."},
  };
  for (const auto& c : cases) {
    auto [client, service] = socketPair();
    client->writeFrame(UpdateInstallerProtocol::encodeRequestHeader(
        {1, Method::prepare, std::nullopt, c.package, c.manifest, "", ""}));
    const auto received = service->readRequest();
    ASSERT_TRUE(received);
    const auto* refused = std::get_if<UpdateOversizedRequest>(&*received);
    ASSERT_NE(refused, nullptr) << c.package;
    EXPECT_EQ(refused->message, c.message);
    EXPECT_EQ(refused->request.id, 1u);
  }
}

TEST(UpdateFrameStreamTest, EndOfStreamIsCleanOnlyBetweenFrames) {
  {
    auto [client, service] = socketPair();
    client->writeRequest({1, Method::cancel, "t", 0, 0, "", ""});
    ::shutdown(client->descriptor(), SHUT_WR);
    EXPECT_TRUE(service->readRequest());
    EXPECT_FALSE(service->readRequest());
  }
  const std::string truncated[] = {
      std::string("\x05\x00", 2), std::string("\x40\x00\x00\x00{\"v\":1", 10),
      std::string("\x00\x00\x00\x00", 4),
      std::string("\x01\x00\x01\x00", 4),  // 65,537 bytes announced
  };
  for (const auto& bytes : truncated) {
    auto [client, service] = socketPair();
    ASSERT_EQ(::send(client->descriptor(), bytes.data(), bytes.size(), 0),
              static_cast<ssize_t>(bytes.size()));
    ::shutdown(client->descriptor(), SHUT_WR);
    EXPECT_THROW(service->readRequest(), UpdateProtocolError) << bytes.size();
  }
}

TEST(UpdateFrameStreamTest, WritingToAClosedPeerThrowsInsteadOfRaisingSigpipe) {
  auto [client, service] = socketPair();
  service.reset();
  EXPECT_THROW(client->writeReply({1, UpdateCompletionReply::success()}), std::system_error);
}

}  // namespace
}  // namespace orlith
