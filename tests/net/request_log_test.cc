#include "net/request_log.h"

#include <gtest/gtest.h>

#include <string>

#include "net/net_errors.h"
#include "support/temp_dir.h"

namespace {

using NetEx::CLog;
using testing_support::ReadFileBytes;
using testing_support::TempDir;

TEST(RequestLogTest, FileNameReplacesWhatAFileNameCannotHold) {
  EXPECT_EQ(CLog::FileName("logs/", 42, "Httx.a:b\\c\"d/e<f>g|h\x01i\xC3\xA9"), "logs/42.Httx.a-b-c-d-e-f-g-h-i--.log");
  EXPECT_EQ(CLog::FileName("", 7, "Httx.Context3"), "7.Httx.Context3.log");
}

TEST(RequestLogTest, EntriesFieldsAndTheWriteLimit) {
  TempDir dir;
  const std::string path = (dir / "sub/folder/1.Httx.log").string();
  {
    CLog log;
    ASSERT_TRUE(log.Open(path, 4096));  // folders are made
    const std::string stamp = log.Timestamp();
    ASSERT_EQ(stamp.size(), 25u);
    log.Entry(std::string(80, 't'));  // long titles keep three fill characters
    log.Field("Id:   ", int64_t{-5});
    log.Block("Data:", std::string(10000, 'd'));
    log.ErrorLine(-1);
    log.ErrorLine(12002);
    log.ErrorLine(10054);
    log.ErrorLine(5);
  }
  {
    CLog again;  // appends, and only a new file gets the mark
    ASSERT_TRUE(again.Open(path));
    again.Field("More: ", "x");
  }
  const std::string text = ReadFileBytes(path);
  const std::string expectedHead = "\xEF\xBB\xBF" + std::string(80, 't') + " ==[";
  EXPECT_EQ(text.substr(0, expectedHead.size()), expectedHead);
  const size_t data = text.find("Id:   -5\r\nData:\r\n");
  ASSERT_NE(data, std::string::npos);
  EXPECT_EQ(text.substr(data + 17, 4096 + 27), std::string(4096, 'd') + " ...block is too large...\r\n");
  EXPECT_NE(text.find("\r\nFailed\r\nWinInet error 12002: The operation timed out\r\nWinsock error 10054:\r\nError 5:\r\n"
                      "More: x\r\n"),
            std::string::npos);
  EXPECT_EQ(text.find("\xEF\xBB\xBF", 3), std::string::npos);
}

TEST(RequestLogTest, UnopenableLogIsAbsent) {
  TempDir dir;
  testing_support::WriteFileBytes(dir / "file", "x");
  CLog log;
  EXPECT_FALSE(log.Open((dir / "file/below/x.log").string()));
  EXPECT_FALSE(log.Write("text"));
}

TEST(NetErrorsTest, LibraryErrorsMapToTheCodesTheLogicBranchesOn) {
  struct Case {
    int library;
    long verify;
    uint32_t code;
  };
  // Library result codes: 28 time-out, 7 no connection, 18 partial body,
  // 56 receive error, 60 certificate, 6 unknown host, 23 write error.
  const Case cases[] = {{0, 0, 0},         {28, 0, 12002},  {7, 0, 12029},   {18, 0, 12031},  {56, 0, 12031},
                        {60, 18, 12045},   {60, 20, 12045}, {60, 10, 12037}, {60, 0, 12038},  {6, 0, 12007},
                        {23, 0, 29},       {9999, 0, 12004}};
  for (const Case& c : cases) {
    EXPECT_EQ(NetEx::MapTransferError(c.library, c.verify), c.code) << c.library << "/" << c.verify;
  }
}

}  // namespace
