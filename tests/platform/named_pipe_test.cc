#include "platform/named_pipe.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "platform/file_system.h"
#include "support/platform_sandbox.h"

namespace {

TEST(NamedPipe, RecordsCrossInPiecesAndTheFileGoesWithTheServer) {
  testing_support::PlatformSandbox sandbox;
  auto server = platform::PipeServer::Create("launcher_4242");
  ASSERT_NE(server, nullptr);
  EXPECT_TRUE(platform::FileExists(platform::PipePath("launcher_4242")));

  std::thread client([] {
    auto pipe = platform::ConnectPipe("launcher_4242");
    ASSERT_NE(pipe, nullptr);
    const std::string big(100000, 'x');
    // The reader sees one stream, however the writes were cut.
    EXPECT_TRUE(pipe->Write("ab", 2, 1000));
    EXPECT_TRUE(pipe->Write("cd|ef", 5, 1000));
    EXPECT_TRUE(pipe->Write(big.data(), big.size(), 5000));
    EXPECT_TRUE(pipe->Write("tail", 4, 1000));
  });
  auto connection = server->Accept(2000);
  ASSERT_NE(connection, nullptr);
  char text[7] = {};
  EXPECT_TRUE(connection->ReadExact(text, 7, 2000));
  EXPECT_EQ(std::string(text, 7), "abcd|ef");
  EXPECT_TRUE(connection->Skip(100000, 2000));
  char tail[4];
  EXPECT_TRUE(connection->ReadExact(tail, 4, 2000));
  EXPECT_EQ(std::string(tail, 4), "tail");
  client.join();
  EXPECT_TRUE(connection->PeerClosed());
  // The writer is gone: a read ends instead of waiting for its time-out.
  EXPECT_FALSE(connection->ReadExact(tail, 1, 5000));

  server.reset();
  EXPECT_FALSE(platform::FileExists(platform::PipePath("launcher_4242")));
}

TEST(NamedPipe, NobodyListeningAndSilentPeersFail) {
  testing_support::PlatformSandbox sandbox;
  EXPECT_EQ(platform::ConnectPipe("launcher_1"), nullptr);
  EXPECT_EQ(platform::ConnectPipe("../escape"), nullptr);
  auto server = platform::PipeServer::Create("launcher_2");
  ASSERT_NE(server, nullptr);
  EXPECT_EQ(server->Accept(50), nullptr);  // nobody came
  auto pipe = platform::ConnectPipe("launcher_2");
  ASSERT_NE(pipe, nullptr);
  auto connection = server->Accept(1000);
  ASSERT_NE(connection, nullptr);
  char byte;
  EXPECT_FALSE(connection->ReadExact(&byte, 1, 50));  // a time-out, not a hang
  EXPECT_FALSE(connection->PeerClosed());
  ASSERT_TRUE(pipe->Write("z", 1, 1000));
  EXPECT_FALSE(connection->PeerClosed());  // a waiting byte is no end, and stays
  pipe.reset();
  EXPECT_FALSE(connection->PeerClosed());  // nor while it is unread
  EXPECT_TRUE(connection->ReadExact(&byte, 1, 1000));
  EXPECT_EQ(byte, 'z');
  EXPECT_TRUE(connection->PeerClosed());
}

}  // namespace
