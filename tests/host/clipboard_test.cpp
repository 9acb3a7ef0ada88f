// The clipboard pair: trimming, silence on failure, the no-reply write, and the command
// pipe that talks to desktop clipboard commands.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "host/clipboard.hpp"
#include "protocol/request_dispatcher.hpp"
#include "host_test_support.hpp"

namespace tw {
namespace {

using testing::RecordingSink;

struct ClipboardDispatch {
  RecordingSink sink;
  InMemoryClipboard clipboard;
  RequestDispatcher dispatcher{sink, clipboard};
};

TEST(ClipboardRequests, ReadTrimsOnlyTheEnds) {
  ClipboardDispatch d;
  d.clipboard.write("  hello world \n");
  d.dispatcher.handleTypedRequest("read_clipboard", R"({"request_id":"c"})");
  EXPECT_EQ(d.sink.texts.at(0), R"({"ok":true,"payload":{"text":"hello world"},"type":"clipboard_text"})");
}

TEST(ClipboardRequests, EmptyOrWhiteClipboardReadsEmpty) {
  for (const char* content : {"", " \t\r\n \n"}) {
    ClipboardDispatch d;
    d.clipboard.write(content);
    d.dispatcher.handleTypedRequest("read_clipboard", "");
    EXPECT_EQ(d.sink.only()["payload"]["text"], "");
  }
}

TEST(ClipboardRequests, LongMultiLineTextComesBackWhole) {
  ClipboardDispatch d;
  std::string text;
  for (int line = 0; line < 40; ++line) text += "line " + std::to_string(line) + " of the clipboard\n";
  d.clipboard.write("\n\t" + text);
  d.dispatcher.handleUntypedRequest(R"({"type":"read_clipboard"})");
  EXPECT_EQ(d.sink.only()["payload"]["text"], text.substr(0, text.size() - 1));
}

TEST(ClipboardRequests, UnreachableClipboardSendsNothing) {
  ClipboardDispatch d;
  d.clipboard.setReachable(false);
  d.dispatcher.handleTypedRequest("read_clipboard", "{}");
  d.dispatcher.handleTypedRequest("write_clipboard", R"({"text":"x"})");
  EXPECT_TRUE(d.sink.envelopes.empty());
}

TEST(ClipboardRequests, WriteSendsNoReply) {
  ClipboardDispatch d;
  d.dispatcher.handleTypedRequest("write_clipboard", R"({"text":" Cmaj7 | Am7 "})");
  EXPECT_TRUE(d.sink.envelopes.empty());
  EXPECT_EQ(d.clipboard.text(), " Cmaj7 | Am7 ");
}

TEST(ClipboardRequests, WriteWithoutTextEmptiesTheClipboard) {
  for (const char* text : {"{}", "", R"({"payload":{},"request_id":"w"})"}) {
    ClipboardDispatch d;
    d.clipboard.write("old");
    d.dispatcher.handleTypedRequest("write_clipboard", text);
    EXPECT_EQ(d.clipboard.text(), "") << text;
    EXPECT_TRUE(d.sink.envelopes.empty());
  }
}

TEST(ClipboardRequests, WriteWithNonStringTextFails) {
  for (const char* text : {R"({"text":5,"request_id":"w"})", R"({"text":null,"request_id":"w"})",
                           R"([1,2])"}) {
    ClipboardDispatch d;
    d.clipboard.write("old");
    d.dispatcher.handleTypedRequest("write_clipboard", text);
    EXPECT_EQ(d.sink.only()["payload"]["code"], "invalid_payload") << text;
    EXPECT_EQ(d.clipboard.text(), "old");
  }
}

TEST(ClipboardRequests, BrokenBytesOnTheClipboardGiveTheGenericFailure) {
  ClipboardDispatch d;
  d.clipboard.write("caf\xE9");
  d.dispatcher.handleTypedRequest("read_clipboard", R"({"request_id":"r"})");
  EXPECT_EQ(d.sink.only()["payload"]["code"], "invalid_payload");
}

TEST(ClipboardTrim, TrimSet) {
  EXPECT_EQ(trimClipboardText("  a b \n"), "a b");
  EXPECT_EQ(trimClipboardText("\r\n\t "), "");
  EXPECT_EQ(trimClipboardText("\va\v"), "\va\v");  // only the four characters count
  EXPECT_EQ(trimClipboardText("x"), "x");
}

class CommandPipe : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = std::filesystem::temp_directory_path() /
              ("tw-clipboard-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(folder_);
    file_ = (folder_ / "clipboard.txt").string();
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  CommandPipeClipboard fileClipboard() const { return CommandPipeClipboard({"cat", file_}, {"tee", file_}); }
  std::string fileText() const {
    std::ifstream in(file_, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  std::filesystem::path folder_;
  std::string file_;
};

TEST_F(CommandPipe, RoundTripsLongTextInPieces) {
  auto clipboard = fileClipboard();
  std::string text;
  for (int i = 0; i < 3000; ++i) text += static_cast<char>('a' + i % 26);
  text += "\nsecond line\n";
  text.push_back('\0');  // a NUL byte does not cut the text short
  text += "after";
  ASSERT_TRUE(clipboard.write(text));
  EXPECT_EQ(fileText(), text);
  EXPECT_EQ(clipboard.read(), text);
}

TEST_F(CommandPipe, WritingNothingEmptiesTheClipboard) {
  auto clipboard = fileClipboard();
  ASSERT_TRUE(clipboard.write("old"));
  ASSERT_TRUE(clipboard.write(""));
  EXPECT_EQ(fileText(), "");
}

TEST_F(CommandPipe, TextIsNeverInterpretedByAShell) {
  auto clipboard = fileClipboard();
  const std::string text = "$(touch " + (folder_ / "pwned").string() + "); `id` 'q' \"dq\" | ; &";
  ASSERT_TRUE(clipboard.write(text));
  EXPECT_EQ(clipboard.read(), text);
  EXPECT_FALSE(std::filesystem::exists(folder_ / "pwned"));
}

TEST_F(CommandPipe, MissingCommandsBehaveAsFailingPipes) {
  CommandPipeClipboard clipboard({"tw-no-such-clipboard-command"}, {"tw-no-such-clipboard-command"});
  EXPECT_FALSE(clipboard.read());
  EXPECT_FALSE(clipboard.write("x"));
  CommandPipeClipboard empty({}, {});
  EXPECT_FALSE(empty.read());
  EXPECT_FALSE(empty.write("x"));
}

TEST_F(CommandPipe, ACommandThatStopsReadingDoesNotKillTheHost) {
  CommandPipeClipboard clipboard({"true"}, {"true"});
  const std::string big(4 << 20, 'x');
  EXPECT_TRUE(clipboard.write(big));
  EXPECT_EQ(clipboard.read(), "");
}

TEST_F(CommandPipe, FailingExitStatusIsIgnored) {
  CommandPipeClipboard clipboard({"false"}, {"false"});
  EXPECT_EQ(clipboard.read(), "");
  EXPECT_TRUE(clipboard.write("x"));
}

TEST_F(CommandPipe, ThroughTheDispatcher) {
  RecordingSink sink;
  auto clipboard = fileClipboard();
  RequestDispatcher dispatcher(sink, clipboard);
  dispatcher.handleTypedRequest("write_clipboard", R"({"text":"  hello world \n"})");
  dispatcher.handleTypedRequest("read_clipboard", "");
  EXPECT_EQ(sink.only()["payload"]["text"], "hello world");
}

TEST(DesktopClipboard, NamesAPairOfCommands) {
  const auto commands = desktopClipboardCommands();
  EXPECT_FALSE(commands.read.empty());
  EXPECT_FALSE(commands.write.empty());
  EXPECT_NE(makeSystemClipboard(), nullptr);
}

}  // namespace
}  // namespace tw
