// The one whole-file reader: regular files in one piece, pipes to their end, folders and missing
// files refused with what the caller held left in place.
#include "platform/WholeFile.hpp"
#include "support/ScratchFolder.hpp"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <thread>

namespace carvento {
namespace {

using platform::ReadWholeFile;
using testing::ScratchFolder;

// More than the reader's 64 KiB buffer and a pipe's 64 KiB, with every byte value (NUL, CR and
// LF among them).
std::string Bytes()
{
    std::string bytes;
    for (int i = 0; i < 200'000; ++i)
        bytes += static_cast<char>((i * 7 + i / 256) % 256);
    return bytes;
}

TEST(WholeFile, ARegularFileIsAppendedWhole)
{
    ScratchFolder folder;
    const std::string bytes = Bytes();
    const std::string path = folder.Write("data.bin", bytes);
    std::string read = "held before";
    ASSERT_TRUE(ReadWholeFile(path, read));
    EXPECT_EQ("held before" + bytes, read);

    std::string empty = "x";
    ASSERT_TRUE(ReadWholeFile(folder.Write("empty.txt", ""), empty));
    EXPECT_EQ("x", empty);
}

TEST(WholeFile, AFolderOrAMissingFileIsRefusedAndWhatWasHeldStays)
{
    ScratchFolder folder;
    for (const std::string& path : {folder.Path().string(), folder / "missing.txt"}) {
        SCOPED_TRACE(path);
        std::string read = "held before";
        EXPECT_FALSE(ReadWholeFile(path, read));
        EXPECT_EQ("held before", read);
    }
}

// A named pipe has no size to read in one piece: it is read until the writer closes it.
TEST(WholeFile, APipeIsReadToItsEnd)
{
    ScratchFolder folder;
    const std::string fifo = folder / "pipe";
    ASSERT_EQ(0, ::mkfifo(fifo.c_str(), 0600));
    const std::string bytes = Bytes();
    std::thread writer([&] {
        std::FILE* out = std::fopen(fifo.c_str(), "wb");
        ASSERT_NE(nullptr, out);
        std::fwrite(bytes.data(), 1, bytes.size(), out);
        std::fclose(out);
    });
    std::string read;
    const bool ok = ReadWholeFile(fifo, read);
    writer.join();
    EXPECT_TRUE(ok);
    EXPECT_EQ(bytes, read);
}

// The system reports a size of 0 for its own files; they are read to their end, not taken as
// empty.
TEST(WholeFile, AFileWithoutASizeIsReadToItsEnd)
{
    struct stat info {};
    ASSERT_EQ(0, ::stat("/proc/self/status", &info));
    ASSERT_EQ(0, info.st_size);
    std::string read;
    ASSERT_TRUE(ReadWholeFile("/proc/self/status", read));
    EXPECT_TRUE(read.starts_with("Name:")) << read;
}

} // namespace
} // namespace carvento
