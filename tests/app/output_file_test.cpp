#include "app/OutputFile.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <thread>

#include "tests/support/TestSupport.h"

namespace {

namespace fs = std::filesystem;
using app::OutputFile;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

bool WriteFrame(OutputFile& out, const std::string& text) {
  out.Append(text);
  return out.Flush();
}

// A link is followed and stays a link; a file keeps its mode and stays as it was until Begin; a
// link to nothing creates its target, which a run refused before Begin removes again; a folder is
// refused; two outputs on one file are found through any of their names.
TEST(OutputFile, WritesIntoWhatThePathNames) {
  TempDir dir;
  WriteFile(dir / "target.csv", "old\n");
  fs::permissions(dir / "target.csv", fs::perms::owner_read | fs::perms::owner_write);
  fs::create_symlink("target.csv", dir / "link.csv");
  std::string error;
  {
    OutputFile out;
    ASSERT_TRUE(out.Open(dir / "link.csv", error)) << error;
    EXPECT_EQ(ReadFile(dir / "target.csv"), "old\n");
    OutputFile again;
    ASSERT_TRUE(again.Open(dir / "target.csv", error)) << error;
    EXPECT_TRUE(out.SameFileAs(again));
    ASSERT_TRUE(out.Begin(error)) << error;
    EXPECT_TRUE(WriteFrame(out, "a\n"));
    EXPECT_EQ(ReadFile(dir / "target.csv"), "a\n");  // there before Close
    ASSERT_TRUE(out.Close(error)) << error;
  }
  EXPECT_TRUE(fs::is_symlink(dir / "link.csv"));
  EXPECT_EQ(fs::status(dir / "target.csv").permissions(),
            fs::perms::owner_read | fs::perms::owner_write);

  fs::create_symlink("absent.csv", dir / "dangling.csv");
  {
    OutputFile refused;
    ASSERT_TRUE(refused.Open(dir / "dangling.csv", error)) << error;
    EXPECT_TRUE(fs::exists(dir / "absent.csv"));
    OutputFile other;
    ASSERT_TRUE(other.Open(dir / "other.csv", error)) << error;
    EXPECT_FALSE(refused.SameFileAs(other));
  }
  EXPECT_FALSE(fs::exists(dir / "absent.csv"));
  EXPECT_FALSE(fs::exists(dir / "other.csv"));
  EXPECT_TRUE(fs::is_symlink(dir / "dangling.csv"));

  OutputFile folder;
  EXPECT_FALSE(folder.Open(dir.path(), error));
  EXPECT_EQ(error, dir.path().string() + ": is a folder, not a file");

  OutputFile dash;
  ASSERT_TRUE(dash.Open("-", error)) << error;
  EXPECT_TRUE(dash.IsStdout());
}

// A FIFO stays a FIFO and its reader gets every frame; opening waits for a reader, and a stop
// request ends the wait. A device copy stays a device.
TEST(OutputFile, FifoAndDeviceAreWrittenInPlace) {
  TempDir dir;
  const fs::path fifo = dir / "signals.fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::string error;
  int waits = 0;
  OutputFile lonely;
  EXPECT_FALSE(lonely.Open(
      fifo, error, [] { return true; }, [&] { ++waits; }));
  EXPECT_EQ(error, fifo.string() + ": no reader of this FIFO came before the stop");
  EXPECT_EQ(waits, 1);

  std::string received;
  std::thread reader([&] {
    const int fd = ::open(fifo.c_str(), O_RDONLY);
    char buffer[256];
    for (ssize_t n; fd >= 0 && (n = ::read(fd, buffer, sizeof buffer)) > 0;)
      received.append(buffer, static_cast<std::size_t>(n));
    if (fd >= 0) ::close(fd);
  });
  {
    OutputFile out;
    ASSERT_TRUE(out.Open(fifo, error)) << error;
    ASSERT_TRUE(out.Begin(error)) << error;
    EXPECT_TRUE(WriteFrame(out, "one\n"));
    EXPECT_TRUE(WriteFrame(out, "two\n"));
    EXPECT_TRUE(out.Close(error)) << error;
  }
  reader.join();
  EXPECT_EQ(received, "one\ntwo\n");
  EXPECT_TRUE(fs::is_fifo(fifo));

  // A copy of /dev/null: root may make one, in a container it may not.
  const fs::path null = dir / "null";
  if (::mknod(null.c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0) {
    GTEST_SKIP() << "mknod is not permitted here: the device part is left out";
  }
  OutputFile device;
  ASSERT_TRUE(device.Open(null, error)) << error;
  ASSERT_TRUE(device.Begin(error)) << error;
  EXPECT_TRUE(WriteFrame(device, "gone\n"));
  EXPECT_TRUE(device.Close(error)) << error;
  EXPECT_TRUE(fs::is_character_file(null));
}

// A writer of a log format writes through the stream: its text reaches the file at the frame's
// end, whole; in a regular file it may go back to rewrite a header (as BLF's writer does), on a
// FIFO it may not.
TEST(OutputFile, AStreamWritesIntoTheFramesAndSeeksInARegularFile) {
  TempDir dir;
  std::string error;
  OutputFile out;
  ASSERT_TRUE(out.Open(dir / "capture.blf", error)) << error;
  ASSERT_TRUE(out.Begin(error)) << error;
  std::FILE* stream = out.Stream();
  ASSERT_NE(stream, nullptr);
  std::fputs("HEAD....", stream);
  std::fputs("frame 1\n", stream);
  std::fflush(stream);
  EXPECT_EQ(ReadFile(dir / "capture.blf"), "");  // not before the frame ends
  EXPECT_TRUE(out.Flush());
  EXPECT_EQ(ReadFile(dir / "capture.blf"), "HEAD....frame 1\n");
  std::fputs("frame 2\n", stream);
  const off_t end = ftello(stream);
  EXPECT_EQ(end, 24);
  ASSERT_EQ(fseeko(stream, 4, SEEK_SET), 0);
  std::fputs("=24=", stream);
  ASSERT_EQ(fseeko(stream, end, SEEK_SET), 0);
  std::fputs("frame 3\n", stream);
  ASSERT_TRUE(out.Close(error)) << error;
  EXPECT_EQ(ReadFile(dir / "capture.blf"), "HEAD=24=frame 1\nframe 2\nframe 3\n");

  const fs::path fifo = dir / "fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  OutputFile piped;
  ASSERT_TRUE(piped.Open(fifo, error)) << error;
  std::FILE* pipeStream = piped.Stream();
  ASSERT_NE(pipeStream, nullptr);
  std::fputs("x", pipeStream);
  EXPECT_NE(fseeko(pipeStream, 0, SEEK_SET), 0);
  ::close(reader);
}

// A write that fails half way (here the file size limit of the process) leaves the file cut back
// to its last whole frame, and Close says why. In a child process: the limit is the process's.
TEST(OutputFile, AFailedWriteLeavesOnlyWholeFrames) {
  TempDir dir;
  const fs::path file = dir / "capture.log";
  const std::string frame(299, 'x');
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{1000, 1000};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    OutputFile out;
    std::string error;
    bool ok = out.Open(file, error) && out.Begin(error);
    for (int i = 0; ok && i < 5; ++i)
      ok = WriteFrame(out, frame + "\n");
    const bool reported = !out.Close(error) && error.find("File too large") != std::string::npos;
    ::_exit(!ok && reported ? 0 : 1);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  std::string whole;
  for (int i = 0; i < 3; ++i)
    whole += frame + "\n";
  EXPECT_EQ(ReadFile(file), whole);
}

}  // namespace
